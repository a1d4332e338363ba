#include "plat/gfx/rect_list.h"

namespace plat {

void subtractRect(const Rect& a, const Rect& b, RectList* out) {
  if (a.empty()) return;
  Rect i = intersectRects(a, b);
  if (i.empty()) {
    out->push_back(a);
    return;
  }
  // Bands above and below the intersection span the full width; the side
  // pieces span only the intersection's height.
  if (a.top < i.top) out->push_back(Rect{a.left, a.top, a.right, i.top});
  if (i.bottom < a.bottom) out->push_back(Rect{a.left, i.bottom, a.right, a.bottom});
  if (a.left < i.left) out->push_back(Rect{a.left, i.top, i.left, i.bottom});
  if (i.right < a.right) out->push_back(Rect{i.right, i.top, a.right, i.bottom});
}

void subtractFromList(RectList* list, const Rect& cut) {
  if (cut.empty()) return;
  RectList result;
  result.reserve(list->size() + 4);
  for (const Rect& r : *list) subtractRect(r, cut, &result);
  list->swap(result);
}

RectList disjointUnion(const RectList& rects) {
  RectList accepted;
  for (const Rect& r : rects) {
    if (r.empty()) continue;
    RectList pieces{r};
    for (const Rect& a : accepted) {
      subtractFromList(&pieces, a);
      if (pieces.empty()) break;
    }
    accepted.insert(accepted.end(), pieces.begin(), pieces.end());
  }
  return accepted;
}

RectList intersectList(const RectList& list, const Rect& r) {
  RectList out;
  for (const Rect& a : list) {
    Rect i = intersectRects(a, r);
    if (!i.empty()) out.push_back(i);
  }
  return out;
}

RectList intersectLists(const RectList& a, const RectList& b) {
  RectList out;
  for (const Rect& x : a)
    for (const Rect& y : b) {
      Rect i = intersectRects(x, y);
      if (!i.empty()) out.push_back(i);
    }
  return out;
}

RectList offsetList(const RectList& list, int64_t dx, int64_t dy) {
  RectList out;
  out.reserve(list.size());
  for (const Rect& r : list) {
    Rect o = offsetSaturated(r, dx, dy);
    if (!o.empty()) out.push_back(o);
  }
  return out;
}

bool listContains(const RectList& list, Point p) {
  for (const Rect& r : list)
    if (r.contains(p)) return true;
  return false;
}

Rect listBounds(const RectList& list) {
  Rect b;
  for (const Rect& r : list) b = b.unite(r);
  return b;
}

int64_t listArea(const RectList& disjoint) {
  int64_t area = 0;
  for (const Rect& r : disjoint)
    if (!r.empty()) area += spanX(r) * spanY(r);
  return area;
}

}  // namespace plat
