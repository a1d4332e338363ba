// File times, calendar conversion and the injectable clocks.
#include "plat/clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

namespace plat {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;
constexpr uint16_t kMinYear = 1601;
constexpr uint16_t kMaxYear = 30827;

bool isLeapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int64_t year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (month == 2 && isLeapYear(year)) ? 29 : kDays[month - 1];
}

// Proleptic Gregorian calendar by 400-year eras (146097 days each). Years are
// counted from March so the leap day falls at the end of a year; day 0 is
// 0000-03-01. Both functions work for any non-negative day number.
int64_t daysFromMarchZero(int64_t y, int m, int d) {
  if (m <= 2) --y;
  const int64_t era = y / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t monthFromMarch = (m + 9) % 12;  // March = 0 .. February = 11
  const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + d - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra;
}

void civilFromMarchZero(int64_t days, int64_t& y, int& m, int& d) {
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  d = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  m = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  y = yearOfEra + era * 400 + (m <= 2 ? 1 : 0);
}

const int64_t kDay1601 = daysFromMarchZero(1601, 1, 1);

std::atomic<Clock*>& installedClock() {
  static std::atomic<Clock*> clock{nullptr};
  return clock;
}

}  // namespace

SystemTime fileTimeToSystemTime(FileTime ft) {
  const uint64_t totalMs = ft / kFileTimePerMs;
  const int64_t days = static_cast<int64_t>(totalMs / kMsPerDay);
  int64_t msOfDay = static_cast<int64_t>(totalMs % kMsPerDay);
  int64_t year;
  int month, day;
  civilFromMarchZero(kDay1601 + days, year, month, day);
  SystemTime st;
  st.year = static_cast<uint16_t>(year);  // at most 60056 for the largest FileTime
  st.month = static_cast<uint16_t>(month);
  st.day = static_cast<uint16_t>(day);
  st.dayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
  st.milliseconds = static_cast<uint16_t>(msOfDay % 1000);
  msOfDay /= 1000;
  st.second = static_cast<uint16_t>(msOfDay % 60);
  msOfDay /= 60;
  st.minute = static_cast<uint16_t>(msOfDay % 60);
  st.hour = static_cast<uint16_t>(msOfDay / 60);
  return st;
}

std::optional<FileTime> systemTimeToFileTime(const SystemTime& st) {
  if (st.year < kMinYear || st.year > kMaxYear || st.month < 1 || st.month > 12 || st.day < 1 ||
      st.day > daysInMonth(st.year, st.month) || st.hour > 23 || st.minute > 59 || st.second > 59 ||
      st.milliseconds > 999)
    return std::nullopt;
  const int64_t days = daysFromMarchZero(st.year, st.month, st.day) - kDay1601;
  const int64_t ms = ((days * 24 + st.hour) * 60 + st.minute) * 60'000 + st.second * 1000 + st.milliseconds;
  return static_cast<FileTime>(ms) * kFileTimePerMs;
}

// ---- SystemClock ----

uint64_t SystemClock::tickMs() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

FileTime SystemClock::utcNow() {
  using FileTimeUnits = std::chrono::duration<int64_t, std::ratio<1, 10'000'000>>;
  const int64_t sinceUnix =
      std::chrono::duration_cast<FileTimeUnits>(std::chrono::system_clock::now().time_since_epoch()).count();
  const int64_t ft = static_cast<int64_t>(kFileTimeUnixEpoch) + sinceUnix;
  return ft < 0 ? 0 : static_cast<FileTime>(ft);
}

int32_t SystemClock::localOffsetMinutes(FileTime utc) {
  const int64_t unixMs = fileTimeToUnixMs(utc);
  const time_t seconds = static_cast<time_t>(unixMs >= 0 ? unixMs / 1000 : (unixMs - 999) / 1000);
  struct tm local {};
  if (localtime_r(&seconds, &local) == nullptr) return 0;
  return static_cast<int32_t>(local.tm_gmtoff / 60);
}

// ---- VirtualClock ----

struct VirtualClock::ListenerEntry {
  int id;
  Listener listener;
  bool removed = false;
  std::vector<std::thread::id> callers;  // threads inside listener right now
};

VirtualClock::VirtualClock(FileTime utcStart, int32_t offsetMinutes) : utc_(utcStart), offset_(offsetMinutes) {}

uint64_t VirtualClock::tickMs() {
  std::lock_guard lock(mutex_);
  return tick_;
}

