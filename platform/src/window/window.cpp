// Window classes, windows, their properties and tree, focus, capture,
// activation and the default window procedure.
#include <algorithm>
#include <utility>

#include "plat/clock.h"
#include "window/peer.h"
#include "window/state.h"

namespace plat::win {

WindowData* findLocked(uint32_t id) {
  if (!id) return nullptr;
  auto& reg = registry();
  auto it = reg.windows.find(id);
  return it == reg.windows.end() ? nullptr : it->second.get();
}

WindowData* findLocked(Window window) { return findLocked(window.id); }

Rect screenRectLocked(const WindowData& d) {
  Rect r = d.rect;
  for (const WindowData* p = findLocked(d.parent); p; p = findLocked(p->parent)) r = r.offset(p->rect.left, p->rect.top);
  return r;
}

bool visibleLocked(const WindowData& d) {
  for (const WindowData* p = &d; p; p = findLocked(p->parent)) {
    if (!(p->style & kStyleVisible)) return false;
  }
  return true;
}

void notifyScreenChanged() {
  std::function<void()> listener;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    listener = reg.screenChanged;
  }
  if (listener) listener();
}

namespace {

// Where a top-level window goes when raised: the front of its band.
void insertTopLevelLocked(uint32_t id, bool topmost) {
  auto& reg = registry();
  std::erase(reg.topLevel, id);
  auto pos = reg.topLevel.begin();
  if (!topmost) {
    while (pos != reg.topLevel.end()) {
      WindowData* d = findLocked(*pos);
      if (!d || !(d->style & kStyleTopmost)) break;
      ++pos;
    }
  }
  reg.topLevel.insert(pos, id);
}

// Inside a window's subtree (the window included).
bool inSubtreeLocked(uint32_t id, uint32_t root) {
  for (WindowData* d = findLocked(id); d; d = findLocked(d->parent)) {
    if (d->id == root) return true;
  }
  return false;
}

void collectSubtreeLocked(uint32_t id, std::vector<uint32_t>* preOrder) {
  WindowData* d = findLocked(id);
  if (!d) return;
  preOrder->push_back(id);
  for (uint32_t child : d->children) collectSubtreeLocked(child, preOrder);
}

// Adds to a window's invalid part and, for a parent that does not clip its
// children, to the children it overlaps, since painting it covers them.
void invalidateLocked(WindowData& d, const Rect& rect, bool erase,
                      std::vector<std::pair<std::shared_ptr<ThreadQueue>, uint32_t>>* marked) {
  Rect client{0, 0, d.rect.width(), d.rect.height()};
  Rect part = rect.intersect(client);
  if (part.empty()) return;
  d.invalid.add(part);
  // Many small parts are merged into their bounds; painting a little more is cheaper.
  if (d.invalid.rects().size() > 16) d.invalid = Region(d.invalid.bounds());
  d.eraseNeeded = d.eraseNeeded || erase;
  marked->emplace_back(d.queue, d.id);
  if (d.style & kStyleClipChildren) return;
  for (uint32_t childId : d.children) {
    WindowData* c = findLocked(childId);
    if (!c || !(c->style & kStyleVisible)) continue;
    invalidateLocked(*c, part.offset(-c->rect.left, -c->rect.top), erase, marked);
  }
}

bool invalidateRect(Window window, const Rect* rect, bool erase) {
  std::vector<std::pair<std::shared_ptr<ThreadQueue>, uint32_t>> marked;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return false;
    Rect all{0, 0, d->rect.width(), d->rect.height()};
    invalidateLocked(*d, rect ? *rect : all, erase, &marked);
  }
  for (auto& [queue, id] : marked) markDirty(queue, id);
  if (!marked.empty()) notifyScreenChanged();
  return true;
}

// A window coming into view repaints whole, children included whatever its
// clipping style, since nothing of it is on screen yet.
void invalidateSubtree(Window window) {
  std::vector<std::pair<std::shared_ptr<ThreadQueue>, uint32_t>> marked;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    std::vector<uint32_t> subtree;
    collectSubtreeLocked(window.id, &subtree);
    for (uint32_t id : subtree) {
      WindowData* d = findLocked(id);
      if (!d) continue;
      d->invalid = Region(Rect{0, 0, d->rect.width(), d->rect.height()});
      d->eraseNeeded = true;
      marked.emplace_back(d->queue, d->id);
    }
  }
  for (auto& [queue, id] : marked) markDirty(queue, id);
}

