// Composition of window surfaces with shapes, and the video overlay shown
// through the key colour.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "plat/gfx/compositor.h"
#include "plat/gfx/image.h"

namespace plat {
namespace {

const Pixel kRed = makePixel(255, 0, 0);
const Pixel kGreen = makePixel(0, 255, 0);
const Pixel kBlue = makePixel(0, 0, 255);
const Pixel kKey = pixelFromColorRef(kVideoKeyColor);
const Pixel kBlack = makePixel(0, 0, 0);

Surface solid(int w, int h, Pixel p) {
  Surface s;
  EXPECT_EQ(s.reset(w, h, p), S_OK);
  return s;
}

class ComposeTest : public ::testing::Test {
 protected:
  VideoOverlay overlay;
  Compositor compositor{Size{200, 100}, &overlay};
  Pixel at(int x, int y) const { return compositor.frame().pixel(x, y) | 0xFF000000u; }
};

TEST_F(ComposeTest, StacksWindowsInOrderWithShapes) {
  Surface back = solid(200, 100, kRed);
  Surface middle = solid(50, 50, kGreen);
  Surface top = solid(40, 40, kBlue);
  Region shape = Region::fromRects(std::vector<Rect>{Rect{0, 0, 40, 10}, Rect{0, 10, 10, 40}});
  compositor.compose({ComposeLayer{&back, Rect{0, 0, 200, 100}},
                      ComposeLayer{&middle, Rect{-10, -10, 40, 40}},
                      ComposeLayer{&top, Rect{20, 20, 60, 60}, &shape}});
  EXPECT_EQ(at(0, 0), kGreen);    // middle, partly off screen
  EXPECT_EQ(at(45, 45), kRed);    // back
  EXPECT_EQ(at(25, 25), kBlue);   // top, inside its shape
  EXPECT_EQ(at(35, 35), kGreen);  // top's rectangle but outside its shape: middle shows
  EXPECT_EQ(at(55, 35), kRed);    // outside shape, beyond middle: back shows
  EXPECT_EQ(at(59, 20), kBlue);   // upper band of the shape
  EXPECT_EQ(at(199, 99), kRed);
}

TEST_F(ComposeTest, UncoveredAreasShowTheDesktop) {
  Surface small = solid(10, 10, kBlue);
  // A surface smaller than its window rectangle leaves the rest to the desktop.
  compositor.compose({ComposeLayer{&small, Rect{5, 5, 30, 30}}});
  EXPECT_EQ(at(6, 6), kBlue);
  EXPECT_EQ(at(20, 20), kBlack);
  EXPECT_EQ(at(100, 50), kBlack);
  compositor.compose({ComposeLayer{&small, Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}}});
  EXPECT_EQ(at(150, 50), kBlack);
  compositor.compose({});
  EXPECT_EQ(at(0, 0), kBlack);
}

TEST_F(ComposeTest, OverlayShowsThroughTheKeyColourOnly) {
  Surface ui = solid(200, 100, kRed);
  ui.fill(Rect{50, 20, 150, 80}, kKey);  // the video window
  ui.fill(Rect{60, 30, 70, 40}, makePixel(0, 17, 0));  // near the key: stays
  ui.fill(Rect{0, 0, 10, 10}, kKey);     // key colour outside the plane's rectangle
  Surface frame = solid(4, 2, kBlue);
  frame.fill(Rect{2, 0, 4, 2}, kGreen);  // right half green
  overlay.setRect(Rect{50, 20, 150, 80});
  ASSERT_EQ(overlay.setFrameRgb(4, 2, frame.data(), 16), S_OK);
  compositor.compose({ComposeLayer{&ui, Rect{0, 0, 200, 100}}});
  EXPECT_EQ(at(55, 25), kBlue);     // left half of the scaled frame
  EXPECT_EQ(at(145, 75), kGreen);   // right half
  EXPECT_EQ(at(65, 35), makePixel(0, 17, 0));
  EXPECT_EQ(at(40, 50), kRed);
  EXPECT_EQ(at(5, 5), kKey);        // outside the plane
  // A window above the video hides it even where it is key-free.
  Surface popup = solid(20, 20, kRed);
  compositor.compose({ComposeLayer{&ui, Rect{0, 0, 200, 100}}, ComposeLayer{&popup, Rect{90, 40, 110, 60}}});
  EXPECT_EQ(at(100, 50), kRed);
  EXPECT_EQ(at(120, 50), kGreen);
  // Without a frame the plane is black.
  overlay.clear();
  compositor.compose({ComposeLayer{&ui, Rect{0, 0, 200, 100}}});
  EXPECT_EQ(at(55, 25), kBlack);
  EXPECT_FALSE(overlay.hasFrame());
}

TEST_F(ComposeTest, YuvFramesConvertToRgb) {
  // Limited-range BT.601 red: Y 81, U 90, V 240.
  const int w = 3, h = 3;
  std::vector<uint8_t> y(w * h, 81), u(4, 90), v(4, 240);
  overlay.setRect(Rect{0, 0, 200, 100});
  ASSERT_EQ(overlay.setFrameYuv420(w, h, y.data(), w, u.data(), 2, v.data(), 2), S_OK);
  Surface ui = solid(200, 100, kKey);
  compositor.compose({ComposeLayer{&ui, Rect{0, 0, 200, 100}}});
  const Pixel p = at(100, 50);
  EXPECT_NEAR(int((p >> 16) & 0xFF), 255, 3);
  EXPECT_NEAR(int((p >> 8) & 0xFF), 0, 3);
  EXPECT_NEAR(int(p & 0xFF), 0, 3);
  EXPECT_EQ(overlay.setFrameYuv420(w, h, y.data(), 2, u.data(), 2, v.data(), 2), E_INVALIDARG);
  EXPECT_EQ(overlay.setFrameYuv420(0, h, y.data(), w, u.data(), 2, v.data(), 2), E_INVALIDARG);
  EXPECT_EQ(overlay.setFrameRgb(100000, 1, reinterpret_cast<const uint32_t*>(y.data()), 400000), E_INVALIDARG);
  EXPECT_EQ(overlay.setFrameRgb(1, 1, nullptr, 4), E_POINTER);
}

class FixedLayers : public LayerSource {
 public:
  explicit FixedLayers(std::vector<ComposeLayer> layers) : layers_(std::move(layers)) {}
  void collectLayers(std::vector<ComposeLayer>* out) override {
    out->insert(out->end(), layers_.begin(), layers_.end());
  }

