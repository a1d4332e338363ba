#include "plat/gfx/compositor.h"

#include <algorithm>
#include <cstring>

#include "plat/gfx/image.h"
#include "plat/gfx/rect_list.h"

namespace plat {

namespace {

inline uint8_t clamp8(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

bool frameArgsValid(int32_t width, int32_t height) {
  return width > 0 && height > 0 && Surface::validDimensions(width, height);
}

}  // namespace

void VideoOverlay::setRect(const Rect& screenRect) {
  std::lock_guard lock(mutex_);
  rect_ = screenRect.empty() ? Rect{} : screenRect;
}

Rect VideoOverlay::rect() const {
  std::lock_guard lock(mutex_);
  return rect_;
}

Status VideoOverlay::setFrameRgb(int32_t width, int32_t height, const uint32_t* pixels,
                                 size_t strideBytes) {
  if (!pixels) return E_POINTER;
  if (!frameArgsValid(width, height) || strideBytes < size_t{4} * width || strideBytes % 4 != 0)
    return E_INVALIDARG;
  Surface frame;
  if (failed(frame.reset(width, height))) return E_INVALIDARG;
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* src = pixels + (strideBytes / 4) * static_cast<size_t>(y);
    Pixel* dst = frame.row(y);
    for (int32_t x = 0; x < width; ++x) dst[x] = src[x] | 0xFF000000u;
  }
  std::lock_guard lock(mutex_);
  frame_ = std::move(frame);
  hasFrame_ = true;
  ++frames_;
  return S_OK;
}

Status VideoOverlay::setFrameYuv420(int32_t width, int32_t height, const uint8_t* y,
                                    size_t yStride, const uint8_t* u, size_t uStride,
                                    const uint8_t* v, size_t vStride) {
  if (!y || !u || !v) return E_POINTER;
  const size_t cw = (static_cast<size_t>(width) + 1) / 2;
  if (!frameArgsValid(width, height) || yStride < static_cast<size_t>(width) || uStride < cw ||
      vStride < cw)
    return E_INVALIDARG;
  Surface frame;
  if (failed(frame.reset(width, height))) return E_INVALIDARG;
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* yr = y + yStride * static_cast<size_t>(row);
    const uint8_t* ur = u + uStride * static_cast<size_t>(row / 2);
    const uint8_t* vr = v + vStride * static_cast<size_t>(row / 2);
    Pixel* dst = frame.row(row);
    for (int32_t x = 0; x < width; ++x) {
      // BT.601 limited range in 8.8 fixed point.
      const int c = 298 * (yr[x] - 16);
      const int d = ur[x / 2] - 128, e = vr[x / 2] - 128;
      dst[x] = makePixel(clamp8((c + 409 * e + 128) >> 8), clamp8((c - 100 * d - 208 * e + 128) >> 8),
                         clamp8((c + 516 * d + 128) >> 8));
    }
  }
  std::lock_guard lock(mutex_);
  frame_ = std::move(frame);
  hasFrame_ = true;
  ++frames_;
  return S_OK;
}

void VideoOverlay::clear() {
  std::lock_guard lock(mutex_);
  frame_ = Surface();
  hasFrame_ = false;
  ++frames_;
}

bool VideoOverlay::hasFrame() const {
  std::lock_guard lock(mutex_);
  return hasFrame_;
}

uint64_t VideoOverlay::frameCount() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

