// Windows: creation and destruction, the tree, procedures and subclassing,
// text, visibility, enabling, geometry, z-order and the painting protocol.
#include "window_test_util.h"

using namespace plat;
using wtest::Recorder;

namespace {

class Windows : public ::testing::Test {
 protected:
  void TearDown() override { wtest::cleanUp(); }
};

TEST_F(Windows, CreateSendsCreateWithParameterAndFailsOnMinusOne) {
  wtest::registerTestClasses();
  CreateWindowParams p;
  p.className = u"recwnd";  // class names ignore case
  p.createParam = 1234;
  Window w = createWindow(p);
  ASSERT_TRUE(w);
  auto log = Recorder::instance().log(w);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[0].message, kMsgCreate);
  EXPECT_EQ(log[0].lParam, 1234);

  WindowClass refusing{u"RefusingWnd", 0, [](Window w, uint32_t m, WParam wp, LParam lp) -> LResult {
                         return m == kMsgCreate ? -1 : defaultWindowProc(w, m, wp, lp);
                       },
                       {}};
  registerClass(refusing);
  p.className = u"RefusingWnd";
  EXPECT_FALSE(createWindow(p));
  p.className = u"NoSuchClass";
  EXPECT_FALSE(createWindow(p));
  // A child needs a parent that exists.
  p.className = wtest::kRecClass;
  p.style = kStyleChild;
  p.parent = Window{999999};
  EXPECT_FALSE(createWindow(p));
}

TEST_F(Windows, ClassRegistrationRules) {
  EXPECT_FALSE(registerClass({u"", 0, wtest::recordingProc, {}}));
  EXPECT_FALSE(registerClass({u"NoProc", 0, {}, {}}));
  ASSERT_TRUE(registerClass({u"OnceWnd", 0, wtest::recordingProc, {}}));
  EXPECT_FALSE(registerClass({u"ONCEWND", 0, wtest::recordingProc, {}}));
  Window w = wtest::makeTop({0, 0, 1, 1}, 0, {}, u"OnceWnd");
  EXPECT_FALSE(unregisterClass(u"OnceWnd"));  // still in use
  destroyWindow(w);
  EXPECT_TRUE(unregisterClass(u"OnceWnd"));
  EXPECT_FALSE(isClassRegistered(u"OnceWnd"));
}

TEST_F(Windows, TreeWalksChildByIdAndFind) {
  Window top = wtest::makeTop({0, 0, 100, 100}, kStyleVisible, {}, wtest::kRecClass, u"Main");
  Window a = wtest::makeChild(top, {0, 0, 10, 10}, 101);
  Window b = wtest::makeChild(top, {10, 0, 20, 10}, 102);
  Window c = wtest::makeChild(top, {20, 0, 30, 10}, 103);
  EXPECT_EQ(parentOf(a), top);
  EXPECT_FALSE(parentOf(top));
  EXPECT_EQ(firstChild(top), a);
  EXPECT_EQ(nextSibling(a), b);
  EXPECT_EQ(nextSibling(b), c);
  EXPECT_FALSE(nextSibling(c));
  EXPECT_EQ(childById(top, 102), b);
  EXPECT_FALSE(childById(top, 999));
  EXPECT_EQ(controlId(c), 103);
  EXPECT_EQ(findWindow(u"RECWND", u"Main"), top);
  EXPECT_EQ(findWindow(u"", u"Main"), top);
  EXPECT_FALSE(findWindow(wtest::kRecClass, u"main"));  // titles compare exactly
  bringToTop(c);
  EXPECT_EQ(firstChild(top), c);
  sendToBottom(c);
  EXPECT_EQ(nextSibling(b), c);
}