 private:
  std::vector<ComposeLayer> layers_;
};

TEST_F(ComposeTest, TakesLayersFromASourceAndWritesScreenshots) {
  Surface a = solid(200, 100, kGreen);
  FixedLayers source({ComposeLayer{&a, Rect{0, 0, 200, 100}}});
  compositor.compose(source);
  EXPECT_EQ(at(10, 10), kGreen);
  const auto path = std::filesystem::temp_directory_path() / "tunora_gfx_compose_shot.png";
  ASSERT_EQ(compositor.writeScreenshot(path), S_OK);
  Image img;
  ASSERT_EQ(loadImageFile(path, &img), S_OK);
  EXPECT_EQ(img.width(), 200);
  EXPECT_EQ(img.pixels.pixel(10, 10), kGreen);
  std::filesystem::remove(path);
  EXPECT_EQ(compositor.resize(Size{0, 10}), E_INVALIDARG);
  EXPECT_EQ(compositor.frame().width(), 200);
}

TEST(ComposeThreads, EngineThreadFeedsFramesWhileTheUiComposes) {
  VideoOverlay overlay;
  Compositor compositor(Size{64, 32}, &overlay);
  Surface ui = solid(64, 32, kKey);
  overlay.setRect(Rect{0, 0, 64, 32});
  constexpr int kFrames = 300;
  std::thread engine([&] {
    for (int i = 1; i <= kFrames; ++i) {
      const uint32_t px[4] = {makePixel(static_cast<uint8_t>(i), 0, 0), makePixel(static_cast<uint8_t>(i), 0, 0),
                              makePixel(static_cast<uint8_t>(i), 0, 0), makePixel(static_cast<uint8_t>(i), 0, 0)};
      ASSERT_EQ(overlay.setFrameRgb(2, 2, px, 8), S_OK);
    }
  });
  for (int i = 0; i < kFrames; ++i) compositor.compose({ComposeLayer{&ui, Rect{0, 0, 64, 32}}});
  engine.join();
  compositor.compose({ComposeLayer{&ui, Rect{0, 0, 64, 32}}});
  EXPECT_EQ(compositor.frame().pixel(40, 20), makePixel(kFrames & 0xFF, 0, 0));
  EXPECT_EQ(overlay.frameCount(), uint64_t{kFrames});
}

}  // namespace
}  // namespace plat
