// The main window of the shipped default skin on the headless screen: every
// button the skin places is drawn, and the window mode, full screen and
// double size frames are written as PNG files beside the test program for
// people to look at.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/main_window/main_window.h"
#include "app/skin/image_cache.h"
#include "app/skin/skin_set.h"
#include "plat/clock.h"
#include "plat/display.h"
#include "plat/gfx/image.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/message.h"
#include "plat/paths.h"

namespace tunora::mainwnd {
namespace {

class DefaultSkinMainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedPaths_ = plat::currentPathConfig();
    plat::PathConfig c = savedPaths_;
    c.programDir = TUNORA_PROGRAM_DIR;
    plat::configurePaths(c);
    savedScreen_ = plat::screenSize();
    skin::imageCache().clear();
    skin::imageCache().setEnabled(true);
    ASSERT_EQ(skins.configure({[] { return 0u; }, [](uint32_t) {}}), 1);
  }
  void TearDown() override {
    skins.closeAll();
    skin::imageCache().clear();
    skin::imageCache().setEnabled(false);
    plat::setScreenSize(savedScreen_);
    plat::configurePaths(savedPaths_);
  }
  void shoot(plat::Screen& screen, const char* name) {
    plat::pumpPendingMessages();
    const auto path = std::filesystem::path(TUNORA_SHOT_DIR) / name;
    EXPECT_FALSE(plat::failed(plat::writePngFile(screen.compose(), path))) << path;
  }

  plat::PathConfig savedPaths_;
  plat::Size savedScreen_;
  plat::VirtualClock clock;
  plat::ScopedClock scoped{clock};
  skin::SkinSet skins{plat::programDirectory()};
};

TEST_F(DefaultSkinMainWindowTest, ShowsEveryButtonOfTheSkin) {
  plat::setScreenSize(plat::Size{800, 480});
  plat::Screen screen{plat::Size{800, 480}};
  screen.install();
  MainWindowContext context;
  bindSkinSet(context, skins);
  CMainWnd w(context);
  ASSERT_TRUE(w.Create());
  plat::pumpPendingMessages();
  const plat::Surface& frame = screen.compose();
  skin::SkinDocument& doc = *skins.main();
  const int count = doc.getNumber("ControlPanelWindow", "CPWndBtNum").value_or(0);
  ASSERT_GT(count, 0);
  for (int i = 0; i < count; ++i) {
    const auto name = doc.getString("ControlPanelWindow", "CPWndButtonID" + std::to_string(i));
    ASSERT_TRUE(name);
    const uint16_t command = commandForButtonName(*name);
    SCOPED_TRACE(*name);
    ASSERT_NE(command, 0);
    const plat::Window b = w.button(command);
    ASSERT_TRUE(b);
    EXPECT_TRUE(plat::isWindowVisible(b));
    const plat::Rect r = plat::windowRect(b);
    // The state image differs from the background under the button somewhere.
    const plat::Point c{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    EXPECT_NE(frame.pixel(c.x, c.y) & 0xFFFFFF, 0u);
  }
  shoot(screen, "main.png");
  plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kFullScreenOn, 0), 0);
  EXPECT_TRUE(w.fullScreen());
  shoot(screen, "main_fullscreen.png");
}

TEST_F(DefaultSkinMainWindowTest, DoubleSizeOnATallScreen) {
  plat::setScreenSize(plat::Size{1600, 960});
  plat::Screen screen{plat::Size{1600, 960}};
  screen.install();
  MainWindowContext context;
  bindSkinSet(context, skins);
  CMainWnd w(context);
  ASSERT_TRUE(w.Create());
  plat::sendMessage(w.window(), plat::kMsgCommand, plat::packCommand(cmd::kDoubleSize, 0), 0);
  EXPECT_TRUE(w.doubleSize());
  EXPECT_EQ(plat::windowRect(w.window()), (plat::Rect{0, 0, 1600, 960}));
  shoot(screen, "main_double.png");
}

}  // namespace
}  // namespace tunora::mainwnd
