// Input: hit testing through z-order, visibility, enabled state and shapes;
// capture; double taps; focus and keys; accelerators; the display view.
#include <atomic>
#include <thread>

#include "plat/display.h"
#include "window_test_util.h"

using namespace plat;
using wtest::Recorder;

namespace {

class Input : public ::testing::Test {
 protected:
  void TearDown() override {
    setFocus(Window{});
    wtest::cleanUp();
  }
  VirtualClock clock;
  ScopedClock scoped{clock};

  static std::vector<wtest::Recorded> mouse(Window w) {
    std::vector<wtest::Recorded> out;
    for (auto& m : Recorder::instance().log(w)) {
      if (m.message >= kMsgMouseMove && m.message <= kMsgMouseDoubleClick) out.push_back(m);
    }
    return out;
  }
};

TEST_F(Input, HitTestFollowsZOrderVisibilityAndShape) {
  Window back = wtest::makeTop({0, 0, 200, 200});
  Window front = wtest::makeTop({50, 50, 150, 150});
  // Only the top-left quarter of the front window is part of it.
  setWindowShape(front, Region(Rect{0, 0, 50, 50}));
  Window child = wtest::makeChild(back, {0, 0, 40, 40}, 1);
  Window hiddenChild = wtest::makeChild(back, {160, 160, 200, 200}, 2, 0);
  struct Case {
    Point p;
    Window expected;
  } cases[] = {
      {{60, 60}, front},      // inside the shape
      {{140, 140}, back},     // inside the front rectangle but outside its shape
      {{10, 10}, child},      // the child of the back window
      {{170, 170}, back},     // hidden child is skipped
      {{500, 400}, Window{}}  // nothing there
  };
  for (const auto& c : cases) EXPECT_EQ(windowFromPoint(c.p), c.expected) << c.p.x << "," << c.p.y;
  (void)hiddenChild;
}

TEST_F(Input, ShapedChildAndDisabledWindowsSwallow) {
  Window top = wtest::makeTop({0, 0, 200, 200});
  Window round = wtest::makeChild(top, {100, 100, 200, 200}, 1);
  std::vector<Rect> cross{{40, 0, 60, 100}, {0, 40, 100, 60}};
  setWindowShape(round, Region::fromRects(cross));
  EXPECT_EQ(windowFromPoint({150, 110}), round);
  EXPECT_EQ(windowFromPoint({110, 110}), top);  // corner outside the cross
  enableWindow(round, false);
  EXPECT_FALSE(windowFromPoint({150, 110}));
  enableWindow(top, false);
  EXPECT_FALSE(windowFromPoint({10, 10}));
}

TEST_F(Input, TapDeliversDownAndUpInClientCoordinates) {
  Window top = wtest::makeTop({100, 100, 300, 300});
  Window child = wtest::makeChild(top, {10, 10, 60, 60}, 1);
  pumpPendingMessages();
  Recorder::instance().clear(child);
  injectTap({115, 120});
  pumpPendingMessages();
  auto m = mouse(child);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].message, kMsgMouseDown);
  EXPECT_EQ(m[0].wParam, kMouseButtonDown);
  EXPECT_EQ(unpackPoint(m[0].lParam), (Point{5, 10}));
  EXPECT_EQ(m[1].message, kMsgMouseUp);
  EXPECT_EQ(activeWindow(), top);  // tapping activates
}

TEST_F(Input, CaptureSetOnDownSteersTheRestOfTheDrag) {
  Window a = wtest::makeTop({0, 0, 100, 100});
  Window b = wtest::makeTop({100, 0, 200, 100});
  Recorder::instance().setHandler(a, [](Window w, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m == kMsgMouseDown) setCapture(w);
    if (m == kMsgMouseUp) releaseCapture();
    return std::nullopt;
  });
  pumpPendingMessages();
  Recorder::instance().clear(a);
  Recorder::instance().clear(b);
  // The whole drag is queued before the down is handled; the moves still
  // follow the capture taken while handling it.
  injectDrag({50, 50}, {150, 50}, 2);
  pumpPendingMessages();
  auto m = mouse(a);
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[1].message, kMsgMouseMove);
  EXPECT_EQ(unpackPoint(m[2].lParam), (Point{150, 50}));  // outside a, in a's coordinates
  EXPECT_EQ(m[3].message, kMsgMouseUp);
  EXPECT_TRUE(mouse(b).empty());
  EXPECT_FALSE(captureWindow());
  injectTap({150, 50});
  pumpPendingMessages();
  EXPECT_EQ(mouse(b).size(), 2u);
}

