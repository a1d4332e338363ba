// Process-level services with test hooks.
#include "plat/system.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <system_error>

namespace plat {
namespace {

struct Hooks {
  std::mutex mutex;
  std::function<MemoryStatus()> memoryProvider;
  std::function<uint32_t()> randomSource;
  std::function<void(int)> exitHook;
};

Hooks& hooks() {
  static Hooks h;
  return h;
}

// Copies a hook under the lock so it is called without any lock held.
template <typename F>
F copyHook(F Hooks::*member) {
  Hooks& h = hooks();
  std::lock_guard lock(h.mutex);
  return h.*member;
}

// The value in kB of one "Name:   123 kB" line, if the text has it.
std::optional<uint64_t> meminfoField(std::string_view text, std::string_view name) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != ':') continue;
    line.remove_prefix(name.size() + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (ec != std::errc() || ptr == line.data()) return std::nullopt;
    if (value > UINT64_MAX / 1024) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

}  // namespace

std::filesystem::path executablePath() {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : p;
}

std::filesystem::path executableDir() { return executablePath().parent_path(); }

std::string processName() { return executablePath().filename().string(); }

MemoryStatus parseMemInfo(std::string_view text) {
  MemoryStatus status;
  const std::optional<uint64_t> total = meminfoField(text, "MemTotal");
  if (!total || *total == 0) return status;
  std::optional<uint64_t> avail = meminfoField(text, "MemAvailable");
  if (!avail) {
    // Kernels before 3.14 have no MemAvailable; free plus page cache is the
    // usual estimate.
    avail = meminfoField(text, "MemFree").value_or(0) + meminfoField(text, "Buffers").value_or(0) +
            meminfoField(text, "Cached").value_or(0);
  }
  if (*avail > *total) avail = *total;
  status.totalPhys = *total * 1024;
  status.availPhys = *avail * 1024;
  status.loadPercent = static_cast<uint32_t>(((*total - *avail) * 100 + *total / 2) / *total);
  return status;
}

MemoryStatus memoryStatus() {
  if (auto provider = copyHook(&Hooks::memoryProvider)) return provider();
  std::ifstream in("/proc/meminfo");
  std::ostringstream text;
  text << in.rdbuf();
  return parseMemInfo(text.str());
}

void setMemoryStatusProvider(std::function<MemoryStatus()> provider) {
  Hooks& h = hooks();
  std::lock_guard lock(h.mutex);
  h.memoryProvider = std::move(provider);
}

uint32_t random32() {
  if (auto source = copyHook(&Hooks::randomSource)) return source();
  static std::mutex mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::lock_guard lock(mutex);
  return static_cast<uint32_t>(generator());
}

void setRandomSource(std::function<uint32_t()> source) {
  Hooks& h = hooks();
  std::lock_guard lock(h.mutex);
  h.randomSource = std::move(source);
}

void exitProcess(int code) {
  if (auto hook = copyHook(&Hooks::exitHook)) {
    hook(code);
    return;
  }
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  // Other threads may still be running; skipping static destructors keeps
  // them from touching objects torn down under them.
  _exit(code);
}

void setExitHook(std::function<void(int)> hook) {
  Hooks& h = hooks();
  std::lock_guard lock(h.mutex);
  h.exitHook = std::move(hook);
}

}  // namespace plat