FileTime VirtualClock::utcNow() {
  std::lock_guard lock(mutex_);
  return utc_;
}

int32_t VirtualClock::localOffsetMinutes(FileTime) {
  std::lock_guard lock(mutex_);
  return offset_;
}

void VirtualClock::advance(uint64_t ms) {
  {
    std::lock_guard lock(mutex_);
    tick_ += ms;
    utc_ += ms * kFileTimePerMs;
  }
  notify();
}

void VirtualClock::setUtc(FileTime utc) {
  {
    std::lock_guard lock(mutex_);
    utc_ = utc;
  }
  notify();
}

void VirtualClock::setOffsetMinutes(int32_t minutes) {
  {
    std::lock_guard lock(mutex_);
    offset_ = minutes;
  }
  notify();
}

int VirtualClock::addListener(Listener listener) {
  std::lock_guard lock(mutex_);
  const int id = nextListener_++;
  auto entry = std::make_shared<ListenerEntry>();
  entry->id = id;
  entry->listener = std::move(listener);
  listeners_.push_back(std::move(entry));
  return id;
}

void VirtualClock::removeListener(int id) {
  std::unique_lock lock(mutex_);
  auto it = std::find_if(listeners_.begin(), listeners_.end(), [id](const auto& e) { return e->id == id; });
  if (it == listeners_.end()) return;
  std::shared_ptr<ListenerEntry> entry = *it;
  listeners_.erase(it);
  entry->removed = true;
  // Wait for calls on other threads to finish; a listener removing itself
  // from inside its own call must not wait for itself.
  const auto self = std::this_thread::get_id();
  callsDone_.wait(lock, [&] {
    return std::all_of(entry->callers.begin(), entry->callers.end(), [&](std::thread::id t) { return t == self; });
  });
}

void VirtualClock::notify() {
  std::vector<std::shared_ptr<ListenerEntry>> snapshot;
  {
    std::lock_guard lock(mutex_);
    snapshot = listeners_;
  }
  const auto self = std::this_thread::get_id();
  for (const auto& entry : snapshot) {
    {
      std::lock_guard lock(mutex_);
      if (entry->removed) continue;
      entry->callers.push_back(self);
    }
    entry->listener();  // no lock held: listeners may read the clock or remove themselves
    {
      std::lock_guard lock(mutex_);
      entry->callers.erase(std::find(entry->callers.begin(), entry->callers.end(), self));
    }
    callsDone_.notify_all();
  }
}

// ---- current clock ----

Clock& currentClock() {
  static SystemClock systemClock;
  Clock* clock = installedClock().load(std::memory_order_acquire);
  return clock ? *clock : systemClock;
}

void setClock(Clock* clock) { installedClock().store(clock, std::memory_order_release); }

ScopedClock::ScopedClock(Clock& clock) : previous_(installedClock().exchange(&clock, std::memory_order_acq_rel)) {}

ScopedClock::~ScopedClock() { installedClock().store(previous_, std::memory_order_release); }

uint64_t tickCount() { return currentClock().tickMs(); }
FileTime utcNow() { return currentClock().utcNow(); }
SystemTime utcSystemTime() { return fileTimeToSystemTime(utcNow()); }
SystemTime localSystemTime() { return fileTimeToSystemTime(utcToLocal(utcNow())); }

namespace {
FileTime shiftByMinutes(FileTime t, int64_t minutes) {
  const int64_t delta = minutes * 60 * static_cast<int64_t>(kFileTimePerSecond);
  if (delta < 0 && static_cast<uint64_t>(-delta) > t) return 0;  // before 1601: clamp
  if (delta > 0 && static_cast<uint64_t>(delta) > UINT64_MAX - t) return UINT64_MAX;
  return static_cast<FileTime>(static_cast<int64_t>(t) + delta);
}
}  // namespace

FileTime utcToLocal(FileTime utc) { return shiftByMinutes(utc, currentClock().localOffsetMinutes(utc)); }

FileTime localToUtc(FileTime local) {
  // The offset belongs to the UTC instant we are looking for: guess with the
  // offset at "local read as UTC", then correct once with the offset at the
  // guess (enough for daylight-saving changes).
  Clock& clock = currentClock();
  const FileTime guess = shiftByMinutes(local, -static_cast<int64_t>(clock.localOffsetMinutes(local)));
  return shiftByMinutes(local, -static_cast<int64_t>(clock.localOffsetMinutes(guess)));
}

}  // namespace plat
