// Threads: always joined, named, small ids.
#include "plat/thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "plat/debug.h"
#include "plat/sync.h"

namespace {

std::string currentThreadName() {
  char name[32] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  return name;
}

TEST(Thread, DestructorJoins) {
  plat::Event go;
  std::atomic<bool> done{false};
  {
    plat::Thread t("worker", [&] {
      go.wait();
      for (int i = 0; i < 1000; ++i) std::this_thread::yield();
      done = true;
    });
    EXPECT_TRUE(t.joinable());
    go.set();
  }
  EXPECT_TRUE(done.load());
}

TEST(Thread, MoveAssignmentJoinsTheReplacedThread) {
  plat::Event go;
  std::atomic<bool> firstDone{false};
  plat::Thread t("first", [&] {
    go.wait();
    firstDone = true;
  });
  go.set();
  t = plat::Thread("second", [] {});
  EXPECT_TRUE(firstDone.load());
  plat::Thread moved(std::move(t));
  EXPECT_FALSE(t.joinable());
  EXPECT_TRUE(moved.joinable());
  moved.join();
  moved.join();  // idempotent
  EXPECT_FALSE(moved.joinable());
  plat::Thread empty;
  EXPECT_FALSE(empty.joinable());
  plat::Thread noBody("nothing", {});
  EXPECT_FALSE(noBody.joinable());
}

TEST(Thread, NamesAreGivenToTheOsThread) {
  struct Case {
    std::string given, shown;
  };
  const std::vector<Case> cases = {
      {"StatusMonitor", "StatusMonitor"},
      {"TimeIndexBuilderThread", "TimeIndexBuilde"},  // 15 bytes kept
      // A multi-byte character that would straddle the limit is left out whole.
      {"abcdefghijklm\xE3\x83\x86", "abcdefghijklm"},
  };
  for (const Case& c : cases) {
    std::string seen;
    plat::Thread t(c.given, [&] { seen = currentThreadName(); });
    t.join();
    EXPECT_EQ(seen, c.shown);
  }
}

TEST(Thread, IdsAreStablePerThreadAndDistinct) {
  const uint32_t mine = plat::currentThreadId();
  EXPECT_EQ(plat::currentThreadId(), mine);
  std::vector<uint32_t> ids(4);
  std::vector<plat::Thread> threads;
  for (size_t i = 0; i < ids.size(); ++i) threads.emplace_back("id", [&ids, i] { ids[i] = plat::currentThreadId(); });
  threads.clear();
  std::set<uint32_t> distinct(ids.begin(), ids.end());
  distinct.insert(mine);
  EXPECT_EQ(distinct.size(), 5u);
}

// A thread that drops the last owner of its own handle must not deadlock or
// abort; it is let go, with a diagnostic.
TEST(Thread, ThreadReleasingItsOwnHandle) {
  plat::DebugCapture capture;
  plat::Event released;
  auto holder = std::make_unique<plat::Thread>();
  plat::Thread* raw = holder.get();
  plat::Event started;
  *raw = plat::Thread("self", [&] {
    started.wait();
    holder.reset();
    released.set();
  });
  started.set();
  ASSERT_TRUE(released.wait());
  EXPECT_TRUE(capture.contains("released its own handle"));
}

}  // namespace
