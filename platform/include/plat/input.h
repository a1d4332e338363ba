// Input: key codes, accelerator tables, and the injection of taps, drags and
// keys that the display back ends (headless for tests, SDL2 for a desktop)
// feed in. Mouse input goes to the capture window if any, else to the
// deepest visible window under the point whose shape holds it; a disabled
// window (or one inside a disabled parent) swallows the input. Injection may
// come from any thread; the messages are posted to the target's owner thread.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "plat/geometry.h"
#include "plat/message.h"

namespace plat {

// Key codes: letters and digits are their upper-case ASCII codes; the others
// are numbered here.
enum Key : uint32_t {
  kKeyBack = 0x08,
  kKeyTab = 0x09,
  kKeyReturn = 0x0D,
  kKeyEscape = 0x1B,
  kKeySpace = 0x20,
  kKeyControl = 0x100,
  kKeyShift,
  kKeyLeft,
  kKeyRight,
  kKeyUp,
  kKeyDown,
  kKeyPageUp,
  kKeyPageDown,
  kKeyHome,
  kKeyEnd,
  kKeyDelete,
  kKeyF1 = 0x120,  // kKeyF1 + n - 1 is Fn, up to F12
};
inline constexpr uint32_t keyF(int n) { return kKeyF1 + static_cast<uint32_t>(n - 1); }

enum Modifier : uint32_t {
  kModControl = 0x1,
  kModShift = 0x2,
};

// Key messages carry the character the key produced and the modifiers held.
inline constexpr LParam packKey(char16_t ch, uint32_t modifiers) {
  return static_cast<LParam>((static_cast<uint32_t>(modifiers & 0xFF) << 16) | ch);
}
inline constexpr char16_t keyCharacter(LParam lp) { return static_cast<char16_t>(lp & 0xFFFF); }
inline constexpr uint32_t keyModifiers(LParam lp) { return static_cast<uint32_t>((lp >> 16) & 0xFF); }

struct Accelerator {
  uint32_t key = 0;
  uint32_t modifiers = 0;  // must match exactly
  uint16_t command = 0;
};

class AcceleratorTable {
 public:
  AcceleratorTable() = default;
  explicit AcceleratorTable(std::vector<Accelerator> entries) : entries_(std::move(entries)) {}
  const std::vector<Accelerator>& entries() const { return entries_; }
  // The command for a key with these modifiers; 0 when none.
  uint16_t find(uint32_t key, uint32_t modifiers) const;

 private:
  std::vector<Accelerator> entries_;
};

// A key-down matching an entry sends kMsgCommand (packCommand(command,
// kCommandFromAccelerator), 0) to window and returns true; anything else
// returns false and sends nothing.
bool translateAccelerator(Window window, const AcceleratorTable& table, const Message& msg);

// Double taps: a second press on the same window within this time (on the
// current clock) and distance (each axis) of the first.
inline constexpr uint32_t kDoubleTapMs = 500;
inline constexpr int32_t kDoubleTapDistance = 8;

// Injection, screen coordinates.
void injectMouseDown(Point screen);
void injectMouseMove(Point screen);
void injectMouseUp(Point screen);
void injectTap(Point screen);                       // down then up at one point
void injectDrag(Point from, Point to, int steps = 4);  // down, moves, up
void injectKeyDown(uint32_t key, char16_t ch = 0, uint32_t modifiers = 0);
void injectKeyUp(uint32_t key, uint32_t modifiers = 0);
void injectKey(uint32_t key, char16_t ch = 0, uint32_t modifiers = 0);  // down then up

// Whether the display shows a pointer (the touch screen hides it; windows
// show it while the user works with a mouse). Starts visible.
void setCursorVisible(bool visible);
bool cursorVisible();

// The window that mouse input at this screen point would reach, ignoring
// capture (null when none, or when a disabled window swallows it).
Window windowFromPoint(Point screen);

}  // namespace plat
