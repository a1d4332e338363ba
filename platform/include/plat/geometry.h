// Points, sizes and rectangles in pixels. A rectangle includes its left and
// top edges and excludes its right and bottom edges, so width = right - left.
#pragma once
#include <algorithm>
#include <cstdint>

namespace plat {

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  // The skins write rectangles as x, y, width, height.
  static constexpr Rect fromXYWH(int32_t x, int32_t y, int32_t w, int32_t h) { return {x, y, x + w, y + h}; }

  constexpr int32_t width() const { return right - left; }
  constexpr int32_t height() const { return bottom - top; }
  constexpr Size size() const { return {width(), height()}; }
  constexpr Point topLeft() const { return {left, top}; }
  constexpr bool empty() const { return right <= left || bottom <= top; }
  constexpr bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  constexpr Rect offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  // The common part; an empty rectangle (all zero) when they do not meet.
  constexpr Rect intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
    return r.empty() ? Rect{} : r;
  }
  // The smallest rectangle holding both; an empty operand is ignored.
  constexpr Rect unite(const Rect& o) const {
    if (empty()) return o.empty() ? Rect{} : o;
    if (o.empty()) return *this;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace plat