String16 classKey(StringView16 name) { return toLowerAscii(name); }

}  // namespace
}  // namespace plat::win

namespace plat {

using namespace win;

bool registerClass(const WindowClass& windowClass) {
  if (windowClass.name.empty() || !windowClass.proc) return false;
  auto data = std::make_shared<ClassData>();
  data->info = windowClass;
  data->key = classKey(windowClass.name);
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  return reg.classes.emplace(data->key, data).second;
}

bool unregisterClass(StringView16 name) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  auto it = reg.classes.find(classKey(name));
  if (it == reg.classes.end() || it->second->liveWindows > 0) return false;
  reg.classes.erase(it);
  return true;
}

bool isClassRegistered(StringView16 name) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  return reg.classes.count(classKey(name)) != 0;
}

Window createWindow(const CreateWindowParams& params) {
  auto queue = currentQueue();
  Window window;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto cls = reg.classes.find(classKey(params.className));
    if (cls == reg.classes.end()) return {};
    bool child = params.style & kStyleChild;
    WindowData* parent = child ? findLocked(params.parent) : nullptr;
    if (child && (!parent || parent->destroying)) return {};
    WindowData* owner = child ? nullptr : findLocked(params.owner);

    auto d = std::make_shared<WindowData>();
    d->id = reg.nextId++;
    d->cls = cls->second;
    d->queue = queue;
    // Shown after creation succeeds, through showWindow.
    d->style = params.style & ~kStyleVisible;
    d->rect = params.rect;
    d->parent = parent ? parent->id : 0;
    d->owner = owner ? owner->id : 0;
    d->controlId = child ? params.controlId : 0;
    d->text = String16(params.title);
    d->proc = std::make_shared<const WindowProc>(cls->second->info.proc);
    ++cls->second->liveWindows;
    reg.windows.emplace(d->id, d);
    if (parent) {
      parent->children.push_back(d->id);
    } else {
      insertTopLevelLocked(d->id, d->style & kStyleTopmost);
    }
    window = Window{d->id};
  }
  if (callProc(window, kMsgCreate, 0, params.createParam) == -1) {
    destroyWindow(window);
    return {};
  }
  if (!windowExists(window)) return {};
  if (params.style & kStyleVisible) showWindow(window, true);
  if (!(params.style & kStyleChild)) peerWindowsChanged();
  return window;
}

bool destroyWindow(Window window) {
  std::vector<uint32_t> owned;
  std::vector<uint32_t> subtree;
  bool wasVisible = false;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d || d->destroying) return false;
    wasVisible = visibleLocked(*d);
    collectSubtreeLocked(window.id, &subtree);
    for (uint32_t id : subtree) findLocked(id)->destroying = true;
    for (uint32_t id : reg.topLevel) {
      WindowData* t = findLocked(id);
      if (t && t->owner && std::find(subtree.begin(), subtree.end(), t->owner) != subtree.end()) owned.push_back(id);
    }
  }
  // Owned pop-ups go first, as they cannot outlive their owner.
  for (uint32_t id : owned) destroyWindow(Window{id});
  // Parents hear of it before children; the last word goes children first.
  for (uint32_t id : subtree) callProc(Window{id}, kMsgDestroy, 0, 0);
  for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) callProc(Window{*it}, kMsgFinalDestroy, 0, 0);

  Window activateNext;
  Window oldActive;
  std::vector<std::shared_ptr<WindowData>> removed;
  uint32_t parentId = 0;
  Rect parentPart;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (d) {
      parentId = d->parent;
      parentPart = d->rect;
      if (WindowData* p = findLocked(d->parent)) std::erase(p->children, d->id);
    }
    std::erase(reg.topLevel, window.id);
    if (inSubtreeLocked(reg.capture, window.id)) reg.capture = 0;
    if (inSubtreeLocked(reg.focus, window.id)) reg.focus = 0;
    if (inSubtreeLocked(reg.active, window.id)) {
      oldActive = Window{reg.active};
      reg.active = 0;
      WindowData* owner = d ? findLocked(d->owner) : nullptr;
      if (owner && !owner->destroying && visibleLocked(*owner)) activateNext = Window{owner->id};
    }
    for (uint32_t id : subtree) {
      auto it = reg.windows.find(id);
      if (it == reg.windows.end()) continue;
      --it->second->cls->liveWindows;
      removed.push_back(it->second);
      reg.windows.erase(it);
    }
  }
  for (auto& d : removed) dropTimers(d->queue, d->id);
  if (parentId && wasVisible) invalidateRect(Window{parentId}, &parentPart, true);
  if (activateNext) setActiveWindow(activateNext);
  if (!parentId) peerWindowsChanged();
  notifyScreenChanged();
  return true;
}

