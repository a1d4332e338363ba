// Windows painted through the graphics layer and composed: device contexts
// land at the window's place in its top-level surface, clipped by parents,
// shapes, siblings above and clip-children; composition stacks top-level
// windows with their shapes and shows the overlay through the key colour.
#include <gtest/gtest.h>

#include <map>

#include "plat/gfx/window_surfaces.h"

namespace plat {
namespace {

constexpr ColorRef kRed = makeColorRef(255, 0, 0);
constexpr ColorRef kGreen = makeColorRef(0, 255, 0);
constexpr ColorRef kBlue = makeColorRef(0, 0, 255);
constexpr ColorRef kWhite = makeColorRef(255, 255, 255);

// Each window paints its whole client area in its own colour.
std::map<uint32_t, ColorRef>& fills() {
  static std::map<uint32_t, ColorRef> m;
  return m;
}

LResult fillProc(Window w, uint32_t msg, WParam wp, LParam lp) {
  if (msg == kMsgPaint) {
    PaintInfo info;
    if (beginPaint(w, &info)) {
      if (info.dc) info.dc->fillRect(clientRect(w), fills()[w.id]);
      endPaint(w, &info);
    }
    return 0;
  }
  return defaultWindowProc(w, msg, wp, lp);
}

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!isClassRegistered(u"GfxFill")) {
      ASSERT_TRUE(registerClass(WindowClass{u"GfxFill", 0, fillProc, {}}));
    }
    if (!isClassRegistered(u"GfxErase")) {
      ASSERT_TRUE(registerClass(WindowClass{u"GfxErase", 0, defaultWindowProc,
                                            ClassBackground{ClassBackground::Kind::Color, 0x0000FF}}));
    }
    screen.install();
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) destroyWindow(*it);
  }
  Window make(Rect rect, ColorRef fill, Window parent = {}, uint32_t style = kStyleVisible,
              const char16_t* cls = u"GfxFill") {
    CreateWindowParams params;
    params.className = cls;
    params.style = style | (parent ? kStyleChild : 0u);
    params.rect = rect;
    params.parent = parent;
    Window w = createWindow(params);
    EXPECT_TRUE(w);
    fills()[w.id] = fill;
    made.push_back(w);
    return w;
  }
  void paint(Window w) {
    invalidate(w);
    updateWindow(w);
  }
  ColorRef at(int x, int y) { return colorRefFromPixel(screen.frame().pixel(x, y)); }

  Screen screen{Size{400, 300}};
  std::vector<Window> made;
};

TEST_F(WindowsTest, ChildrenDrawAtTheirPlaceClippedByParentAndShape) {
  Window top = make(Rect{0, 0, 400, 300}, kRed);
  Window child = make(Rect{50, 50, 150, 150}, kGreen, top);
  Window grandchild = make(Rect{90, 90, 200, 200}, kBlue, child);  // sticks out of its parent
  setWindowShape(child, Region::fromRects(std::vector<Rect>{Rect{0, 0, 100, 50}}), false);
  paint(top);
  paint(child);
  paint(grandchild);
  screen.compose();
  EXPECT_EQ(at(10, 10), kRed);
  EXPECT_EQ(at(60, 60), kGreen);     // child, inside its shape
  EXPECT_EQ(at(60, 120), kRed);      // child's rectangle, outside its shape
  EXPECT_EQ(at(145, 145), kRed);     // grandchild, but outside the child's shape
  EXPECT_EQ(at(160, 160), kRed);     // grandchild beyond its parent's rectangle: clipped
  EXPECT_EQ(screen.surfaces().openContexts(), 0u);
  EXPECT_EQ(liveGdiObjects().deviceContexts, 0);  // every painting context was freed
}

TEST_F(WindowsTest, SiblingsAboveAndClipChildrenAreKept) {
  Window top = make(Rect{0, 0, 400, 300}, kWhite, {}, kStyleVisible | kStyleClipChildren);
  Window upper = make(Rect{10, 10, 110, 110}, kGreen, top);  // first child: top of its siblings
  Window lower = make(Rect{60, 60, 160, 160}, kBlue, top);
  paint(top);
  paint(upper);
  paint(lower);
  paint(top);  // the parent clips its children, so both survive
  screen.compose();
  EXPECT_EQ(at(80, 80), kGreen);  // overlap: the upper sibling wins
  EXPECT_EQ(at(150, 150), kBlue);
  EXPECT_EQ(at(200, 200), kWhite);
}

TEST_F(WindowsTest, EraseBackgroundUsesTheClassColour) {
  Window top = make(Rect{0, 0, 400, 300}, kRed, {}, kStyleVisible, u"GfxErase");
  invalidate(top, nullptr, true);
  updateWindow(top);
  screen.compose();
  EXPECT_EQ(at(200, 150), kBlue);
}

TEST_F(WindowsTest, TopLevelShapesStackAndVideoShowsThroughTheKey) {
  Window main = make(Rect{0, 0, 400, 300}, kVideoKeyColor);
  Window popup = make(Rect{100, 100, 200, 200}, kRed);
  setWindowShape(popup, Region::fromRects(std::vector<Rect>{Rect{0, 0, 50, 100}}), false);
  paint(main);
  paint(popup);
  VideoOverlay& overlay = videoOverlay();
  overlay.setRect(Rect{0, 0, 400, 300});
  std::vector<uint32_t> frame(4, 0xFF00FF00u);
  ASSERT_EQ(overlay.setFrameRgb(2, 2, frame.data(), 8), S_OK);
  screen.compose();
  EXPECT_EQ(at(120, 150), kRed);    // the pop-up inside its shape
  EXPECT_EQ(at(180, 150), kGreen);  // outside its shape: the video through the main window
  EXPECT_EQ(at(10, 10), kGreen);
  overlay.clear();
  overlay.setRect(Rect{});
  screen.compose();
  EXPECT_EQ(at(10, 10), kVideoKeyColor);
}

TEST_F(WindowsTest, WindowContextsOutsidePaintingAndDestroyedWindows) {
  Window top = make(Rect{20, 20, 120, 120}, kRed);
  DeviceContext* dc = acquireWindowDC(top);
  ASSERT_NE(dc, nullptr);
  dc->fillRect(Rect{0, 0, 10, 10}, kBlue);
  releaseWindowDC(top, dc);
  screen.compose();
  EXPECT_EQ(at(25, 25), kBlue);
  EXPECT_EQ(screen.surfaces().surfaceCount(), 1u);
  destroyWindow(top);
  made.clear();
  screen.compose();
  EXPECT_EQ(screen.surfaces().surfaceCount(), 0u);
  EXPECT_EQ(at(25, 25), makeColorRef(0, 0, 0));
}

TEST_F(WindowsTest, HeadlessDisplayBuildsFramesThroughTheScreen) {
  HeadlessDisplay display(Size{320, 200});
  Window top = make(Rect{0, 0, 320, 200}, kGreen);
  paint(top);
  EXPECT_TRUE(display.renderFrame());
  EXPECT_EQ(screen.frame().width(), 320);
  EXPECT_EQ(at(300, 190), kGreen);
  fills()[top.id] = kBlue;
  paint(top);
  EXPECT_TRUE(display.renderFrame());
  EXPECT_EQ(at(10, 10), kBlue);
}

}  // namespace
}  // namespace plat
