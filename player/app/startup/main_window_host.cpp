#include "app/startup/main_window_host.h"

#include "app/main_window/main_window.h"
#include "app/startup/handover.h"
#include "plat/debug.h"
#include "plat/window.h"

namespace tunora {

namespace {

class SkinnedMainWindow final : public MainWindowHost {
 public:
  SkinnedMainWindow(CDTVPlayerApp& app, IVexoCmnPlayerSession* session)
      : app_(app), session_(session), settings_(app.settings()), player_(session) {}

  ~SkinnedMainWindow() override {
    // The window goes first: its procedure and destructor still use the adapters.
    if (window_ && window_->window()) plat::setWindowProc(window_->window(), previousProc_);
    window_.reset();
  }

  bool create() {
    mainwnd::MainWindowContext context;
    mainwnd::bindSkinSet(context, app_.skins());
    context.settings = &settings_;
    context.player = &player_;
    AcceleratorRegistry& registry = app_.accelerators();
    context.acceleratorRegistry.registerPair = [&registry](plat::Window w, const plat::AcceleratorTable* table) {
      if (!registry.registerTable(w, table)) plat::debugPrintf("main window accelerators not registered\n");
    };
    context.acceleratorRegistry.unregisterPair = [&registry](plat::Window w) { registry.unregisterTable(w); };
    context.acceleratorRegistry.activate = [&registry](plat::Window w) { registry.activate(w); };
    // Exit ends the message loop with code 0; the application's shutdown
    // then hides the video and this window and saves what it must.
    context.exit = [] { plat::postQuitMessage(0); };
    window_ = std::make_unique<mainwnd::CMainWnd>(std::move(context));
    if (!window_->Create()) return false;
    // A second start announces its file with a message the window itself
    // does not know; take it before the window's own procedure.
    const plat::Window w = window_->window();
    previousProc_ = plat::setWindowProc(
        w, [this](plat::Window target, uint32_t msg, plat::WParam wp, plat::LParam lp) -> plat::LResult {
          if (msg == kMsgOpenPendingFile) {
            takeHandedOverFile();
            return 0;
          }
          return plat::callWindowProc(previousProc_, target, msg, wp, lp);
        });
    return true;
  }

  plat::Window window() const override { return window_ ? window_->window() : plat::Window{}; }
  // Layout happened at creation; choosing and starting the first source
  // belongs to the source and playback flows, which are not wired in yet.
  void start() override {}
  void openFile(plat::StringView16 path) override { remember(path); }
  void hide() override {
    if (window_) plat::showWindow(window_->window(), false);
  }

 private:
  void takeHandedOverFile() {
    int error = 0;
    auto memory = SharedPathMemory::open(&error);
    if (!memory) {
      plat::debugPrintf("Could not map view of file (%d).\n", error);
      return;
    }
    const plat::String16 path = memory->read();
    plat::setForegroundWindow(window());
    plat::showWindow(window(), true);
    remember(path);
  }

  // Opens the file as the first session's file source, as a command-line or
  // handed-over file asks.
  void remember(plat::StringView16 path) {
    if (path.empty()) return;
    pendingFile_ = plat::String16(path.substr(0, kShareMemoryChars - 1));
    plat::Status st = plat::E_UNEXPECTED;
    if (session_) st = session_->OpenFile(app_.sourceManager(), pendingFile_.c_str());
    plat::debugPrintf("open file %s: %s\n", plat::utf16ToUtf8(pendingFile_).c_str(), plat::statusName(st));
  }

  CDTVPlayerApp& app_;
  IVexoCmnPlayerSession* session_;  // owned by the application object
  mainwnd::StoreSettings settings_;
  mainwnd::SessionPlayer player_;
  plat::WindowProc previousProc_;
  plat::String16 pendingFile_;
  std::unique_ptr<mainwnd::CMainWnd> window_;
};

}  // namespace

std::unique_ptr<MainWindowHost> createMainWindow(CDTVPlayerApp& app, const plat::Rect& /*rect*/) {
  // CMainWnd places itself from the same skin rectangle the application read.
  IVexoCmnPlayerSession* session = app.firstSession();
  if (!session) session = app.createPlayerSession();
  auto host = std::make_unique<SkinnedMainWindow>(app, session);
  if (!host->create()) {
    plat::debugPrintf("the main window could not be created\n");
    return nullptr;
  }
  return host;
}

}  // namespace tunora
