// Message queues: posting, sending across threads, quit, registered
// messages, broadcasts, timers on the virtual clock and nested modal loops.
#include <atomic>
#include <thread>

#include "plat/thread.h"
#include "window_test_util.h"

using namespace plat;
using wtest::Recorder;

namespace {

class Messages : public ::testing::Test {
 protected:
  void TearDown() override { wtest::cleanUp(); }
  VirtualClock clock;
  ScopedClock scoped{clock};
};

TEST_F(Messages, PostedMessagesArriveInOrderThroughGetAndDispatch) {
  Window w = wtest::makeTop({0, 0, 10, 10}, 0);
  Recorder::instance().clear(w);
  ASSERT_TRUE(postMessage(w, kMsgUser + 1, 11, -1));
  ASSERT_TRUE(postMessage(w, kMsgUser + 2, 22, 0));
  postQuitMessage(7);
  std::vector<uint32_t> seen;
  Message m;
  while (getMessage(&m)) {
    seen.push_back(m.message);
    dispatchMessage(m);
  }
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_EQ(seen, (std::vector<uint32_t>{kMsgUser + 1, kMsgUser + 2}));
  auto log = Recorder::instance().log(w);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].wParam, 11u);
  EXPECT_EQ(log[0].lParam, -1);
}

TEST_F(Messages, MessagesToDestroyedWindowsAreDropped) {
  Window w = wtest::makeTop({0, 0, 10, 10}, 0);
  ASSERT_TRUE(postMessage(w, kMsgUser, 0, 0));
  ASSERT_TRUE(destroyWindow(w));
  EXPECT_FALSE(windowExists(w));
  Recorder::instance().clear(w);
  pumpPendingMessages();
  EXPECT_TRUE(Recorder::instance().log(w).empty());
  EXPECT_FALSE(postMessage(w, kMsgUser, 0, 0));
  EXPECT_EQ(sendMessage(w, kMsgUser, 0, 0), 0);
  // A new window never reuses the handle.
  Window again = wtest::makeTop({0, 0, 10, 10}, 0);
  EXPECT_NE(again, w);
}

TEST_F(Messages, SendOnOwnerThreadCallsProcedureDirectly) {
  Window w = wtest::makeTop({0, 0, 10, 10}, 0);
  Recorder::instance().setHandler(w, [](Window, uint32_t msg, WParam wp, LParam) -> std::optional<LResult> {
    if (msg == kMsgUser) return static_cast<LResult>(wp * 2);
    return std::nullopt;
  });
  EXPECT_EQ(sendMessage(w, kMsgUser, 21, 0), 42);
}

TEST_F(Messages, CrossThreadSendsBetweenTwoThreadsDoNotDeadlock) {
  // Window a lives on this thread, window b on a worker. Handling a send
  // from the worker, a sends back to b while b's thread is blocked sending to a.
  Window a = wtest::makeTop({0, 0, 10, 10}, 0);
  std::atomic<uint32_t> bId{0};
  std::atomic<bool> stop{false};
  std::atomic<LResult> workerResult{0};
  Recorder::instance().setHandler(a, [&](Window, uint32_t msg, WParam wp, LParam) -> std::optional<LResult> {
    if (msg != kMsgUser) return std::nullopt;
    // Nested send back into the blocked worker thread.
    return sendMessage(Window{bId.load()}, kMsgUser + 1, wp + 1, 0) + 100;
  });
  std::thread worker([&] {
    Window b = wtest::makeTop({0, 0, 10, 10}, 0);
    Recorder::instance().setHandler(b, [](Window, uint32_t msg, WParam wp, LParam) -> std::optional<LResult> {
      if (msg == kMsgUser + 1) return static_cast<LResult>(wp * 10);
      return std::nullopt;
    });
    bId = b.id;
    workerResult = sendMessage(a, kMsgUser, 1, 0);
    while (!stop) {
      Message m;
      if (peekMessage(&m)) dispatchMessage(m);
      std::this_thread::yield();
    }
    destroyWindow(b);
  });
  while (workerResult.load() == 0) {
    Message m;
    if (peekMessage(&m)) dispatchMessage(m);
    std::this_thread::yield();
  }
  EXPECT_EQ(workerResult.load(), 120);  // (1 + 1) * 10 + 100
  stop = true;
  worker.join();
}

