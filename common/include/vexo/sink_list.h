// The list of event sinks of a player session.
//
// Sinks are kept in order of registration and guarded by the process-wide
// named mutex "EventSinkListMutext", which every session shares and which is
// held only while the list is changed or copied, never while a sink is called.
// A sink may register or unregister sinks from inside OnEvent.
//
// Firing copies the list and takes a reference on each sink of the copy for
// the duration of the call, so a sink released by its owner while an event is
// in flight is not called after it was freed. Before each call the sink is
// checked to be still registered, and unadvise() waits until calls to that
// sink running on other threads have returned: once unadvise() returns, the
// sink is not called again. (A thread that is itself inside a callback of this
// list does not wait, so two sinks unregistering each other from two threads
// cannot deadlock; the sink it removes is still not called for later events.)
#pragma once
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "plat/sync.h"
#include "zant/event_sink.h"

namespace vexo {

inline constexpr char kEventSinkListMutexName[] = "EventSinkListMutext";

class SinkList {
 public:
  SinkList();
  ~SinkList();
  SinkList(const SinkList&) = delete;
  SinkList& operator=(const SinkList&) = delete;

  // Appends the sink (no reference is kept between events: the owner keeps
  // its sink alive until it has unregistered it). E_POINTER for null, E_FAIL
  // when the list mutex could not be created.
  Status advise(IZantMediaEventSink* sink);
  // Removes every entry equal to sink; returns once no call to it is running
  // on another thread.
  Status unadvise(IZantMediaEventSink* sink);
  // Calls OnEvent(sender, code, p1, p2) on each registered sink in order;
  // returns how many were called.
  size_t fire(IMcUnknown* sender, uint32_t code, uintptr_t p1, uintptr_t p2);

  size_t size() const;
  bool contains(IZantMediaEventSink* sink) const;

 private:
  struct Entry {
    IZantMediaEventSink* sink;
    uint64_t serial;
  };
  struct Call {
    IZantMediaEventSink* sink;
    std::thread::id thread;
  };
  bool registeredLocked(uint64_t serial) const;
  bool callingLocked(std::thread::id thread) const;

  std::shared_ptr<plat::NamedMutex> mutex_;
  mutable std::condition_variable_any idle_;
  std::vector<Entry> entries_;
  std::vector<Call> calls_;  // calls in progress
  uint64_t nextSerial_ = 1;
};

}  // namespace vexo