TEST_F(Windows, DestroyIsRecursiveWithNotificationsInOrder) {
  Window owner = wtest::makeTop({0, 0, 100, 100});
  Window child = wtest::makeChild(owner, {0, 0, 10, 10}, 1);
  Window grandChild = wtest::makeChild(child, {0, 0, 5, 5}, 2);
  Window popup = wtest::makeTop({0, 0, 50, 50}, kStyleVisible, owner);
  EXPECT_EQ(ownerOf(popup), owner);
  std::vector<std::pair<uint32_t, uint32_t>> order;  // (window, message)
  for (Window w : {owner, child, grandChild, popup}) {
    Recorder::instance().setHandler(w, [&order](Window w, uint32_t m, WParam, LParam) -> std::optional<LResult> {
      if (m == kMsgDestroy || m == kMsgFinalDestroy) order.emplace_back(w.id, m);
      return std::nullopt;
    });
  }
  setTimer(child, 1, 10);
  setFocus(grandChild);
  ASSERT_TRUE(destroyWindow(owner));
  std::vector<std::pair<uint32_t, uint32_t>> expected{
      {popup.id, kMsgDestroy},      {popup.id, kMsgFinalDestroy},      {owner.id, kMsgDestroy},
      {child.id, kMsgDestroy},      {grandChild.id, kMsgDestroy},      {grandChild.id, kMsgFinalDestroy},
      {child.id, kMsgFinalDestroy}, {owner.id, kMsgFinalDestroy}};
  EXPECT_EQ(order, expected);
  for (Window w : {owner, child, grandChild, popup}) EXPECT_FALSE(windowExists(w));
  EXPECT_FALSE(focusWindow());
  EXPECT_FALSE(destroyWindow(owner));
}

TEST_F(Windows, DestroyFromOwnDestroyHandlerIsHarmless) {
  Window w = wtest::makeTop({0, 0, 10, 10});
  Window c = wtest::makeChild(w, {0, 0, 5, 5}, 1);
  Recorder::instance().setHandler(w, [c](Window self, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m == kMsgDestroy) {
      destroyWindow(c);     // the child goes anyway
      destroyWindow(self);  // already under way
    }
    return std::nullopt;
  });
  EXPECT_TRUE(destroyWindow(w));
  EXPECT_EQ(Recorder::instance().count(c, kMsgFinalDestroy), 1u);
}

TEST_F(Windows, CloseDestroysByDefault) {
  Window w = wtest::makeTop({0, 0, 10, 10});
  sendMessage(w, kMsgClose);
  EXPECT_FALSE(windowExists(w));
}

TEST_F(Windows, SubclassChainsToPreviousProcedure) {
  Window w = wtest::makeTop({0, 0, 10, 10});
  auto old = std::make_shared<WindowProc>();
  *old = setWindowProc(w, [old](Window w, uint32_t m, WParam wp, LParam lp) -> LResult {
    if (m == kMsgUser) return 77;
    return callWindowProc(*old, w, m, wp, lp);
  });
  ASSERT_TRUE(*old);
  EXPECT_EQ(sendMessage(w, kMsgUser), 77);
  Recorder::instance().clear(w);
  sendMessage(w, kMsgUser + 1);
  EXPECT_EQ(Recorder::instance().count(w, kMsgUser + 1), 1u);  // reached the class procedure
  EXPECT_EQ(Recorder::instance().count(w, kMsgUser), 0u);
}

TEST_F(Windows, TextUserDataAndCreationTitle) {
  Window w = wtest::makeTop({0, 0, 10, 10}, 0, {}, wtest::kRecClass, u"first");
  EXPECT_EQ(windowText(w), u"first");
  ASSERT_TRUE(setWindowText(w, u"チャンネル"));
  EXPECT_EQ(windowText(w), u"チャンネル");
  char16_t small[4];
  EXPECT_EQ(sendMessage(w, kMsgGetText, 4, reinterpret_cast<LParam>(small)), 3);
  EXPECT_EQ(String16(small), u"チャン");
  EXPECT_EQ(setUserData(w, 0xABCDEF0123ull), 0u);
  EXPECT_EQ(userData(w), 0xABCDEF0123ull);
  EXPECT_FALSE(setWindowText(Window{}, u"x"));
}

TEST_F(Windows, EnableNotifiesOnlyOnChange) {
  Window w = wtest::makeTop({0, 0, 10, 10});
  pumpPendingMessages();
  Recorder::instance().clear(w);
  EXPECT_FALSE(enableWindow(w, true));  // already enabled: nothing happens
  EXPECT_FALSE(needsPaint(w));
  EXPECT_EQ(Recorder::instance().count(w, kMsgEnable), 0u);
  EXPECT_FALSE(enableWindow(w, false));
  EXPECT_TRUE(needsPaint(w));
  EXPECT_FALSE(isWindowEnabled(w));
  EXPECT_TRUE(enableWindow(w, false));
  EXPECT_EQ(Recorder::instance().count(w, kMsgEnable), 1u);
  EXPECT_TRUE(enableWindow(w, true));
  EXPECT_EQ(Recorder::instance().count(w, kMsgEnable), 2u);
}