bool windowExists(Window window) {
  auto& reg = registry();
  std::shared_lock lock(reg.mutex);
  WindowData* d = findLocked(window);
  return d != nullptr;
}

LResult defaultWindowProc(Window window, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case kMsgClose:
      destroyWindow(window);
      return 0;
    case kMsgPaint: {
      PaintInfo info;
      beginPaint(window, &info);
      endPaint(window, &info);
      return 0;
    }
    case kMsgEraseBackground: {
      ClassBackground background;
      PaintBackend* backend = nullptr;
      Rect client;
      {
        auto& reg = registry();
        std::lock_guard lock(reg.mutex);
        WindowData* d = findLocked(window);
        if (!d) return 0;
        background = d->cls->info.background;
        backend = reg.paintBackend;
        client = Rect{0, 0, d->rect.width(), d->rect.height()};
      }
      auto* dc = reinterpret_cast<DeviceContext*>(wParam);
      if (background.kind == ClassBackground::Kind::None || !backend || !dc) return 0;
      backend->eraseBackground(dc, client, background);
      return 1;
    }
    case kMsgSetText: {
      const auto* text = reinterpret_cast<const char16_t*>(lParam);
      bool topLevel = false;
      {
        auto& reg = registry();
        std::lock_guard lock(reg.mutex);
        WindowData* d = findLocked(window);
        if (!d) return 0;
        d->text = text ? String16(text) : String16();
        topLevel = !d->parent;
      }
      if (topLevel) peerWindowsChanged();
      return 1;
    }
    case kMsgGetText:
    case kMsgGetTextLength: {
      auto& reg = registry();
      std::lock_guard lock(reg.mutex);
      WindowData* d = findLocked(window);
      if (!d) return 0;
      if (message == kMsgGetTextLength) return static_cast<LResult>(d->text.size());
      auto* buffer = reinterpret_cast<char16_t*>(lParam);
      if (!buffer || wParam == 0) return 0;
      return static_cast<LResult>(copyBounded(buffer, wParam, d->text));
    }
    case kMsgSetFont:
    case kMsgGetFont: {
      bool redraw = false;
      uintptr_t font = 0;
      {
        auto& reg = registry();
        std::lock_guard lock(reg.mutex);
        WindowData* d = findLocked(window);
        if (!d) return 0;
        if (message == kMsgGetFont) return static_cast<LResult>(d->font);
        d->font = wParam;
        font = wParam;
        redraw = lParam != 0;
      }
      (void)font;
      if (redraw) invalidate(window);
      return 0;
    }
    default:
      return 0;
  }
}

WindowProc setWindowProc(Window window, WindowProc proc) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  WindowData* d = findLocked(window);
  if (!d || !proc) return {};
  WindowProc previous = d->proc ? *d->proc : WindowProc{};
  d->proc = std::make_shared<const WindowProc>(std::move(proc));
  return previous;
}

WindowProc windowProc(Window window) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  WindowData* d = findLocked(window);
  return d && d->proc ? *d->proc : WindowProc{};
}

LResult callWindowProc(const WindowProc& proc, Window window, uint32_t message, WParam wParam, LParam lParam) {
  return proc ? proc(window, message, wParam, lParam) : defaultWindowProc(window, message, wParam, lParam);
}

uintptr_t setUserData(Window window, uintptr_t value) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  WindowData* d = findLocked(window);
  if (!d) return 0;
  return std::exchange(d->userData, value);
}

#define PLAT_WINDOW_FIELD(expr, fallback)      \
  auto& reg = registry();                      \
  std::shared_lock lock(reg.mutex);            \
  WindowData* d = findLocked(window);          \
  return d ? (expr) : (fallback)