TEST_F(Input, DoubleTapOnlyForClassesThatAskWithinTimeAndDistance) {
  Window plain = wtest::makeTop({0, 0, 100, 100});
  Window dbl = wtest::makeTop({100, 0, 200, 100}, kStyleVisible, {}, wtest::kRecDblClass);
  pumpPendingMessages();
  struct Case {
    Window w;
    Point first, second;
    uint64_t gapMs;
    uint32_t secondMessage;
  } cases[] = {
      {dbl, {150, 50}, {152, 53}, 100, kMsgMouseDoubleClick},
      {dbl, {150, 50}, {150, 50}, kDoubleTapMs + 1, kMsgMouseDown},  // too slow
      {dbl, {150, 50}, {170, 50}, 100, kMsgMouseDown},               // too far
      {plain, {50, 50}, {50, 50}, 100, kMsgMouseDown},               // class does not ask
  };
  for (const auto& c : cases) {
    clock.advance(10000);  // forget earlier taps
    Recorder::instance().clear(c.w);
    injectTap(c.first);
    pumpPendingMessages();
    clock.advance(c.gapMs);
    injectTap(c.second);
    pumpPendingMessages();
    auto m = mouse(c.w);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[2].message, c.secondMessage) << c.first.x << " gap " << c.gapMs;
  }
  // A third quick tap starts a new pair.
  clock.advance(10000);
  Recorder::instance().clear(dbl);
  for (int i = 0; i < 3; ++i) injectTap({150, 50});
  pumpPendingMessages();
  auto m = mouse(dbl);
  ASSERT_EQ(m.size(), 6u);
  EXPECT_EQ(m[2].message, kMsgMouseDoubleClick);
  EXPECT_EQ(m[4].message, kMsgMouseDown);
}

TEST_F(Input, KeysGoToFocusElseActiveWindowAndTranslateToCharacters) {
  Window top = wtest::makeTop({0, 0, 100, 100});
  Window edit = wtest::makeChild(top, {0, 0, 50, 20}, 1);
  pumpPendingMessages();
  ASSERT_EQ(activeWindow(), top);
  Recorder::instance().clear(top);
  injectKey(kKeyReturn);
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(top, kMsgKeyDown), 1u);

  setFocus(edit);
  EXPECT_EQ(Recorder::instance().count(edit, kMsgSetFocus), 1u);
  Recorder::instance().clear(edit);
  injectKey('A', u'a');
  pumpPendingMessages();
  auto msgs = Recorder::instance().messages(edit);
  EXPECT_EQ(msgs, (std::vector<uint32_t>{kMsgKeyDown, kMsgChar, kMsgKeyUp}));
  EXPECT_EQ(Recorder::instance().log(edit)[1].wParam, static_cast<WParam>(u'a'));
  Window other = wtest::makeChild(top, {0, 50, 50, 70}, 2);
  EXPECT_EQ(setFocus(other), edit);
  EXPECT_EQ(Recorder::instance().count(edit, kMsgKillFocus), 1u);
}

TEST_F(Input, AcceleratorsTurnKeysIntoCommands) {
  Window top = wtest::makeTop({0, 0, 100, 100});
  pumpPendingMessages();
  AcceleratorTable table({{kKeyLeft, kModControl, 40021}, {'M', kModControl, 40019}, {keyF(2), 0, 40009}});
  struct Case {
    uint32_t key;
    uint32_t mods;
    uint16_t command;  // 0: not an accelerator
  } cases[] = {{kKeyLeft, kModControl, 40021}, {kKeyLeft, 0, 0}, {'M', kModControl, 40019},
               {'M', kModControl | kModShift, 0}, {keyF(2), 0, 40009}, {keyF(3), 0, 0}};
  for (const auto& c : cases) {
    Recorder::instance().clear(top);
    injectKeyDown(c.key, 0, c.mods);
    Message m;
    ASSERT_TRUE(peekMessage(&m));
    ASSERT_EQ(m.message, kMsgKeyDown);
    EXPECT_EQ(translateAccelerator(top, table, m), c.command != 0);
    auto log = Recorder::instance().log(top);
    if (c.command) {
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0].message, kMsgCommand);
      EXPECT_EQ(commandId(log[0].wParam), c.command);
      EXPECT_EQ(commandCode(log[0].wParam), kCommandFromAccelerator);
    } else {
      EXPECT_TRUE(log.empty());
    }
  }
  Message keyUp{top, kMsgKeyUp, kKeyLeft, packKey(0, kModControl), 0};
  EXPECT_FALSE(translateAccelerator(top, table, keyUp));
}

