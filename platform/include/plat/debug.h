// Debug output: the one sink every module's diagnostic lines go to. By default
// each line is written to standard error as "<process name>: <line>". Tests
// replace the sink to capture lines. There is no log file.
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

using DebugSink = std::function<void(std::string_view line)>;

// Writes one line (a trailing newline is stripped). Thread-safe; the sink is
// called without any platform lock held.
void debugOut(std::string_view line);
void debugPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Replaces the sink; an empty function restores the default. Returns the old one.
DebugSink setDebugSink(DebugSink sink);

// Collects every debug line written while it lives (tests).
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  std::vector<std::string> lines() const;
  bool contains(std::string_view fragment) const;
  void clear();

 private:
  // Shared with the installed sink, so a line written by another thread while
  // the capture is being destroyed lands in live memory.
  struct State {
    std::mutex mutex;
    std::vector<std::string> lines;
  };
  std::shared_ptr<State> state_;
  DebugSink previous_;
};

}  // namespace plat
