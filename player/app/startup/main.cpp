// Tunora: the player program.
//   Tunora [--device-root DIR] [--headless] [--screenshot PATH] [--scale 1|2] [FILE]
// FILE opens as a file source; a second start hands it to the running
// instance and exits. --screenshot writes the frame once the main window has
// drawn its first frame, then ends the program.
#include <libxml/parser.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "VexoCore.h"
#include "app/skin/image_cache.h"
#include "app/startup/app.h"
#include "app/startup/handover.h"
#include "app/startup/main_window_host.h"
#include "controls/kit.h"
#include "plat/debug.h"
#include "plat/gfx/display_input.h"
#include "plat/gfx/sdl_display.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/instance.h"
#include "plat/module.h"
#include "plat/paths.h"
#include "plat/window.h"
#include "zant/engine.h"

namespace {

using namespace tunora;

struct Options {
  bool headless = false;
  std::string screenshot;
  int scale = 1;
  plat::String16 file;
};

int usage() {
  std::fprintf(stderr, "usage: Tunora [--device-root DIR] [--headless] [--screenshot PATH] [--scale 1|2] [FILE]\n");
  return 2;
}

// Before a skin is loaded the user sees the fixed English texts.
void showStartupError(const char* text, const char* caption) {
  std::fprintf(stderr, "Tunora: %s: %s\n", caption, text);
  plat::debugPrintf("%s: %s\n", caption, text);
}

// Quit code of a run ended by a damaged skin image.
constexpr int kExitFilesCorrupt = 3;

void silentXmlError(void*, const char*, ...) {}

bool parseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) o->headless = true;
    else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) o->screenshot = argv[++i];
    else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) o->scale = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--device-root") == 0 && i + 1 < argc) ++i;  // read by the path setup
    else if (argv[i][0] == '-' && argv[i][1] == '-') return false;
    else if (o->file.empty()) o->file = plat::utf8ToUtf16(argv[i]);
    else return false;
  }
  return o->scale == 1 || o->scale == 2;
}

// Runs the loop until the main window has drawn, then writes the frame.
int runUntilFirstFrame(CDTVPlayerApp& app, plat::Screen& screen, const std::string& path) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (plat::pumpPendingMessages() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (plat::quitRequested()) break;
    if (app.mainWindow() && !plat::needsPaint(app.mainWindow()->window())) break;
  }
  plat::pumpPendingMessages();
  screen.compose();
  if (!app.mainWindow()) {
    std::fprintf(stderr, "Tunora: the tuner devices were not collected\n");
    return 1;
  }
  const plat::Status st = screen.writeScreenshot(path);
  if (plat::failed(st)) {
    std::fprintf(stderr, "Tunora: cannot write %s (%s)\n", path.c_str(), plat::statusName(st));
    return 1;
  }
  std::printf("wrote %s\n", path.c_str());
  std::fflush(stdout);
  return 0;
}

int runWithDisplay(CDTVPlayerApp& app, plat::Screen& screen, int scale) {
  std::string error;
  auto display = plat::SdlDisplay::open(plat::screenSize(), scale, "Tunora", &error);
  if (!display) {
    std::fprintf(stderr, "Tunora: %s\n", error.c_str());
    return app.runMessageLoop();
  }
  int code = 0;
  for (;;) {
    display->wait(16, [](const plat::DisplayEvent& e) { plat::deliverDisplayEvent(e); });
    plat::Message msg;
    bool quit = false;
    while (plat::peekMessage(&msg)) {
      if (msg.message == plat::kMsgQuit) {
        code = static_cast<int>(msg.wParam);
        quit = true;
        break;
      }
      if (app.accelerators().translate(msg)) continue;
      plat::translateMessage(msg);
      plat::dispatchMessage(msg);
    }
    if (quit) break;
    screen.compose();
    display->present(screen.frame());
  }
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, &options)) return usage();
  std::vector<std::string> args(argv, argv + argc);
  plat::configurePaths(plat::defaultPathConfig(args));

  xmlInitParser();
  xmlSetGenericErrorFunc(nullptr, silentXmlError);

  // The engine library and both factories must be there.
  plat::ModuleHandle engine = plat::loadModule(std::string_view(zant::kEngineModuleName));
  if (!engine || !engine->function<ZantCreateMediaPlayerFn>("CoCreateZNMediaPlayer") ||
      !engine->function<ZantCreateDeviceManagerFn>("CoCreateZNSourceDeviceManager")) {
    engine.reset();
    showStartupError(kTextSdkMissing, "ERROR");
    return 0;
  }

  auto instanceLock = std::make_unique<plat::SingleInstanceLock>(kInstanceMutexName);
  if (!instanceLock->held()) {
    plat::publishWindows();
    handOverToRunningInstance(options.file);
    return 0;
  }
  plat::publishWindows();

  std::string reason;
  if (!options.headless && options.screenshot.empty() && !plat::displayAvailable(&reason)) {
    std::fprintf(stderr, "Tunora: %s; running headless\n", reason.c_str());
    options.headless = true;
  }
  plat::Screen screen;
  screen.install();
  skin::imageCache().setEnabled(true);
  skin::imageCache().clear();
  // A skin image that exists but does not decode means a damaged install:
  // say so and end through the normal shutdown, so the user's data is saved.
  skin::imageCache().setCorruptHandler([](plat::StringView16 path) {
    plat::debugPrintf("skin image %s does not decode\n", plat::utf16ToUtf8(path).c_str());
    showStartupError(kTextFilesCorrupt, "Error!");
    plat::postQuitMessage(kExitFilesCorrupt);
  });

  int code = 0;
  {
    CDTVPlayerApp app(createMainWindow);
    if (!app.initialize()) {
      showStartupError(kTextFilesCorrupt, "Error!");
      skin::imageCache().clear();
      return 0;
    }
    app.setPendingFile(handoverText(options.file));
    // The device shell, when there is one, tells which of its threads hears
    // press feedback from the skinned controls.
    if (plat::Window shell = plat::findWindow(u"", u"MainMenu"))
      controls::SetShellPressThread(static_cast<uint32_t>(plat::sendMessage(shell, plat::kMsgUser + 1, 0, 0)));
    app.startDevices();
    if (!options.screenshot.empty()) code = runUntilFirstFrame(app, screen, options.screenshot);
    else if (options.headless) code = app.runMessageLoop();
    else code = runWithDisplay(app, screen, options.scale);
    app.shutdown(code);
    instanceLock.reset();
  }
  skin::imageCache().clear();
  plat::unpublishWindows();
  xmlCleanupParser();
  return code;
}
