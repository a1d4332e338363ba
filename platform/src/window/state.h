// Process-wide state of the window system: the window registry, the class
// table, the per-thread message queues and the raw input queue.
//
// Lock order: an input-queue or thread-queue lock may be held while taking
// the registry lock, never the other way round. No lock is held while a
// window procedure, a paint back end or a listener runs.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "plat/display.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/region.h"
#include "plat/window.h"

namespace plat::win {

struct ThreadQueue;

struct SendRecord {
  Window window;
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  LResult result = 0;
  bool done = false;  // guarded by sender->mutex
  std::shared_ptr<ThreadQueue> sender;
  // Set instead of sender when the answer goes elsewhere (another process).
  std::function<void(LResult)> onDone;
};

struct TimerEntry {
  uint32_t window = 0;
  uintptr_t id = 0;
  uint32_t intervalMs = 0;
  uint64_t due = 0;
};

struct ThreadQueue {
  uint32_t threadId = 0;
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Message> posted;
  std::deque<std::shared_ptr<SendRecord>> sends;
  std::vector<TimerEntry> timers;
  std::vector<uint32_t> dirty;  // windows that may need painting
  bool quit = false;
  int quitCode = 0;
  bool alive = true;
  int waiting = 0;  // threads blocked on wake (the owner, or it as a sender)
  bool lastWasPosted = false;  // fairness: synthesized and input messages get a turn after each posted one
};

struct ClassData {
  WindowClass info;
  String16 key;  // lower-case name
  int liveWindows = 0;
};

struct WindowData {
  uint32_t id = 0;
  std::shared_ptr<ClassData> cls;
  std::shared_ptr<ThreadQueue> queue;
  uint32_t style = 0;
  Rect rect;  // screen (top-level) or parent client coordinates (child)
  uint32_t parent = 0;
  uint32_t owner = 0;
  std::vector<uint32_t> children;  // top of the siblings first
  int32_t controlId = 0;
  String16 text;
  uintptr_t font = 0;
  std::shared_ptr<const WindowProc> proc;
  uintptr_t userData = 0;
  std::optional<Region> shape;
  Region invalid;
  bool eraseNeeded = false;
  bool destroying = false;
};

struct RawInput {
  enum class Kind { MouseDown, MouseMove, MouseUp, KeyDown, KeyUp } kind;
  Point screen;
  uint32_t key = 0;
  char16_t ch = 0;
  uint32_t modifiers = 0;
  bool buttonDown = false;
  uint64_t time = 0;
};

struct Registry {
  // Readers (lookups on every post and dispatch) share it; changes take it alone.
  std::shared_mutex mutex;
  std::unordered_map<uint32_t, std::shared_ptr<WindowData>> windows;
  std::vector<uint32_t> topLevel;  // topmost first
  std::unordered_map<String16, std::shared_ptr<ClassData>> classes;
  std::unordered_map<uint32_t, std::shared_ptr<ThreadQueue>> queues;  // by thread id
  std::unordered_map<std::string, uint32_t> registeredMessages;
  uint32_t nextId = 1;
  uint32_t capture = 0;
  uint32_t focus = 0;
  uint32_t active = 0;
  Size screen = kDefaultScreenSize;
  PaintBackend* paintBackend = nullptr;
  std::function<void()> screenChanged;

  // Raw input, resolved to a window when a thread takes it.
  std::mutex inputMutex;
  std::deque<RawInput> input;
  std::atomic<size_t> inputCount{0};
  bool buttonDown = false;  // guarded by inputMutex
  struct LastDown {
    uint32_t window = 0;
    Point screen;
    uint64_t time = 0;
  } lastDown;  // guarded by inputMutex
};

Registry& registry();
std::shared_ptr<ThreadQueue> currentQueue();

// Under registry().mutex.
WindowData* findLocked(Window window);
WindowData* findLocked(uint32_t id);
Rect screenRectLocked(const WindowData& d);
bool visibleLocked(const WindowData& d);

// Calls the window's procedure on the calling thread (0 when it is gone).
LResult callProc(Window window, uint32_t message, WParam wParam, LParam lParam);
// Tells the screen-changed listener.
void notifyScreenChanged();
// Adds a window to its thread's paint list and wakes that thread.
void markDirty(const std::shared_ptr<ThreadQueue>& queue, uint32_t id);
// Wakes every thread waiting for messages (new raw input).
void wakeAllQueues();
// Removes the timers of a window from its queue.
void dropTimers(const std::shared_ptr<ThreadQueue>& queue, uint32_t id);
void completeSend(SendRecord& rec, LResult result);
// Waits until rec is answered (true) or the deadline passes (false),
// handling sends to the calling thread's windows meanwhile.
bool waitForReply(ThreadQueue& me, SendRecord& rec, std::optional<std::chrono::steady_clock::time_point> deadline);
// Posts to this process's top-level windows only.
void broadcastLocal(uint32_t message, WParam wParam, LParam lParam);
// Queues a send for the window's owner thread without waiting; rec->onDone
// gets the answer (0 when the window or its thread goes first).
void queueSend(const std::shared_ptr<SendRecord>& rec);
// Puts a message at the head of the calling thread's queue.
void postFront(const Message& msg);
// Takes the next raw input for the calling thread, if any.
bool takeInput(ThreadQueue& me, Message* out, bool remove);

}  // namespace plat::win
