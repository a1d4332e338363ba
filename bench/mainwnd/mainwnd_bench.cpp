// Main window figures on the headless 800x480 screen with the default skin:
// a full repaint (the window and every button) and a tap on the next-channel
// button through to the command reaching the player. Prints `figure` lines;
// --quick runs fewer rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "app/main_window/main_window.h"
#include "app/skin/image_cache.h"
#include "app/skin/skin_set.h"
#include "plat/display.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/paths.h"

#include "common/bench_timing.h"

namespace {


// Counts the channel changes the main window asks for.
class CountingPlayer final : public tunora::mainwnd::MainWindowPlayer {
 public:
  bool state(int32_t* s) override {
    *s = tunora::mainwnd::kStateRunning;
    return true;
  }
  uint32_t sourceClass() override { return 2; }
  void showVideo(bool) override {}
  bool engineSetting(uint32_t, uint32_t*) override { return false; }
  void setEngineSetting(uint32_t, uint32_t) override {}
  void nextChannel() override { ++changes; }
  void previousChannel() override { ++changes; }
  long changes = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const bool quick = bench::quickRun(argc, argv);
  const int rounds = quick ? 15 : 101;
  using namespace tunora;

  plat::PathConfig paths = plat::currentPathConfig();
  paths.programDir = TUNORA_PROGRAM_DIR;
  plat::configurePaths(paths);
  plat::setScreenSize(plat::Size{800, 480});
  plat::Screen screen{plat::Size{800, 480}};
  screen.install();
  skin::imageCache().setEnabled(true);
  skin::SkinSet skins{plat::programDirectory()};
  if (skins.configure({[] { return 0u; }, [](uint32_t) {}}) < 1) {
    std::fprintf(stderr, "default skin not staged\n");
    return 1;
  }
  CountingPlayer player;
  mainwnd::MainWindowContext context;
  mainwnd::bindSkinSet(context, skins);
  context.player = &player;
  long result = 0;
  {
    mainwnd::CMainWnd wnd(context);
    if (!wnd.Create()) return 1;
    const plat::Window next = wnd.button(mainwnd::cmd::kNextChannel);
    if (!next) return 1;
    wnd.EnableButton(mainwnd::cmd::kNextChannel, true);
    plat::pumpPendingMessages();

    const double repaintNs = bench::medianNs(rounds, 10, [&] {
      plat::invalidate(wnd.window());
      for (plat::Window c = plat::firstChild(wnd.window()); c; c = plat::nextSibling(c)) plat::invalidate(c);
      plat::pumpPendingMessages();
    });
    const plat::Rect r = plat::windowRect(next);
    const plat::Point centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    const double tapNs = bench::medianNs(rounds, 20, [&] {
      plat::injectTap(centre);
      plat::pumpPendingMessages();
    });
    std::printf("figure main_repaint_ms %.3f ms\n", repaintNs / 1e6);
    std::printf("figure tap_to_command_ms %.3f ms\n", tapNs / 1e6);
    std::fprintf(stderr, "channel changes: %ld\n", player.changes);
    result = player.changes;
  }
  skins.closeAll();
  skin::imageCache().clear();
  return result > 0 ? 0 : 1;
}
