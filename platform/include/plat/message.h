// Window handles and messages. Every thread that touches windows has one
// message queue, created on first use. Messages are posted from any thread
// into the queue of the window's owner thread, or sent: a send on the owner
// thread calls the window procedure directly; a send from another thread
// blocks until the owner thread handles it, and while it waits the sender
// keeps handling sends made to its own windows, so two threads sending to
// each other cannot deadlock.
//
// Window handles are ids, never pointers: a message for a window that has
// been destroyed is dropped, and a send to it returns 0.
//
// Timers are delivered through the owner thread's queue and run on the
// process's current clock (plat::currentClock()), so tests advance a
// VirtualClock and pump instead of sleeping.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

#include "plat/geometry.h"

namespace plat {

// A window handle: an id that is never reused within the process. The null
// handle (id 0) names no window.
struct Window {
  uint32_t id = 0;
  explicit operator bool() const { return id != 0; }
  friend bool operator==(const Window&, const Window&) = default;
};

using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

// Standard message numbers. They lie below the user base; the range from
// kMsgUser up to kMsgRegisteredFirst - 1 belongs to the windows themselves,
// and registered (named) messages are numbered from kMsgRegisteredFirst.
enum : uint32_t {
  kMsgNull = 0x000,
  kMsgCreate = 0x001,       // lParam: the creation parameter; -1 from the procedure fails creation
  kMsgDestroy = 0x002,      // the window is being destroyed (before its children)
  kMsgFinalDestroy = 0x003, // last message a window gets (after its children are gone)
  kMsgMove = 0x004,         // lParam: packPoint(new position in parent client coordinates)
  kMsgSize = 0x005,         // lParam: packPoint(width, height)
  kMsgActivate = 0x006,     // wParam: 1 activated, 0 deactivated; lParam: the other window's id
  kMsgSetFocus = 0x007,     // wParam: id of the window that lost the focus
  kMsgKillFocus = 0x008,    // wParam: id of the window that gets the focus
  kMsgEnable = 0x00A,       // wParam: 1 enabled, 0 disabled
  kMsgSetText = 0x00C,      // lParam: const char16_t* (zero-terminated); returns 1
  kMsgGetText = 0x00D,      // wParam: capacity in char16_t; lParam: char16_t* buffer; returns length copied
  kMsgGetTextLength = 0x00E,
  kMsgPaint = 0x00F,
  kMsgClose = 0x010,        // default: destroy the window
  kMsgQuit = 0x012,         // wParam: exit code; never dispatched
  kMsgEraseBackground = 0x014,  // wParam: DeviceContext*; returns non-zero when erased
  kMsgShowWindow = 0x018,   // wParam: 1 shown, 0 hidden
  kMsgSetFont = 0x030,      // wParam: font handle; lParam: non-zero to redraw
  kMsgGetFont = 0x031,
  kMsgNotify = 0x04E,       // wParam: control id; lParam: pointer to the control's record
  kMsgKeyDown = 0x100,      // wParam: key code; lParam: packKey(character, modifiers)
  kMsgKeyUp = 0x101,
  kMsgChar = 0x102,         // wParam: the character (UTF-16 unit)
  kMsgCommand = 0x111,      // wParam: packCommand(id, code); lParam: control's window id, 0
  kMsgTimer = 0x113,        // wParam: timer id
  kMsgHScroll = 0x114,      // wParam: low 16 bits scroll code, high 16 bits position; lParam: bar id
  kMsgVScroll = 0x115,
  kMsgMouseMove = 0x200,    // wParam: kMouseButtonDown while pressed; lParam: packPoint(client point)
  kMsgMouseDown = 0x201,
  kMsgMouseUp = 0x202,
  kMsgMouseDoubleClick = 0x203,  // replaces the second down of a double tap for classes that ask
  kMsgCaptureChanged = 0x215,    // to the window losing the capture; lParam: new capture id
  kMsgDrawItem = 0x02B,     // wParam: control id; lParam: pointer to the draw-item record

