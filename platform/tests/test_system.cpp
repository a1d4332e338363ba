// Process services: executable path, memory status, random source, exit hook.
#include "plat/system.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

TEST(System, ExecutableLocation) {
  EXPECT_EQ(plat::processName(), "platform_test_system");
  EXPECT_EQ(plat::executablePath().filename(), "platform_test_system");
  EXPECT_TRUE(plat::executablePath().is_absolute());
  EXPECT_TRUE(std::filesystem::is_directory(plat::executableDir()));
  EXPECT_EQ(plat::executableDir(), plat::executablePath().parent_path());
}

TEST(System, ParseMemInfoTable) {
  struct Case {
    const char* label;
    std::string text;
    plat::MemoryStatus expected;
  };
  const std::vector<Case> cases = {
      {"modern kernel",
       "MemTotal:        1000 kB\nMemFree:          100 kB\nMemAvailable:     250 kB\nBuffers: 5 kB\n",
       {1000 * 1024, 250 * 1024, 75}},
      {"no MemAvailable: free + buffers + cached",
       "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 150 kB\n", {1000 * 1024, 300 * 1024, 70}},
      {"rounds the load", "MemTotal: 3 kB\nMemAvailable: 1 kB\n", {3 * 1024, 1 * 1024, 67}},
      {"available above total is capped", "MemTotal: 10 kB\nMemAvailable: 20 kB\n", {10 * 1024, 10 * 1024, 0}},
      {"similar prefix ignored", "MemTotalX: 5 kB\nMemTotal: 8 kB\nMemAvailable: 8 kB", {8 * 1024, 8 * 1024, 0}},
      {"missing total", "MemFree: 100 kB\n", {}},
      {"zero total", "MemTotal: 0 kB\nMemAvailable: 0 kB\n", {}},
      {"garbage number", "MemTotal: lots kB\n", {}},
      {"overflowing number", "MemTotal: 99999999999999999999999 kB\n", {}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const plat::MemoryStatus s = plat::parseMemInfo(c.text);
    EXPECT_EQ(s.totalPhys, c.expected.totalPhys);
    EXPECT_EQ(s.availPhys, c.expected.availPhys);
    EXPECT_EQ(s.loadPercent, c.expected.loadPercent);
  }
}

TEST(System, MemoryStatusFromHostAndProvider) {
  const plat::MemoryStatus host = plat::memoryStatus();
  EXPECT_GT(host.totalPhys, 0u);
  EXPECT_LE(host.availPhys, host.totalPhys);
  EXPECT_LE(host.loadPercent, 100u);
  plat::setMemoryStatusProvider([] { return plat::MemoryStatus{64u << 20, 16u << 20, 75}; });
  EXPECT_EQ(plat::memoryStatus().totalPhys, 64u << 20);
  EXPECT_EQ(plat::memoryStatus().loadPercent, 75u);
  plat::setMemoryStatusProvider({});
  EXPECT_EQ(plat::memoryStatus().totalPhys, host.totalPhys);
}

TEST(System, RandomSourceIsReplaceable) {
  uint32_t next = 10;
  plat::setRandomSource([&] { return next++; });
  EXPECT_EQ(plat::random32(), 10u);
  EXPECT_EQ(plat::random32(), 11u);
  plat::setRandomSource({});
  std::set<uint32_t> values;
  for (int i = 0; i < 8; ++i) values.insert(plat::random32());
  EXPECT_GT(values.size(), 1u);
  EXPECT_EQ(next, 12u);
}

TEST(System, ExitHookReplacesExit) {
  std::vector<int> codes;
  plat::setExitHook([&](int code) { codes.push_back(code); });
  plat::exitProcess(3);
  plat::setExitHook({});
  EXPECT_EQ(codes, std::vector<int>{3});
}

TEST(System, ExitProcessFlushesAndEndsWithCode) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    std::printf("unflushed text");  // stays in the stdio buffer (a pipe is not a terminal)
    plat::exitProcess(7);
    _exit(99);  // not reached
  }
  close(out[1]);
  std::string text;
  char buffer[64];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(text, "unflushed text");
}

}  // namespace
