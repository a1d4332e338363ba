// Debug output: default sink, replacement and capture.
#include "plat/debug.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "plat/system.h"

namespace {

TEST(Debug, DefaultSinkWritesProcessNameToStderr) {
  testing::internal::CaptureStderr();
  plat::debugOut("hello there\n");
  plat::debugPrintf("value %d", 7);
  const std::string written = testing::internal::GetCapturedStderr();
  const std::string name = plat::processName();
  EXPECT_EQ(written, name + ": hello there\n" + name + ": value 7\n");
}

TEST(Debug, CaptureCollectsLinesWithoutNewlines) {
  plat::DebugCapture capture;
  plat::debugOut("UI: first\n");
  plat::debugOut("second\r\n");
  plat::debugPrintf("UI: %s=%u", "Volume", 12u);
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"UI: first", "second", "UI: Volume=12"}));
  EXPECT_TRUE(capture.contains("Volume=12"));
  EXPECT_FALSE(capture.contains("third"));
  capture.clear();
  EXPECT_TRUE(capture.lines().empty());
}

TEST(Debug, NestedCapturesRestoreEachOther) {
  plat::DebugCapture outer;
  plat::debugOut("to outer");
  {
    plat::DebugCapture inner;
    plat::debugOut("to inner");
    EXPECT_EQ(inner.lines(), std::vector<std::string>{"to inner"});
  }
  plat::debugOut("outer again");
  EXPECT_EQ(outer.lines(), (std::vector<std::string>{"to outer", "outer again"}));
}

TEST(Debug, SetSinkReturnsPreviousAndEmptyRestoresDefault) {
  std::vector<std::string> got;
  plat::DebugSink old = plat::setDebugSink([&](std::string_view line) { got.emplace_back(line); });
  EXPECT_FALSE(old);  // the default sink is reported as empty
  plat::debugOut("mine");
  plat::DebugSink mine = plat::setDebugSink({});
  ASSERT_TRUE(mine);
  EXPECT_EQ(got, std::vector<std::string>{"mine"});
  testing::internal::CaptureStderr();
  plat::debugOut("back to stderr");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("back to stderr"), std::string::npos);
  EXPECT_EQ(got.size(), 1u);
}

// A sink may itself write debug output (no lock is held while it runs).
TEST(Debug, SinkMayReenter) {
  plat::DebugCapture capture;
  plat::DebugSink inner = plat::setDebugSink({});
  plat::setDebugSink(inner);
  plat::DebugSink previous = plat::setDebugSink([&](std::string_view line) {
    inner(line);
    if (line == "ping") plat::setDebugSink(inner);  // replaces itself from inside
  });
  plat::debugOut("ping");
  plat::debugOut("after");
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"ping", "after"}));
}

// Lines written from other threads while captures come and go must neither
// crash nor race (run under ThreadSanitizer).
TEST(Debug, ConcurrentWritersAndCaptures) {
  plat::DebugCapture outer;
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < 3; ++t)
    writers.emplace_back([&, t] {
      while (!stop.load()) plat::debugPrintf("writer %d", t);
    });
  for (int round = 0; round < 200; ++round) {
    plat::DebugCapture capture;
    plat::debugOut("round");
    EXPECT_TRUE(capture.contains("round"));
  }
  // The outer capture is installed again; it hears the writers from now on.
  while (!outer.contains("writer")) std::this_thread::yield();
  stop = true;
  for (std::thread& w : writers) w.join();
}

}  // namespace
