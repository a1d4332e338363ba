// Threads that are always joined: the destructor joins, so nothing a thread
// uses can be freed while it still runs.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace plat {

class Thread {
 public:
  Thread() = default;
  // Starts body at once; name (up to 15 bytes shown) is given to the OS thread.
  // An empty body starts nothing.
  Thread(std::string_view name, std::function<void()> body);
  ~Thread();  // joins
  Thread(Thread&& other) noexcept;
  Thread& operator=(Thread&& other) noexcept;  // joins the thread it replaces
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  void join();  // idempotent; must not be called from the thread itself
  bool joinable() const { return thread_.joinable(); }
  std::thread::id id() const { return thread_.get_id(); }

 private:
  std::thread thread_;
};

// A small integer id of the calling thread, stable for its life (diagnostics).
uint32_t currentThreadId();

void sleepMs(uint32_t ms);

}  // namespace plat
