// Process-level services: the executable's location, memory status, a random
// source and the process-exit hook, each replaceable in tests.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace plat {

std::filesystem::path executablePath();
std::filesystem::path executableDir();
// The executable's file name without directory ("Tunora").
std::string processName();

struct MemoryStatus {
  uint64_t totalPhys = 0;
  uint64_t availPhys = 0;
  uint32_t loadPercent = 0;  // 0..100, share of physical memory in use
};
// From /proc/meminfo (MemAvailable), or the injected provider.
MemoryStatus memoryStatus();
void setMemoryStatusProvider(std::function<MemoryStatus()> provider);
// Reads the figures from text in the format of /proc/meminfo ("MemTotal:
// 8000 kB" lines); all zero when MemTotal is missing or unreadable.
MemoryStatus parseMemInfo(std::string_view text);

// 32 random bits from a seeded generator; setRandomSource replaces it
// (tests give a fixed sequence); empty restores the default.
uint32_t random32();
void setRandomSource(std::function<uint32_t()> source);

// Ends the process with code, after flushing standard streams; static
// destructors do not run (other threads may still be using those objects). With a hook
// installed the hook is called instead and exitProcess returns (tests).
void exitProcess(int code);
void setExitHook(std::function<void(int)> hook);

}  // namespace plat
