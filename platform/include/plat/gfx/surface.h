// A 32-bit pixel buffer: the storage behind bitmaps, window surfaces, decoded
// images and the compositor's frame. Dimensions are bounded so that sizes
// read from files or skins can never request absurd allocations.
#pragma once
#include <cstdint>
#include <vector>

#include "plat/gfx/color.h"
#include "plat/geometry.h"
#include "plat/status.h"

namespace plat {

class Surface {
 public:
  static constexpr int32_t kMaxDimension = 16384;
  static constexpr int64_t kMaxPixels = int64_t{64} << 20;

  Surface() = default;
  // Allocates width x height pixels set to `fill`; E_INVALIDARG for negative
  // or oversized dimensions (the surface is left unchanged then).
  Status reset(int32_t width, int32_t height, Pixel fill = 0);
  static bool validDimensions(int64_t width, int64_t height);

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  Rect bounds() const { return Rect{0, 0, width_, height_}; }
  bool empty() const { return width_ == 0 || height_ == 0; }

  Pixel* row(int32_t y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const Pixel* row(int32_t y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  Pixel* data() { return pixels_.data(); }
  const Pixel* data() const { return pixels_.data(); }

  // Bounds-checked single pixel access; reads outside give 0, writes are dropped.
  Pixel pixel(int32_t x, int32_t y) const;
  void setPixel(int32_t x, int32_t y, Pixel p);
  // Fills the part of `r` that lies inside the surface.
  void fill(const Rect& r, Pixel p);

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<Pixel> pixels_;
};

}  // namespace plat
