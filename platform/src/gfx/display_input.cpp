#include "plat/gfx/display_input.h"

#include "plat/input.h"
#include "plat/message.h"

namespace plat {

uint32_t keyCodeFor(DisplayKey key, char16_t character) {
  switch (key) {
    case DisplayKey::None: return 0;
    case DisplayKey::Character: return character;  // upper-case letters and digits are their codes
    case DisplayKey::Back: return kKeyBack;
    case DisplayKey::Tab: return kKeyTab;
    case DisplayKey::Return: return kKeyReturn;
    case DisplayKey::Escape: return kKeyEscape;
    case DisplayKey::Space: return kKeySpace;
    case DisplayKey::Left: return kKeyLeft;
    case DisplayKey::Right: return kKeyRight;
    case DisplayKey::Up: return kKeyUp;
    case DisplayKey::Down: return kKeyDown;
    case DisplayKey::PageUp: return kKeyPageUp;
    case DisplayKey::PageDown: return kKeyPageDown;
    case DisplayKey::Home: return kKeyHome;
    case DisplayKey::End: return kKeyEnd;
    case DisplayKey::Delete: return kKeyDelete;
    case DisplayKey::Control: return kKeyControl;
    case DisplayKey::Shift: return kKeyShift;
    default:
      if (key >= DisplayKey::F1 && key <= DisplayKey::F12)
        return keyF(static_cast<int>(static_cast<uint32_t>(key) - static_cast<uint32_t>(DisplayKey::F1)) + 1);
      return 0;
  }
}

void deliverDisplayEvent(const DisplayEvent& e) {
  const uint32_t modifiers = (e.control ? kModControl : 0u) | (e.shift ? kModShift : 0u);
  switch (e.kind) {
    case DisplayEvent::Kind::PointerDown: injectMouseDown(e.position); return;
    case DisplayEvent::Kind::PointerMove: injectMouseMove(e.position); return;
    case DisplayEvent::Kind::PointerUp: injectMouseUp(e.position); return;
    case DisplayEvent::Kind::KeyDown:
    case DisplayEvent::Kind::KeyUp: {
      const uint32_t code = keyCodeFor(e.key, e.character);
      if (!code) return;
      if (e.kind == DisplayEvent::Kind::KeyUp) {
        injectKeyUp(code, modifiers);
        return;
      }
      char16_t ch = 0;
      if (e.key == DisplayKey::Character) {
        ch = e.character;
        if (ch >= u'A' && ch <= u'Z' && !e.shift) ch = static_cast<char16_t>(ch - u'A' + u'a');
      } else if (e.key == DisplayKey::Space) {
        ch = u' ';
      } else if (e.key == DisplayKey::Return) {
        ch = u'\r';
      } else if (e.key == DisplayKey::Back) {
        ch = u'\b';
      }
      if (e.control) ch = 0;
      injectKeyDown(code, ch, modifiers);
      return;
    }
    case DisplayEvent::Kind::Text:
      // Characters already travel with their key-down; text from input
      // methods has no key and is not used by the player's windows.
      return;
    case DisplayEvent::Kind::Quit:
      postQuitMessage(0);
      return;
  }
}

}  // namespace plat
