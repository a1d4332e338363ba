#include "vexo/sink_list.h"

#include <algorithm>
#include <mutex>

namespace vexo {

SinkList::SinkList() : mutex_(plat::NamedMutex::open(kEventSinkListMutexName)) {}

SinkList::~SinkList() = default;

Status SinkList::advise(IZantMediaEventSink* sink) {
  if (sink == nullptr) return plat::E_POINTER;
  if (!mutex_) return plat::E_FAIL;
  std::unique_lock lock(*mutex_);
  try {
    entries_.push_back({sink, nextSerial_++});
  } catch (...) {
    return plat::E_OUTOFMEMORY;
  }
  return plat::S_OK;
}

Status SinkList::unadvise(IZantMediaEventSink* sink) {
  if (!mutex_) return plat::E_FAIL;
  std::unique_lock lock(*mutex_);
  std::erase_if(entries_, [sink](const Entry& e) { return e.sink == sink; });
  const std::thread::id self = std::this_thread::get_id();
  if (callingLocked(self)) return plat::S_OK;  // inside a callback: never wait (see header)
  idle_.wait(lock, [&] {
    return std::none_of(calls_.begin(), calls_.end(), [&](const Call& c) { return c.sink == sink; });
  });
  return plat::S_OK;
}

size_t SinkList::fire(IMcUnknown* sender, uint32_t code, uintptr_t p1, uintptr_t p2) {
  if (!mutex_) return 0;
  std::vector<Entry> copy;
  {
    std::unique_lock lock(*mutex_);
    try {
      copy = entries_;
    } catch (...) {
      return 0;
    }
    for (const Entry& e : copy) e.sink->AddRef();
  }
  const std::thread::id self = std::this_thread::get_id();
  size_t called = 0;
  for (size_t i = 0; i < copy.size(); ++i) {
    const Entry& e = copy[i];
    bool live = false;
    {
      std::unique_lock lock(*mutex_);
      live = registeredLocked(e.serial);
      if (live) {
        try {
          calls_.push_back({e.sink, self});
        } catch (...) {
          live = false;
        }
      }
    }
    if (live) {
      e.sink->OnEvent(sender, code, p1, p2);
      ++called;
      std::unique_lock lock(*mutex_);
      auto it = std::find_if(calls_.begin(), calls_.end(),
                             [&](const Call& c) { return c.sink == e.sink && c.thread == self; });
      if (it != calls_.end()) calls_.erase(it);
      idle_.notify_all();
    }
    e.sink->Release();
  }
  return called;
}

size_t SinkList::size() const {
  if (!mutex_) return 0;
  std::unique_lock lock(*mutex_);
  return entries_.size();
}

bool SinkList::contains(IZantMediaEventSink* sink) const {
  if (!mutex_) return false;
  std::unique_lock lock(*mutex_);
  return std::any_of(entries_.begin(), entries_.end(), [sink](const Entry& e) { return e.sink == sink; });
}

bool SinkList::registeredLocked(uint64_t serial) const {
  return std::any_of(entries_.begin(), entries_.end(), [serial](const Entry& e) { return e.serial == serial; });
}

bool SinkList::callingLocked(std::thread::id thread) const {
  return std::any_of(calls_.begin(), calls_.end(), [thread](const Call& c) { return c.thread == thread; });
}

}  // namespace vexo
