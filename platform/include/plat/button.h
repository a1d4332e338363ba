// The stock push button ("BUTTON"): a child window that follows the pointer
// while pressed, tells its parent of a click with kMsgCommand and, when owner
// drawn, asks its parent to paint it with kMsgDrawItem. Registered on first
// use by registerButtonClass(); controls that subclass it call that first.
#pragma once
#include <cstdint>

#include "plat/geometry.h"
#include "plat/message.h"
#include "plat/text.h"

namespace plat {

class DeviceContext;

inline constexpr char16_t kButtonClassName[] = u"BUTTON";

// Button styles, kept in the window style above the general style bits.
enum ButtonStyle : uint32_t {
  kButtonPushLike = 0x10000,   // a push button (the only kind this class draws)
  kButtonOwnerDraw = 0x20000,  // the parent paints it through kMsgDrawItem
};

// Notification code of a click, in the high half of kMsgCommand's wParam.
inline constexpr uint16_t kButtonClicked = 0;

// What kMsgDrawItem carries (lParam points to it for the call's duration).
inline constexpr uint32_t kDrawItemControlButton = 4;
namespace draw_item_state {
inline constexpr uint32_t kSelected = 0x1;  // pressed
inline constexpr uint32_t kGrayed = 0x2;
inline constexpr uint32_t kDisabled = 0x4;
inline constexpr uint32_t kChecked = 0x8;
inline constexpr uint32_t kFocus = 0x10;
}  // namespace draw_item_state
inline constexpr uint32_t kDrawItemActionDrawEntire = 0x1;

struct DrawItemRecord {
  uint32_t controlType = 0;
  int32_t controlId = 0;
  uint32_t action = 0;
  uint32_t state = 0;
  Window window;
  DeviceContext* dc = nullptr;  // the button's paint context
  Rect rect;                    // the button's client rectangle
};

// Button messages (class-private, in the user range the class owns).
enum : uint32_t {
  kMsgButtonGetPressed = 0x00E8,  // returns 1 while pressed
};

// Registers the class if it is not registered yet. Returns false only when
// registration failed.
bool registerButtonClass();

}  // namespace plat