TEST_F(Windows, VisibilityFollowsAncestors) {
  Window top = wtest::makeTop({0, 0, 100, 100}, 0);
  Window child = wtest::makeChild(top, {0, 0, 10, 10}, 1);
  EXPECT_FALSE(isWindowVisible(child));
  EXPECT_FALSE(showWindow(top, true));
  EXPECT_TRUE(isWindowVisible(child));
  EXPECT_TRUE(showWindow(top, true));
  EXPECT_EQ(Recorder::instance().count(top, kMsgShowWindow), 1u);
  showWindow(child, false);
  EXPECT_FALSE(isWindowVisible(child));
}

TEST_F(Windows, GeometryAndCoordinateMapping) {
  Window top = wtest::makeTop({100, 50, 300, 250});
  Window child = wtest::makeChild(top, {10, 20, 60, 70}, 1);
  EXPECT_EQ(windowRect(child), (Rect{110, 70, 160, 120}));
  EXPECT_EQ(clientRect(child), (Rect{0, 0, 50, 50}));
  EXPECT_EQ(clientToScreen(child, {1, 2}), (Point{111, 72}));
  EXPECT_EQ(screenToClient(child, {111, 72}), (Point{1, 2}));
  Recorder::instance().clear(child);
  moveWindow(child, {0, 0, 80, 50});
  auto msgs = Recorder::instance().messages(child);
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), kMsgMove), msgs.end());
  auto log = Recorder::instance().log(child);
  auto size = std::find_if(log.begin(), log.end(), [](auto& m) { return m.message == kMsgSize; });
  ASSERT_NE(size, log.end());
  EXPECT_EQ(unpackPoint(size->lParam), (Point{80, 50}));
  EXPECT_EQ(windowRect(top).size(), (Size{200, 200}));
}

TEST_F(Windows, TopmostWindowsStayInFront) {
  Window a = wtest::makeTop({0, 0, 10, 10});
  Window pinned = wtest::makeTop({0, 0, 10, 10}, kStyleVisible | kStyleTopmost);
  Window b = wtest::makeTop({0, 0, 10, 10});
  auto order = topLevelWindows();
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order[0], pinned);
  EXPECT_EQ(order[1], b);
  EXPECT_EQ(order[2], a);
  bringToTop(a);
  EXPECT_EQ(topLevelWindows()[1], a);
  setTopmost(pinned, false);
  EXPECT_EQ(topLevelWindows()[0], pinned);  // moved to the front of the ordinary band
  sendToBottom(pinned);
  EXPECT_EQ(topLevelWindows().back(), pinned);
}

TEST_F(Windows, PaintingCollectsInvalidPartsUntilPainted) {
  Window w = wtest::makeTop({0, 0, 100, 100});
  pumpPendingMessages();
  Recorder::instance().clear(w);
  Region painted;
  bool erase = false;
  Recorder::instance().setHandler(w, [&](Window w, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m != kMsgPaint) return std::nullopt;
    PaintInfo info;
    beginPaint(w, &info);
    painted = info.paintRegion;
    erase = Recorder::instance().count(w, kMsgEraseBackground) > 0;
    endPaint(w, &info);
    return 0;
  });
  Rect r1{0, 0, 10, 10}, r2{50, 50, 60, 200};  // the second is clipped to the client area
  invalidate(w, &r1, false);
  invalidate(w, &r2, false);
  EXPECT_TRUE(needsPaint(w));
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(w, kMsgPaint), 1u);
  std::vector<Rect> expected{r1, {50, 50, 60, 100}};
  EXPECT_TRUE(painted.samePixels(Region::fromRects(expected)));
  EXPECT_FALSE(erase);
  EXPECT_FALSE(needsPaint(w));
  invalidate(w);
  updateWindow(w);  // paints at once
  EXPECT_EQ(Recorder::instance().count(w, kMsgPaint), 2u);
  EXPECT_TRUE(erase);
}

