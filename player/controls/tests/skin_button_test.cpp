#include <gtest/gtest.h>

#include <algorithm>

#include "controls/skin_button.h"
#include "controls/kit.h"
#include "fixture.h"
#include "plat/gfx/objects.h"
#include "plat/input.h"
#include "plat/thread.h"

namespace tunora::controls {
namespace {

using testing::KitFixture;
using testing::rgb;

constexpr plat::Rect kButtonRect{20, 20, 120, 80};
constexpr plat::Point kInside{70, 50};  // screen point inside the button
constexpr int32_t kId = 1201;

class SkinButtonTest : public KitFixture {
 protected:
  plat::Window makeButton(bool withPressed = true) {
    plat::Window returned;
    const plat::Window b = CreateSkinButton(host, kId, kButtonRect, std::nullopt, &returned);
    EXPECT_EQ(b, returned);
    EXPECT_TRUE(SetSkinButtonImage(b, kStateNormal, png("n.png", 200, 0, 0)));
    EXPECT_TRUE(SetSkinButtonImage(b, kStateHighlight, png("h.png", 0, 200, 0)));
    EXPECT_TRUE(SetSkinButtonImage(b, kStatePressed, withPressed ? png("p.png", 0, 0, 200) : u""));
    EXPECT_TRUE(SetSkinButtonImage(b, kStateDisabled, png("d.png", 100, 100, 100)));
    plat::invalidate(b);
    return b;
  }
};

TEST_F(SkinButtonTest, DrawsTheStateImageOfEachDrawState) {
  const plat::Window b = makeButton();
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), rgb(200, 0, 0));  // normal; the highlight is never chosen
  plat::injectMouseDown(kInside);
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), rgb(0, 0, 200));  // pressed
  plat::injectMouseMove(plat::Point{300, 250});               // dragged off: drawn released
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), rgb(200, 0, 0));
  plat::injectMouseUp(plat::Point{300, 250});
  plat::pumpPendingMessages();
  EXPECT_TRUE(received.empty());  // released outside: no click
  plat::enableWindow(b, false);
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), rgb(100, 100, 100));  // disabled
  EXPECT_EQ(pixelAt(10, 10), rgb(0x40, 0x40, 0x40));              // host around it
}

TEST_F(SkinButtonTest, AMissingImageKeyLeavesTheStateEmpty) {
  const plat::Window b = makeButton(/*withPressed=*/false);
  EXPECT_FALSE(SkinButtonHasImage(b, kStatePressed));
  // The document directory alone (what a missing picture used to give) is no image either.
  EXPECT_TRUE(SetSkinButtonImage(b, kStateDisabled, dev.progDevice() + u"img\\"));
  EXPECT_FALSE(SkinButtonHasImage(b, kStateDisabled));
  EXPECT_TRUE(SkinButtonHasImage(b, kStateNormal));
  plat::injectMouseDown(kInside);
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), 0u);  // nothing drawn while pressed
  plat::injectMouseUp(kInside);
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), rgb(200, 0, 0));
  EXPECT_FALSE(SetSkinButtonImage(b, 4, u""));
  EXPECT_FALSE(SetSkinButtonImage(host, 0, u""));  // not a skinned button
}

TEST_F(SkinButtonTest, TapsReachThePressAndReleaseCallbacksAndTheParent) {
  const plat::Window b = makeButton();
  std::vector<std::string> calls;
  SetSkinButtonCallbacks(
      b, [&](int32_t id) { calls.push_back("press " + std::to_string(id)); },
      [&](int32_t id) { calls.push_back("release " + std::to_string(id)); });
  plat::injectTap(kInside);
  plat::pumpPendingMessages();
  EXPECT_EQ(calls, (std::vector<std::string>{"press 1201", "release 1201"}));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].id, kId);
}

TEST_F(SkinButtonTest, AutoRepeatStartsAfterTenTicksAndStopsOnRelease) {
  const plat::Window b = makeButton();
  SetSkinButtonAutoRepeat(b, kId, 75, 125);
  plat::injectMouseDown(kInside);
  plat::pumpPendingMessages();
  for (int tick = 1; tick <= 10; ++tick) advance(75);  // 750 ms: the second phase starts
  EXPECT_EQ(repeatsReceived(kId), 0u);
  advance(124);
  EXPECT_EQ(repeatsReceived(kId), 0u);
  advance(1);
  EXPECT_EQ(repeatsReceived(kId), 1u);
  for (int i = 0; i < 3; ++i) advance(125);
  EXPECT_EQ(repeatsReceived(kId), 4u);
  plat::injectMouseUp(kInside);
  plat::pumpPendingMessages();
  for (int i = 0; i < 20; ++i) advance(125);
  EXPECT_EQ(repeatsReceived(kId), 4u);

  // Right after a long press, a short press never repeats.
  plat::injectMouseDown(kInside);
  plat::pumpPendingMessages();
  for (int tick = 1; tick <= 9; ++tick) advance(75);
  plat::injectMouseUp(kInside);
  plat::pumpPendingMessages();
  for (int i = 0; i < 20; ++i) advance(125);
  EXPECT_EQ(repeatsReceived(kId), 4u);
}

