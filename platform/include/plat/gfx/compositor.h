// The compositor: stacks the top-level window surfaces (clipped by their
// shapes) into one frame buffer, and shows the video overlay plane wherever
// the composed pixels hold the key colour inside the overlay's rectangle.
//
// The compositor knows nothing of the window system: whoever owns the windows
// hands it layers, bottom first, either directly or through a LayerSource.
#pragma once
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

#include "plat/geometry.h"
#include "plat/gfx/surface.h"
#include "plat/region.h"
#include "plat/status.h"

namespace plat {

struct ComposeLayer {
  const Surface* surface = nullptr;  // the window's pixels; (0,0) is screenRect's top-left
  Rect screenRect;                   // where the window lies on the screen
  const Region* shape = nullptr;     // in window coordinates; null = the whole rectangle
};

class LayerSource {
 public:
  virtual ~LayerSource() = default;
  // Appends the visible top-level windows, bottom first. The surfaces must
  // stay valid and unchanged until compose() returns.
  virtual void collectLayers(std::vector<ComposeLayer>* bottomFirst) = 0;
};

// The overlay plane the media engine renders into. Safe to use from any
// thread: the engine hands frames on its own thread while the UI composes.
class VideoOverlay {
 public:
  // Where the plane lies on the screen; an empty rectangle hides it.
  void setRect(const Rect& screenRect);
  Rect rect() const;
  // A frame of 0xAARRGGBB pixels (alpha ignored); strideBytes >= 4 * width.
  Status setFrameRgb(int32_t width, int32_t height, const uint32_t* pixels, size_t strideBytes);
  // A frame in planar YUV 4:2:0 (BT.601, limited range); chroma planes are
  // (width + 1) / 2 by (height + 1) / 2.
  Status setFrameYuv420(int32_t width, int32_t height, const uint8_t* y, size_t yStride,
                        const uint8_t* u, size_t uStride, const uint8_t* v, size_t vStride);
  // Drops the frame: key-coloured pixels in the rectangle show black.
  void clear();
  bool hasFrame() const;
  uint64_t frameCount() const;

  // For the compositor: replaces key-coloured pixels of `frame` inside the
  // plane's rectangle with the frame scaled to the rectangle (black when
  // there is no frame).
  void composeInto(Surface* frame);

 private:
  mutable std::mutex mutex_;
  Rect rect_;
  Surface frame_;
  bool hasFrame_ = false;
  uint64_t frames_ = 0;
  // The frame scaled to rect_, rebuilt when either changes.
  Surface scaled_;
  uint64_t scaledFrame_ = ~uint64_t{0};
  Rect scaledRect_;
};

// The process-wide overlay plane that the engine and the display share.
VideoOverlay& videoOverlay();

class Compositor {
 public:
  static constexpr Size kDefaultFrameSize{800, 480};
  static constexpr Pixel kDesktop = makePixel(0, 0, 0);

  explicit Compositor(Size frameSize = kDefaultFrameSize, VideoOverlay* overlay = &videoOverlay());
  // E_INVALIDARG for a size a surface refuses (the old frame stays).
  Status resize(Size frameSize);

  void compose(const std::vector<ComposeLayer>& bottomFirst);
  void compose(LayerSource& source);
  const Surface& frame() const { return frame_; }
  Status writeScreenshot(const std::filesystem::path& hostPath) const;

 private:
  Surface frame_;
  VideoOverlay* overlay_;
  std::vector<ComposeLayer> scratch_;
};

}  // namespace plat
