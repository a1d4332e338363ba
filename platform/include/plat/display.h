// The display: the screen size that back ends and layouts go by, and the
// compositor's view of the windows. The compositor (graphics layer) stacks
// the visible top-level windows, back to front, clipped by their shapes.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "plat/geometry.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/region.h"

namespace plat {

inline constexpr Size kDefaultScreenSize{800, 480};

Size screenSize();
void setScreenSize(Size size);  // sizes below 1x1 are refused (no change)

struct ComposedWindow {
  Window window;
  Rect screenRect;
  std::optional<Region> shape;  // window coordinates
};
// Visible top-level windows, bottom first (painting order).
std::vector<ComposedWindow> visibleTopLevelWindows();

// Told whenever something on screen may have changed (a window shown,
// hidden, moved, reshaped, invalidated or destroyed), so a back end can
// schedule a frame. Called on the thread making the change, with no
// window-system lock held; keep it short. Empty function removes it.
void setScreenChangedListener(std::function<void()> listener);

// The compositor (graphics layer) turns the visible windows into a frame.
// Display back ends ask it for a frame whenever they want one; it reads the
// windows itself through visibleTopLevelWindows() and the window tree.
class FrameCompositor {
 public:
  virtual ~FrameCompositor() = default;
  // Builds the frame for the current screen; false when it cannot.
  virtual bool composeFrame(Size screen) = 0;
};
// Installs the compositor (nullptr removes it); the caller keeps it alive.
void setFrameCompositor(FrameCompositor* compositor);
FrameCompositor* frameCompositor();

// The headless back end: no host window. It sets the screen size, takes
// injected taps, drags and keys, and has the compositor build a frame on
// request. One at a time; the screen size goes back on destruction.
class HeadlessDisplay {
 public:
  explicit HeadlessDisplay(Size size = kDefaultScreenSize);
  ~HeadlessDisplay();
  HeadlessDisplay(const HeadlessDisplay&) = delete;
  HeadlessDisplay& operator=(const HeadlessDisplay&) = delete;

  Size size() const { return screenSize(); }
  void tap(Point p) { injectTap(p); }
  void press(Point p) { injectMouseDown(p); }
  void moveTo(Point p) { injectMouseMove(p); }
  void release(Point p) { injectMouseUp(p); }
  void drag(Point from, Point to, int steps = 4) { injectDrag(from, to, steps); }
  void key(uint32_t code, char16_t ch = 0, uint32_t modifiers = 0) { injectKey(code, ch, modifiers); }

  // Something on screen changed since the last frame.
  bool frameDirty() const;
  // Has the installed compositor build a frame; false without one.
  bool renderFrame();

 private:
  Size previousSize_;
  std::shared_ptr<std::atomic<bool>> dirty_;
};

}  // namespace plat