TEST_F(Input, InputQueuedForAnotherThreadsWindowReachesIt) {
  std::atomic<uint32_t> id{0};
  std::atomic<int> downs{0};
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    Window w = wtest::makeTop({300, 300, 400, 400});
    Recorder::instance().setHandler(w, [&](Window, uint32_t m, WParam, LParam) -> std::optional<LResult> {
      if (m == kMsgMouseDown) ++downs;
      return std::nullopt;
    });
    id = w.id;
    while (!stop) {
      Message m;
      if (peekMessage(&m)) dispatchMessage(m);
      std::this_thread::yield();
    }
    destroyWindow(w);
  });
  while (!id) std::this_thread::yield();
  injectTap({350, 350});
  // Whichever thread takes the input first hands it to the owner.
  while (downs == 0) {
    pumpPendingMessages();
    std::this_thread::yield();
  }
  stop = true;
  worker.join();
  EXPECT_EQ(downs.load(), 1);
}

TEST_F(Input, DisplayListsVisibleTopLevelWindowsBackToFront) {
  EXPECT_EQ(screenSize(), kDefaultScreenSize);
  Window a = wtest::makeTop({0, 0, 800, 480});
  Window hidden = wtest::makeTop({0, 0, 10, 10}, 0);
  Window b = wtest::makeTop({10, 10, 60, 60});
  setWindowShape(b, Region(Rect{0, 0, 5, 5}));
  auto list = visibleTopLevelWindows();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].window, a);
  EXPECT_EQ(list[1].window, b);
  EXPECT_EQ(list[1].screenRect, (Rect{10, 10, 60, 60}));
  ASSERT_TRUE(list[1].shape.has_value());
  EXPECT_TRUE(list[1].shape->contains({4, 4}));
  (void)hidden;
  int changes = 0;
  setScreenChangedListener([&] { ++changes; });
  showWindow(b, false);
  EXPECT_GT(changes, 0);
  setScreenChangedListener({});
  setScreenSize({0, 5});
  EXPECT_EQ(screenSize(), kDefaultScreenSize);
}

}  // namespace

namespace {

class CountingCompositor : public FrameCompositor {
 public:
  bool composeFrame(Size screen) override {
    lastSize = screen;
    windows = visibleTopLevelWindows().size();
    ++frames;
    return true;
  }
  Size lastSize;
  size_t windows = 0;
  int frames = 0;
};

TEST_F(Input, HeadlessDisplayOwnsScreenSizeInputAndFrames) {
  {
    HeadlessDisplay display({640, 360});
    EXPECT_EQ(screenSize(), (Size{640, 360}));
    EXPECT_FALSE(display.renderFrame());  // no compositor yet
    CountingCompositor compositor;
    setFrameCompositor(&compositor);
    Window w = wtest::makeTop({0, 0, 100, 100});
    ASSERT_TRUE(display.frameDirty());
    EXPECT_TRUE(display.renderFrame());
    EXPECT_FALSE(display.frameDirty());
    EXPECT_EQ(compositor.lastSize, (Size{640, 360}));
    EXPECT_EQ(compositor.windows, 1u);
    moveWindow(w, {10, 10, 110, 110});
    EXPECT_TRUE(display.frameDirty());
    pumpPendingMessages();
    Recorder::instance().clear(w);
    display.tap({50, 50});
    display.key(kKeyReturn);
    pumpPendingMessages();
    EXPECT_EQ(Recorder::instance().count(w, kMsgMouseDown), 1u);
    EXPECT_EQ(Recorder::instance().count(w, kMsgKeyDown), 1u);
    setFrameCompositor(nullptr);
  }
  EXPECT_EQ(screenSize(), kDefaultScreenSize);
}

}  // namespace
