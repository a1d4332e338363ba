#include "plat/gfx/surface.h"

#include <algorithm>

namespace plat {

bool Surface::validDimensions(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width <= kMaxDimension && height <= kMaxDimension &&
         width * height <= kMaxPixels;
}

Status Surface::reset(int32_t width, int32_t height, Pixel fill) {
  if (!validDimensions(width, height)) return E_INVALIDARG;
  std::vector<Pixel> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
  pixels_.swap(pixels);
  width_ = width;
  height_ = height;
  return S_OK;
}

Pixel Surface::pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return row(y)[x];
}

void Surface::setPixel(int32_t x, int32_t y, Pixel p) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  row(y)[x] = p;
}

void Surface::fill(const Rect& r, Pixel p) {
  Rect c = r.intersect(bounds());
  for (int32_t y = c.top; y < c.bottom; ++y) std::fill(row(y) + c.left, row(y) + c.right, p);
}

}  // namespace plat
