#include "plat/gfx/window_surfaces.h"

#include <algorithm>
#include <cstring>

namespace plat {

namespace {

// The area a window covers in its parent's client coordinates: its rectangle,
// cut to its shape when it has one.
RectList coverInParent(Window w) {
  const Rect r = windowRectInParent(w);
  RectList cover{r};
  if (auto shape = windowShape(w))
    cover = intersectList(offsetList(disjointUnion(shape->rects()), r.left, r.top), r);
  return cover;
}

bool shown(Window w) { return (windowStyle(w) & kStyleVisible) != 0; }

void subtractAll(RectList* from, const RectList& cut) {
  for (const Rect& c : cut) {
    if (from->empty()) return;
    subtractFromList(from, c);
  }
}

}  // namespace

WindowSurfaces::~WindowSurfaces() = default;

RectList WindowSurfaces::visibleArea(Window window, const RectList& clip, Window* topLevel,
                                     Point* origin) {
  RectList vis = intersectList(disjointUnion(clip), clientRect(window));
  if (auto shape = windowShape(window)) vis = intersectLists(vis, disjointUnion(shape->rects()));
  if (windowStyle(window) & kStyleClipChildren)
    for (Window c = firstChild(window); c && !vis.empty(); c = nextSibling(c))
      if (shown(c)) subtractAll(&vis, coverInParent(c));
  Window cur = window;
  int64_t ox = 0, oy = 0;
  while (Window parent = parentOf(cur)) {
    const Rect r = windowRectInParent(cur);
    vis = offsetList(vis, r.left, r.top);
    ox += r.left;
    oy += r.top;
    // Siblings earlier in the list lie above this one.
    for (Window s = firstChild(parent); s && s != cur && !vis.empty(); s = nextSibling(s))
      if (shown(s)) subtractAll(&vis, coverInParent(s));
    vis = intersectList(vis, clientRect(parent));
    if (auto shape = windowShape(parent)) vis = intersectLists(vis, disjointUnion(shape->rects()));
    cur = parent;
  }
  if (topLevel) *topLevel = cur;
  if (origin) *origin = Point{saturate32(ox), saturate32(oy)};
  return vis;
}

std::shared_ptr<Surface> WindowSurfaces::surfaceFor(Window topLevel) {
  const Rect r = windowRect(topLevel);
  const int32_t w = std::max(0, r.width()), h = std::max(0, r.height());
  auto& slot = surfaces_[topLevel.id];
  if (!slot) slot = std::make_shared<Surface>();
  if (slot->width() != w || slot->height() != h) {
    // Keep what was drawn where the old and new sizes overlap.
    auto resized = std::make_shared<Surface>();
    if (failed(resized->reset(w, h, makePixel(0, 0, 0)))) return nullptr;
    const int32_t cw = std::min(w, slot->width()), ch = std::min(h, slot->height());
    for (int32_t y = 0; y < ch; ++y)
      std::memcpy(resized->row(y), slot->row(y), static_cast<size_t>(cw) * sizeof(Pixel));
    slot = std::move(resized);
  }
  return slot;
}

DeviceContext* WindowSurfaces::acquire(Window window, const Region& clip) {
  Window top;
  Point origin;
  RectList vis = visibleArea(window, clip.rects(), &top, &origin);
  if (!top) return nullptr;
  std::lock_guard lock(mutex_);
  std::shared_ptr<Surface> surface = surfaceFor(top);
  if (!surface) return nullptr;
  auto dc = DeviceContext::createForSurface(surface.get(), origin, std::move(vis));
  DeviceContext* raw = dc.get();
  contexts_.emplace(raw, OpenContext{std::move(dc), std::move(surface)});
  return raw;
}

void WindowSurfaces::release(Window, DeviceContext* dc) {
  OpenContext owned;
  {
    std::lock_guard lock(mutex_);
    auto it = contexts_.find(dc);
    if (it == contexts_.end()) return;
    owned = std::move(it->second);
    contexts_.erase(it);
  }
}

void WindowSurfaces::eraseBackground(DeviceContext* dc, const Rect& rect,
                                     const ClassBackground& background) {
  if (!dc) return;
  switch (background.kind) {
    case ClassBackground::Kind::None: return;
    case ClassBackground::Kind::Color:  // 0x00RRGGBB
      dc->fillRect(rect, makeColorRef(static_cast<uint8_t>(background.rgb >> 16),
                                      static_cast<uint8_t>(background.rgb >> 8),
                                      static_cast<uint8_t>(background.rgb)));
      return;
    case ClassBackground::Kind::SystemWindow:
      dc->fillRect(rect, stockBrush(StockBrush::White));
      return;
  }
}

void WindowSurfaces::collectLayers(std::vector<ComposeLayer>* out) {
  std::vector<ComposedWindow> windows = visibleTopLevelWindows();
  std::lock_guard lock(mutex_);
  // Forget the surfaces of windows that no longer exist.
  std::vector<Window> alive = topLevelWindows();
  for (auto it = surfaces_.begin(); it != surfaces_.end();) {
    const bool found = std::any_of(alive.begin(), alive.end(), [&](Window w) { return w.id == it->first; });
    it = found ? std::next(it) : surfaces_.erase(it);
  }
  composed_ = std::move(windows);
  held_.clear();
  for (const ComposedWindow& cw : composed_) {
    std::shared_ptr<Surface> s = surfaceFor(cw.window);
    if (!s) continue;
    out->push_back(ComposeLayer{s.get(), cw.screenRect, cw.shape ? &*cw.shape : nullptr});
    held_.push_back(std::move(s));
  }
}

size_t WindowSurfaces::surfaceCount() const {
  std::lock_guard lock(mutex_);
  return surfaces_.size();
}

size_t WindowSurfaces::openContexts() const {
  std::lock_guard lock(mutex_);
  return contexts_.size();
}

Screen::Screen(Size size) : compositor_(size) {}

Screen::~Screen() {
  if (!installed_) return;
  setPaintBackend(nullptr);
  if (frameCompositor() == this) setFrameCompositor(nullptr);
}

void Screen::install() {
  setPaintBackend(&surfaces_);
  setFrameCompositor(this);
  installed_ = true;
}

bool Screen::composeFrame(Size screen) {
  const Surface& f = compositor_.frame();
  if ((f.width() != screen.width || f.height() != screen.height) &&
      failed(compositor_.resize(screen)))
    return false;
  compose();
  return true;
}

const Surface& Screen::compose() {
  compositor_.compose(surfaces_);
  return compositor_.frame();
}

}  // namespace plat