TEST_F(Messages, SendToThreadThatEndsReturnsZero) {
  std::atomic<uint32_t> id{0};
  std::atomic<bool> go{false};
  std::thread worker([&] {
    Window b = wtest::makeTop({0, 0, 10, 10}, 0);
    id = b.id;
    while (!go) std::this_thread::yield();
    // Ends without handling the send; its queue answers waiting senders with 0.
  });
  while (!id) std::this_thread::yield();
  std::thread releaser([&] { go = true; });
  EXPECT_EQ(sendMessage(Window{id.load()}, kMsgUser, 0, 0), 0);
  releaser.join();
  worker.join();
  destroyWindow(Window{id.load()});
}

TEST_F(Messages, PostsFromManyThreadsAreAllDelivered) {
  Window w = wtest::makeTop({0, 0, 10, 10}, 0);
  std::atomic<int> handled{0};
  Recorder::instance().setHandler(w, [&](Window, uint32_t msg, WParam, LParam) -> std::optional<LResult> {
    if (msg == kMsgUser) ++handled;
    return std::nullopt;
  });
  constexpr int kThreads = 4, kEach = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) postMessage(w, kMsgUser, 0, 0);
    });
  }
  for (auto& t : threads) t.join();
  pumpPendingMessages();
  EXPECT_EQ(handled.load(), kThreads * kEach);
}

TEST_F(Messages, ThreadMessagesAndQuitCode) {
  ASSERT_TRUE(postThreadMessage(currentThreadId(), kMsgUser + 9, 3, 4));
  Message m;
  ASSERT_TRUE(peekMessage(&m));
  EXPECT_FALSE(m.window);
  EXPECT_EQ(m.message, kMsgUser + 9u);
  EXPECT_EQ(dispatchMessage(m), 0);
  EXPECT_FALSE(postThreadMessage(0xFFFFFFF0u, kMsgUser, 0, 0));

  postQuitMessage(3);
  int code = 0;
  EXPECT_TRUE(quitRequested(&code));
  EXPECT_EQ(code, 3);
  EXPECT_EQ(pumpPendingMessages(), 0u);  // leaves the quit in place
  EXPECT_FALSE(getMessage(&m));
  EXPECT_EQ(m.message, kMsgQuit);
  EXPECT_FALSE(quitRequested());
}

TEST_F(Messages, RegisteredMessagesAreStablePerName) {
  uint32_t a = registerMessage("WM_TestAlpha");
  uint32_t b = registerMessage("WM_TestBeta");
  EXPECT_GE(a, static_cast<uint32_t>(kMsgRegisteredFirst));
  EXPECT_NE(a, b);
  EXPECT_EQ(registerMessage("WM_TestAlpha"), a);
  EXPECT_EQ(registerMessage(""), 0u);
}

TEST_F(Messages, BroadcastReachesEveryTopLevelWindowButNoChild) {
  Window a = wtest::makeTop({0, 0, 10, 10});
  Window b = wtest::makeTop({0, 0, 10, 10}, 0);
  Window c = wtest::makeChild(a, {0, 0, 5, 5}, 1);
  uint32_t msg = registerMessage("TestBroadcast");
  for (Window w : {a, b, c}) Recorder::instance().clear(w);
  broadcastMessage(msg, 1, 2);
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(a, msg), 1u);
  EXPECT_EQ(Recorder::instance().count(b, msg), 1u);
  EXPECT_EQ(Recorder::instance().count(c, msg), 0u);
}

TEST_F(Messages, TimersFireOnTheVirtualClockWithoutPilingUp) {
  Window w = wtest::makeTop({0, 0, 10, 10}, 0);
  Recorder::instance().clear(w);
  ASSERT_TRUE(setTimer(w, 5, 100));
  ASSERT_TRUE(setTimer(w, 6, 250));
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(w, kMsgTimer), 0u);
  clock.advance(99);
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(w, kMsgTimer), 0u);
  clock.advance(1);
  pumpPendingMessages();
  auto log = Recorder::instance().log(w);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].wParam, 5u);
  // Late by many intervals: still one message per timer.
  clock.advance(1000);
  Recorder::instance().clear(w);
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(w, kMsgTimer), 2u);
  EXPECT_TRUE(killTimer(w, 5));
  EXPECT_FALSE(killTimer(w, 5));
  clock.advance(250);
  Recorder::instance().clear(w);
  pumpPendingMessages();
  auto after = Recorder::instance().log(w);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0].wParam, 6u);
  // Timers go with their window.
  destroyWindow(w);
  clock.advance(1000);
  EXPECT_EQ(pumpPendingMessages(), 0u);
}

