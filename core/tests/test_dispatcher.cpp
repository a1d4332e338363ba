// The dispatcher: order of delivery, stopping, queued delivery on the
// user-interface thread, parental-block coalescing, objects created or
// destroyed during delivery, cross-thread sends and teardown.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "VexoCore.h"
#include "VexoEvents.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/window.h"

namespace {

class Probe : public VexoObject {
 public:
  using Handler = std::function<bool(Probe&, VexoEvent*)>;
  explicit Probe(std::vector<std::pair<int, unsigned>>* log = nullptr, int id = 0, Handler handler = {})
      : log_(log), id_(id), handler_(std::move(handler)) {}
  bool Event(VexoEvent* e) override {
    if (log_) log_->emplace_back(id_, e->Type());
    return handler_ ? handler_(*this, e) : false;
  }

 private:
  std::vector<std::pair<int, unsigned>>* log_;
  int id_;
  Handler handler_;
};

// Counts live instances, so tests see when the dispatcher frees events.
class CountedEvent : public VexoEvent {
 public:
  static inline std::atomic<int> live{0};
  static inline std::function<void()> onDestroy;
  explicit CountedEvent(unsigned type = 100) : VexoEvent(type) { ++live; }
  ~CountedEvent() override {
    --live;
    if (onDestroy) onDestroy();
  }
};

size_t pump() { return plat::pumpPendingMessages(); }

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(VexoCoreReceiverWindow());
    pump();
  }
  void TearDown() override {
    pump();
    CountedEvent::onDestroy = nullptr;
    EXPECT_EQ(VexoCoreQueuedEventCount(), 0u);
  }
};

TEST_F(Dispatcher, ReceiverWindowIsHiddenAndNamed) {
  plat::Window w = VexoCoreReceiverWindow();
  EXPECT_EQ(plat::className(w), std::u16string(kVexoReceiverWindowName));
  EXPECT_EQ(plat::windowText(w), std::u16string(kVexoReceiverWindowName));
  EXPECT_FALSE(plat::isWindowVisible(w));
}

TEST_F(Dispatcher, SendDeliversInCreationOrderAndStopsOnTrue) {
  std::vector<std::pair<int, unsigned>> log;
  Probe a(&log, 1);
  Probe b(&log, 2, [](Probe&, VexoEvent* e) { return e->Type() == 7; });
  Probe c(&log, 3);
  VexoEventShowCP show;
  VexoObject::SendEvent(&show);
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 4}, {2, 4}, {3, 4}}));
  log.clear();
  VexoEventServiceChanged changed;  // stack event: stays the caller's
  VexoObject::SendEvent(&changed);
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 7}, {2, 7}}));
  VexoObject::SendEvent(nullptr);  // ignored
}

TEST_F(Dispatcher, ObjectCreatedDuringDeliveryReceivesTheEvent) {
  std::vector<std::pair<int, unsigned>> log;
  std::unique_ptr<Probe> late;
  Probe creator(&log, 1, [&](Probe&, VexoEvent*) {
    if (!late) late = std::make_unique<Probe>(&log, 2);
    return false;
  });
  VexoEventRefreshUI e;
  VexoObject::SendEvent(&e);
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 6}, {2, 6}}));
}

TEST_F(Dispatcher, ObjectDestroyedDuringDeliveryIsSkipped) {
  std::vector<std::pair<int, unsigned>> log;
  auto victim = std::make_unique<Probe>(&log, 2);
  Probe killer(&log, 1, [&](Probe&, VexoEvent*) {
    victim.reset();
    return false;
  });
  // The killer was registered after the victim, so register a fresh victim after it.
  victim.reset();
  victim = std::make_unique<Probe>(&log, 2);
  Probe tail(&log, 3);
  VexoEventRefreshUI e;
  VexoObject::SendEvent(&e);
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 6}, {3, 6}}));
}

TEST_F(Dispatcher, ObjectMayDestroyItselfInItsHandler) {
  std::vector<std::pair<int, unsigned>> log;
  Probe* self = new Probe(&log, 1, [](Probe& p, VexoEvent*) {
    delete &p;
    return false;
  });
  (void)self;
  Probe after(&log, 2);
  size_t before = VexoCoreRegisteredObjectCount();
  VexoEventRefreshUI e;
  VexoObject::SendEvent(&e);
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 6}, {2, 6}}));
  EXPECT_EQ(VexoCoreRegisteredObjectCount(), before - 1);
}

