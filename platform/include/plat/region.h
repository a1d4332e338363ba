// A region: a set of pixels described by rectangles. Windows use regions for
// their shapes (hit testing and compositing) and for the part that needs
// repainting. The rectangles may overlap; a point is inside when any
// rectangle holds it. Empty rectangles are never stored.
#pragma once
#include <cstddef>
#include <span>
#include <vector>

#include "plat/geometry.h"

namespace plat {

class Region {
 public:
  Region() = default;
  explicit Region(const Rect& rect);
  static Region fromRects(std::span<const Rect> rects);

  bool empty() const { return rects_.empty(); }
  bool contains(Point p) const;
  // The smallest rectangle holding every pixel; all zero when empty.
  Rect bounds() const { return bounds_; }
  const std::vector<Rect>& rects() const { return rects_; }

  void add(const Rect& rect);
  void unite(const Region& other);
  void offset(int32_t dx, int32_t dy);
  // Keeps only the pixels inside clip.
  void intersect(const Rect& clip);
  void clear();

  // Same pixel set (compared pixel-exactly, however the rectangles are cut).
  bool samePixels(const Region& other) const;

 private:
  std::vector<Rect> rects_;
  Rect bounds_;
};

}  // namespace plat
