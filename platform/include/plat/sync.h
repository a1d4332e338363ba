// Synchronisation: events (manual and auto reset) with waits on one or any of
// several, recursive critical sections, and named mutexes and events (one
// object per name in the process, like the device's kernel objects).
// Counters shared between threads are std::atomic.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace plat {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

struct EventWaiter;  // internal

class Event {
 public:
  enum class Reset { Manual, Auto };
  explicit Event(Reset reset = Reset::Auto, bool initiallySet = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  // An auto-reset event is consumed by the one wait that returns true for it.
  bool wait(uint32_t timeoutMs = kInfinite);
  bool isSet() const;

 private:
  friend int waitAny(std::span<Event* const> events, uint32_t timeoutMs);
  bool tryConsume();  // caller holds mutex_
  mutable std::mutex mutex_;
  bool set_;
  const Reset reset_;
  std::vector<EventWaiter*> waiters_;
};

// Waits until one of the events is set; returns its index (the lowest set
// index when several are), or -1 on time-out. Only the returned event is
// consumed when it is auto-reset. An empty list returns -1 at once.
int waitAny(std::span<Event* const> events, uint32_t timeoutMs);
inline int waitAny(std::initializer_list<Event*> events, uint32_t timeoutMs) {
  return waitAny(std::span<Event* const>(events.begin(), events.size()), timeoutMs);
}

// A recursive lock owned by a thread (the device's critical section).
using CriticalSection = std::recursive_mutex;

// A process-wide mutex found by name. Recursive and owned by the locking
// thread. open() returns the existing object when the name is in use
// (alreadyExisted tells which). Names compare exactly.
class NamedMutex {
 public:
  static std::shared_ptr<NamedMutex> open(std::string_view name, bool* alreadyExisted = nullptr);
  ~NamedMutex();

  void lock();
  bool tryLock(uint32_t timeoutMs = 0);
  void unlock();
  // BasicLockable spelling, so std::lock_guard works.
  bool try_lock() { return tryLock(0); }
  const std::string& name() const { return name_; }

 private:
  explicit NamedMutex(std::string name);
  std::string name_;
  std::recursive_timed_mutex mutex_;
};

// A process-wide event found by name; the reset mode is fixed by the first
// open of the name.
class NamedEvent {
 public:
  static std::shared_ptr<NamedEvent> open(std::string_view name, Event::Reset reset = Event::Reset::Auto,
                                          bool initiallySet = false, bool* alreadyExisted = nullptr);
  ~NamedEvent();
  Event& event() { return event_; }
  const std::string& name() const { return name_; }

 private:
  NamedEvent(std::string name, Event::Reset reset, bool initiallySet);
  std::string name_;
  Event event_;
};

}  // namespace plat