TEST_F(SkinButtonTest, NoRepeatWithoutMatchingRepeatId) {
  const plat::Window b = makeButton();
  SetSkinButtonAutoRepeat(b, kId + 1, 75, 125);
  plat::injectMouseDown(kInside);
  plat::pumpPendingMessages();
  for (int i = 0; i < 30; ++i) advance(75);
  EXPECT_EQ(repeatsReceived(kId), 0u);
  plat::injectMouseUp(kInside);
}

TEST_F(SkinButtonTest, ShellHearsPressesDrawnWithThePressedImage) {
  SetShellPressThread(plat::currentThreadId());
  auto shellMessagesDuringPress = [&] {
    int seen = 0;
    plat::injectMouseDown(kInside);
    plat::Message m;
    while (plat::peekMessage(&m)) {
      if (!m.window && m.message == WM_SHELLPRESS && m.wParam == 1) ++seen;
      plat::dispatchMessage(m);
    }
    plat::injectMouseUp(kInside);
    plat::pumpPendingMessages();
    return seen;
  };
  const plat::Window b = makeButton();
  plat::pumpPendingMessages();
  EXPECT_EQ(shellMessagesDuringPress(), 1);
  SetSkinButtonImage(b, kStatePressed, u"");
  EXPECT_EQ(shellMessagesDuringPress(), 0);
  SetShellPressThread(0);
}

TEST_F(SkinButtonTest, ToggleButtonDrawsTheImageOfItsFlag) {
  const plat::Window t = CreateSkinToggleButton(host, 9, kButtonRect);
  ASSERT_TRUE(t);
  plat::pumpPendingMessages();
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), 0u);  // no pair yet
  SetSkinToggleNormalImages(t, png("on.png", 0, 200, 0), png("off.png", 200, 0, 0));
  SetSkinTogglePressedImages(t, png("pon.png", 0, 0, 200), u"");  // incomplete pair: not drawn
  plat::invalidate(t);
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), rgb(200, 0, 0));
  SetSkinToggleState(t, true);
  EXPECT_TRUE(SkinToggleState(t));
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), rgb(0, 200, 0));
  plat::injectMouseDown(kInside);
  EXPECT_EQ(pixelAt(kInside.x, kInside.y), 0u);
  plat::injectMouseUp(kInside);
  EXPECT_FALSE(SetSkinButtonImage(t, 0, u""));  // the push-button setter refuses it
}

TEST_F(SkinButtonTest, ScrollBarArrowHandsTheFocusBack) {
  plat::WindowClass c;
  c.name = u"KivScrollBar0.1";
  c.proc = [](plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
    if (m == plat::kMsgDrawItem) return HandleSkinButtonDrawItem(w, lp) ? 1 : 0;
    return plat::defaultWindowProc(w, m, wp, lp);
  };
  if (!plat::isClassRegistered(c.name)) {
    ASSERT_TRUE(plat::registerClass(c));
  }
  plat::CreateWindowParams p;
  p.className = c.name;
  p.style = plat::kStyleChild | plat::kStyleVisible;
  p.rect = plat::Rect{200, 0, 260, 200};
  p.parent = host;
  const plat::Window bar = plat::createWindow(p);
  const plat::Window arrow = CreateSkinButton(bar, 5, plat::Rect{0, 0, 60, 40});
  const plat::Window plain = CreateSkinButton(host, 6, plat::Rect{0, 100, 60, 140});
  plat::setFocus(host);
  plat::setFocus(arrow);
  EXPECT_EQ(plat::focusWindow(), host);
  plat::setFocus(plain);
  EXPECT_EQ(plat::focusWindow(), plain);
}