TEST_F(Messages, ResettingATimerRestartsIt) {
  Window w = wtest::makeTop({0, 0, 10, 10}, 0);
  setTimer(w, 1, 100);
  clock.advance(80);
  setTimer(w, 1, 100);
  clock.advance(80);
  Recorder::instance().clear(w);
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(w, kMsgTimer), 0u);
  clock.advance(20);
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(w, kMsgTimer), 1u);
}

TEST_F(Messages, ModalLoopRunsUntilEndedAndReEnablesOwner) {
  Window owner = wtest::makeTop({0, 0, 100, 100});
  Window dialog = wtest::makeTop({10, 10, 50, 50}, kStyleVisible, owner);
  bool running = true;
  bool ownerEnabledInside = true;
  Recorder::instance().setHandler(dialog, [&](Window, uint32_t msg, WParam, LParam) -> std::optional<LResult> {
    if (msg == kMsgUser) {
      ownerEnabledInside = isWindowEnabled(owner);
      running = false;
      return 0;
    }
    return std::nullopt;
  });
  postMessage(dialog, kMsgUser, 0, 0);
  Recorder::instance().clear(owner);
  EXPECT_EQ(runModalLoop({owner, [&] { return running; }, {}}), ModalEnd::Finished);
  EXPECT_FALSE(ownerEnabledInside);
  EXPECT_TRUE(isWindowEnabled(owner));
  EXPECT_EQ(Recorder::instance().count(owner, kMsgEnable), 2u);
  EXPECT_FALSE(quitRequested());
}

TEST_F(Messages, QuitInsideNestedLoopEndsItAndIsPostedAgain) {
  Window owner = wtest::makeTop({0, 0, 100, 100});
  Window dialog = wtest::makeTop({10, 10, 50, 50}, kStyleVisible, owner);
  Recorder::instance().setHandler(dialog, [&](Window, uint32_t msg, WParam, LParam) -> std::optional<LResult> {
    if (msg == kMsgUser) postQuitMessage(9);
    return std::nullopt;
  });
  postMessage(dialog, kMsgUser, 0, 0);
  int code = -1;
  EXPECT_EQ(runModalLoop({owner, [] { return true; }, {}}, &code), ModalEnd::Quit);
  EXPECT_EQ(code, 9);
  EXPECT_TRUE(isWindowEnabled(owner));
  // The outer loop sees the quit too (after the owner's repaint).
  Message m;
  int loops = 0;
  while (getMessage(&m) && ++loops < 100) dispatchMessage(m);
  EXPECT_EQ(m.message, kMsgQuit);
  EXPECT_EQ(m.wParam, 9u);
}

TEST_F(Messages, ModalFilterConsumesMessages) {
  Window w = wtest::makeTop({0, 0, 100, 100});
  int filtered = 0;
  postMessage(w, kMsgUser + 1, 0, 0);
  postMessage(w, kMsgUser + 2, 0, 0);
  Recorder::instance().clear(w);
  Recorder::instance().setHandler(w, [&](Window, uint32_t msg, WParam, LParam) -> std::optional<LResult> {
    if (msg == kMsgUser + 2) postQuitMessage(0);
    return std::nullopt;
  });
  runModalLoop({Window{}, {}, [&](const Message& m) {
                  if (m.message != kMsgUser + 1) return false;
                  ++filtered;
                  return true;
                }});
  EXPECT_EQ(filtered, 1);
  EXPECT_EQ(Recorder::instance().count(w, kMsgUser + 1), 0u);
  EXPECT_EQ(Recorder::instance().count(w, kMsgUser + 2), 1u);
}

}  // namespace