TEST_F(Dispatcher, PostedEventsArriveLaterInOrderAndAreFreed) {
  std::vector<std::pair<int, unsigned>> log;
  Probe p(&log, 1, [](Probe&, VexoEvent* e) {
    // Posted from a handler: delivered in a later turn.
    if (e->Type() == 101) VexoObject::PostEvent(new CountedEvent(103));
    return false;
  });
  VexoObject::PostEvent(new CountedEvent(101));
  VexoObject::PostEvent(new CountedEvent(102));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(CountedEvent::live.load(), 2);
  pump();
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 101}, {1, 102}, {1, 103}}));
  EXPECT_EQ(CountedEvent::live.load(), 0);
}

TEST_F(Dispatcher, OneEventPerTurnWithInputAndPaintBetween) {
  std::vector<std::string> order;
  plat::registerClass({u"DispatchProbeWnd", 0,
                       [&](plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
                         if (m == plat::kMsgMouseDown) order.push_back("tap");
                         if (m == plat::kMsgPaint) order.push_back("paint");
                         return plat::defaultWindowProc(w, m, wp, lp);
                       },
                       {}});
  plat::CreateWindowParams params;
  params.className = u"DispatchProbeWnd";
  params.style = plat::kStyleVisible;
  params.rect = {0, 0, 100, 100};
  plat::Window w = plat::createWindow(params);
  pump();
  order.clear();
  Probe p(nullptr, 0, [&](Probe&, VexoEvent* e) {
    order.push_back("event" + std::to_string(e->Type()));
    return false;
  });
  pump();
  for (unsigned t = 1; t <= 3; ++t) VexoObject::PostEvent(new CountedEvent(100 + t));
  plat::injectTap({10, 10});
  plat::invalidate(w);
  pump();
  ASSERT_EQ(order.size(), 5u);
  EXPECT_EQ(order[0], "event101");
  EXPECT_NE(order[1].rfind("event", 0), 0u);  // something else had a turn
  EXPECT_EQ(order[2], "event102");
  EXPECT_NE(order[3].rfind("event", 0), 0u);
  EXPECT_EQ(order[4], "event103");
  plat::destroyWindow(w);
}

TEST_F(Dispatcher, DispatchMessageWithEmptyQueueDoesNothing) {
  std::vector<std::pair<int, unsigned>> log;
  Probe p(&log, 1);
  plat::postMessage(VexoCoreReceiverWindow(), kVexoDispatchMessage, 0, 0);
  pump();
  EXPECT_TRUE(log.empty());
}

TEST_F(Dispatcher, ParentalBlockIsCoalescedOtherTypesNever) {
  std::vector<std::pair<int, unsigned>> log;
  Probe p(&log, 1, [](Probe&, VexoEvent* e) {
    // Posted while a parental block is being delivered: dropped.
    if (e->Type() == VexoEventParentalBlocked::kType) VexoObject::PostEvent(new VexoEventParentalBlocked);
    return false;
  });
  VexoObject::PostEvent(new VexoEventParentalBlocked);
  VexoObject::PostEvent(new VexoEventParentalBlocked);
  VexoObject::PostEvent(new VexoEventScanEnd);
  VexoObject::PostEvent(new VexoEventScanEnd);
  EXPECT_EQ(VexoCoreQueuedEventCount(), 3u);
  pump();
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 15}, {1, 31}, {1, 31}}));
  // Once delivered, a new one is accepted again.
  log.clear();
  VexoObject::PostEvent(new VexoEventParentalBlocked);
  pump();
  EXPECT_EQ(log.size(), 1u);
}

TEST_F(Dispatcher, CurrentEventIsClearedBeforeItIsDestroyed) {
  // A parental block posted while the delivered one is being destroyed is
  // no longer a duplicate of anything and must be queued.
  std::vector<std::pair<int, unsigned>> log;
  Probe p(&log, 1);
  class BlockThatPostsOnDestroy : public VexoEventParentalBlocked {
   public:
    ~BlockThatPostsOnDestroy() override {
      if (repost) VexoObject::PostEvent(new VexoEventParentalBlocked);
    }
    bool repost = true;
  };
  VexoObject::PostEvent(new BlockThatPostsOnDestroy);
  pump();
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 15}, {1, 15}}));
}

