// Message queues: posting, sending across threads, getting and dispatching,
// quit requests, registered messages, timers and the nested modal loop.
#include <algorithm>
#include <chrono>

#include "plat/clock.h"
#include "plat/thread.h"
#include "window/peer.h"
#include "window/state.h"

namespace plat::win {

Registry& registry() {
  // Never destroyed: thread-exit hooks of late threads may still reach it.
  static Registry* instance = new Registry;
  return *instance;
}

void completeSend(SendRecord& rec, LResult result) {
  if (rec.onDone) {
    rec.onDone(result);
    return;
  }
  auto sender = rec.sender;
  {
    std::lock_guard lock(sender->mutex);
    rec.result = result;
    rec.done = true;
  }
  sender->wake.notify_all();
}

bool waitForReply(ThreadQueue& me, SendRecord& rec, std::optional<std::chrono::steady_clock::time_point> deadline) {
  for (;;) {
    std::shared_ptr<SendRecord> incoming;
    {
      std::unique_lock lock(me.mutex);
      ++me.waiting;
      auto ready = [&] { return rec.done || !me.sends.empty(); };
      bool woke = true;
      if (deadline) {
        woke = me.wake.wait_until(lock, *deadline, ready);
      } else {
        me.wake.wait(lock, ready);
      }
      --me.waiting;
      if (rec.done) return true;
      if (!woke) return false;
      incoming = std::move(me.sends.front());
      me.sends.pop_front();
    }
    completeSend(*incoming, callProc(incoming->window, incoming->message, incoming->wParam, incoming->lParam));
  }
}

namespace {

void retireQueue(const std::shared_ptr<ThreadQueue>& queue) {
  std::deque<std::shared_ptr<SendRecord>> pending;
  {
    std::lock_guard lock(queue->mutex);
    queue->alive = false;
    pending.swap(queue->sends);
    queue->posted.clear();
    queue->timers.clear();
  }
  // Senders waiting on this thread get 0 instead of waiting forever.
  for (auto& rec : pending) completeSend(*rec, 0);
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  auto it = reg.queues.find(queue->threadId);
  if (it != reg.queues.end() && it->second == queue) reg.queues.erase(it);
}

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (queue) retireQueue(queue);
  }
};
thread_local QueueHolder tlsQueue;

std::shared_ptr<ThreadQueue> queueOf(Window window) {
  auto& reg = registry();
  std::shared_lock lock(reg.mutex);
  WindowData* d = findLocked(window);
  return d ? d->queue : nullptr;
}

bool postTo(const std::shared_ptr<ThreadQueue>& queue, const Message& msg) {
  bool wake = false;
  {
    std::lock_guard lock(queue->mutex);
    if (!queue->alive) return false;
    queue->posted.push_back(msg);
    // A busy owner finds the message on its next look; only a blocked one needs waking.
    wake = queue->waiting > 0;
  }
  if (wake) queue->wake.notify_all();
  return true;
}

void handleSend(SendRecord& rec) { completeSend(rec, callProc(rec.window, rec.message, rec.wParam, rec.lParam)); }

// Runs one incoming send if there is one.
bool runOneSend(ThreadQueue& me) {
  std::shared_ptr<SendRecord> rec;
  {
    std::lock_guard lock(me.mutex);
    if (me.sends.empty()) return false;
    rec = std::move(me.sends.front());
    me.sends.pop_front();
  }
  handleSend(*rec);
  return true;
}

bool takePosted(ThreadQueue& me, Message* out, bool remove) {
  for (;;) {
    Message msg;
    {
      std::lock_guard lock(me.mutex);
      if (me.posted.empty()) return false;
      msg = me.posted.front();
      if (remove) me.posted.pop_front();
    }
    // A message for a window destroyed since it was posted is dropped here.
    if (msg.window && !windowExists(msg.window)) {
      if (!remove) {
        std::lock_guard lock(me.mutex);
        if (!me.posted.empty() && me.posted.front().window == msg.window) me.posted.pop_front();
      }
      continue;
    }
    *out = msg;
    return true;
  }
}

bool takeQuit(ThreadQueue& me, Message* out, bool remove, bool includeQuit) {
  if (!includeQuit) return false;
  std::lock_guard lock(me.mutex);
  if (!me.quit || !me.posted.empty()) return false;
  *out = Message{Window{}, kMsgQuit, static_cast<WParam>(me.quitCode), 0, tickCount()};
  if (remove) me.quit = false;
  return true;
}

