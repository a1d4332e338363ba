// The display: the screen size that back ends and layouts go by, and the
// compositor's view of the windows. The compositor (graphics layer) stacks
// the visible top-level windows, back to front, clipped by their shapes.
#pragma once
#include <functional>
#include <optional>
#include <vector>

#include "plat/geometry.h"
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

}  // namespace plat
