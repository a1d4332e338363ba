// Sets of rectangles kept as lists of disjoint rectangles: clip areas of
// device contexts, visible parts of windows in the compositor, and shapes
// read from region data.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "plat/geometry.h"

namespace plat {

// Rectangle arithmetic that stays exact for extreme coordinates: spans in
// 64 bits, moves that saturate at the 32-bit limits.
constexpr int64_t spanX(const Rect& r) { return int64_t{r.right} - r.left; }
constexpr int64_t spanY(const Rect& r) { return int64_t{r.bottom} - r.top; }
constexpr int32_t saturate32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
constexpr Rect offsetSaturated(const Rect& r, int64_t dx, int64_t dy) {
  return Rect{saturate32(r.left + dx), saturate32(r.top + dy), saturate32(r.right + dx),
              saturate32(r.bottom + dy)};
}
constexpr Rect intersectRects(const Rect& a, const Rect& b) { return a.intersect(b); }

using RectList = std::vector<Rect>;

// The parts of `a` not covered by `b` (at most four rectangles), appended to out.
void subtractRect(const Rect& a, const Rect& b, RectList* out);
// Removes `cut` from every rectangle of `list`.
void subtractFromList(RectList* list, const Rect& cut);
// The union of arbitrary rectangles as disjoint rectangles; empty ones are dropped.
RectList disjointUnion(const RectList& rects);
// Every rectangle of `list` intersected with `r`; empty results are dropped.
RectList intersectList(const RectList& list, const Rect& r);
// Intersection of two disjoint lists (the result is disjoint).
RectList intersectLists(const RectList& a, const RectList& b);
RectList offsetList(const RectList& list, int64_t dx, int64_t dy);
bool listContains(const RectList& list, Point p);
Rect listBounds(const RectList& list);
int64_t listArea(const RectList& disjoint);

}  // namespace plat