uintptr_t userData(Window window) { PLAT_WINDOW_FIELD(d->userData, 0); }
int32_t controlId(Window window) { PLAT_WINDOW_FIELD(d->controlId, 0); }
String16 className(Window window) { PLAT_WINDOW_FIELD(d->cls->info.name, String16()); }
uint32_t windowStyle(Window window) { PLAT_WINDOW_FIELD(d->style, 0u); }
uint32_t windowThreadId(Window window) { PLAT_WINDOW_FIELD(d->queue->threadId, 0u); }
Window parentOf(Window window) { PLAT_WINDOW_FIELD(Window{d->parent}, Window{}); }
Window ownerOf(Window window) { PLAT_WINDOW_FIELD(Window{d->owner}, Window{}); }
Window firstChild(Window window) { PLAT_WINDOW_FIELD(d->children.empty() ? Window{} : Window{d->children.front()}, Window{}); }
bool isWindowEnabled(Window window) { PLAT_WINDOW_FIELD(!(d->style & kStyleDisabled), false); }
bool isWindowVisible(Window window) { PLAT_WINDOW_FIELD(visibleLocked(*d), false); }
Rect windowRect(Window window) { PLAT_WINDOW_FIELD(screenRectLocked(*d), Rect{}); }
Rect windowRectInParent(Window window) { PLAT_WINDOW_FIELD(d->rect, Rect{}); }
Rect clientRect(Window window) { PLAT_WINDOW_FIELD((Rect{0, 0, d->rect.width(), d->rect.height()}), Rect{}); }
std::optional<Region> windowShape(Window window) { PLAT_WINDOW_FIELD(d->shape, std::nullopt); }
bool needsPaint(Window window) { PLAT_WINDOW_FIELD(!d->invalid.empty(), false); }

#undef PLAT_WINDOW_FIELD

Point clientToScreen(Window window, Point p) {
  Rect r = windowRect(window);
  return {p.x + r.left, p.y + r.top};
}

Point screenToClient(Window window, Point p) {
  Rect r = windowRect(window);
  return {p.x - r.left, p.y - r.top};
}

Window nextSibling(Window window) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  WindowData* d = findLocked(window);
  if (!d) return {};
  const std::vector<uint32_t>* siblings = &reg.topLevel;
  if (WindowData* p = findLocked(d->parent)) siblings = &p->children;
  auto it = std::find(siblings->begin(), siblings->end(), d->id);
  if (it == siblings->end() || ++it == siblings->end()) return {};
  return Window{*it};
}

Window childById(Window parent, int32_t id) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  WindowData* d = findLocked(parent);
  if (!d) return {};
  for (uint32_t childId : d->children) {
    WindowData* c = findLocked(childId);
    if (c && c->controlId == id) return Window{childId};
  }
  return {};
}

std::vector<Window> topLevelWindows() {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  std::vector<Window> result;
  for (uint32_t id : reg.topLevel) result.push_back(Window{id});
  return result;
}

Window findWindow(StringView16 cls, StringView16 title) {
  String16 key = classKey(cls);
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    for (uint32_t id : reg.topLevel) {
      WindowData* d = findLocked(id);
      if (!d || d->destroying) continue;
      if (!key.empty() && d->cls->key != key) continue;
      if (!title.empty() && d->text != title) continue;
      return Window{id};
    }
  }
  return peerFind(cls, title);
}

bool setWindowText(Window window, StringView16 text) {
  if (!windowExists(window)) return false;
  String16 copy(text);
  return sendMessage(window, kMsgSetText, 0, reinterpret_cast<LParam>(copy.c_str())) != 0;
}

String16 windowText(Window window) {
  LResult length = sendMessage(window, kMsgGetTextLength, 0, 0);
  if (length <= 0) return {};
  // Bounded: a procedure reporting a silly length does not make us allocate it.
  size_t capacity = std::min<size_t>(static_cast<size_t>(length), 1u << 20) + 1;
  String16 buffer(capacity, u'\0');
  LResult copied = sendMessage(window, kMsgGetText, capacity, reinterpret_cast<LParam>(buffer.data()));
  buffer.resize(std::clamp<size_t>(static_cast<size_t>(std::max<LResult>(copied, 0)), 0, capacity - 1));
  return buffer;
}

