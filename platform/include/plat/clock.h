// Time: a monotonic millisecond tick, wall-clock time as 64-bit file times
// (100-ns units since 1601-01-01 UTC), local time, and an injectable clock.
// The window system's timers and everything that asks "what time is it" go
// through the current clock, so tests can advance a virtual clock and pump
// messages instead of sleeping. Waits on events and threads use real time.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace plat {

using FileTime = uint64_t;  // 100-ns intervals since 1601-01-01 00:00 UTC

inline constexpr FileTime kFileTimeUnixEpoch = 116444736000000000ull;
inline constexpr FileTime kFileTimePerMs = 10000;
inline constexpr FileTime kFileTimePerSecond = 10000000;

// Broken-down calendar time. dayOfWeek: 0 = Sunday.
struct SystemTime {
  uint16_t year = 1601;
  uint16_t month = 1;  // 1..12
  uint16_t dayOfWeek = 0;
  uint16_t day = 1;  // 1..31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;

  friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// Converts; fills dayOfWeek. Valid for every FileTime up to year 30827.
SystemTime fileTimeToSystemTime(FileTime ft);
// Converts a calendar time; nullopt when a field is out of range (month 13,
// 31 April, 29 February of a common year, hour 24, ...). dayOfWeek is ignored.
std::optional<FileTime> systemTimeToFileTime(const SystemTime& st);

inline int64_t fileTimeToUnixMs(FileTime ft) {
  return (static_cast<int64_t>(ft) - static_cast<int64_t>(kFileTimeUnixEpoch)) / 10000;
}
inline FileTime unixMsToFileTime(int64_t ms) {
  return static_cast<FileTime>(static_cast<int64_t>(kFileTimeUnixEpoch) + ms * 10000);
}

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start; never goes backwards.
  virtual uint64_t tickMs() = 0;
  // Current UTC time.
  virtual FileTime utcNow() = 0;
  // Offset of local time from UTC at the given instant, in minutes (Japan: +540).
  virtual int32_t localOffsetMinutes(FileTime utc) = 0;
};

// The host's clocks: steady_clock for ticks, system_clock and the process's
// time zone (TZ) for wall time.
class SystemClock final : public Clock {
 public:
  uint64_t tickMs() override;
  FileTime utcNow() override;
  int32_t localOffsetMinutes(FileTime utc) override;
};

// A clock that moves only when told to. advance() and set calls notify every
// listener (after the clock's own lock is released) so message loops waiting
// for timers wake up.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(FileTime utcStart = unixMsToFileTime(1'767'225'600'000LL),  // 2026-01-01
                        int32_t offsetMinutes = 540);
  uint64_t tickMs() override;
  FileTime utcNow() override;
  int32_t localOffsetMinutes(FileTime utc) override;

  void advance(uint64_t ms);          // moves ticks and wall time together
  void setUtc(FileTime utc);          // jumps wall time only (ticks keep going)
  void setOffsetMinutes(int32_t minutes);

  using Listener = std::function<void()>;
  int addListener(Listener listener);  // returns an id for removeListener
  // Once removeListener returns, the listener is not running on another
  // thread and will not be called again (it may remove itself from inside).
  void removeListener(int id);

 private:
  struct ListenerEntry;
  void notify();
  std::mutex mutex_;
  std::condition_variable callsDone_;
  uint64_t tick_ = 0;
  FileTime utc_;
  int32_t offset_;
  int nextListener_ = 1;
  std::vector<std::shared_ptr<ListenerEntry>> listeners_;
};

// The process's current clock (a SystemClock unless replaced). setClock(nullptr)
// restores the system clock. The caller keeps the clock alive while installed.
Clock& currentClock();
void setClock(Clock* clock);

// Installs a clock for a scope (tests).
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  Clock* previous_;
};

// Shorthands over currentClock().
uint64_t tickCount();
FileTime utcNow();
SystemTime utcSystemTime();
SystemTime localSystemTime();
FileTime utcToLocal(FileTime utc);
FileTime localToUtc(FileTime local);

}  // namespace plat