void VideoOverlay::composeInto(Surface* out) {
  std::lock_guard lock(mutex_);
  const Rect area = rect_.intersect(out->bounds());
  if (area.empty()) return;
  const Pixel key = pixelFromColorRef(kVideoKeyColor) & kRgbMask;
  if (hasFrame_ && (scaledFrame_ != frames_ || scaledRect_ != rect_)) {
    // Scale once per frame and rectangle, not once per composition.
    const int64_t w = spanX(rect_), h = spanY(rect_);
    if (Surface::validDimensions(w, h) &&
        succeeded(scaled_.reset(static_cast<int32_t>(w), static_cast<int32_t>(h)))) {
      std::vector<int32_t> cols(static_cast<size_t>(w));
      for (int64_t x = 0; x < w; ++x) cols[x] = static_cast<int32_t>(x * frame_.width() / w);
      for (int64_t yy = 0; yy < h; ++yy) {
        const Pixel* src = frame_.row(static_cast<int32_t>(yy * frame_.height() / h));
        Pixel* dst = scaled_.row(static_cast<int32_t>(yy));
        for (int64_t x = 0; x < w; ++x) dst[x] = src[cols[x]];
      }
      scaledFrame_ = frames_;
      scaledRect_ = rect_;
    } else {
      scaled_ = Surface();
    }
  }
  const bool show = hasFrame_ && !scaled_.empty();
  for (int32_t yy = area.top; yy < area.bottom; ++yy) {
    Pixel* row = out->row(yy);
    const Pixel* video = show ? scaled_.row(yy - rect_.top) - rect_.left : nullptr;
    for (int32_t x = area.left; x < area.right; ++x)
      if ((row[x] & kRgbMask) == key) row[x] = show ? video[x] : makePixel(0, 0, 0);
  }
}

VideoOverlay& videoOverlay() {
  static VideoOverlay* overlay = new VideoOverlay();  // shared by engine and display for the process
  return *overlay;
}

Compositor::Compositor(Size frameSize, VideoOverlay* overlay) : overlay_(overlay) {
  if (failed(frame_.reset(frameSize.width, frameSize.height, kDesktop)))
    frame_.reset(kDefaultFrameSize.width, kDefaultFrameSize.height, kDesktop);
}

Status Compositor::resize(Size frameSize) {
  if (frameSize.width <= 0 || frameSize.height <= 0) return E_INVALIDARG;
  return frame_.reset(frameSize.width, frameSize.height, kDesktop);
}

void Compositor::compose(LayerSource& source) {
  scratch_.clear();
  source.collectLayers(&scratch_);
  compose(scratch_);
}

void Compositor::compose(const std::vector<ComposeLayer>& bottomFirst) {
  // Top to bottom: each layer fills only what the layers above left open, so
  // every frame pixel is written once.
  RectList covered;
  RectList pieces;
  for (auto it = bottomFirst.rbegin(); it != bottomFirst.rend(); ++it) {
    const ComposeLayer& layer = *it;
    if (!layer.surface) continue;
    const Rect onScreen = layer.screenRect.intersect(frame_.bounds());
    if (onScreen.empty()) continue;
    pieces.clear();
    if (layer.shape) {
      pieces = disjointUnion(intersectList(
          offsetList(layer.shape->rects(), layer.screenRect.left, layer.screenRect.top), onScreen));
    } else {
      pieces.push_back(onScreen);
    }
    for (const Rect& c : covered) {
      subtractFromList(&pieces, c);
      if (pieces.empty()) break;
    }
    const Surface& s = *layer.surface;
    for (const Rect& p : pieces) {
      // Parts of the window rectangle the surface does not cover show the desktop.
      const Rect fromSurface =
          offsetSaturated(s.bounds(), layer.screenRect.left, layer.screenRect.top).intersect(p);
      if (fromSurface != p) {
        RectList rest;
        subtractRect(p, fromSurface, &rest);
        for (const Rect& r : rest) frame_.fill(r, kDesktop);
      }
      for (int32_t y = fromSurface.top; y < fromSurface.bottom; ++y)
        std::memcpy(frame_.row(y) + fromSurface.left,
                    s.row(y - layer.screenRect.top) + (fromSurface.left - layer.screenRect.left),
                    static_cast<size_t>(fromSurface.right - fromSurface.left) * sizeof(Pixel));
      covered.push_back(p);
    }
  }
  RectList background{frame_.bounds()};
  for (const Rect& c : covered) {
    subtractFromList(&background, c);
    if (background.empty()) break;
  }
  for (const Rect& r : background) frame_.fill(r, kDesktop);
  if (overlay_) overlay_->composeInto(&frame_);
}

Status Compositor::writeScreenshot(const std::filesystem::path& hostPath) const {
  return writePngFile(frame_, hostPath);
}

}  // namespace plat