size_t depthLocked(const WindowData& d) {
  size_t depth = 0;
  for (const WindowData* p = &d; p && p->parent; p = findLocked(p->parent)) ++depth;
  return depth;
}

bool takePaint(ThreadQueue& me, Message* out) {
  std::vector<uint32_t> dirty;
  {
    std::lock_guard lock(me.mutex);
    if (me.dirty.empty()) return false;
    dirty = me.dirty;
  }
  // Parents paint before their children, so children end up on top.
  uint32_t best = 0;
  size_t bestDepth = SIZE_MAX;
  std::vector<uint32_t> stale;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    for (uint32_t id : dirty) {
      WindowData* d = findLocked(id);
      if (!d || d->invalid.empty() || d->destroying) {
        stale.push_back(id);
        continue;
      }
      if (!visibleLocked(*d)) continue;  // stays listed; painted once shown
      size_t depth = depthLocked(*d);
      if (depth < bestDepth) {
        best = id;
        bestDepth = depth;
      }
    }
  }
  if (!stale.empty()) {
    std::lock_guard lock(me.mutex);
    std::erase_if(me.dirty, [&](uint32_t id) { return std::find(stale.begin(), stale.end(), id) != stale.end(); });
  }
  if (!best) return false;
  *out = Message{Window{best}, kMsgPaint, 0, 0, tickCount()};
  return true;
}

bool takeTimer(ThreadQueue& me, Message* out, bool remove) {
  std::lock_guard lock(me.mutex);
  if (me.timers.empty()) return false;
  uint64_t now = tickCount();
  TimerEntry* due = nullptr;
  for (auto& t : me.timers) {
    if (t.due <= now && (!due || t.due < due->due)) due = &t;
  }
  if (!due) return false;
  *out = Message{Window{due->window}, kMsgTimer, due->id, 0, now};
  // One message however late: the next one is a full interval from now.
  if (remove) due->due = now + due->intervalMs;
  return true;
}

// The next message of the calling thread. Incoming sends are handled first.
// After a posted message, input, paint and timers get a turn before the next
// posted one, so a burst of posts cannot starve the screen or the user.
bool nextMessage(Message* out, bool wait, bool remove, bool includeQuit) {
  auto me = currentQueue();
  for (;;) {
    // One look under the lock tells which sources need a closer look.
    bool hasSends, hasPosted, hasDirty, hasTimers, hasQuit;
    {
      std::lock_guard lock(me->mutex);
      hasSends = !me->sends.empty();
      hasPosted = !me->posted.empty();
      hasDirty = !me->dirty.empty();
      hasTimers = !me->timers.empty();
      hasQuit = me->quit;
    }
    if (hasSends) {
      while (runOneSend(*me)) {
      }
      continue;
    }
    bool afterPosted = me->lastWasPosted;
    if (!afterPosted && hasPosted && takePosted(*me, out, remove)) {
      if (remove) me->lastWasPosted = true;
      return true;
    }
    if ((hasDirty && takePaint(*me, out)) || takeInput(*me, out, remove) || (hasTimers && takeTimer(*me, out, remove))) {
      if (remove) me->lastWasPosted = false;
      return true;
    }
    if (afterPosted && hasPosted && takePosted(*me, out, remove)) return true;
    if (remove) me->lastWasPosted = false;
    if (hasQuit && takeQuit(*me, out, remove, includeQuit)) return true;
    if (!wait) return false;

    std::unique_lock lock(me->mutex);
    if (!me->sends.empty() || !me->posted.empty() || me->quit) continue;
    ++me->waiting;
    if (registry().inputCount.load(std::memory_order_acquire) != 0) {
      // Input waiting for another thread: look again shortly.
      me->wake.wait_for(lock, std::chrono::milliseconds(2));
    } else if (!me->timers.empty()) {
      // Sleep until the next timer is due. A virtual clock wakes us when it
      // is advanced; the cap covers a clock swapped while we sleep.
      uint64_t now = tickCount();
      uint64_t due = UINT64_MAX;
      for (const auto& t : me->timers) due = std::min(due, t.due);
      uint64_t waitMs = due > now ? std::min<uint64_t>(due - now, 250) : 0;
      if (waitMs > 0) me->wake.wait_for(lock, std::chrono::milliseconds(waitMs));
    } else {
      me->wake.wait(lock);
    }
    --me->waiting;
  }
}

