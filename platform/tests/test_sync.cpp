// Events, waits on several events, and named mutexes and events.
#include "plat/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#include "plat/thread.h"

namespace {

using plat::Event;

void spinUntil(const std::atomic<int>& value, int expected) {
  while (value.load() != expected) std::this_thread::yield();
}

TEST(Event, AutoResetIsConsumedOnce) {
  Event e(Event::Reset::Auto);
  EXPECT_FALSE(e.isSet());
  EXPECT_FALSE(e.wait(0));
  e.set();
  e.set();  // setting twice does not count twice
  EXPECT_TRUE(e.isSet());
  EXPECT_TRUE(e.wait(0));
  EXPECT_FALSE(e.isSet());
  EXPECT_FALSE(e.wait(0));
  Event initially(Event::Reset::Auto, true);
  EXPECT_TRUE(initially.wait(0));
  EXPECT_FALSE(initially.wait(0));
}

TEST(Event, ManualResetStaysSetUntilReset) {
  Event e(Event::Reset::Manual, true);
  EXPECT_TRUE(e.wait(0));
  EXPECT_TRUE(e.wait(plat::kInfinite));
  e.reset();
  EXPECT_FALSE(e.wait(0));
}

TEST(Event, WaitTimesOut) {
  Event e;
  EXPECT_FALSE(e.wait(20));
  Event* list[] = {&e};
  EXPECT_EQ(plat::waitAny(list, 20), -1);
  EXPECT_EQ(plat::waitAny({}, plat::kInfinite), -1);
}

TEST(Event, ManualSetReleasesAllWaiters) {
  Event e(Event::Reset::Manual);
  std::atomic<int> released{0};
  std::vector<plat::Thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back("waiter", [&] {
      EXPECT_TRUE(e.wait());
      ++released;
    });
  e.set();
  waiters.clear();  // joins
  EXPECT_EQ(released.load(), 4);
  EXPECT_TRUE(e.isSet());
}

// Each set() of an auto-reset event lets exactly one waiter through: if one
// set released two, the last set would find no waiter and stay set.
TEST(Event, AutoSetReleasesOneWaiterPerSet) {
  Event e(Event::Reset::Auto);
  std::atomic<int> released{0};
  std::vector<plat::Thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back("waiter", [&] {
      EXPECT_TRUE(e.wait());
      ++released;
    });
  for (int i = 1; i <= 3; ++i) {
    e.set();
    spinUntil(released, i);
  }
  waiters.clear();
  EXPECT_FALSE(e.isSet());
}

TEST(WaitAny, ReturnsLowestSetIndexAndConsumesOnlyIt) {
  Event a(Event::Reset::Auto), b(Event::Reset::Auto), c(Event::Reset::Auto);
  b.set();
  c.set();
  EXPECT_EQ(plat::waitAny({&a, &b, &c}, 0), 1);
  EXPECT_FALSE(b.isSet());
  EXPECT_TRUE(c.isSet());
  a.set();
  EXPECT_EQ(plat::waitAny({&a, &b, &c}, 0), 0);
  EXPECT_TRUE(c.isSet());
  EXPECT_EQ(plat::waitAny({&a, &b, &c}, 0), 2);
  EXPECT_EQ(plat::waitAny({&a, &b, &c}, 0), -1);
}

TEST(WaitAny, ManualEventIsNotConsumed) {
  Event manual(Event::Reset::Manual, true), autoEvent(Event::Reset::Auto, true);
  EXPECT_EQ(plat::waitAny({&manual, &autoEvent}, 0), 0);
  EXPECT_EQ(plat::waitAny({&manual, &autoEvent}, 0), 0);
  EXPECT_TRUE(autoEvent.isSet());
}

TEST(WaitAny, SameEventListedTwice) {
  Event a, b;
  b.set();
  EXPECT_EQ(plat::waitAny({&a, &a, &b}, 0), 2);
  a.set();
  EXPECT_EQ(plat::waitAny({&b, &a, &a}, 0), 1);
  EXPECT_FALSE(a.isSet());
  plat::Thread setter("setter", [&] { a.set(); });
  EXPECT_EQ(plat::waitAny({&b, &a, &a}, plat::kInfinite), 1);
}

TEST(WaitAny, WakesWhenAnotherThreadSets) {
  Event a, b;
  std::atomic<int> result{-2};
  plat::Thread waiter("waiter", [&] { result = plat::waitAny({&a, &b}, plat::kInfinite); });
  b.set();
  waiter.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_FALSE(b.isSet());
  EXPECT_FALSE(a.isSet());
}

// Several consumers race for tokens; each token must be taken exactly once.
TEST(WaitAny, TokensAreTakenExactlyOnceUnderContention) {
  constexpr int kTokens = 2000;
  Event tokens[2] = {Event(Event::Reset::Auto), Event(Event::Reset::Auto)};
  Event taken(Event::Reset::Auto);
  Event stop(Event::Reset::Manual);
  std::atomic<int> consumed{0};
  std::vector<plat::Thread> consumers;
  for (int i = 0; i < 4; ++i)
    consumers.emplace_back("consumer", [&] {
      for (;;) {
        const int index = plat::waitAny({&tokens[0], &tokens[1], &stop}, plat::kInfinite);
        if (index == 2) return;
        ++consumed;
        taken.set();
      }
    });
  for (int i = 0; i < kTokens; ++i) {
    tokens[i % 2].set();
    ASSERT_TRUE(taken.wait());
  }
  stop.set();
  consumers.clear();
  EXPECT_EQ(consumed.load(), kTokens);
  EXPECT_FALSE(tokens[0].isSet());
  EXPECT_FALSE(tokens[1].isSet());
}

// Waits listing the same events in opposite orders must not deadlock (a wait
// never holds two event locks at once).
TEST(WaitAny, OppositeOrdersDoNotDeadlock) {
  constexpr int kWaits = 3000;
  Event a, b;
  std::atomic<int> doneForward{0}, doneBackward{0};
  plat::Thread forward("forward", [&] {
    for (int i = 0; i < kWaits; ++i) {
      ASSERT_GE(plat::waitAny({&a, &b}, plat::kInfinite), 0);
      ++doneForward;
    }
  });
  plat::Thread backward("backward", [&] {
    for (int i = 0; i < kWaits; ++i) {
      ASSERT_GE(plat::waitAny({&b, &a}, plat::kInfinite), 0);
      ++doneBackward;
    }
  });
  while (doneForward < kWaits || doneBackward < kWaits) {
    a.set();
    b.set();
    std::this_thread::yield();
  }
}

TEST(Event, PingPongBetweenThreads) {
  Event ping, pong;
  constexpr int kRounds = 5000;
  plat::Thread partner("partner", [&] {
    for (int i = 0; i < kRounds; ++i) {
      ASSERT_TRUE(ping.wait());
      pong.set();
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    ping.set();
    ASSERT_TRUE(pong.wait());
  }
}

// ---- named objects ----

TEST(NamedMutex, OneObjectPerName) {
  bool existed = true;
  auto first = plat::NamedMutex::open("VexoEventListMutex", &existed);
  EXPECT_FALSE(existed);
  auto second = plat::NamedMutex::open("VexoEventListMutex", &existed);
  EXPECT_TRUE(existed);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->name(), "VexoEventListMutex");
  auto other = plat::NamedMutex::open("EventSinkListMutext", &existed);
  EXPECT_FALSE(existed);
  EXPECT_NE(first, other);
  auto differentCase = plat::NamedMutex::open("vexoeventlistmutex", &existed);
  EXPECT_FALSE(existed);  // names compare exactly
  EXPECT_NE(first, differentCase);
}

TEST(NamedMutex, NameIsFreeAfterLastRelease) {
  bool existed = true;
  auto m = plat::NamedMutex::open("ShortLived", &existed);
  EXPECT_FALSE(existed);
  m.reset();
  auto again = plat::NamedMutex::open("ShortLived", &existed);
  EXPECT_FALSE(existed);
}

TEST(NamedMutex, RecursiveAndOwnedByThread) {
  auto m = plat::NamedMutex::open("RecursiveTest");
  m->lock();
  EXPECT_TRUE(m->tryLock());  // the owner may lock again
  std::atomic<int> otherGot{-1};
  plat::Thread other("other", [&] { otherGot = m->tryLock(10) ? 1 : 0; });
  other.join();
  EXPECT_EQ(otherGot.load(), 0);
  m->unlock();
  m->unlock();
  plat::Thread third("third", [&] {
    std::lock_guard guard(*m);
    otherGot = 2;
  });
  third.join();
  EXPECT_EQ(otherGot.load(), 2);
}

TEST(NamedMutex, GuardsSharedDataAcrossOpeners) {
  int counter = 0;
  std::vector<plat::Thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back("adder", [&] {
      for (int i = 0; i < 1000; ++i) {
        auto m = plat::NamedMutex::open("CounterMutex");  // each open finds the same lock
        std::lock_guard guard(*m);
        ++counter;
      }
    });
  threads.clear();
  EXPECT_EQ(counter, 4000);
}

TEST(NamedEvent, OneObjectPerNameAndFirstOpenFixesMode) {
  bool existed = true;
  auto first = plat::NamedEvent::open("PowerRequest", Event::Reset::Auto, false, &existed);
  EXPECT_FALSE(existed);
  auto second = plat::NamedEvent::open("PowerRequest", Event::Reset::Manual, true, &existed);
  EXPECT_TRUE(existed);
  EXPECT_EQ(first, second);
  EXPECT_FALSE(second->event().isSet());  // initiallySet of a later open is ignored
  second->event().set();
  EXPECT_TRUE(first->event().wait(0));
  EXPECT_FALSE(first->event().wait(0));  // still auto-reset
  // A mutex of the same name is a different object.
  auto mutex = plat::NamedMutex::open("PowerRequest", &existed);
  EXPECT_FALSE(existed);
}

TEST(NamedEvent, ConcurrentOpensAgree) {
  std::mutex resultsMutex;
  std::set<plat::NamedEvent*> seen;
  std::vector<std::shared_ptr<plat::NamedEvent>> keep;
  std::vector<plat::Thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back("opener", [&] {
      for (int i = 0; i < 200; ++i) {
        auto e = plat::NamedEvent::open("Shared", Event::Reset::Manual);
        std::lock_guard lock(resultsMutex);
        seen.insert(e.get());
        if (keep.empty()) keep.push_back(e);
      }
    });
  threads.clear();
  EXPECT_EQ(seen.size(), 1u);
}

}  // namespace
