// Display events reach windows as touch and key input, and closing the
// display asks the message loop to quit.
#include <gtest/gtest.h>

#include "plat/gfx/display_input.h"
#include "plat/input.h"
#include "window_test_util.h"

namespace plat {
namespace {

class DisplayInputTest : public ::testing::Test {
 protected:
  void TearDown() override { wtest::cleanUp(); }
};

TEST_F(DisplayInputTest, PointerEventsBecomeMouseMessagesAtTheScreenPoint) {
  Window top = wtest::makeTop(Rect{100, 50, 300, 250});
  Window child = wtest::makeChild(top, Rect{10, 10, 60, 60}, 7);
  pumpPendingMessages();
  wtest::Recorder::instance().clear(child);
  DisplayEvent down{DisplayEvent::Kind::PointerDown, Point{120, 70}};
  DisplayEvent up{DisplayEvent::Kind::PointerUp, Point{121, 71}};
  deliverDisplayEvent(down);
  deliverDisplayEvent(up);
  pumpPendingMessages();
  auto log = wtest::Recorder::instance().log(child);
  std::vector<uint32_t> mouse;
  for (auto& m : log)
    if (m.message == kMsgMouseDown || m.message == kMsgMouseUp) mouse.push_back(m.message);
  EXPECT_EQ(mouse, (std::vector<uint32_t>{kMsgMouseDown, kMsgMouseUp}));
}

TEST_F(DisplayInputTest, KeysCarryCodesAndCharacters) {
  EXPECT_EQ(keyCodeFor(DisplayKey::Character, u'Q'), uint32_t{'Q'});
  EXPECT_EQ(keyCodeFor(DisplayKey::Left, 0), uint32_t{kKeyLeft});
  EXPECT_EQ(keyCodeFor(DisplayKey::F5, 0), keyF(5));
  EXPECT_EQ(keyCodeFor(DisplayKey::None, 0), 0u);

  Window top = wtest::makeTop(Rect{0, 0, 100, 100});
  setFocus(top);
  pumpPendingMessages();
  wtest::Recorder::instance().clear(top);
  DisplayEvent key;
  key.kind = DisplayEvent::Kind::KeyDown;
  key.key = DisplayKey::Character;
  key.character = u'Q';
  deliverDisplayEvent(key);
  pumpPendingMessages();
  bool sawKey = false;
  for (auto& m : wtest::Recorder::instance().log(top))
    if (m.message == kMsgKeyDown) {
      sawKey = true;
      EXPECT_EQ(m.wParam, WParam{'Q'});
      EXPECT_EQ(keyCharacter(m.lParam), u'q');  // no shift: lower case
    }
  EXPECT_TRUE(sawKey);
}

TEST_F(DisplayInputTest, ClosingTheDisplayRequestsQuit) {
  EXPECT_FALSE(quitRequested());
  DisplayEvent quit;
  quit.kind = DisplayEvent::Kind::Quit;
  deliverDisplayEvent(quit);
  int code = -1;
  EXPECT_TRUE(quitRequested(&code));
  EXPECT_EQ(code, 0);
  Message m;
  while (peekMessage(&m)) {
  }
}

}  // namespace
}  // namespace plat