// Threads sleeping until a timer is due wake when a virtual clock moves.
void watchVirtualClock() {
  static std::mutex mutex;
  static VirtualClock* watched = nullptr;
  static int listenerId = 0;
  auto* clock = dynamic_cast<VirtualClock*>(&currentClock());
  if (!clock) return;
  std::lock_guard lock(mutex);
  if (clock == watched) return;
  listenerId = clock->addListener([] { wakeAllQueues(); });
  watched = clock;
  (void)listenerId;
}

}  // namespace

std::shared_ptr<ThreadQueue> currentQueue() {
  if (!tlsQueue.queue) {
    auto queue = std::make_shared<ThreadQueue>();
    queue->threadId = currentThreadId();
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.queues[queue->threadId] = queue;
    tlsQueue.queue = queue;
  }
  return tlsQueue.queue;
}

LResult callProc(Window window, uint32_t message, WParam wParam, LParam lParam) {
  std::shared_ptr<const WindowProc> proc;
  {
    auto& reg = registry();
    std::shared_lock lock(reg.mutex);
    WindowData* d = findLocked(window);
    if (!d) return 0;
    proc = d->proc;
  }
  return (proc && *proc) ? (*proc)(window, message, wParam, lParam) : 0;
}

void markDirty(const std::shared_ptr<ThreadQueue>& queue, uint32_t id) {
  {
    std::lock_guard lock(queue->mutex);
    if (std::find(queue->dirty.begin(), queue->dirty.end(), id) == queue->dirty.end()) queue->dirty.push_back(id);
  }
  queue->wake.notify_all();
}

void wakeAllQueues() {
  std::vector<std::shared_ptr<ThreadQueue>> queues;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    for (auto& [id, q] : reg.queues) queues.push_back(q);
  }
  for (auto& q : queues) {
    { std::lock_guard lock(q->mutex); }
    q->wake.notify_all();
  }
}

void dropTimers(const std::shared_ptr<ThreadQueue>& queue, uint32_t id) {
  std::lock_guard lock(queue->mutex);
  std::erase_if(queue->timers, [id](const TimerEntry& t) { return t.window == id; });
  std::erase(queue->dirty, id);
}

void queueSend(const std::shared_ptr<SendRecord>& rec) {
  auto target = queueOf(rec->window);
  if (target) {
    std::lock_guard lock(target->mutex);
    if (target->alive) {
      target->sends.push_back(rec);
      target->wake.notify_all();
      return;
    }
  }
  completeSend(*rec, 0);
}

void broadcastLocal(uint32_t message, WParam wParam, LParam lParam) {
  for (Window w : topLevelWindows()) postMessage(w, message, wParam, lParam);
}

void postFront(const Message& msg) {
  auto me = currentQueue();
  std::lock_guard lock(me->mutex);
  me->posted.push_front(msg);
}

}  // namespace plat::win

namespace plat {

using namespace win;

bool postMessage(Window window, uint32_t message, WParam wParam, LParam lParam) {
  auto queue = queueOf(window);
  if (!queue) return isRemoteWindow(window) && peerPost(window, message, wParam, lParam);
  return postTo(queue, Message{window, message, wParam, lParam, tickCount()});
}

void broadcastMessage(uint32_t message, WParam wParam, LParam lParam) {
  broadcastLocal(message, wParam, lParam);
  peerBroadcast(message, wParam, lParam);
}

bool postThreadMessage(uint32_t threadId, uint32_t message, WParam wParam, LParam lParam) {
  // The calling thread always has a queue (made on first use).
  std::shared_ptr<ThreadQueue> queue = threadId == currentThreadId() ? currentQueue() : nullptr;
  if (!queue) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.queues.find(threadId);
    if (it == reg.queues.end()) return false;
    queue = it->second;
  }
  return postTo(queue, Message{Window{}, message, wParam, lParam, tickCount()});
}

LResult sendMessage(Window window, uint32_t message, WParam wParam, LParam lParam) {
  auto target = queueOf(window);
  if (!target) return isRemoteWindow(window) ? peerSend(window, message, wParam, lParam) : 0;
  auto me = currentQueue();
  if (target == me) return callProc(window, message, wParam, lParam);

  auto rec = std::make_shared<SendRecord>();
  *rec = SendRecord{window, message, wParam, lParam, 0, false, me, {}};
  {
    std::lock_guard lock(target->mutex);
    if (!target->alive) return 0;
    target->sends.push_back(rec);
  }
  target->wake.notify_all();
  // Wait for the answer, handling sends to our own windows meanwhile.
  waitForReply(*me, *rec, std::nullopt);
  std::lock_guard lock(me->mutex);
  return rec->result;
}

