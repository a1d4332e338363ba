#include <gtest/gtest.h>

#include "../../app/tests/skin_fixture.h"
#include "app/skin/image_cache.h"
#include "app/skin/skin_document.h"
#include "plat/clock.h"
#include "plat/gfx/image.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/message.h"
#include "plat/window.h"
#include "windows/splash/splash.h"

namespace tunora {
namespace {

using skin::testing::TempDevice;

constexpr plat::Rect kWindow{0, 0, 400, 300};
// Background and frame colours, each frame told apart by its red channel.
constexpr uint8_t kFrameRed[] = {40, 80, 120, 160};

class StartupWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    screen.install();
    skin::imageCache().clear();
    skin::imageCache().setEnabled(true);
    writePng("comm/bg.png", 0, 0, 200);
    for (int i = 0; i < 4; ++i) writePng("comm/f" + std::to_string(i + 1) + ".png", kFrameRed[i], 0, 0);
  }
  void TearDown() override {
    skin::imageCache().clear();
    skin::imageCache().setEnabled(false);
  }
  void writePng(const std::string& rel, uint8_t r, uint8_t g, uint8_t b) {
    plat::Surface s;
    s.reset(8, 8, plat::makePixel(r, g, b));
    std::string png;
    ASSERT_FALSE(plat::failed(plat::encodePng(s, false, &png)));
    dev.write(rel, png);
  }
  void openComm(int existed, const std::string& frames) {
    const std::string xml = R"(<S><Picture><p id="1" value="bg.png"/><p id="11" value="f1.png"/>
      <p id="12" value="f2.png"/><p id="13" value="f3.png"/><p id="14" value="f4.png"/></Picture>
      <Window name="SplashWindow"><I name="BkImage" value="1"/></Window>
      <Window name="WaitingWindow"><I name="Existed" value=")" + std::to_string(existed) + R"("/>
      <I name="BkImage" value="1"/><I name="WaitingImgNum" value=")" + frames + R"("/>
      <I name="WaitingImg1" value="11"/><I name="WaitingImg2" value="12"/>
      <I name="WaitingImg3" value="13"/><I name="WaitingImg4" value="14"/>
      <I name="WaitingRect" value="0,0,100,100"/></Window></S>)";
    dev.write("comm/comm_config.xml", xml);
    ASSERT_TRUE(comm.open(dev.progDevice() + u"comm\\", u"comm_config.xml"));
  }
  uint32_t pixelAt(int x, int y) {
    plat::pumpPendingMessages();
    return screen.compose().pixel(x, y) & 0xFFFFFF;
  }
  void tick() {
    clock.advance(kWaitingFrameMs);
    plat::pumpPendingMessages();
  }

  TempDevice dev;
  plat::VirtualClock clock;
  plat::ScopedClock scoped{clock};
  plat::Screen screen{plat::Size{800, 480}};
  skin::SkinDocument comm;
};

TEST_F(StartupWindowTest, SplashShowsItsBackground) {
  openComm(0, "4");
  auto w = createStartupWindow(comm);
  ASSERT_TRUE(dynamic_cast<VexoSplashWindow*>(w.get()));
  w->SetRect(kWindow);
  w->Show();
  EXPECT_EQ(pixelAt(10, 10), 0x0000C8u);
  EXPECT_EQ(w->GetRect(), kWindow);
  w->Hide();
  EXPECT_FALSE(plat::isWindowVisible(w->GetWindowHandle()));
}

TEST_F(StartupWindowTest, FramesCycleInOrderAndRestartAfterHide) {
  openComm(1, "4");
  auto owned = createStartupWindow(comm);
  auto* w = dynamic_cast<VexoWaitingWindow*>(owned.get());
  ASSERT_TRUE(w);
  w->SetRect(kWindow);
  EXPECT_EQ(w->frameRect(), (plat::Rect{150, 100, 250, 200}));  // centred
  w->Show();
  auto red = [&] { return (pixelAt(200, 150) >> 16) & 0xFF; };
  EXPECT_EQ(red(), kFrameRed[0]);
  EXPECT_EQ(pixelAt(10, 10), 0x0000C8u);  // background around the frame
  const int order[] = {1, 2, 3, 0, 1};
  for (int want : order) {
    tick();
    EXPECT_EQ(red(), kFrameRed[want]);
  }
  const uint32_t steps = w->steps();
  w->Hide();
  tick();
  EXPECT_EQ(w->steps(), steps);  // nothing runs once hidden
  w->Show();
  EXPECT_EQ(red(), kFrameRed[0]);
  tick();
  EXPECT_EQ(red(), kFrameRed[1]);
  EXPECT_EQ(w->steps(), steps + 1);  // the step count is never reset
}

TEST_F(StartupWindowTest, UnhiddenWaitingWindowQuitsAfterItsLastStep) {
  openComm(1, "4");
  auto owned = createStartupWindow(comm);
  owned->SetRect(kWindow);
  owned->Show();
  int code = 0;
  for (uint32_t i = 0; i < kWaitingMaxSteps + 1; ++i) tick();
  EXPECT_FALSE(plat::quitRequested(&code));
  tick();  // the 102nd step
  ASSERT_TRUE(plat::quitRequested(&code));
  EXPECT_EQ(code, kWaitingTimeoutExitCode);
  EXPECT_FALSE(plat::isWindowVisible(owned->GetWindowHandle()));
  // Leave the queue clean for the next test.
  plat::Message m;
  while (plat::peekMessage(&m)) {
  }
}

TEST_F(StartupWindowTest, HiddenWaitingWindowNeverQuits) {
  openComm(1, "4");
  auto owned = createStartupWindow(comm);
  owned->SetRect(kWindow);
  owned->Show();
  for (int i = 0; i < 10; ++i) tick();
  owned->Hide();  // what closing the splash does when playback starts
  for (uint32_t i = 0; i < 2 * kWaitingMaxSteps; ++i) tick();
  EXPECT_FALSE(plat::quitRequested());
}

TEST_F(StartupWindowTest, NoFramesDrawsBackgroundOnly) {
  for (const char* frames : {"0", "", "-4"}) {
    SCOPED_TRACE(frames);
    comm.close();
    openComm(1, frames);
    auto owned = createStartupWindow(comm);
    auto* w = dynamic_cast<VexoWaitingWindow*>(owned.get());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->frameCount(), 0u);
    w->SetRect(kWindow);
    w->Show();
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(pixelAt(200, 150), 0x0000C8u);
    w->Hide();
  }
}

}  // namespace
}  // namespace tunora
