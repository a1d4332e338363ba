// The stock push button. Its own pressed/tracking state lives in a table of
// the process keyed by window id, so the user-data slot stays free for the
// controls that subclass it.
#include "plat/button.h"

#include <mutex>
#include <unordered_map>

#include "plat/gfx/dc.h"
#include "plat/window.h"

namespace plat {
namespace {

struct ButtonData {
  bool tracking = false;  // the pointer went down on it and has not come up
  bool pressed = false;   // drawn pressed: tracking and the pointer inside
};

std::mutex& tableMutex() {
  static std::mutex m;
  return m;
}
std::unordered_map<uint32_t, ButtonData>& table() {
  static std::unordered_map<uint32_t, ButtonData> t;
  return t;
}

ButtonData get(Window w) {
  std::lock_guard lock(tableMutex());
  auto it = table().find(w.id);
  return it == table().end() ? ButtonData{} : it->second;
}
void put(Window w, const ButtonData& d) {
  std::lock_guard lock(tableMutex());
  table()[w.id] = d;
}

void redraw(Window w) {
  invalidate(w, nullptr, false);
  updateWindow(w);
}

void paintPlain(Window w, DeviceContext* dc, bool pressed) {
  const Rect r = clientRect(w);
  dc->fillRect(r, pressed ? makeColorRef(0x90, 0x90, 0x90) : makeColorRef(0xD0, 0xD0, 0xD0));
  dc->selectPen(solidPen(0x000000));
  dc->selectBrush(stockBrush(StockBrush::Null));
  dc->rectangle(r);
  Rect text = r;
  dc->setBackgroundMode(BackgroundMode::Transparent);
  dc->setTextColor(isWindowEnabled(w) ? 0x000000 : makeColorRef(0x80, 0x80, 0x80));
  const String16 caption = windowText(w);
  dc->drawText(caption, &text, text_format::kCenter | text_format::kVCenter | text_format::kSingleLine);
}

void paint(Window w) {
  PaintInfo info;
  if (!beginPaint(w, &info)) return;
  if (info.dc) {
    const ButtonData d = get(w);
    const Window parent = parentOf(w);
    if ((windowStyle(w) & kButtonOwnerDraw) && parent) {
      DrawItemRecord rec;
      rec.controlType = kDrawItemControlButton;
      rec.controlId = controlId(w);
      rec.action = kDrawItemActionDrawEntire;
      if (d.pressed) rec.state |= draw_item_state::kSelected;
      if (!isWindowEnabled(w)) rec.state |= draw_item_state::kDisabled | draw_item_state::kGrayed;
      if (focusWindow() == w) rec.state |= draw_item_state::kFocus;
      rec.window = w;
      rec.dc = info.dc;
      rec.rect = clientRect(w);
      sendMessage(parent, kMsgDrawItem, static_cast<WParam>(rec.controlId), reinterpret_cast<LParam>(&rec));
    } else {
      paintPlain(w, info.dc, d.pressed);
    }
  }
  endPaint(w, &info);
}

LResult buttonProc(Window w, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case kMsgCreate:
      put(w, ButtonData{});
      return 0;
    case kMsgMouseDown:
    case kMsgMouseDoubleClick: {
      setCapture(w);
      setFocus(w);
      put(w, ButtonData{true, true});
      redraw(w);
      return 0;
    }
    case kMsgMouseMove: {
      ButtonData d = get(w);
      if (!d.tracking) return 0;
      const bool inside = clientRect(w).contains(unpackPoint(lParam));
      if (inside != d.pressed) {
        d.pressed = inside;
        put(w, d);
        redraw(w);
      }
      return 0;
    }
    case kMsgMouseUp: {
      const ButtonData d = get(w);
      if (!d.tracking) return 0;
      put(w, ButtonData{});
      if (captureWindow() == w) releaseCapture();
      redraw(w);
      const bool click = d.pressed && clientRect(w).contains(unpackPoint(lParam));
      const Window parent = parentOf(w);
      if (click && parent && windowExists(w))
        sendMessage(parent, kMsgCommand, packCommand(static_cast<uint16_t>(controlId(w)), kButtonClicked),
                    static_cast<LParam>(w.id));
      return 0;
    }
    case kMsgCaptureChanged: {
      // Losing the pointer mid-press cancels the press without a click.
      if (get(w).tracking) {
        put(w, ButtonData{});
        redraw(w);
      }
      return 0;
    }
    case kMsgSetFocus:
    case kMsgKillFocus:
    case kMsgEnable:
      redraw(w);
      return 0;
    case kMsgEraseBackground:
      return 1;  // paint covers the whole button
    case kMsgPaint:
      paint(w);
      return 0;
    case kMsgButtonGetPressed:
      return get(w).pressed ? 1 : 0;
    case kMsgFinalDestroy: {
      std::lock_guard lock(tableMutex());
      table().erase(w.id);
      return 0;
    }
    default:
      return defaultWindowProc(w, message, wParam, lParam);
  }
}

}  // namespace

bool registerButtonClass() {
  if (isClassRegistered(kButtonClassName)) return true;
  WindowClass c;
  c.name = kButtonClassName;
  c.proc = buttonProc;
  return registerClass(c) || isClassRegistered(kButtonClassName);
}

}  // namespace plat
