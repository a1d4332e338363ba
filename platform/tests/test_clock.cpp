// File time <-> calendar conversion, the virtual clock and the current clock.
#include "plat/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "plat/thread.h"

namespace {

using plat::FileTime;
using plat::SystemTime;

SystemTime makeTime(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0, uint16_t mi = 0, uint16_t s = 0,
                    uint16_t ms = 0) {
  SystemTime st;
  st.year = y;
  st.month = mo;
  st.day = d;
  st.hour = h;
  st.minute = mi;
  st.second = s;
  st.milliseconds = ms;
  return st;
}

struct KnownDate {
  SystemTime time;  // dayOfWeek filled in
  FileTime fileTime;
};

TEST(Calendar, KnownInstants) {
  SystemTime epoch1601 = makeTime(1601, 1, 1);
  epoch1601.dayOfWeek = 1;  // Monday
  SystemTime unixEpoch = makeTime(1970, 1, 1);
  unixEpoch.dayOfWeek = 4;  // Thursday
  SystemTime leapDay2000 = makeTime(2000, 2, 29, 12, 34, 56, 789);
  leapDay2000.dayOfWeek = 2;  // Tuesday
  SystemTime newYear2026 = makeTime(2026, 1, 1);
  newYear2026.dayOfWeek = 4;  // Thursday
  SystemTime last = makeTime(30827, 12, 31, 23, 59, 59, 999);
  last.dayOfWeek = 5;  // Friday
  const std::vector<KnownDate> cases = {
      {epoch1601, 0},
      {unixEpoch, plat::kFileTimeUnixEpoch},
      {leapDay2000, plat::unixMsToFileTime(951'827'696'789LL)},
      {newYear2026, plat::unixMsToFileTime(1'767'225'600'000LL)},
      {last, 0x7FFF35F4F06C58F0ull},  // the largest time the calendar form can hold
  };
  for (const KnownDate& c : cases) {
    SCOPED_TRACE(c.time.year);
    EXPECT_EQ(plat::fileTimeToSystemTime(c.fileTime), c.time);
    EXPECT_EQ(plat::systemTimeToFileTime(c.time), c.fileTime);
  }
}

TEST(Calendar, SubMillisecondUnitsAreTruncated) {
  const SystemTime st = plat::fileTimeToSystemTime(plat::kFileTimeUnixEpoch + 9999);
  EXPECT_EQ(st.milliseconds, 0);
  EXPECT_EQ(plat::fileTimeToSystemTime(plat::kFileTimeUnixEpoch + 10000).milliseconds, 1);
}

TEST(Calendar, RoundTripsEveryDayAcrossLeapRules) {
  // Day by day through four centuries (each leap-year rule), and across the
  // top of the range.
  const auto walk = [](uint16_t fromYear, uint16_t toYear) {
    FileTime ft = *plat::systemTimeToFileTime(makeTime(fromYear, 1, 1, 23, 59, 59, 999));
    int dayOfWeek = plat::fileTimeToSystemTime(ft).dayOfWeek;
    const FileTime perDay = 86'400ull * plat::kFileTimePerSecond;
    SystemTime previous = plat::fileTimeToSystemTime(ft);
    for (ft += perDay;; ft += perDay) {
      const SystemTime st = plat::fileTimeToSystemTime(ft);
      if (st.year > toYear) break;
      ASSERT_EQ(plat::systemTimeToFileTime(st), ft) << st.year << "-" << st.month << "-" << st.day;
      dayOfWeek = (dayOfWeek + 1) % 7;
      ASSERT_EQ(st.dayOfWeek, dayOfWeek);
      const bool nextDay = st.day == previous.day + 1 && st.month == previous.month;
      const bool nextMonth = st.day == 1 && (st.month == previous.month + 1 || (st.month == 1 && previous.month == 12));
      ASSERT_TRUE(nextDay || nextMonth) << st.year << "-" << st.month << "-" << st.day;
      previous = st;
    }
  };
  walk(1601, 2001);
  walk(30700, 30827);
}

TEST(Calendar, FebruaryLengths) {
  struct Case {
    uint16_t year;
    bool leap;
  };
  for (const Case& c : std::vector<Case>{{1900, false}, {2000, true}, {2023, false}, {2024, true}, {2100, false},
                                         {1604, true}, {1700, false}, {2400, true}}) {
    EXPECT_TRUE(plat::systemTimeToFileTime(makeTime(c.year, 2, 28)).has_value()) << c.year;
    EXPECT_EQ(plat::systemTimeToFileTime(makeTime(c.year, 2, 29)).has_value(), c.leap) << c.year;
    EXPECT_FALSE(plat::systemTimeToFileTime(makeTime(c.year, 2, 30)).has_value()) << c.year;
  }
}

TEST(Calendar, InvalidFieldsAreRefused) {
  const std::vector<SystemTime> invalid = {
      makeTime(1600, 12, 31),        makeTime(30828, 1, 1),        makeTime(2026, 0, 1),
      makeTime(2026, 13, 1),         makeTime(2026, 1, 0),         makeTime(2026, 1, 32),
      makeTime(2026, 4, 31),         makeTime(2026, 6, 31),        makeTime(2026, 9, 31),
      makeTime(2026, 11, 31),        makeTime(2026, 1, 1, 24),     makeTime(2026, 1, 1, 0, 60),
      makeTime(2026, 1, 1, 0, 0, 60), makeTime(2026, 1, 1, 0, 0, 0, 1000),
  };
  for (const SystemTime& st : invalid)
    EXPECT_FALSE(plat::systemTimeToFileTime(st).has_value())
        << st.year << "-" << st.month << "-" << st.day << " " << st.hour << ":" << st.minute << ":" << st.second
        << "." << st.milliseconds;
  SystemTime anyWeekday = makeTime(2026, 1, 1);
  anyWeekday.dayOfWeek = 6;  // ignored
  EXPECT_EQ(plat::systemTimeToFileTime(anyWeekday), plat::unixMsToFileTime(1'767'225'600'000LL));
}

TEST(Calendar, LargestFileTimeStillConverts) {
  const SystemTime st = plat::fileTimeToSystemTime(UINT64_MAX);
  EXPECT_GT(st.year, 30827);
  EXPECT_GE(st.month, 1);
  EXPECT_LE(st.month, 12);
  EXPECT_FALSE(plat::systemTimeToFileTime(st).has_value());
}

// ---- VirtualClock ----

TEST(VirtualClock, AdvanceMovesTicksAndWallTime) {
  plat::VirtualClock clock(plat::kFileTimeUnixEpoch, 540);
  EXPECT_EQ(clock.tickMs(), 0u);
  clock.advance(1500);
  EXPECT_EQ(clock.tickMs(), 1500u);
  EXPECT_EQ(clock.utcNow(), plat::kFileTimeUnixEpoch + 1500 * plat::kFileTimePerMs);
  clock.setUtc(plat::unixMsToFileTime(1'767'225'600'000LL));
  EXPECT_EQ(clock.tickMs(), 1500u);  // ticks keep going
  EXPECT_EQ(clock.utcNow(), plat::unixMsToFileTime(1'767'225'600'000LL));
  EXPECT_EQ(clock.localOffsetMinutes(0), 540);
}

TEST(VirtualClock, ListenersHearEveryChangeAndMayUseTheClock) {
  plat::VirtualClock clock;
  std::vector<uint64_t> seen;
  const int id = clock.addListener([&] { seen.push_back(clock.tickMs()); });  // would deadlock under the lock
  clock.advance(10);
  clock.setUtc(0);
  clock.setOffsetMinutes(0);
  clock.removeListener(id);
  clock.advance(5);
  EXPECT_EQ(seen, (std::vector<uint64_t>{10, 10, 10}));
  clock.removeListener(id);  // unknown ids are ignored
}

TEST(VirtualClock, ListenerMayRemoveItselfAndOthers) {
  plat::VirtualClock clock;
  int calls1 = 0, calls2 = 0;
  int id2 = 0;
  int id1 = clock.addListener([&] {
    ++calls1;
    clock.removeListener(id1);
    clock.removeListener(id2);
  });
  id2 = clock.addListener([&] { ++calls2; });
  clock.advance(1);
  clock.advance(1);
  EXPECT_EQ(calls1, 1);
  EXPECT_EQ(calls2, 0);  // removed before its turn
}

// removeListener on one thread waits for a call running on another, so the
// listener's captures can be freed as soon as it returns.
TEST(VirtualClock, RemoveWaitsForRunningCall) {
  plat::VirtualClock clock;
  std::atomic<bool> entered{false}, release{false}, finished{false};
  const int id = clock.addListener([&] {
    entered = true;
    while (!release) std::this_thread::yield();
    finished = true;
  });
  plat::Thread advancer("advancer", [&] { clock.advance(1); });
  while (!entered) std::this_thread::yield();
  std::atomic<bool> removed{false};
  plat::Thread remover("remover", [&] {
    clock.removeListener(id);
    removed = true;
    EXPECT_TRUE(finished.load());
  });
  // Give the remover time to reach removeListener; it must still be blocked
  // (a correct clock cannot fail this, however the threads are scheduled).
  plat::sleepMs(30);
  EXPECT_FALSE(removed.load());
  release = true;
  remover.join();
  EXPECT_TRUE(removed);
}

TEST(CurrentClock, ScopedClockInstallsAndRestores) {
  plat::VirtualClock outer(plat::kFileTimeUnixEpoch, 0);
  plat::VirtualClock inner(plat::unixMsToFileTime(1'767'225'600'000LL), 540);
  EXPECT_NE(dynamic_cast<plat::SystemClock*>(&plat::currentClock()), nullptr);
  {
    plat::ScopedClock useOuter(outer);
    EXPECT_EQ(&plat::currentClock(), &outer);
    {
      plat::ScopedClock useInner(inner);
      EXPECT_EQ(&plat::currentClock(), &inner);
      inner.advance(250);
      EXPECT_EQ(plat::tickCount(), 250u);
    }
    EXPECT_EQ(&plat::currentClock(), &outer);
    EXPECT_EQ(plat::utcNow(), plat::kFileTimeUnixEpoch);
  }
  EXPECT_NE(dynamic_cast<plat::SystemClock*>(&plat::currentClock()), nullptr);
  plat::setClock(&inner);
  EXPECT_EQ(&plat::currentClock(), &inner);
  plat::setClock(nullptr);
  EXPECT_NE(dynamic_cast<plat::SystemClock*>(&plat::currentClock()), nullptr);
}

TEST(CurrentClock, LocalTimeUsesTheClockOffset) {
  // 2026-01-01 00:00 UTC is 09:00 in Japan (+540).
  plat::VirtualClock clock(plat::unixMsToFileTime(1'767'225'600'000LL), 540);
  plat::ScopedClock use(clock);
  EXPECT_EQ(plat::utcSystemTime(), [] {
    SystemTime st = makeTime(2026, 1, 1);
    st.dayOfWeek = 4;
    return st;
  }());
  const SystemTime local = plat::localSystemTime();
  EXPECT_EQ(local.hour, 9);
  EXPECT_EQ(local.day, 1);
  const FileTime utc = plat::utcNow();
  EXPECT_EQ(plat::utcToLocal(utc), utc + 540ull * 60 * plat::kFileTimePerSecond);
  EXPECT_EQ(plat::localToUtc(plat::utcToLocal(utc)), utc);
  clock.setOffsetMinutes(-300);
  EXPECT_EQ(plat::localSystemTime().hour, 19);
  EXPECT_EQ(plat::localSystemTime().day, 31);
  EXPECT_EQ(plat::localToUtc(plat::utcToLocal(utc)), utc);
  // Offsets never wrap below the start of file time.
  EXPECT_EQ(plat::utcToLocal(0), 0u);
}

TEST(SystemClock, ReadsHostClocks) {
  plat::SystemClock clock;
  const uint64_t t1 = clock.tickMs();
  const uint64_t t2 = clock.tickMs();
  EXPECT_LE(t1, t2);
  const int64_t nowMs = plat::fileTimeToUnixMs(clock.utcNow());
  EXPECT_GT(nowMs, 1'600'000'000'000LL);  // after September 2020
  const int32_t offset = clock.localOffsetMinutes(clock.utcNow());
  EXPECT_GE(offset, -14 * 60);
  EXPECT_LE(offset, 14 * 60);
}

// The host clock's local offset follows TZ, daylight saving included.
TEST(SystemClock, LocalOffsetFollowsTimeZone) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  const FileTime winter = *plat::systemTimeToFileTime(makeTime(2026, 1, 15, 12));
  const FileTime summer = *plat::systemTimeToFileTime(makeTime(2026, 7, 15, 12));
  plat::SystemClock clock;
  setenv("TZ", "JST-9", 1);
  tzset();
  EXPECT_EQ(clock.localOffsetMinutes(winter), 540);
  EXPECT_EQ(clock.localOffsetMinutes(summer), 540);
  setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  tzset();
  EXPECT_EQ(clock.localOffsetMinutes(winter), -300);
  EXPECT_EQ(clock.localOffsetMinutes(summer), -240);
  {
    plat::ScopedClock use(clock);
    EXPECT_EQ(plat::localToUtc(summer - 4ull * 3600 * plat::kFileTimePerSecond), summer);
    EXPECT_EQ(plat::localToUtc(winter - 5ull * 3600 * plat::kFileTimePerSecond), winter);
  }
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace
