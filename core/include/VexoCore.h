// VexoCore: the base class of every user-interface object (VexoObject), the
// base class of every typed event (VexoEvent; the catalogue is VexoEvents.h)
// and the process-wide dispatcher that hands events to all live objects.
//
// SendEvent delivers at once on the caller's thread. PostEvent queues from
// any thread; the queue is emptied on the user-interface thread (the one
// that attached the library) by its ordinary message loop, one event per
// dispatch message, so painting and input interleave with bursts of events.
#pragma once
#include <cstddef>
#include <cstdint>

#include "plat/message.h"

// The dispatch message posted to the receiver window.
inline constexpr uint32_t kVexoDispatchMessage = 0x13ED;
// Names the dispatcher gives its receiver window (class and title) and its queue lock.
inline constexpr char16_t kVexoReceiverWindowName[] = u"InternalMsgReceiverWnd";
inline constexpr char kVexoEventListMutexName[] = "VexoEventListMutex";

class VexoEvent {
 public:
  explicit VexoEvent(unsigned type) : type(type) {}
  VexoEvent(const VexoEvent&) = default;
  VexoEvent& operator=(const VexoEvent&) = default;
  virtual ~VexoEvent();

  unsigned Type() const { return type; }

  // One heap for events created in one module and freed in another.
  static void* operator new(size_t size);
  static void operator delete(void* p) noexcept;
  static void* operator new[](size_t size);
  static void operator delete[](void* p) noexcept;

  uint32_t type;
};

class VexoObject {
 public:
  // Registers the object with the dispatcher, after every object already
  // there. Other threads' sends reach it from the next turn of the
  // user-interface thread's message loop, once the derived part is built.
  VexoObject();
  // Unregisters it. If another thread is delivering an event to it, waits
  // until that delivery has returned, so no delivery reaches a dead object.
  virtual ~VexoObject();
  VexoObject(const VexoObject&) = delete;
  VexoObject& operator=(const VexoObject&) = delete;

  // Returns true when the event is handled and later objects must not see it.
  virtual bool Event(VexoEvent* event);

  // Delivers to every registered object in registration order until one
  // returns true. Objects registered meanwhile are reached in the same walk;
  // objects unregistered meanwhile are skipped. The event stays the caller's.
  static void SendEvent(VexoEvent* event);
  // Queues the event (allocated with VexoEvent's operator new; the dispatcher
  // owns it from now on) for delivery on the user-interface thread. Any thread.
  static void PostEvent(VexoEvent* event);

  static void* operator new(size_t size);
  static void operator delete(void* p) noexcept;
  static void* operator new[](size_t size);
  static void operator delete[](void* p) noexcept;
};

// Library attachment, run when the library is loaded and unloaded (and
// callable by tests, in this order). Attach registers the receiver window
// class and creates the hidden receiver window on the calling thread, which
// becomes the user-interface thread. Detach frees every queued event without
// delivering it, then destroys the receiver window and unregisters its class.
// Registered objects are left alone.
void VexoCoreAttach();
void VexoCoreDetach();

// Diagnostics for tests and benchmarks.
plat::Window VexoCoreReceiverWindow();
size_t VexoCoreQueuedEventCount();
size_t VexoCoreRegisteredObjectCount();

// Creates every missing directory of a device path ("\A\B\C"): 0 when the
// last one was created, 183 when it already existed, 161 for an empty path,
// else the failing system error code. The window and security arguments are
// not used.
int SHCreateDirectoryEx(plat::Window window, const char16_t* path, const void* security);