TEST_F(Dispatcher, RacingParentalBlockPostsQueueOnlyOne) {
  std::atomic<int> delivered{0};
  Probe p(nullptr, 0, [&](Probe&, VexoEvent* e) {
    if (e->Type() == VexoEventParentalBlocked::kType) ++delivered;
    return false;
  });
  for (int round = 0; round < 50; ++round) {
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        while (!go) std::this_thread::yield();
        VexoObject::PostEvent(new VexoEventParentalBlocked);
      });
    }
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(VexoCoreQueuedEventCount(), 1u);
    pump();
  }
  EXPECT_EQ(delivered.load(), 50);
}

TEST_F(Dispatcher, PostsFromManyThreadsAreDeliveredOnceOnTheUserInterfaceThread) {
  constexpr int kThreads = 4, kEach = 2000;
  std::vector<int> seen(kThreads * kEach, 0);
  std::atomic<bool> wrongThread{false};
  auto uiThread = std::this_thread::get_id();
  Probe p(nullptr, 0, [&](Probe&, VexoEvent* e) {
    if (std::this_thread::get_id() != uiThread) wrongThread = true;
    if (e->Type() >= 1000) ++seen[e->Type() - 1000];
    return false;
  });
  std::atomic<int> finished{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) VexoObject::PostEvent(new CountedEvent(1000 + t * kEach + i));
      ++finished;
    });
  }
  // Deliver while they post.
  while (finished < kThreads) pump();
  for (auto& t : threads) t.join();
  pump();
  EXPECT_FALSE(wrongThread);
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
  EXPECT_EQ(CountedEvent::live.load(), 0);
}

TEST_F(Dispatcher, SendsFromAnEngineThreadWhileObjectsComeAndGo) {
  std::atomic<bool> stop{false};
  std::atomic<long> deliveries{0};
  Probe anchor(nullptr, 0, [&](Probe&, VexoEvent*) {
    ++deliveries;
    return false;
  });
  pump();  // the loop turn after construction lets other threads reach it
  std::thread engine([&] {
    VexoEventSignalQuality quality(VexoEventSignalQuality::Quality2);
    while (!stop) VexoObject::SendEvent(&quality);
  });
  // Objects are created and destroyed on this thread meanwhile; a destroyed
  // object must never be called afterwards (it would touch freed memory).
  for (int i = 0; i < 2000; ++i) {
    auto alive = std::make_shared<std::atomic<bool>>(true);
    auto* probe = new Probe(nullptr, 0, [alive](Probe&, VexoEvent*) {
      EXPECT_TRUE(alive->load());
      return false;
    });
    delete probe;
    alive->store(false);
  }
  while (deliveries < 100) std::this_thread::yield();
  stop = true;
  engine.join();
}

TEST_F(Dispatcher, OtherThreadsReachANewObjectOnlyAfterTheNextLoopTurn) {
  std::atomic<int> calls{0};
  Probe fresh(nullptr, 0, [&](Probe&, VexoEvent*) {
    ++calls;
    return false;
  });
  VexoEventServiceChanging changing;
  std::thread([&] { VexoObject::SendEvent(&changing); }).join();
  EXPECT_EQ(calls.load(), 0);
  VexoObject::SendEvent(&changing);  // its own thread reaches it at once
  EXPECT_EQ(calls.load(), 1);
  pump();
  std::thread([&] { VexoObject::SendEvent(&changing); }).join();
  EXPECT_EQ(calls.load(), 2);
}

TEST_F(Dispatcher, DetachFreesQueuedEventsWithoutDeliveringThem) {
  std::vector<std::pair<int, unsigned>> log;
  Probe p(&log, 1);
  VexoObject::PostEvent(new CountedEvent(200));
  VexoObject::PostEvent(new CountedEvent(201));
  EXPECT_EQ(CountedEvent::live.load(), 2);
  plat::Window old = VexoCoreReceiverWindow();
  VexoCoreDetach();
  EXPECT_EQ(CountedEvent::live.load(), 0);
  EXPECT_FALSE(plat::windowExists(old));
  EXPECT_FALSE(plat::isClassRegistered(kVexoReceiverWindowName));
  pump();
  EXPECT_TRUE(log.empty());
  // Registered objects survive; attaching again brings delivery back.
  VexoCoreAttach();
  ASSERT_TRUE(VexoCoreReceiverWindow());
  VexoObject::PostEvent(new CountedEvent(202));
  pump();
  EXPECT_EQ(log, (std::vector<std::pair<int, unsigned>>{{1, 202}}));
}

}  // namespace
