// Where the window system meets the graphics layer. Every top-level window
// has a surface of its size; a device context for any window draws into its
// top-level window's surface at the window's offset, clipped to the part of
// the window that is visible within its top-level window: inside its own and
// its ancestors' client areas and shapes, outside siblings stacked above it
// (at every level), and outside its children when it clips children. The
// compositor takes the surfaces through the LayerSource interface.
//
// A Screen bundles the surfaces and a compositor and installs itself as the
// window system's paint back end and frame compositor; the display back ends
// (headless, SDL2) have it compose and show its frame. Composing on a thread
// other than the painting one is memory-safe (surfaces are replaced, not
// reallocated, on a resize), but may show a half-painted window for a frame.
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "plat/display.h"
#include "plat/gfx/compositor.h"
#include "plat/gfx/dc.h"
#include "plat/window.h"

namespace plat {

class WindowSurfaces : public PaintBackend, public LayerSource {
 public:
  WindowSurfaces() = default;
  ~WindowSurfaces() override;
  WindowSurfaces(const WindowSurfaces&) = delete;
  WindowSurfaces& operator=(const WindowSurfaces&) = delete;

  DeviceContext* acquire(Window window, const Region& clip) override;
  void release(Window window, DeviceContext* dc) override;
  void eraseBackground(DeviceContext* dc, const Rect& rect, const ClassBackground& background) override;
  void collectLayers(std::vector<ComposeLayer>* bottomFirst) override;

  // The part of `window` a device context may touch, in the coordinates of
  // its top-level window; *topLevel and *origin (the window's client origin
  // there) are filled in. `clip` is in the window's client coordinates.
  static RectList visibleArea(Window window, const RectList& clip, Window* topLevel, Point* origin);
  size_t surfaceCount() const;
  size_t openContexts() const;

 private:
  struct OpenContext {
    std::unique_ptr<DeviceContext> dc;
    std::shared_ptr<Surface> surface;  // kept alive while the context is open
  };
  // A resize replaces the surface object, so open contexts and a composition
  // in progress keep reading the one they were given.
  std::shared_ptr<Surface> surfaceFor(Window topLevel);  // mutex_ held
  mutable std::mutex mutex_;
  std::map<uint32_t, std::shared_ptr<Surface>> surfaces_;
  std::unordered_map<DeviceContext*, OpenContext> contexts_;
  std::vector<ComposedWindow> composed_;        // keeps shapes alive during composition
  std::vector<std::shared_ptr<Surface>> held_;  // and the surfaces
};

class Screen : public FrameCompositor {
 public:
  explicit Screen(Size size = screenSize());
  // Removes itself as the paint back end.
  ~Screen() override;
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // Becomes the window system's paint back end and frame compositor.
  void install();
  // Composes a frame of the given size (the frame is resized when it differs).
  bool composeFrame(Size screen) override;
  // Composes the visible top-level windows and the video overlay.
  const Surface& compose();
  const Surface& frame() const { return compositor_.frame(); }
  Status writeScreenshot(const std::filesystem::path& hostPath) { return compositor_.writeScreenshot(hostPath); }
  WindowSurfaces& surfaces() { return surfaces_; }
  Compositor& compositor() { return compositor_; }

 private:
  WindowSurfaces surfaces_;
  Compositor compositor_;
  bool installed_ = false;
};

}  // namespace plat
