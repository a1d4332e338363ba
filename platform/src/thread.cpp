// Threads that are always joined, with names the OS shows.
#include "plat/thread.h"

#include <pthread.h>

#include <atomic>
#include <chrono>

#include "plat/debug.h"
#include "plat/text.h"

namespace plat {

Thread::Thread(std::string_view name, std::function<void()> body) {
  if (!body) return;  // nothing to run: stays not joinable
  // The kernel keeps 15 bytes of a thread name; cut on a character boundary.
  char shortName[16];
  copyBounded(shortName, sizeof shortName, name);
  thread_ = std::thread([nameCopy = std::string(shortName), body = std::move(body)] {
    pthread_setname_np(pthread_self(), nameCopy.c_str());
    body();
  });
}

Thread::~Thread() { join(); }

Thread::Thread(Thread&& other) noexcept : thread_(std::move(other.thread_)) {}

Thread& Thread::operator=(Thread&& other) noexcept {
  if (this != &other) {
    join();
    thread_ = std::move(other.thread_);
  }
  return *this;
}

void Thread::join() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    // The thread is tearing down its own handle (its owner was released on
    // it). Joining would deadlock; it is finishing anyway, so let it go.
    debugOut("Thread: a thread released its own handle; detaching it");
    thread_.detach();
    return;
  }
  thread_.join();
}

uint32_t currentThreadId() {
  static std::atomic<uint32_t> next{1};
  thread_local const uint32_t id = next.fetch_add(1, std::memory_order_relaxed);
  return id;
}

void sleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace plat
