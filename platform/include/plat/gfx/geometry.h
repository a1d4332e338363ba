// Integer geometry shared by the drawing, text and compositing code.
// Rectangles are half-open: [left, right) x [top, bottom). A rectangle whose
// right <= left or bottom <= top is empty. Widths and heights are computed in
// 64 bits so that extreme coordinates never overflow.
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

  static constexpr Rect fromXywh(int32_t x, int32_t y, int32_t w, int32_t h) {
    return Rect{x, y, static_cast<int32_t>(static_cast<int64_t>(x) + w),
                static_cast<int32_t>(static_cast<int64_t>(y) + h)};
  }
  constexpr int64_t width() const { return static_cast<int64_t>(right) - left; }
  constexpr int64_t height() const { return static_cast<int64_t>(bottom) - top; }
  constexpr bool isEmpty() const { return right <= left || bottom <= top; }
  constexpr bool contains(Point p) const {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
  }
  constexpr bool contains(int32_t x, int32_t y) const { return contains(Point{x, y}); }
  // Moves the rectangle; coordinates saturate at the 32-bit limits.
  constexpr Rect offset(int64_t dx, int64_t dy) const {
    return Rect{sat(left + dx), sat(top + dy), sat(right + dx), sat(bottom + dy)};
  }
  friend bool operator==(const Rect&, const Rect&) = default;

  static constexpr int32_t sat(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  }
};

// The common part of two rectangles (empty when they do not meet).
constexpr Rect intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.isEmpty()) return Rect{};
  return r;
}

// The smallest rectangle holding both (an empty input is ignored).
constexpr Rect boundingUnion(const Rect& a, const Rect& b) {
  if (a.isEmpty()) return b;
  if (b.isEmpty()) return a;
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

}  // namespace plat
