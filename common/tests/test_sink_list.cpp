// The session sink list: order, re-entrancy, lifetime and concurrency.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "plat/sync.h"
#include "vexo/sink_list.h"

namespace {

class RecordingSink final : public McObject<IZantMediaEventSink> {
 public:
  using Hook = std::function<void(RecordingSink*, uint32_t)>;
  RecordingSink(std::vector<std::pair<int, uint32_t>>* log, int name, std::atomic<int>* destroyed = nullptr)
      : log_(log), name_(name), destroyed_(destroyed) {}
  Status OnEvent(IMcUnknown*, uint32_t code, uintptr_t, uintptr_t) override {
    calls++;
    if (log_) log_->push_back({name_, code});
    if (hook) hook(this, code);
    return plat::S_OK;
  }
  IZantMediaEventSink* sink() { return exposed(); }
  Hook hook;
  std::atomic<int> calls{0};

 private:
  ~RecordingSink() override {
    if (destroyed_) (*destroyed_)++;
  }
  std::vector<std::pair<int, uint32_t>>* log_;
  int name_;
  std::atomic<int>* destroyed_;
};

TEST(SinkList, FiresInOrderOfRegistrationAndRemovesEveryEntry) {
  std::vector<std::pair<int, uint32_t>> log;
  auto* a = new RecordingSink(&log, 1);
  auto* b = new RecordingSink(&log, 2);
  vexo::SinkList list;
  EXPECT_EQ(list.advise(nullptr), plat::E_POINTER);
  ASSERT_EQ(list.advise(a->sink()), plat::S_OK);
  ASSERT_EQ(list.advise(b->sink()), plat::S_OK);
  ASSERT_EQ(list.advise(a->sink()), plat::S_OK);
  EXPECT_EQ(list.fire(nullptr, 0x30009, 0, 0), 3u);
  EXPECT_EQ(log, (std::vector<std::pair<int, uint32_t>>{{1, 0x30009}, {2, 0x30009}, {1, 0x30009}}));
  ASSERT_EQ(list.unadvise(a->sink()), plat::S_OK);
  EXPECT_EQ(list.size(), 1u);
  log.clear();
  list.fire(nullptr, 0x3000A, 0, 0);
  EXPECT_EQ(log, (std::vector<std::pair<int, uint32_t>>{{2, 0x3000A}}));
  list.unadvise(b->sink());
  EXPECT_EQ(a->refCount(), 1);  // the list holds no reference between events
  a->sink()->Release();
  b->sink()->Release();
}

TEST(SinkList, SinkUnadvisingItselfKeepsTheCurrentDeliveryGoing) {
  std::vector<std::pair<int, uint32_t>> log;
  vexo::SinkList list;
  auto* a = new RecordingSink(&log, 1);
  auto* b = new RecordingSink(&log, 2);
  a->hook = [&](RecordingSink* self, uint32_t) { list.unadvise(self->sink()); };
  list.advise(a->sink());
  list.advise(b->sink());
  list.fire(nullptr, 1, 0, 0);
  list.fire(nullptr, 2, 0, 0);
  EXPECT_EQ(log, (std::vector<std::pair<int, uint32_t>>{{1, 1}, {2, 1}, {2, 2}}));
  list.unadvise(b->sink());
  a->sink()->Release();
  b->sink()->Release();
}

TEST(SinkList, SinkUnadvisedDuringAFireIsNotCalledAfterwards) {
  std::vector<std::pair<int, uint32_t>> log;
  vexo::SinkList list;
  auto* a = new RecordingSink(&log, 1);
  auto* b = new RecordingSink(&log, 2);
  auto* c = new RecordingSink(&log, 3);
  a->hook = [&](RecordingSink*, uint32_t) { list.unadvise(b->sink()); list.advise(c->sink()); };
  list.advise(a->sink());
  list.advise(b->sink());
  list.fire(nullptr, 1, 0, 0);
  // b was removed before its turn; c registered during the fire waits for the next one.
  EXPECT_EQ(log, (std::vector<std::pair<int, uint32_t>>{{1, 1}}));
  list.unadvise(a->sink());
  list.unadvise(c->sink());
  for (auto* s : {a, b, c}) s->sink()->Release();
}

// A sink whose owner drops it while another thread is in the middle of a fire
// stays alive until that fire is done with it, and is not called.
TEST(SinkList, SinkReleasedWhileAFireIsInFlightIsNotUsedAfterItIsFreed) {
  std::atomic<int> destroyed{0};
  vexo::SinkList list;
  plat::Event entered(plat::Event::Reset::Manual);
  plat::Event proceed(plat::Event::Reset::Manual);
  auto* blocker = new RecordingSink(nullptr, 1, &destroyed);
  auto* victim = new RecordingSink(nullptr, 2, &destroyed);
  blocker->hook = [&](RecordingSink*, uint32_t) {
    entered.set();
    proceed.wait();
  };
  std::atomic<int> victimCalls{0};
  victim->hook = [&](RecordingSink*, uint32_t) { victimCalls++; };
  list.advise(blocker->sink());
  list.advise(victim->sink());
  std::thread firing([&] { list.fire(nullptr, 7, 0, 0); });
  ASSERT_TRUE(entered.wait(10000));
  list.unadvise(victim->sink());
  victim->sink()->Release();  // the owner's last reference
  EXPECT_EQ(destroyed, 0);    // the fire in flight still holds it
  proceed.set();
  firing.join();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(victimCalls, 0);
  list.unadvise(blocker->sink());
  blocker->sink()->Release();
}

// Events fired from several threads while another thread keeps registering
// and unregistering a sink: once unadvise() has returned the sink is never
// called, and nothing races (run under ThreadSanitizer in the tsan preset).
TEST(SinkList, ConcurrentFireAndUnadvise) {
  vexo::SinkList list;
  std::atomic<bool> registered{false};
  std::atomic<int> lateCalls{0};
  std::atomic<int> calls{0};
  auto* sink = new RecordingSink(nullptr, 1);
  sink->hook = [&](RecordingSink*, uint32_t) {
    calls++;
    if (!registered.load()) lateCalls++;
  };
  auto* steady = new RecordingSink(nullptr, 2);
  list.advise(steady->sink());
  std::atomic<bool> stop{false};
  std::vector<std::thread> firers;
  for (int t = 0; t < 3; ++t) {
    firers.emplace_back([&] {
      while (!stop.load()) list.fire(nullptr, 0x20001, 3, 0);
    });
  }
  for (int i = 0; i < 2000; ++i) {
    registered = true;
    list.advise(sink->sink());
    std::this_thread::yield();
    list.unadvise(sink->sink());
    registered = false;
  }
  stop = true;
  for (auto& t : firers) t.join();
  EXPECT_EQ(lateCalls, 0);
  EXPECT_GT(steady->calls.load(), 0);
  list.unadvise(steady->sink());
  sink->sink()->Release();
  steady->sink()->Release();
}

// Every list shares the one named mutex, so lists of different sessions can
// fire into each other's sinks without deadlock.
TEST(SinkList, ListsShareTheNamedMutex) {
  bool existed = false;
  auto mutex = plat::NamedMutex::open(vexo::kEventSinkListMutexName, &existed);
  vexo::SinkList first;
  vexo::SinkList second;
  std::vector<std::pair<int, uint32_t>> log;
  auto* a = new RecordingSink(&log, 1);
  auto* b = new RecordingSink(&log, 2);
  a->hook = [&](RecordingSink*, uint32_t code) {
    if (code == 1) second.fire(nullptr, 2, 0, 0);
  };
  first.advise(a->sink());
  second.advise(b->sink());
  first.fire(nullptr, 1, 0, 0);
  EXPECT_EQ(log, (std::vector<std::pair<int, uint32_t>>{{1, 1}, {2, 2}}));
  first.unadvise(a->sink());
  second.unadvise(b->sink());
  a->sink()->Release();
  b->sink()->Release();
  ASSERT_TRUE(mutex);
  EXPECT_TRUE(mutex->tryLock(0));  // nobody holds it after the fires
  mutex->unlock();
}

}  // namespace