bool showWindow(Window window, bool show) {
  bool wasVisible = false;
  bool topLevel = false;
  bool activates = false;
  bool wasActive = false;
  Window owner;
  Window parent;
  Rect part;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return false;
    wasVisible = d->style & kStyleVisible;
    if (wasVisible == show) return wasVisible;
    d->style = show ? (d->style | kStyleVisible) : (d->style & ~kStyleVisible);
    topLevel = !(d->style & kStyleChild);
    activates = topLevel && !(d->style & kStyleNoActivate);
    wasActive = reg.active == window.id;
    owner = Window{d->owner};
    parent = Window{d->parent};
    part = d->rect;
    if (!show && inSubtreeLocked(reg.focus, window.id)) reg.focus = 0;
  }
  sendMessage(window, kMsgShowWindow, show ? 1 : 0, 0);
  if (show) {
    invalidateSubtree(window);
    if (activates) setActiveWindow(window);
  } else {
    if (parent) invalidateRect(parent, &part, true);
    if (wasActive) setActiveWindow(isWindowVisible(owner) ? owner : Window{});
  }
  if (topLevel) peerWindowsChanged();
  notifyScreenChanged();
  return wasVisible;
}

bool enableWindow(Window window, bool enable) {
  bool wasDisabled = false;
  bool dropFocus = false;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return false;
    wasDisabled = d->style & kStyleDisabled;
    if (wasDisabled == !enable) return wasDisabled;
    d->style = enable ? (d->style & ~kStyleDisabled) : (d->style | kStyleDisabled);
    dropFocus = !enable && reg.focus == window.id;
  }
  if (dropFocus) setFocus(Window{});
  sendMessage(window, kMsgEnable, enable ? 1 : 0, 0);
  invalidateRect(window, nullptr, true);
  return wasDisabled;
}

bool moveWindow(Window window, const Rect& rect, bool repaint) {
  Rect old;
  bool redrawOnResize = false;
  Window parent;
  bool visible = false;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return false;
    old = d->rect;
    d->rect = rect;
    redrawOnResize = d->cls->info.style & kClassRedrawOnResize;
    parent = Window{d->parent};
    visible = visibleLocked(*d);
  }
  bool moved = old.topLeft() != rect.topLeft();
  bool resized = old.size() != rect.size();
  if (moved) sendMessage(window, kMsgMove, 0, packPoint(rect.left, rect.top));
  if (resized) sendMessage(window, kMsgSize, 0, packPoint(rect.width(), rect.height()));
  if (repaint || (resized && redrawOnResize)) invalidateRect(window, nullptr, true);
  if (parent && visible && repaint && (moved || resized)) invalidateRect(parent, &old, true);
  if (moved || resized) notifyScreenChanged();
  return true;
}

bool bringToTop(Window window) {
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return false;
    if (WindowData* p = findLocked(d->parent)) {
      std::erase(p->children, d->id);
      p->children.insert(p->children.begin(), d->id);
    } else {
      insertTopLevelLocked(d->id, d->style & kStyleTopmost);
    }
  }
  notifyScreenChanged();
  return true;
}

bool sendToBottom(Window window) {
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return false;
    if (WindowData* p = findLocked(d->parent)) {
      std::erase(p->children, d->id);
      p->children.push_back(d->id);
    } else {
      std::erase(reg.topLevel, d->id);
      // The bottom of its band: topmost windows stay above the others.
      auto pos = reg.topLevel.end();
      if (d->style & kStyleTopmost) {
        pos = std::find_if(reg.topLevel.begin(), reg.topLevel.end(), [](uint32_t id) {
          WindowData* t = findLocked(id);
          return !t || !(t->style & kStyleTopmost);
        });
      }
      reg.topLevel.insert(pos, d->id);
    }
  }
  notifyScreenChanged();
  return true;
}

bool setTopmost(Window window, bool topmost) {
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d || d->parent) return false;
    d->style = topmost ? (d->style | kStyleTopmost) : (d->style & ~kStyleTopmost);
    insertTopLevelLocked(d->id, topmost);
  }
  notifyScreenChanged();
  return true;
}

bool setWindowShape(Window window, std::optional<Region> shape, bool repaint) {
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return false;
    d->shape = std::move(shape);
  }
  if (repaint) invalidateRect(window, nullptr, true);
  notifyScreenChanged();
  return true;
}

Window setCapture(Window window) {
  Window previous;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (window && !findLocked(window)) return Window{reg.capture};
    previous = Window{reg.capture};
    reg.capture = window.id;
  }
  if (previous && previous != window) sendMessage(previous, kMsgCaptureChanged, 0, static_cast<LParam>(window.id));
  return previous;
}