TEST_F(Windows, HiddenWindowsPaintWhenShownAndParentsBeforeChildren) {
  Window top = wtest::makeTop({0, 0, 100, 100}, 0);
  Window child = wtest::makeChild(top, {0, 0, 10, 10}, 1);
  std::vector<uint32_t> paints;
  for (Window w : {top, child}) {
    Recorder::instance().setHandler(w, [&paints](Window w, uint32_t m, WParam, LParam) -> std::optional<LResult> {
      if (m == kMsgPaint) paints.push_back(w.id);
      return std::nullopt;
    });
  }
  invalidate(child);
  pumpPendingMessages();
  EXPECT_TRUE(paints.empty());
  showWindow(top, true);
  pumpPendingMessages();
  EXPECT_EQ(paints, (std::vector<uint32_t>{top.id, child.id}));
}

class FakeBackend : public PaintBackend {
 public:
  DeviceContext* acquire(Window, const Region& clip) override {
    lastClip = clip;
    ++acquired;
    return reinterpret_cast<DeviceContext*>(&token);
  }
  void release(Window, DeviceContext*) override { ++released; }
  void eraseBackground(DeviceContext*, const Rect& rect, const ClassBackground& bg) override {
    erasedRect = rect;
    erasedRgb = bg.rgb;
  }
  int token = 0;
  int acquired = 0, released = 0;
  Region lastClip;
  Rect erasedRect;
  uint32_t erasedRgb = 0;
};

TEST_F(Windows, PaintBackendSuppliesContextsAndErasesClassBackground) {
  FakeBackend backend;
  setPaintBackend(&backend);
  registerClass({u"ColouredWnd", 0, defaultWindowProc, {ClassBackground::Kind::Color, 0x102030}});
  Window w = wtest::makeTop({0, 0, 40, 30}, kStyleVisible, {}, u"ColouredWnd");
  pumpPendingMessages();
  EXPECT_EQ(backend.acquired, 1);
  EXPECT_EQ(backend.released, 1);
  EXPECT_TRUE(backend.lastClip.samePixels(Region(Rect{0, 0, 40, 30})));
  EXPECT_EQ(backend.erasedRect, (Rect{0, 0, 40, 30}));
  EXPECT_EQ(backend.erasedRgb, 0x102030u);
  DeviceContext* dc = acquireWindowDC(w);
  EXPECT_NE(dc, nullptr);
  releaseWindowDC(w, dc);
  EXPECT_EQ(backend.released, 2);
  setPaintBackend(nullptr);
}

}  // namespace

namespace {

TEST_F(Windows, ForegroundRaisesAndActivatesTheTopLevelWindow) {
  Window a = wtest::makeTop({0, 0, 10, 10});
  Window child = wtest::makeChild(a, {0, 0, 5, 5}, 1);
  Window b = wtest::makeTop({0, 0, 10, 10});
  ASSERT_EQ(topLevelWindows().front(), b);
  ASSERT_EQ(activeWindow(), b);
  Recorder::instance().clear(a);
  EXPECT_TRUE(setForegroundWindow(child));
  EXPECT_EQ(topLevelWindows().front(), a);
  EXPECT_EQ(activeWindow(), a);
  auto log = Recorder::instance().log(a);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].message, kMsgActivate);
  EXPECT_EQ(log[0].wParam, 1u);
  EXPECT_EQ(Recorder::instance().count(b, kMsgActivate), 2u);  // activated at show, then deactivated
}

}  // namespace

namespace {

TEST_F(Windows, ShowingRepaintsClippedChildrenToo) {
  Window top = wtest::makeTop({0, 0, 100, 100}, kStyleVisible | kStyleClipChildren);
  Window child = wtest::makeChild(top, {0, 0, 10, 10}, 1);
  pumpPendingMessages();
  showWindow(top, false);
  Recorder::instance().clear(child);
  invalidate(top);
  EXPECT_FALSE(needsPaint(child));  // the parent clips its children
  showWindow(top, true);
  pumpPendingMessages();
  EXPECT_EQ(Recorder::instance().count(child, kMsgPaint), 1u);
}

}  // namespace