TEST_F(SkinButtonTest, DestroyFreesEveryBitmapAndRestoresTheStockProcedure) {
  plat::pumpPendingMessages();
  const plat::GdiObjectCounts before = plat::liveGdiObjects();
  const plat::Window b = makeButton();
  const plat::Window t = CreateSkinToggleButton(host, 9, plat::Rect{200, 20, 260, 60});
  SetSkinToggleNormalImages(t, png("on.png", 0, 200, 0), png("off.png", 200, 0, 0));
  SetSkinButtonImage(b, kStateNormal, png("n2.png", 1, 2, 3));  // a replaced image
  plat::injectTap(kInside);
  plat::pumpPendingMessages();
  EXPECT_NE(plat::liveGdiObjects(), before);
  plat::destroyWindow(b);
  plat::destroyWindow(t);
  plat::pumpPendingMessages();
  EXPECT_EQ(plat::liveGdiObjects(), before);
  EXPECT_FALSE(SetSkinButtonText(b, u"gone"));
}

TEST_F(SkinButtonTest, ResizeRestretchesTheStateImages) {
  const plat::Window b = makeButton();
  plat::moveWindow(b, plat::Rect{20, 20, 220, 120});
  EXPECT_EQ(pixelAt(200, 100), rgb(200, 0, 0));  // beyond the old size
}

TEST_F(SkinButtonTest, IndexTextIsRightAlignedInItsRectangle) {
  const plat::Rect r{20, 20, 220, 80};
  const plat::Window b = CreateSkinButton(host, 8, r);
  SetSkinButtonTextColors(b, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
  SetSkinButtonIndexText(b, u"12", plat::Rect{0, 0, 200, 60});
  plat::invalidate(b);
  plat::pumpPendingMessages();
  const plat::Surface& frame = screen.compose();
  int leftmost = r.right;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if ((frame.pixel(x, y) & 0xFF) > 0x80) leftmost = std::min(leftmost, x);
  EXPECT_LT(leftmost, r.right);          // drawn
  EXPECT_GT(leftmost, r.left + 150);     // at the right edge
}

TEST(CaptionSplit, WidthUnitsAndFirstLine) {
  const std::u16string fullWidth(20, u'\u3042');
  struct Case {
    std::u16string text;
    int32_t limit;
    int32_t units;
    size_t first;
  } cases[] = {
      {fullWidth, 16, 40, 8},
      {u"abcdefghij", 4, 10, 4},
      {u"ab\u3042cd", 3, 6, 2},          // the wide character would make 4
      {u"\u00C0\u00A1x", 2, 3, 2},       // U+00A1..U+00DF count 1
      {std::u16string(100, u'a'), 90, 100, 63},  // at most 63 characters
      {u"a\U0001F600b", 2, 4, 1},        // a surrogate pair is never split
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CaptionWidthUnits(c.text), c.units);
    EXPECT_EQ(CaptionFirstLineLength(c.text, c.limit), c.first);
  }
}

TEST_F(SkinButtonTest, LongCaptionIsDrawnOnTwoLinesOnlyWhenTallEnough) {
  // White caption over a black button: rows with text show white pixels.
  auto rowsWithText = [&](plat::Window b, const plat::Rect& screenRect) {
    plat::invalidate(b);
    plat::pumpPendingMessages();
    const plat::Surface& frame = screen.compose();
    std::vector<int> rows;
    for (int y = screenRect.top; y < screenRect.bottom; ++y)
      for (int x = screenRect.left; x < screenRect.right; ++x)
        if ((frame.pixel(x, y) & 0xFF) > 0x80) {
          rows.push_back(y);
          break;
        }
    return rows;
  };
  const plat::Rect tall{20, 20, 220, 120};
  const plat::Window b = CreateSkinButton(host, 7, tall, std::u16string(20, u'\u3042'));
  SetSkinButtonTextColors(b, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
  SetSkinButtonLineLimit(b, 16);
  const std::vector<int> two = rowsWithText(b, tall);
  ASSERT_FALSE(two.empty());
  bool gap = false;  // two bands of rows with a gap between them
  for (size_t i = 1; i < two.size(); ++i) gap |= two[i] > two[i - 1] + 1;
  EXPECT_TRUE(gap);

  plat::moveWindow(b, plat::Rect{20, 20, 220, 40});
  const std::vector<int> one = rowsWithText(b, plat::Rect{20, 20, 220, 40});
  ASSERT_FALSE(one.empty());
  for (size_t i = 1; i < one.size(); ++i) EXPECT_EQ(one[i], one[i - 1] + 1);
}

}  // namespace
}  // namespace tunora::controls