void releaseCapture() { setCapture(Window{}); }

Window captureWindow() {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  return Window{reg.capture};
}

Window setFocus(Window window) {
  Window previous;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (window && !findLocked(window)) return Window{};
    previous = Window{reg.focus};
    if (previous == window) return previous;
    reg.focus = window.id;
  }
  if (previous) sendMessage(previous, kMsgKillFocus, window.id, 0);
  if (window) sendMessage(window, kMsgSetFocus, previous.id, 0);
  return previous;
}

Window focusWindow() {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  return Window{reg.focus};
}

Window setActiveWindow(Window window) {
  Window previous;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    // A child activates the top-level window holding it.
    while (d && d->parent) d = findLocked(d->parent);
    if (window && !d) return Window{reg.active};
    window = d ? Window{d->id} : Window{};
    previous = Window{reg.active};
    if (previous == window) return previous;
    reg.active = window.id;
  }
  if (previous) sendMessage(previous, kMsgActivate, 0, static_cast<LParam>(window.id));
  if (window) sendMessage(window, kMsgActivate, 1, static_cast<LParam>(previous.id));
  return previous;
}

Window activeWindow() {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  return Window{reg.active};
}

bool setForegroundWindow(Window window) {
  Window top = window;
  for (Window p = parentOf(top); p; p = parentOf(p)) top = p;
  if (!bringToTop(top)) return false;
  setActiveWindow(top);
  return true;
}

bool invalidate(Window window, const Rect* rect, bool erase) { return invalidateRect(window, rect, erase); }

bool validate(Window window) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  WindowData* d = findLocked(window);
  if (!d) return false;
  d->invalid.clear();
  d->eraseNeeded = false;
  return true;
}

bool updateWindow(Window window) {
  if (!needsPaint(window)) return windowExists(window);
  if (!isWindowVisible(window)) return true;
  sendMessage(window, kMsgPaint, 0, 0);
  validate(window);
  return true;
}

bool beginPaint(Window window, PaintInfo* info) {
  PaintBackend* backend = nullptr;
  bool erase = false;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return false;
    info->paintRegion = std::move(d->invalid);
    d->invalid.clear();
    erase = d->eraseNeeded;
    d->eraseNeeded = false;
    backend = reg.paintBackend;
  }
  info->paintRect = info->paintRegion.bounds();
  info->dc = backend ? backend->acquire(window, info->paintRegion) : nullptr;
  info->erased = false;
  if (erase) info->erased = sendMessage(window, kMsgEraseBackground, reinterpret_cast<WParam>(info->dc), 0) != 0;
  return true;
}

void endPaint(Window window, PaintInfo* info) {
  PaintBackend* backend = nullptr;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    backend = reg.paintBackend;
  }
  if (backend && info->dc) backend->release(window, info->dc);
  info->dc = nullptr;
}

DeviceContext* acquireWindowDC(Window window) {
  PaintBackend* backend = nullptr;
  Rect client;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return nullptr;
    backend = reg.paintBackend;
    client = Rect{0, 0, d->rect.width(), d->rect.height()};
  }
  return backend ? backend->acquire(window, Region(client)) : nullptr;
}

void releaseWindowDC(Window window, DeviceContext* dc) {
  PaintBackend* backend = nullptr;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    backend = reg.paintBackend;
  }
  if (backend && dc) backend->release(window, dc);
}

void setPaintBackend(PaintBackend* backend) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  reg.paintBackend = backend;
}

Size screenSize() {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  return reg.screen;
}

void setScreenSize(Size size) {
  if (size.width < 1 || size.height < 1) return;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.screen = size;
  }
  notifyScreenChanged();
}

std::vector<ComposedWindow> visibleTopLevelWindows() {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  std::vector<ComposedWindow> result;
  for (auto it = reg.topLevel.rbegin(); it != reg.topLevel.rend(); ++it) {
    WindowData* d = findLocked(*it);
    if (!d || d->destroying || !(d->style & kStyleVisible)) continue;
    result.push_back(ComposedWindow{Window{d->id}, d->rect, d->shape});
  }
  return result;
}

void setScreenChangedListener(std::function<void()> listener) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  reg.screenChanged = std::move(listener);
}

}  // namespace plat