void postQuitMessage(int exitCode) {
  auto me = currentQueue();
  {
    std::lock_guard lock(me->mutex);
    me->quit = true;
    me->quitCode = exitCode;
  }
  me->wake.notify_all();
}

bool getMessage(Message* msg) {
  nextMessage(msg, true, true, true);
  return msg->message != kMsgQuit;
}

bool peekMessage(Message* msg, PeekMode mode) { return nextMessage(msg, false, mode == PeekMode::Remove, true); }

bool translateMessage(const Message& msg) {
  if (msg.message != kMsgKeyDown || !msg.window) return false;
  char16_t ch = keyCharacter(msg.lParam);
  if (ch == 0) return false;
  // The character comes next, ahead of anything posted meanwhile.
  postFront(Message{msg.window, kMsgChar, ch, msg.lParam, msg.time});
  return true;
}

LResult dispatchMessage(const Message& msg) {
  if (!msg.window || msg.message == kMsgQuit) return 0;
  LResult result = callProc(msg.window, msg.message, msg.wParam, msg.lParam);
  // A procedure that did not paint must not get the same paint forever.
  if (msg.message == kMsgPaint) validate(msg.window);
  return result;
}

size_t pumpPendingMessages() {
  size_t count = 0;
  Message msg;
  while (nextMessage(&msg, false, true, false)) {
    translateMessage(msg);
    dispatchMessage(msg);
    ++count;
  }
  return count;
}

bool quitRequested(int* exitCode) {
  auto me = currentQueue();
  std::lock_guard lock(me->mutex);
  if (me->quit && exitCode) *exitCode = me->quitCode;
  return me->quit;
}

uint32_t registerMessage(std::string_view name) {
  if (name.empty()) return 0;
  {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.registeredMessages.find(std::string(name));
    if (it != reg.registeredMessages.end()) return it->second;
  }
  if (auto shared = peerRegisterMessage(name)) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.registeredMessages[std::string(name)] = *shared;
    return *shared;
  }
  // Numbered within the process when the shared table is out of reach.
  auto& reg = registry();
  std::lock_guard lock(reg.mutex);
  auto [it, added] = reg.registeredMessages.try_emplace(std::string(name), 0);
  if (added) {
    uint32_t number = kMsgRegisteredFirst;
    for (auto& [n, v] : reg.registeredMessages) number = std::max(number, v + 1);
    if (number > 0xFFFF) {
      reg.registeredMessages.erase(it);
      return 0;
    }
    it->second = number;
  }
  return it->second;
}

bool setTimer(Window window, uintptr_t timerId, uint32_t intervalMs) {
  auto queue = queueOf(window);
  if (!queue) return false;
  watchVirtualClock();
  // A zero interval would fire on every pass of the loop.
  uint32_t interval = std::max<uint32_t>(intervalMs, 1);
  {
    std::lock_guard lock(queue->mutex);
    if (!queue->alive) return false;
    uint64_t due = tickCount() + interval;
    auto it = std::find_if(queue->timers.begin(), queue->timers.end(),
                           [&](const TimerEntry& t) { return t.window == window.id && t.id == timerId; });
    if (it != queue->timers.end()) {
      it->intervalMs = interval;
      it->due = due;
    } else {
      queue->timers.push_back(TimerEntry{window.id, timerId, interval, due});
    }
  }
  queue->wake.notify_all();
  return true;
}

bool killTimer(Window window, uintptr_t timerId) {
  auto queue = queueOf(window);
  if (!queue) return false;
  std::lock_guard lock(queue->mutex);
  return std::erase_if(queue->timers,
                       [&](const TimerEntry& t) { return t.window == window.id && t.id == timerId; }) > 0;
}

ModalEnd runModalLoop(const ModalLoopOptions& options, int* quitCode) {
  bool disabledOwner = false;
  if (options.owner && isWindowEnabled(options.owner)) {
    enableWindow(options.owner, false);
    disabledOwner = true;
  }
  ModalEnd end = ModalEnd::Finished;
  while (!options.keepRunning || options.keepRunning()) {
    Message msg;
    if (!getMessage(&msg)) {
      // The quit belongs to the outer loop: hand it back.
      int code = static_cast<int>(msg.wParam);
      postQuitMessage(code);
      if (quitCode) *quitCode = code;
      end = ModalEnd::Quit;
      break;
    }
    if (options.filter && options.filter(msg)) continue;
    translateMessage(msg);
    dispatchMessage(msg);
  }
  if (disabledOwner && windowExists(options.owner)) enableWindow(options.owner, true);
  return end;
}

}  // namespace plat
