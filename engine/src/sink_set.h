// The sinks registered with one engine object (a player, a scan, the device
// manager). Same rules as the session's list: the set's lock is never held
// while a sink is called; each call holds a reference on the sink; a sink is
// checked to be registered just before its call; remove() returns only when
// no call to that sink is running on another thread.
#pragma once
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "zant/event_sink.h"

namespace zantsim {

class SinkSet {
 public:
  Status add(IMcUnknown* identity, IZantMediaEventSink* sink) {
    if (sink == nullptr) return plat::E_POINTER;
    std::lock_guard lock(mutex_);
    for (const Entry& e : entries_)
      if (e.identity == identity && e.sink == sink) return plat::S_OK;  // already there
    entries_.push_back({identity, sink, nextSerial_++});
    return plat::S_OK;
  }

  // identity null removes the sink whatever identity it came with.
  void remove(IMcUnknown* identity, IZantMediaEventSink* sink) {
    std::unique_lock lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.sink == sink && (identity == nullptr || e.identity == identity); });
    waitIdleLocked(lock, sink);
  }

  void clear() {
    std::unique_lock lock(mutex_);
    entries_.clear();
    waitIdleLocked(lock, nullptr);
  }

  bool empty() const {
    std::lock_guard lock(mutex_);
    return entries_.empty();
  }

  size_t fire(IMcUnknown* sender, uint32_t code, uintptr_t p1, uintptr_t p2) {
    std::vector<Entry> copy;
    {
      std::lock_guard lock(mutex_);
      copy = entries_;
      for (const Entry& e : copy) e.sink->AddRef();
    }
    const std::thread::id self = std::this_thread::get_id();
    size_t called = 0;
    for (const Entry& e : copy) {
      bool live;
      {
        std::lock_guard lock(mutex_);
        live = std::any_of(entries_.begin(), entries_.end(), [&](const Entry& x) { return x.serial == e.serial; });
        if (live) calls_.push_back({e.sink, self});
      }
      if (live) {
        e.sink->OnEvent(sender, code, p1, p2);
        ++called;
        std::lock_guard lock(mutex_);
        auto it = std::find_if(calls_.begin(), calls_.end(), [&](const Call& c) { return c.sink == e.sink && c.thread == self; });
        if (it != calls_.end()) calls_.erase(it);
        idle_.notify_all();
      }
      e.sink->Release();
    }
    return called;
  }

 private:
  struct Entry {
    IMcUnknown* identity;
    IZantMediaEventSink* sink;
    uint64_t serial;
  };
  struct Call {
    IZantMediaEventSink* sink;
    std::thread::id thread;
  };

  // Waits for calls to sink (any sink when null) on other threads; a thread
  // that is itself inside a call of this set does not wait (no deadlock).
  void waitIdleLocked(std::unique_lock<std::mutex>& lock, IZantMediaEventSink* sink) {
    const std::thread::id self = std::this_thread::get_id();
    if (std::any_of(calls_.begin(), calls_.end(), [&](const Call& c) { return c.thread == self; })) return;
    idle_.wait(lock, [&] {
      return std::none_of(calls_.begin(), calls_.end(), [&](const Call& c) { return sink == nullptr || c.sink == sink; });
    });
  }

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::vector<Entry> entries_;
  std::vector<Call> calls_;
  uint64_t nextSerial_ = 1;
};

}  // namespace zantsim
