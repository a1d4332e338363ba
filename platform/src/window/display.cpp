// The headless display back end and the compositor hook.
#include <atomic>

#include "plat/display.h"
#include "window/state.h"

namespace plat {

namespace {
std::atomic<FrameCompositor*> g_compositor{nullptr};
}  // namespace

void setFrameCompositor(FrameCompositor* compositor) { g_compositor.store(compositor); }
FrameCompositor* frameCompositor() { return g_compositor.load(); }

HeadlessDisplay::HeadlessDisplay(Size size)
    : previousSize_(screenSize()), dirty_(std::make_shared<std::atomic<bool>>(true)) {
  setScreenSize(size);
  setScreenChangedListener([dirty = dirty_] { dirty->store(true); });
}

HeadlessDisplay::~HeadlessDisplay() {
  setScreenChangedListener({});
  setScreenSize(previousSize_);
}

bool HeadlessDisplay::frameDirty() const { return dirty_->load(); }

bool HeadlessDisplay::renderFrame() {
  FrameCompositor* compositor = frameCompositor();
  if (!compositor) return false;
  dirty_->store(false);
  return compositor->composeFrame(screenSize());
}

}  // namespace plat
