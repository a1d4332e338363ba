#include "plat/region.h"

#include <algorithm>

namespace plat {

Region::Region(const Rect& rect) { add(rect); }

Region Region::fromRects(std::span<const Rect> rects) {
  Region region;
  for (const Rect& r : rects) region.add(r);
  return region;
}

bool Region::contains(Point p) const {
  if (!bounds_.contains(p)) return false;
  return std::any_of(rects_.begin(), rects_.end(), [p](const Rect& r) { return r.contains(p); });
}

void Region::add(const Rect& rect) {
  if (rect.empty()) return;
  // A rectangle already covered adds nothing; keeps repeated invalidations small.
  for (const Rect& r : rects_) {
    if (r.intersect(rect) == rect) return;
  }
  rects_.push_back(rect);
  bounds_ = bounds_.unite(rect);
}

void Region::unite(const Region& other) {
  for (const Rect& r : other.rects_) add(r);
}

void Region::offset(int32_t dx, int32_t dy) {
  for (Rect& r : rects_) r = r.offset(dx, dy);
  if (!rects_.empty()) bounds_ = bounds_.offset(dx, dy);
}

void Region::intersect(const Rect& clip) {
  std::vector<Rect> kept;
  Rect bounds;
  for (const Rect& r : rects_) {
    Rect part = r.intersect(clip);
    if (part.empty()) continue;
    kept.push_back(part);
    bounds = bounds.unite(part);
  }
  rects_ = std::move(kept);
  bounds_ = bounds;
}

void Region::clear() {
  rects_.clear();
  bounds_ = Rect{};
}

bool Region::samePixels(const Region& other) const {
  if (bounds_ != other.bounds_) return false;
  // Every cell of the grid cut by all rectangle edges is either wholly inside
  // or wholly outside each region, so testing one pixel per cell suffices.
  std::vector<int32_t> xs, ys;
  for (const auto* set : {&rects_, &other.rects_}) {
    for (const Rect& r : *set) {
      xs.insert(xs.end(), {r.left, r.right});
      ys.insert(ys.end(), {r.top, r.bottom});
    }
  }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    for (size_t j = 0; j + 1 < xs.size(); ++j) {
      Point p{xs[j], ys[i]};
      if (contains(p) != other.contains(p)) return false;
    }
  }
  return true;
}

}  // namespace plat
