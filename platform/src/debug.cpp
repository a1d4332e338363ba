// Debug output: one process-wide replaceable sink.
#include "plat/debug.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

#include "plat/system.h"
#include "plat/text.h"

namespace plat {
namespace {

void writeToStderr(std::string_view line) {
  // One fprintf per line keeps lines from different threads whole.
  static const std::string name = processName();
  std::fprintf(stderr, "%s: %.*s\n", name.c_str(), static_cast<int>(line.size()), line.data());
}

std::mutex& sinkMutex() {
  static std::mutex mutex;
  return mutex;
}

// Held as a shared_ptr so debugOut can call the sink outside the lock while
// another thread replaces it.
std::shared_ptr<const DebugSink>& sinkSlot() {
  static std::shared_ptr<const DebugSink> sink;
  return sink;
}

}  // namespace

void debugOut(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  std::shared_ptr<const DebugSink> sink;
  {
    std::lock_guard lock(sinkMutex());
    sink = sinkSlot();
  }
  if (sink)
    (*sink)(line);
  else
    writeToStderr(line);
}

void debugPrintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = formatStringV(fmt, args);
  va_end(args);
  debugOut(text);
}

DebugSink setDebugSink(DebugSink sink) {
  std::shared_ptr<const DebugSink> replacement;
  if (sink) replacement = std::make_shared<const DebugSink>(std::move(sink));
  std::shared_ptr<const DebugSink> old;
  {
    std::lock_guard lock(sinkMutex());
    old = std::exchange(sinkSlot(), std::move(replacement));
  }
  return old ? *old : DebugSink{};
}

DebugCapture::DebugCapture() : state_(std::make_shared<State>()) {
  std::shared_ptr<State> state = state_;
  previous_ = setDebugSink([state](std::string_view line) {
    std::lock_guard lock(state->mutex);
    state->lines.emplace_back(line);
  });
}

DebugCapture::~DebugCapture() { setDebugSink(std::move(previous_)); }

std::vector<std::string> DebugCapture::lines() const {
  std::lock_guard lock(state_->mutex);
  return state_->lines;
}

bool DebugCapture::contains(std::string_view fragment) const {
  std::lock_guard lock(state_->mutex);
  for (const std::string& line : state_->lines)
    if (line.find(fragment) != std::string::npos) return true;
  return false;
}

void DebugCapture::clear() {
  std::lock_guard lock(state_->mutex);
  state_->lines.clear();
}

}  // namespace plat
