// Input: injected taps, drags and keys wait in one raw input queue and are
// resolved to a window when a thread takes them, so a capture or focus set
// while handling one event already steers the next. Double taps are
// synthesised here for classes that ask for them.
#include <algorithm>
#include <cstdlib>

#include "plat/clock.h"
#include "window/state.h"

namespace plat::win {
namespace {

bool shapeHolds(const WindowData& d, Point local) { return !d.shape || d.shape->contains(local); }

// Deepest visible window under a screen point; null when none, or when a
// disabled window on the way swallows the input.
uint32_t hitTestLocked(Point screen) {
  auto& reg = registry();
  for (uint32_t id : reg.topLevel) {
    WindowData* d = findLocked(id);
    if (!d || d->destroying || !(d->style & kStyleVisible) || !d->rect.contains(screen)) continue;
    Point local{screen.x - d->rect.left, screen.y - d->rect.top};
    if (!shapeHolds(*d, local)) continue;
    WindowData* hit = d;
    bool disabled = d->style & kStyleDisabled;
    for (bool descended = true; descended;) {
      descended = false;
      for (uint32_t childId : hit->children) {
        WindowData* c = findLocked(childId);
        if (!c || !(c->style & kStyleVisible) || !c->rect.contains(local)) continue;
        Point inner{local.x - c->rect.left, local.y - c->rect.top};
        if (!shapeHolds(*c, inner)) continue;
        hit = c;
        local = inner;
        disabled = disabled || (c->style & kStyleDisabled);
        descended = true;
        break;
      }
    }
    return disabled ? 0 : hit->id;
  }
  return 0;
}

}  // namespace

bool takeInput(ThreadQueue& me, Message* out, bool remove) {
  auto& reg = registry();
  if (!remove || reg.inputCount.load(std::memory_order_acquire) == 0) return false;
  for (;;) {
    Message msg;
    std::shared_ptr<ThreadQueue> targetQueue;
    bool activate = false;
    {
      std::lock_guard inputLock(reg.inputMutex);
      if (reg.input.empty()) return false;
      RawInput raw = reg.input.front();
      reg.input.pop_front();
      reg.inputCount.store(reg.input.size(), std::memory_order_release);

      std::lock_guard lock(reg.mutex);
      bool mouse = raw.kind == RawInput::Kind::MouseDown || raw.kind == RawInput::Kind::MouseMove ||
                   raw.kind == RawInput::Kind::MouseUp;
      uint32_t target = 0;
      if (mouse) {
        target = reg.capture && findLocked(reg.capture) ? reg.capture : hitTestLocked(raw.screen);
      } else {
        target = reg.focus ? reg.focus : reg.active;
      }
      WindowData* d = findLocked(target);
      if (!d || d->destroying) continue;  // nobody to take it: dropped
      targetQueue = d->queue;
      msg.window = Window{target};
      msg.time = raw.time;
      if (mouse) {
        Rect r = screenRectLocked(*d);
        msg.lParam = packPoint(raw.screen.x - r.left, raw.screen.y - r.top);
        msg.wParam = raw.buttonDown ? kMouseButtonDown : 0;
        if (raw.kind == RawInput::Kind::MouseMove) {
          msg.message = kMsgMouseMove;
        } else if (raw.kind == RawInput::Kind::MouseUp) {
          msg.message = kMsgMouseUp;
        } else {
          msg.message = kMsgMouseDown;
          auto& last = reg.lastDown;
          bool wantsDouble = d->cls->info.style & kClassDoubleClicks;
          if (wantsDouble && last.window == target && raw.time - last.time <= kDoubleTapMs &&
              std::abs(raw.screen.x - last.screen.x) <= kDoubleTapDistance &&
              std::abs(raw.screen.y - last.screen.y) <= kDoubleTapDistance) {
            msg.message = kMsgMouseDoubleClick;
            last = {};  // a third tap starts a new pair
          } else {
            last = {target, raw.screen, raw.time};
          }
          // Tapping a window activates its top-level window.
          WindowData* top = d;
          while (top->parent && findLocked(top->parent)) top = findLocked(top->parent);
          activate = !(top->style & kStyleNoActivate) && reg.active != top->id;
        }
      } else {
        msg.message = raw.kind == RawInput::Kind::KeyDown ? kMsgKeyDown : kMsgKeyUp;
        msg.wParam = raw.key;
        msg.lParam = packKey(raw.ch, raw.modifiers);
      }
    }
    if (targetQueue.get() != &me) {
      // Input for another thread's window goes to that thread's queue.
      {
        std::lock_guard lock(targetQueue->mutex);
        if (targetQueue->alive) targetQueue->posted.push_back(msg);
      }
      targetQueue->wake.notify_all();
      continue;
    }
    if (activate) setActiveWindow(msg.window);
    if (!windowExists(msg.window)) continue;
    *out = msg;
    return true;
  }
}

namespace {

void pushInput(RawInput raw) {
  auto& reg = registry();
  raw.time = tickCount();
  {
    std::lock_guard lock(reg.inputMutex);
    if (raw.kind == RawInput::Kind::MouseDown) reg.buttonDown = true;
    if (raw.kind == RawInput::Kind::MouseUp) reg.buttonDown = false;
    raw.buttonDown = reg.buttonDown;
    reg.input.push_back(raw);
    reg.inputCount.store(reg.input.size(), std::memory_order_release);
  }
  wakeAllQueues();
}

}  // namespace
}  // namespace plat::win

namespace plat {

using namespace win;

uint16_t AcceleratorTable::find(uint32_t key, uint32_t modifiers) const {
  for (const Accelerator& a : entries_) {
    if (a.key == key && a.modifiers == modifiers) return a.command;
  }
  return 0;
}

bool translateAccelerator(Window window, const AcceleratorTable& table, const Message& msg) {
  if (msg.message != kMsgKeyDown || !window) return false;
  uint16_t command = table.find(static_cast<uint32_t>(msg.wParam), keyModifiers(msg.lParam));
  if (command == 0) return false;
  sendMessage(window, kMsgCommand, packCommand(command, kCommandFromAccelerator), 0);
  return true;
}

void injectMouseDown(Point screen) { pushInput({RawInput::Kind::MouseDown, screen}); }
void injectMouseMove(Point screen) { pushInput({RawInput::Kind::MouseMove, screen}); }
void injectMouseUp(Point screen) { pushInput({RawInput::Kind::MouseUp, screen}); }

void injectTap(Point screen) {
  injectMouseDown(screen);
  injectMouseUp(screen);
}

void injectDrag(Point from, Point to, int steps) {
  steps = std::max(steps, 1);
  injectMouseDown(from);
  for (int i = 1; i <= steps; ++i) {
    injectMouseMove({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
  }
  injectMouseUp(to);
}

void injectKeyDown(uint32_t key, char16_t ch, uint32_t modifiers) {
  pushInput({RawInput::Kind::KeyDown, {}, key, ch, modifiers});
}

void injectKeyUp(uint32_t key, uint32_t modifiers) { pushInput({RawInput::Kind::KeyUp, {}, key, 0, modifiers}); }

void injectKey(uint32_t key, char16_t ch, uint32_t modifiers) {
  injectKeyDown(key, ch, modifiers);
  injectKeyUp(key, modifiers);
}

namespace {
std::atomic<bool> g_cursorVisible{true};
}  // namespace

void setCursorVisible(bool visible) {
  if (g_cursorVisible.exchange(visible) != visible) notifyScreenChanged();
}

bool cursorVisible() { return g_cursorVisible.load(); }

Window windowFromPoint(Point screen) {
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  return Window{hitTestLocked(screen)};
}

}  // namespace plat
