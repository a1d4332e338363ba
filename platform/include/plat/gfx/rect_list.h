// Sets of rectangles kept as lists of disjoint rectangles: clip areas of
// device contexts, visible parts of windows in the compositor, and shapes
// read from region data.
#pragma once
#include <vector>

#include "plat/gfx/geometry.h"

namespace plat {

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