  kMsgUser = 0x400,
  kMsgRegisteredFirst = 0xC000,
};

inline constexpr WParam kMouseButtonDown = 0x1;

inline constexpr LParam packPoint(int32_t x, int32_t y) {
  return static_cast<LParam>((static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(y))) << 16) |
                             static_cast<uint16_t>(static_cast<int16_t>(x)));
}
inline constexpr Point unpackPoint(LParam lp) {
  return {static_cast<int16_t>(static_cast<uint16_t>(lp & 0xFFFF)),
          static_cast<int16_t>(static_cast<uint16_t>((lp >> 16) & 0xFFFF))};
}
inline constexpr WParam packCommand(uint16_t id, uint16_t code) {
  return (static_cast<WParam>(code) << 16) | id;
}
inline constexpr uint16_t commandId(WParam wp) { return static_cast<uint16_t>(wp & 0xFFFF); }
inline constexpr uint16_t commandCode(WParam wp) { return static_cast<uint16_t>((wp >> 16) & 0xFFFF); }
// Notification code of a command that came from an accelerator.
inline constexpr uint16_t kCommandFromAccelerator = 1;

struct Message {
  Window window;      // null for a thread message
  uint32_t message = kMsgNull;
  WParam wParam = 0;
  LParam lParam = 0;
  uint64_t time = 0;  // tick of the current clock when queued
};

// Posts into the queue of the window's owner thread. False when the window
// does not exist (or its thread has ended).
bool postMessage(Window window, uint32_t message, WParam wParam = 0, LParam lParam = 0);
// Posts to every visible or hidden top-level window of the process.
void broadcastMessage(uint32_t message, WParam wParam = 0, LParam lParam = 0);
// Posts a message with no window into the queue of a thread (currentThreadId()
// of that thread). False when that thread has no queue.
bool postThreadMessage(uint32_t threadId, uint32_t message, WParam wParam = 0, LParam lParam = 0);
// Calls the window's procedure on its owner thread and returns its result;
// 0 when the window does not exist or is destroyed before it is handled.
LResult sendMessage(Window window, uint32_t message, WParam wParam = 0, LParam lParam = 0);
// Asks the calling thread's message loop to end: getMessage returns false
// with the exit code in wParam once the posted messages ahead of it are handled.
void postQuitMessage(int exitCode);

// Waits for the next message of the calling thread (handling incoming sends
// meanwhile). Returns false for the quit message. Posted messages come in
// order; after each one, a pending paint, then input, then a due timer get a
// turn before the next posted message, so a burst of posts cannot starve the
// screen or the user. The quit request comes once no posted message is left.
bool getMessage(Message* msg);
enum class PeekMode { Remove, Keep };
// Like getMessage but never waits; false when nothing is there. A quit
// request comes back as a kMsgQuit message (returns true).
bool peekMessage(Message* msg, PeekMode mode = PeekMode::Remove);
// A key-down that carries a character posts kMsgChar for it. True when posted.
bool translateMessage(const Message& msg);
// Calls the window procedure; messages for windows that no longer exist, and
// thread messages, are dropped (returns 0).
LResult dispatchMessage(const Message& msg);
// Handles every message now available without waiting (tests): sends,
// posted messages, paints and due timers. A quit request is left in place.
// Returns the number of messages dispatched.
size_t pumpPendingMessages();
// True when the calling thread's queue holds a quit request not yet taken.
bool quitRequested(int* exitCode = nullptr);

// Registered messages: the same name always gives the same number
// (names compare exactly), numbered from kMsgRegisteredFirst; 0 for an empty name.
uint32_t registerMessage(std::string_view name);

// Timers per (window, id): after every interval the owner thread's queue
// produces kMsgTimer (wParam = id). Setting an existing (window, id) restarts
// it. A timer does not pile up: one message however late the queue is.
bool setTimer(Window window, uintptr_t timerId, uint32_t intervalMs);
bool killTimer(Window window, uintptr_t timerId);

// Nested message loop for modal windows. Disables owner (when given and
// enabled), then gets, filters, translates and dispatches until keepRunning()
// turns false (it is checked before every message). A quit request seen inside
// ends the loop and is posted again, so the outer loop ends too. The owner is
// enabled again if this loop disabled it. filter returns true for a message it
// consumed (accelerators).
enum class ModalEnd { Finished, Quit };
struct ModalLoopOptions {
  Window owner;
  std::function<bool()> keepRunning;
  std::function<bool(const Message&)> filter;
};
ModalEnd runModalLoop(const ModalLoopOptions& options, int* quitCode = nullptr);

}  // namespace plat
