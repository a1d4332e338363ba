// Events with waits on one or several, and process-wide named objects.
//
// A wait registers one EventWaiter with every event it waits on; set() wakes
// the registered waiters, and each waiter then re-checks the events in index
// order under each event's own lock. Consuming an auto-reset event happens
// only under its lock, so exactly one wait returns for one set().
#include "plat/sync.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>

namespace plat {

struct EventWaiter {
  std::mutex mutex;
  std::condition_variable wake;
  bool signalled = false;
};

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

std::optional<SteadyTime> deadlineAfter(uint32_t timeoutMs) {
  if (timeoutMs == kInfinite) return std::nullopt;
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

Event::Event(Reset reset, bool initiallySet) : set_(initiallySet), reset_(reset) {}

Event::~Event() = default;

void Event::set() {
  std::lock_guard lock(mutex_);
  set_ = true;
  // Lock order is always event, then waiter; a waiter never holds its own
  // lock while taking an event's.
  for (EventWaiter* waiter : waiters_) {
    std::lock_guard waiterLock(waiter->mutex);
    waiter->signalled = true;
    waiter->wake.notify_one();
  }
}

void Event::reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::isSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool Event::tryConsume() {
  if (!set_) return false;
  if (reset_ == Reset::Auto) set_ = false;
  return true;
}

bool Event::wait(uint32_t timeoutMs) {
  Event* self = this;
  return waitAny(std::span<Event* const>(&self, 1), timeoutMs) == 0;
}

int waitAny(std::span<Event* const> events, uint32_t timeoutMs) {
  if (events.empty()) return -1;  // nothing could ever end the wait
  const std::optional<SteadyTime> deadline = deadlineAfter(timeoutMs);
  EventWaiter waiter;
  const auto unregister = [&](size_t count) {
    for (size_t i = 0; i < count; ++i) {
      std::lock_guard lock(events[i]->mutex_);
      auto& list = events[i]->waiters_;
      list.erase(std::find(list.begin(), list.end(), &waiter));
    }
  };
  for (;;) {
    {
      std::lock_guard lock(waiter.mutex);
      waiter.signalled = false;
    }
    // Check in index order, registering as we go so a set() that comes after
    // an event was checked still wakes us.
    for (size_t i = 0; i < events.size(); ++i) {
      bool consumed;
      {
        std::lock_guard lock(events[i]->mutex_);
        consumed = events[i]->tryConsume();
        if (!consumed) events[i]->waiters_.push_back(&waiter);
      }
      if (consumed) {
        // Never hold two event locks at once: waits list events in any order.
        unregister(i);
        return static_cast<int>(i);
      }
    }
    bool timedOut = false;
    {
      std::unique_lock lock(waiter.mutex);
      if (deadline) {
        timedOut = !waiter.wake.wait_until(lock, *deadline, [&] { return waiter.signalled; });
      } else {
        waiter.wake.wait(lock, [&] { return waiter.signalled; });
      }
    }
    unregister(events.size());
    if (timedOut) return -1;
  }
}

// ---- named objects ----

namespace {

// One registry per kind of object. Entries are weak: an object lives as long
// as someone holds it, and its name is free again afterwards.
template <typename T>
struct NameRegistry {
  std::mutex mutex;
  std::condition_variable forgotten;
  std::map<std::string, std::weak_ptr<T>, std::less<>> objects;

  // The live object of that name, else nullptr once no dying object holds
  // the name. Waiting for the dying object's destructor to drop its entry
  // orders everything done under the old object before the new one is made.
  std::shared_ptr<T> findLive(std::unique_lock<std::mutex>& lock, std::string_view name) {
    for (;;) {
      auto it = objects.find(name);
      if (it == objects.end()) return nullptr;
      if (std::shared_ptr<T> live = it->second.lock()) return live;
      forgotten.wait(lock);
    }
  }

  // Called by a dying object: drops the entry for name if it still refers to
  // a dead object (a new object of the same name may have replaced it).
  void forget(const std::string& name) {
    {
      std::lock_guard lock(mutex);
      auto it = objects.find(name);
      if (it != objects.end() && it->second.expired()) objects.erase(it);
    }
    forgotten.notify_all();
  }
};

NameRegistry<NamedMutex>& mutexRegistry() {
  static NameRegistry<NamedMutex> registry;
  return registry;
}

NameRegistry<NamedEvent>& eventRegistry() {
  static NameRegistry<NamedEvent> registry;
  return registry;
}

}  // namespace

std::shared_ptr<NamedMutex> NamedMutex::open(std::string_view name, bool* alreadyExisted) {
  auto& registry = mutexRegistry();
  std::unique_lock lock(registry.mutex);
  if (std::shared_ptr<NamedMutex> existing = registry.findLive(lock, name)) {
    if (alreadyExisted) *alreadyExisted = true;
    return existing;
  }
  std::shared_ptr<NamedMutex> created(new NamedMutex(std::string(name)));
  registry.objects[created->name_] = created;
  if (alreadyExisted) *alreadyExisted = false;
  return created;
}

NamedMutex::NamedMutex(std::string name) : name_(std::move(name)) {}

NamedMutex::~NamedMutex() { mutexRegistry().forget(name_); }

void NamedMutex::lock() { mutex_.lock(); }

bool NamedMutex::tryLock(uint32_t timeoutMs) {
  if (timeoutMs == 0) return mutex_.try_lock();
  if (timeoutMs == kInfinite) {
    mutex_.lock();
    return true;
  }
  return mutex_.try_lock_for(std::chrono::milliseconds(timeoutMs));
}

void NamedMutex::unlock() { mutex_.unlock(); }

std::shared_ptr<NamedEvent> NamedEvent::open(std::string_view name, Event::Reset reset, bool initiallySet,
                                             bool* alreadyExisted) {
  auto& registry = eventRegistry();
  std::unique_lock lock(registry.mutex);
  if (std::shared_ptr<NamedEvent> existing = registry.findLive(lock, name)) {
    if (alreadyExisted) *alreadyExisted = true;
    return existing;
  }
  std::shared_ptr<NamedEvent> created(new NamedEvent(std::string(name), reset, initiallySet));
  registry.objects[created->name_] = created;
  if (alreadyExisted) *alreadyExisted = false;
  return created;
}

NamedEvent::NamedEvent(std::string name, Event::Reset reset, bool initiallySet)
    : name_(std::move(name)), event_(reset, initiallySet) {}

NamedEvent::~NamedEvent() { eventRegistry().forget(name_); }

}  // namespace plat
