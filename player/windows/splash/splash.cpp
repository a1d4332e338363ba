#include "splash.h"

#include <algorithm>

#include "app/skin/image_cache.h"
#include "app/skin/skin_document.h"
#include "plat/gfx/dc.h"
#include "plat/window.h"

namespace tunora {
namespace {

constexpr char16_t kSplashClass[] = u"SplashWindowClass";
constexpr char16_t kWaitingClass[] = u"WaitingWindowClass";
constexpr char16_t kTitle[] = u"Tunora";
// More frames than this is a damaged skin; the rest are ignored.
constexpr int32_t kMaxWaitingFrames = 64;

void registerOnce(const char16_t* name, plat::WindowProc proc) {
  if (plat::isClassRegistered(name)) return;
  plat::WindowClass c;
  c.name = name;
  c.style = plat::kClassRedrawOnResize | plat::kClassDoubleClicks;
  c.proc = std::move(proc);
  c.background = plat::ClassBackground{plat::ClassBackground::Kind::Color, 0x000000};
  plat::registerClass(c);
}

plat::Window createPopup(const char16_t* className, void* self) {
  plat::CreateWindowParams p;
  p.className = className;
  p.title = kTitle;
  p.style = plat::kStyleVisible | plat::kStyleClipChildren;
  p.rect = plat::Rect{0, 0, 0, 0};
  plat::Window w = plat::createWindow(p);
  if (w) plat::setUserData(w, reinterpret_cast<uintptr_t>(self));
  return w;
}

plat::ImagePtr picture(skin::SkinDocument& doc, const char* section, const std::string& key) {
  const auto path = doc.getPicturePath(section, key);
  return path ? skin::imageCache().load(*path) : nullptr;
}

template <typename T>
T* objectOf(plat::Window w) {
  return reinterpret_cast<T*>(plat::userData(w));
}

}  // namespace

// --- splash ---------------------------------------------------------------

VexoSplashWindow::VexoSplashWindow(skin::SkinDocument& comm) {
  registerOnce(kSplashClass, &VexoSplashWindow::proc);
  background_ = picture(comm, "SplashWindow", "BkImage");
  window_ = createPopup(kSplashClass, this);
}

VexoSplashWindow::~VexoSplashWindow() {
  if (window_) {
    plat::setUserData(window_, 0);
    plat::destroyWindow(window_);
  }
}

void VexoSplashWindow::Show() { plat::showWindow(window_, true); }
void VexoSplashWindow::Hide() { plat::showWindow(window_, false); }
void VexoSplashWindow::SetRect(const plat::Rect& rect) { plat::moveWindow(window_, rect); }
plat::Rect VexoSplashWindow::GetRect() const { return plat::windowRect(window_); }

void VexoSplashWindow::paint() {
  plat::PaintInfo info;
  if (!plat::beginPaint(window_, &info)) return;
  if (info.dc) {
    const plat::Rect client = plat::clientRect(window_);
    if (background_) info.dc->drawImage(*background_, client);
    else info.dc->fillRect(client, plat::makeColorRef(0, 0, 0));
  }
  plat::endPaint(window_, &info);
}

plat::LResult VexoSplashWindow::proc(plat::Window w, uint32_t msg, plat::WParam wp, plat::LParam lp) {
  auto* self = objectOf<VexoSplashWindow>(w);
  if (msg == plat::kMsgPaint && self) {
    self->paint();
    return 0;
  }
  if (msg == plat::kMsgEraseBackground && self) return 1;
  return plat::defaultWindowProc(w, msg, wp, lp);
}

// --- waiting window ---------------------------------------------------------

VexoWaitingWindow::VexoWaitingWindow(skin::SkinDocument& comm) {
  registerOnce(kWaitingClass, &VexoWaitingWindow::proc);
  background_ = picture(comm, "WaitingWindow", "BkImage");
  const int32_t count = std::clamp(comm.getNumber("WaitingWindow", "WaitingImgNum").value_or(0), 0,
                                   kMaxWaitingFrames);
  for (int32_t i = 1; i <= count; ++i)
    frames_.push_back(picture(comm, "WaitingWindow", plat::formatString("WaitingImg%d", i)));
  frameRect_ = comm.getRect("WaitingWindow", "WaitingRect").value_or(plat::Rect{});
  window_ = createPopup(kWaitingClass, this);
}

VexoWaitingWindow::~VexoWaitingWindow() {
  if (window_) {
    plat::killTimer(window_, kWaitingTimerId);
    plat::setUserData(window_, 0);
    plat::destroyWindow(window_);
  }
}

void VexoWaitingWindow::Show() {
  plat::killTimer(window_, kWaitingTimerId);
  frame_ = 0;
  plat::showWindow(window_, true);
  plat::invalidate(window_);
  plat::updateWindow(window_);
  animating_ = plat::setTimer(window_, kWaitingTimerId, kWaitingFrameMs);
}

void VexoWaitingWindow::Hide() {
  // Stopping the timer first: no frame is drawn once Hide has returned.
  plat::killTimer(window_, kWaitingTimerId);
  animating_ = false;
  plat::showWindow(window_, false);
}

void VexoWaitingWindow::SetRect(const plat::Rect& rect) { plat::moveWindow(window_, rect); }
plat::Rect VexoWaitingWindow::GetRect() const { return plat::windowRect(window_); }

plat::Rect VexoWaitingWindow::frameRect() const {
  const plat::Rect client = plat::clientRect(window_);
  // Centred when the skin places the frame at 0,0; halves truncate toward zero.
  const int32_t dx = (client.right - frameRect_.right) / 2;
  const int32_t dy = (client.bottom - frameRect_.bottom) / 2;
  return plat::Rect{frameRect_.left + dx, frameRect_.top + dy, frameRect_.right + dx, frameRect_.bottom + dy};
}

void VexoWaitingWindow::paint() {
  plat::PaintInfo info;
  if (!plat::beginPaint(window_, &info)) return;
  if (info.dc) {
    const plat::Rect client = plat::clientRect(window_);
    if (background_) info.dc->drawImage(*background_, client);
    else info.dc->fillRect(client, plat::makeColorRef(0, 0, 0));
    if (frame_ < frames_.size() && frames_[frame_]) info.dc->drawImage(*frames_[frame_], frameRect());
  }
  plat::endPaint(window_, &info);
}

void VexoWaitingWindow::step() {
  if (!animating_) return;
  // Without frames there is nothing to cycle, but the time-out still counts.
  if (!frames_.empty()) frame_ = (frame_ + 1) % frames_.size();
  plat::invalidate(window_, nullptr, false);
  plat::updateWindow(window_);
  if (steps_++ > kWaitingMaxSteps) plat::postMessage(window_, kMsgWaitingTimeout);
}

plat::LResult VexoWaitingWindow::proc(plat::Window w, uint32_t msg, plat::WParam wp, plat::LParam lp) {
  auto* self = objectOf<VexoWaitingWindow>(w);
  if (!self) return plat::defaultWindowProc(w, msg, wp, lp);
  switch (msg) {
    case plat::kMsgPaint:
      self->paint();
      return 0;
    case plat::kMsgEraseBackground:
      return 1;
    case plat::kMsgTimer:
      if (wp == kWaitingTimerId) self->step();
      return 0;
    case kMsgWaitingTimeout:
      // A time-out that arrives after the window was hidden is stale.
      if (!self->animating_) return 0;
      self->Hide();
      plat::postQuitMessage(kWaitingTimeoutExitCode);
      return 0;
    default:
      return plat::defaultWindowProc(w, msg, wp, lp);
  }
}

std::unique_ptr<VexoSplash> createStartupWindow(skin::SkinDocument& comm) {
  if (comm.getNumber("WaitingWindow", "Existed").value_or(0) != 0)
    return std::make_unique<VexoWaitingWindow>(comm);
  return std::make_unique<VexoSplashWindow>(comm);
}

}  // namespace tunora
