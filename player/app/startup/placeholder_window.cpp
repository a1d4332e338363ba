#include "app/startup/placeholder_window.h"

#include "app/startup/handover.h"
#include "plat/debug.h"
#include "plat/gfx/dc.h"
#include "plat/window.h"

namespace tunora {

namespace {

class PlaceholderMainWindow final : public MainWindowHost {
 public:
  PlaceholderMainWindow(CDTVPlayerApp& app, const plat::Rect& rect) : app_(app) {
    static const bool registered = plat::registerClass(plat::WindowClass{kMainWindowClass, 0, proc, {}});
    (void)registered;
    plat::CreateWindowParams p;
    p.className = kMainWindowClass;
    p.title = kMainWindowTitle;
    p.style = plat::kStyleVisible;
    p.rect = rect;
    window_ = plat::createWindow(p);
    if (window_) plat::setUserData(window_, reinterpret_cast<uintptr_t>(this));
  }
  ~PlaceholderMainWindow() override {
    if (window_) {
      plat::setUserData(window_, 0);
      plat::destroyWindow(window_);
    }
  }
  plat::Window window() const override { return window_; }
  void start() override { app_.createPlayerSession(); }
  void openFile(plat::StringView16 path) override {
    pending_ = plat::String16(path.substr(0, kShareMemoryChars - 1));
    plat::postMessage(window_, kMsgOpenPendingFile, 0, 0);
  }
  void hide() override { plat::showWindow(window_, false); }

 private:
  void openPending() {
    if (pending_.empty()) {
      // From another instance: the text waits in the shared memory.
      int error = 0;
      auto memory = SharedPathMemory::open(&error);
      if (!memory) {
        plat::debugPrintf("Could not map view of file (%d).\n", error);
        return;
      }
      pending_ = memory->read();
      plat::setForegroundWindow(window_);
      plat::showWindow(window_, true);
    }
    if (IVexoCmnPlayerSession* session = app_.firstSession(); session && !pending_.empty()) {
      const plat::Status st = session->OpenFile(app_.sourceManager(), pending_.c_str());
      plat::debugPrintf("open file %s: %s\n", plat::utf16ToUtf8(pending_).c_str(), plat::statusName(st));
    }
    lastOpened_ = pending_;
    pending_.clear();
    plat::invalidate(window_);
  }

  void paint() {
    plat::PaintInfo info;
    if (!plat::beginPaint(window_, &info)) return;
    if (info.dc) {
      const plat::Rect client = plat::clientRect(window_);
      for (int y = 0; y < client.bottom; ++y)
        info.dc->fillRect(plat::Rect{0, y, client.right, y + 1},
                          plat::makeColorRef(10, static_cast<uint8_t>(20 + y / 10), static_cast<uint8_t>(40 + y / 5)));
      info.dc->setBackgroundMode(plat::BackgroundMode::Transparent);
      info.dc->selectFont(plat::createFont(plat::FontSpec{u"DejaVu Sans", 40, plat::kWeightBold}));
      info.dc->setTextColor(plat::makeColorRef(255, 255, 255));
      plat::Rect title{0, client.bottom / 2 - 60, client.right, client.bottom / 2};
      info.dc->drawText(kMainWindowTitle, &title, plat::text_format::kCenter);
      info.dc->selectFont(plat::createFont(plat::FontSpec{u"Noto Sans CJK JP", 20}));
      info.dc->setTextColor(plat::makeColorRef(180, 200, 230));
      plat::Rect line{0, client.bottom / 2 + 10, client.right, client.bottom / 2 + 40};
      const plat::String16 text = lastOpened_.empty() ? plat::String16(u"地上デジタル放送 ワンセグ  —  tuners ready")
                                                      : u"Opened: " + lastOpened_;
      info.dc->drawText(text, &line, plat::text_format::kCenter | plat::text_format::kEndEllipsis);
    }
    plat::endPaint(window_, &info);
  }

  static plat::LResult proc(plat::Window w, uint32_t msg, plat::WParam wp, plat::LParam lp) {
    auto* self = reinterpret_cast<PlaceholderMainWindow*>(plat::userData(w));
    if (self) {
      if (msg == kMsgOpenPendingFile) {
        self->openPending();
        return 0;
      }
      if (msg == plat::kMsgPaint) {
        self->paint();
        return 0;
      }
      if (msg == plat::kMsgActivate) self->app_.accelerators().activate(w);
    }
    if (msg == plat::kMsgClose) plat::postQuitMessage(0);
    return plat::defaultWindowProc(w, msg, wp, lp);
  }

  CDTVPlayerApp& app_;
  plat::Window window_;
  plat::String16 pending_;
  plat::String16 lastOpened_;
};

}  // namespace

std::unique_ptr<MainWindowHost> createPlaceholderMainWindow(CDTVPlayerApp& app, const plat::Rect& rect) {
  return std::make_unique<PlaceholderMainWindow>(app, rect);
}

}  // namespace tunora
