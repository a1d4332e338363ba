// The application object over the real services, the simulated engine and
// the staged default skin: device collection builds one main window, and the
// shutdown after a non-zero quit code still saves the playlist and restores
// the task bar; a program folder without skins fails start-up.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "VexoEvents.h"
#include "app/skin/image_cache.h"
#include "app/startup/app.h"
#include "app/startup/main_window_host.h"
#include "app/startup/placeholder_window.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/message.h"
#include "plat/paths.h"
#include "plat/window.h"
#include "vexo/setting.h"
#include "windows/splash/splash.h"

namespace tunora {
namespace {

namespace fs = std::filesystem;

plat::LResult plainProc(plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) {
  return plat::defaultWindowProc(w, m, wp, lp);
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tunora-app-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    saved_ = plat::currentPathConfig();
    plat::PathConfig c;
    c.deviceRoot = root_ / "device";
    c.programDir = TUNORA_PROGRAM_DIR;
    plat::configurePaths(c);
    screen_.install();
    skin::imageCache().setEnabled(true);
    skin::imageCache().clear();
    plat::registerClass(plat::WindowClass{u"HHTaskBar", 0, plainProc, {}});
    plat::CreateWindowParams p;
    p.className = u"HHTaskBar";
    p.style = plat::kStyleVisible;
    p.rect = plat::Rect{0, 440, 800, 480};
    taskBar_ = plat::createWindow(p);
  }
  void TearDown() override {
    plat::destroyWindow(taskBar_);
    skin::imageCache().clear();
    skin::imageCache().setEnabled(false);
    plat::configurePaths(saved_);
    fs::remove_all(root_);
  }
  // Runs the loop until the main window exists. The deadline only keeps a
  // broken build from hanging; nothing is timed.
  bool waitForMainWindow(CDTVPlayerApp& app) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!app.mainWindow() && std::chrono::steady_clock::now() < deadline)
      if (plat::pumpPendingMessages() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    plat::pumpPendingMessages();
    return app.mainWindow() != nullptr;
  }
  std::string playlistFile() {
    std::ifstream in(*plat::toHostPath(vexo::residentFlashPath() + kPlaylistSubpath));
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }

  fs::path root_;
  plat::PathConfig saved_;
  plat::Screen screen_;
  plat::Window taskBar_;
};

TEST_F(AppTest, DevicesCollectedBuildsOneMainWindowAndNonZeroQuitStillSaves) {
  CDTVPlayerApp app(createPlaceholderMainWindow);
  ASSERT_TRUE(app.initialize());
  EXPECT_FALSE(plat::isWindowVisible(taskBar_));
  EXPECT_FALSE(plat::isWindowEnabled(taskBar_));
  app.startDevices();
  // The report of the devices comes through the message loop, so the splash
  // is up until then.
  ASSERT_NE(app.splash(), nullptr);
  EXPECT_TRUE(plat::isWindowVisible(app.splash()->GetWindowHandle()));
  EXPECT_EQ(app.mainWindow(), nullptr);
  ASSERT_TRUE(waitForMainWindow(app));
  const plat::Window main = app.mainWindow()->window();
  EXPECT_EQ(plat::findWindow(u"CPWINDOW", u"Tunora"), main);
  ASSERT_NE(app.firstSession(), nullptr);
  ASSERT_NE(app.splash(), nullptr);  // the splash was shown and is closed now
  EXPECT_NE(dynamic_cast<VexoSplashWindow*>(app.splash()), nullptr);
  EXPECT_FALSE(plat::isWindowVisible(app.splash()->GetWindowHandle()));

  // A second report (a tuner that came back) keeps the same window.
  VexoEventDeviceCollected again;
  VexoObject::SendEvent(&again);
  EXPECT_EQ(app.mainWindow()->window(), main);

  uint32_t index = 0;
  ASSERT_EQ(app.playlists()->AddPlaylist(u"Road trip", &index), plat::S_OK);
  plat::postQuitMessage(3);
  EXPECT_EQ(app.runMessageLoop(), 3);
  app.shutdown(3);
  EXPECT_NE(playlistFile().find("Road trip"), std::string::npos);
  EXPECT_TRUE(plat::isWindowVisible(taskBar_));
  EXPECT_TRUE(plat::isWindowEnabled(taskBar_));
  EXPECT_EQ(app.mainWindow(), nullptr);
}

// The main window seen through the factory seam, to tell whether it was hidden.
struct WatchedMainWindow : MainWindowHost {
  WatchedMainWindow(std::unique_ptr<MainWindowHost> inner, int* hides) : inner(std::move(inner)), hides(hides) {}
  plat::Window window() const override { return inner->window(); }
  void start() override { inner->start(); }
  void openFile(plat::StringView16 path) override { inner->openFile(path); }
  void hide() override {
    ++*hides;
    inner->hide();
  }
  std::unique_ptr<MainWindowHost> inner;
  int* hides;
};

