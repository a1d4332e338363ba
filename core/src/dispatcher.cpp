// The dispatcher: the object list, the posted-event queue and the receiver
// window whose procedure delivers one queued event per dispatch message.
//
// Threads. Objects are created and destroyed on the user-interface thread,
// but two event types are sent from engine threads, so the object list has
// its own lock. A walk holds it only to step to the next object; the
// handler runs unlocked. Each list entry counts the deliveries running on
// it, and an object's destructor waits until deliveries on other threads
// have returned. The queue is guarded by the named mutex; the type of the
// event being delivered from the queue is kept in an atomic, cleared before
// that event is destroyed, so other threads never touch the event itself.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "VexoCore.h"
#include "VexoEvents.h"
#include "plat/debug.h"
#include "plat/sync.h"
#include "plat/window.h"

namespace {

// A private message of the receiver window: the objects registered since
// the last loop turn have finished construction.
constexpr uint32_t kSettleMessage = kVexoDispatchMessage + 1;

struct Slot {
  VexoObject* object = nullptr;
  uint64_t serial = 0;  // registration order
  bool removed = false;
  // The base constructor registers the object before the derived part
  // exists. Until the owner thread's message loop comes round again, only
  // the owner thread delivers to it; other threads skip it.
  bool settled = true;
  std::thread::id owner;
  std::vector<std::thread::id> delivering;  // threads inside object->Event now
};

class Dispatcher {
 public:
  static Dispatcher& instance() {
    // Lives until the process ends; objects may outlive the library's detach.
    static Dispatcher* d = new Dispatcher;
    return *d;
  }

  void add(VexoObject* object) {
    auto slot = std::make_shared<Slot>();
    slot->object = object;
    slot->owner = std::this_thread::get_id();
    bool askForSettle = false;
    plat::Window receiver = receiver_.load();
    {
      std::lock_guard lock(listMutex_);
      slot->serial = nextSerial_++;
      if (receiver && slot->owner == receiverThread_) {
        slot->settled = false;
        askForSettle = !settlePending_;
        settlePending_ = true;
        settleWanted_.store(true, std::memory_order_release);
      }
      slots_.push_back(std::move(slot));
    }
    if (askForSettle && !plat::postMessage(receiver, kSettleMessage, 0, 0)) settleAll();
  }

  // Every object registered so far is fully built: other threads may call it.
  void settleAll() {
    if (!settleWanted_.load(std::memory_order_acquire)) return;
    std::lock_guard lock(listMutex_);
    if (!settlePending_) return;
    for (auto& slot : slots_) slot->settled = true;
    settlePending_ = false;
    settleWanted_.store(false, std::memory_order_release);
  }

  void remove(VexoObject* object) {
    std::unique_lock lock(listMutex_);
    auto self = std::this_thread::get_id();
    for (auto it = slots_.begin(); it != slots_.end();) {
      if ((*it)->object != object) {
        ++it;
        continue;
      }
      std::shared_ptr<Slot> slot = *it;
      slot->removed = true;
      it = slots_.erase(it);
      // A delivery on this thread (the object dies inside a handler) cannot
      // be waited for; any on other threads must finish first.
      deliveryDone_.wait(lock, [&] {
        return std::all_of(slot->delivering.begin(), slot->delivering.end(),
                           [&](std::thread::id t) { return t == self; });
      });
      it = slots_.begin();  // the list may have changed while waiting
    }
  }

  void send(VexoEvent* event) {
    if (!event) return;
    auto self = std::this_thread::get_id();
    std::shared_ptr<Slot> current;
    uint64_t lastSerial = 0;
    bool first = true;
    for (;;) {
      std::shared_ptr<Slot> next;
      {
        std::lock_guard lock(listMutex_);
        if (current) finishDelivery(*current, self);
        // Next object registered after the one just served; objects added
        // during the walk are reached, removed ones are gone from the list.
        auto it = first ? slots_.begin()
                        : std::upper_bound(slots_.begin(), slots_.end(), lastSerial,
                                           [](uint64_t s, const std::shared_ptr<Slot>& slot) { return s < slot->serial; });
        first = false;
        while (it != slots_.end() && !(*it)->settled && (*it)->owner != self) ++it;
        if (it == slots_.end()) return;
        next = *it;
        next->delivering.push_back(self);
        lastSerial = next->serial;
      }
      current = std::move(next);
      bool handled = current->object->Event(event);
      if (handled) {
        std::lock_guard lock(listMutex_);
        finishDelivery(*current, self);
        return;
      }
    }
  }

  void post(VexoEvent* event) {
    if (!event) return;
    bool drop = false;
    {
      std::lock_guard lock(*queueLock());
      // The duplicate check and the append are one step, so two racing
      // posts of a parental block cannot both be queued.
      if (event->type == VexoEventParentalBlocked::kType &&
          (currentType_.load(std::memory_order_acquire) == VexoEventParentalBlocked::kType || queuedBlocks_ > 0)) {
        drop = true;
      } else {
        queue_.push_back(event);
        if (event->type == VexoEventParentalBlocked::kType) ++queuedBlocks_;
        if (plat::postMessage(receiver_.load(), kVexoDispatchMessage, 0, 0)) ++pendingTurns_;
      }
    }
    if (drop) delete event;
  }