TEST_F(AppTest, OnlyAZeroQuitHidesTheMainWindow) {
  for (int quit : {0, 1}) {
    int hides = 0;
    CDTVPlayerApp app([&hides](CDTVPlayerApp& a, const plat::Rect& r) -> std::unique_ptr<MainWindowHost> {
      return std::make_unique<WatchedMainWindow>(createPlaceholderMainWindow(a, r), &hides);
    });
    ASSERT_TRUE(app.initialize());
    app.startDevices();
    ASSERT_TRUE(waitForMainWindow(app));
    plat::postQuitMessage(quit);
    EXPECT_EQ(app.runMessageLoop(), quit);
    app.shutdown(quit);
    EXPECT_EQ(hides, quit == 0 ? 1 : 0) << "quit " << quit;
    EXPECT_TRUE(plat::isWindowVisible(taskBar_));
  }
}

// The player's own main window over the application's services: the skin's
// panel with its buttons, the first session, the accelerator pair while the
// window lives, and closing it ends the loop through the zero-code exit.
TEST_F(AppTest, SkinnedMainWindowUsesTheApplicationServices) {
  CDTVPlayerApp app(createMainWindow);
  ASSERT_TRUE(app.initialize());
  app.startDevices();
  ASSERT_TRUE(waitForMainWindow(app));
  const plat::Window main = app.mainWindow()->window();
  EXPECT_EQ(plat::findWindow(u"CPWINDOW", u"Tunora"), main);
  EXPECT_TRUE(plat::isWindowVisible(main));
  EXPECT_TRUE(plat::firstChild(main)) << "the skin's buttons";
  EXPECT_NE(app.firstSession(), nullptr);
  EXPECT_EQ(app.accelerators().size(), 1u);
  ASSERT_NE(app.splash(), nullptr);
  EXPECT_FALSE(plat::isWindowVisible(app.splash()->GetWindowHandle()));

  plat::sendMessage(main, plat::kMsgClose, 0, 0);
  ASSERT_TRUE(plat::quitRequested());
  EXPECT_EQ(app.runMessageLoop(), 0);
  app.shutdown(0);
  EXPECT_EQ(app.mainWindow(), nullptr);
  EXPECT_EQ(app.accelerators().size(), 0u);
  EXPECT_TRUE(plat::isWindowVisible(taskBar_));
}

// With the waiting window configured, the application object never shows
// the splash and leaves the waiting window to close itself.
TEST_F(AppTest, WaitingWindowIsLeftToItself) {
  plat::PathConfig c = plat::currentPathConfig();
  c.programDir = root_ / "waiting-program";
  fs::create_directories(c.programDir);
  for (const char* f : {"Setting.xml", "String.xml", "Playlist.xml", "skins.xml"})
    fs::copy_file(fs::path(TUNORA_PROGRAM_DIR) / f, c.programDir / f);
  fs::copy(fs::path(TUNORA_PROGRAM_DIR) / "skins", c.programDir / "skins", fs::copy_options::recursive);
  const fs::path comm = c.programDir / "skins" / "common" / "comm_config" / "comm_config.xml";
  std::ifstream in(comm);
  std::string xml((std::istreambuf_iterator<char>(in)), {});
  in.close();
  const std::string from = "<Item name=\"Existed\" value=\"0\"/>";
  ASSERT_NE(xml.find(from), std::string::npos);
  xml.replace(xml.find(from), from.size(), "<Item name=\"Existed\" value=\"1\"/>");
  std::ofstream(comm, std::ios::trunc) << xml;
  plat::configurePaths(c);

  CDTVPlayerApp app(createPlaceholderMainWindow);
  ASSERT_TRUE(app.initialize());
  app.startDevices();
  ASSERT_NE(app.splash(), nullptr);
  const plat::Window waiting = app.splash()->GetWindowHandle();
  EXPECT_NE(dynamic_cast<VexoWaitingWindow*>(app.splash()), nullptr);
  ASSERT_TRUE(waitForMainWindow(app));
  EXPECT_TRUE(plat::isWindowVisible(waiting));
  app.shutdown(0);
}

TEST_F(AppTest, MissingSkinsFailStartUp) {
  plat::PathConfig c = plat::currentPathConfig();
  c.programDir = root_ / "empty-program";
  fs::create_directories(c.programDir);
  std::ifstream seed(fs::path(TUNORA_PROGRAM_DIR) / "Setting.xml");
  std::ofstream(c.programDir / "Setting.xml") << seed.rdbuf();
  plat::configurePaths(c);
  CDTVPlayerApp app(createPlaceholderMainWindow);
  EXPECT_FALSE(app.initialize());
  EXPECT_EQ(app.mainWindow(), nullptr);
}

}  // namespace
}  // namespace tunora