  // One dispatch turn: deliver the head event, if any.
  void dispatchOne() {
    settleAll();
    VexoEvent* event = nullptr;
    {
      std::lock_guard lock(*queueLock());
      if (pendingTurns_ > 0) --pendingTurns_;
      if (queue_.empty()) return;
      event = queue_.front();
      queue_.pop_front();
      if (event->type == VexoEventParentalBlocked::kType) --queuedBlocks_;
      currentType_.store(event->type, std::memory_order_release);
      // Every post asks for a turn; ask again only if events would
      // otherwise wait with no turn coming (a post found no receiver).
      // Events posted during the delivery below bring their own turns.
      if (queue_.size() > pendingTurns_ && plat::postMessage(receiver_.load(), kVexoDispatchMessage, 0, 0)) {
        ++pendingTurns_;
      }
    }
    send(event);
    // Cleared before the event goes, so nothing can look at a dying event.
    currentType_.store(0, std::memory_order_release);
    delete event;
  }

  void setReceiver(plat::Window w) {
    {
      std::lock_guard lock(listMutex_);
      receiverThread_ = std::this_thread::get_id();
    }
    if (!w) settleAll();
    std::lock_guard lock(*queueLock());
    receiver_.store(w);
    pendingTurns_ = 0;
    if (w && !queue_.empty() && plat::postMessage(w, kVexoDispatchMessage, 0, 0)) ++pendingTurns_;
  }
  plat::Window receiver() const { return receiver_.load(); }

  void freeQueued() {
    std::deque<VexoEvent*> doomed;
    {
      std::lock_guard lock(*queueLock());
      doomed.swap(queue_);
      queuedBlocks_ = 0;
      pendingTurns_ = 0;
    }
    for (VexoEvent* e : doomed) delete e;
  }

  size_t queued() {
    std::lock_guard lock(*queueLock());
    return queue_.size();
  }
  size_t objects() {
    std::lock_guard lock(listMutex_);
    return slots_.size();
  }

 private:
  void finishDelivery(Slot& slot, std::thread::id self) {
    auto it = std::find(slot.delivering.begin(), slot.delivering.end(), self);
    if (it != slot.delivering.end()) slot.delivering.erase(it);
    if (slot.removed) deliveryDone_.notify_all();
  }

  plat::NamedMutex* queueLock() {
    std::call_once(lockOnce_, [this] { queueLock_ = plat::NamedMutex::open(kVexoEventListMutexName); });
    return queueLock_.get();
  }

  std::mutex listMutex_;
  std::condition_variable deliveryDone_;
  std::vector<std::shared_ptr<Slot>> slots_;  // ascending serial
  uint64_t nextSerial_ = 1;
  std::thread::id receiverThread_;
  bool settlePending_ = false;
  std::atomic<bool> settleWanted_{false};  // settlePending_, readable without the lock

  std::once_flag lockOnce_;
  std::shared_ptr<plat::NamedMutex> queueLock_;
  std::deque<VexoEvent*> queue_;
  size_t queuedBlocks_ = 0;  // queued events of the parental-block type
  size_t pendingTurns_ = 0;  // dispatch messages posted and not yet handled
  std::atomic<uint32_t> currentType_{0};
  std::atomic<plat::Window> receiver_{};
};

plat::LResult receiverProc(plat::Window w, uint32_t message, plat::WParam wParam, plat::LParam lParam) {
  if (message == kVexoDispatchMessage) {
    Dispatcher::instance().dispatchOne();
    return 0;
  }
  if (message == kSettleMessage) {
    Dispatcher::instance().settleAll();
    return 0;
  }
  return plat::defaultWindowProc(w, message, wParam, lParam);
}

__attribute__((constructor)) void attachOnLoad() { VexoCoreAttach(); }
__attribute__((destructor)) void detachOnUnload() { VexoCoreDetach(); }

}  // namespace

VexoEvent::~VexoEvent() = default;
void* VexoEvent::operator new(size_t size) { return ::operator new(size); }
void VexoEvent::operator delete(void* p) noexcept { ::operator delete(p); }
void* VexoEvent::operator new[](size_t size) { return ::operator new[](size); }
void VexoEvent::operator delete[](void* p) noexcept { ::operator delete[](p); }

VexoObject::VexoObject() { Dispatcher::instance().add(this); }
VexoObject::~VexoObject() { Dispatcher::instance().remove(this); }
bool VexoObject::Event(VexoEvent*) { return false; }
void VexoObject::SendEvent(VexoEvent* event) { Dispatcher::instance().send(event); }
void VexoObject::PostEvent(VexoEvent* event) { Dispatcher::instance().post(event); }
void* VexoObject::operator new(size_t size) { return ::operator new(size); }
void VexoObject::operator delete(void* p) noexcept { ::operator delete(p); }
void* VexoObject::operator new[](size_t size) { return ::operator new[](size); }
void VexoObject::operator delete[](void* p) noexcept { ::operator delete[](p); }

void VexoCoreAttach() {
  auto& d = Dispatcher::instance();
  if (d.receiver()) return;
  if (!plat::isClassRegistered(kVexoReceiverWindowName)) {
    plat::registerClass({kVexoReceiverWindowName, 0, receiverProc, {}});
  }
  plat::CreateWindowParams params;
  params.className = kVexoReceiverWindowName;
  params.title = kVexoReceiverWindowName;
  plat::Window w = plat::createWindow(params);
  if (!w) plat::debugOut("VexoCore: cannot create the receiver window");
  d.setReceiver(w);
}

void VexoCoreDetach() {
  auto& d = Dispatcher::instance();
  d.freeQueued();
  plat::Window w = d.receiver();
  d.setReceiver(plat::Window{});
  if (w) plat::destroyWindow(w);
  plat::unregisterClass(kVexoReceiverWindowName);
}

plat::Window VexoCoreReceiverWindow() { return Dispatcher::instance().receiver(); }
size_t VexoCoreQueuedEventCount() { return Dispatcher::instance().queued(); }
size_t VexoCoreRegisteredObjectCount() { return Dispatcher::instance().objects(); }
