// The stock push button: tracking a press, clicks, owner-draw records.
#include "plat/button.h"
#include "plat/gfx/window_surfaces.h"
#include "window_test_util.h"

using namespace plat;
using wtest::Recorder;

namespace {

class StockButton : public ::testing::Test {
 protected:
  void SetUp() override {
    screen.install();
    ASSERT_TRUE(registerButtonClass());
    ASSERT_TRUE(registerButtonClass());  // a second call finds it registered
    parent = wtest::makeTop(Rect{0, 0, 300, 200});
    Recorder::instance().setHandler(parent, [this](Window, uint32_t m, WParam, LParam lp) -> std::optional<LResult> {
      if (m == kMsgDrawItem) {
        const auto* rec = reinterpret_cast<const DrawItemRecord*>(lp);
        drawn.push_back(*rec);
        rec->dc->fillRect(rec->rect, (rec->state & draw_item_state::kSelected) ? 0x0000FF : 0x00FF00);
        return 1;
      }
      return std::nullopt;
    });
  }
  void TearDown() override {
    setFocus(Window{});
    wtest::cleanUp();
  }
  Window makeButton(uint32_t extraStyle) {
    CreateWindowParams p;
    p.className = kButtonClassName;
    p.title = u"OK";
    p.style = kStyleChild | kStyleVisible | kButtonPushLike | extraStyle;
    p.rect = Rect{10, 10, 110, 60};
    p.parent = parent;
    p.controlId = 77;
    return createWindow(p);
  }
  std::vector<wtest::Recorded> commands() {
    std::vector<wtest::Recorded> out;
    for (auto& m : Recorder::instance().log(parent))
      if (m.message == kMsgCommand) out.push_back(m);
    return out;
  }
  uint32_t pixel(int x, int y) {
    pumpPendingMessages();
    return screen.compose().pixel(x, y) & 0xFFFFFF;
  }

  VirtualClock clock;
  ScopedClock scoped{clock};
  Screen screen{Size{800, 480}};
  Window parent;
  std::vector<DrawItemRecord> drawn;
};

TEST_F(StockButton, OwnerDrawnPressAndClick) {
  const Window b = makeButton(kButtonOwnerDraw);
  pumpPendingMessages();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back().controlType, kDrawItemControlButton);
  EXPECT_EQ(drawn.back().controlId, 77);
  EXPECT_EQ(drawn.back().window, b);
  EXPECT_EQ(drawn.back().rect, (Rect{0, 0, 100, 50}));
  EXPECT_EQ(pixel(50, 30), 0x00FF00u);

  injectMouseDown({50, 30});
  pumpPendingMessages();
  EXPECT_TRUE(drawn.back().state & draw_item_state::kSelected);
  EXPECT_EQ(sendMessage(b, kMsgButtonGetPressed), 1);
  EXPECT_EQ(pixel(50, 30), 0xFF0000u);
  EXPECT_TRUE(commands().empty());
  injectMouseUp({50, 30});
  pumpPendingMessages();
  EXPECT_FALSE(drawn.back().state & draw_item_state::kSelected);
  ASSERT_EQ(commands().size(), 1u);
  EXPECT_EQ(commands()[0].wParam, packCommand(77, kButtonClicked));
  EXPECT_EQ(commands()[0].lParam, static_cast<LParam>(b.id));
}

TEST_F(StockButton, ReleasedOutsideIsNoClick) {
  makeButton(kButtonOwnerDraw);
  injectMouseDown({50, 30});
  injectMouseMove({200, 150});
  pumpPendingMessages();
  EXPECT_FALSE(drawn.back().state & draw_item_state::kSelected);
  injectMouseMove({60, 30});  // back inside: pressed again
  pumpPendingMessages();
  EXPECT_TRUE(drawn.back().state & draw_item_state::kSelected);
  injectMouseMove({200, 150});
  injectMouseUp({200, 150});
  pumpPendingMessages();
  EXPECT_TRUE(commands().empty());
  EXPECT_EQ(captureWindow(), Window{});
}

TEST_F(StockButton, DisabledIsDrawnSoAndTakesNoTaps) {
  const Window b = makeButton(kButtonOwnerDraw);
  enableWindow(b, false);
  pumpPendingMessages();
  EXPECT_TRUE(drawn.back().state & draw_item_state::kDisabled);
  injectTap({50, 30});
  pumpPendingMessages();
  EXPECT_TRUE(commands().empty());
}

TEST_F(StockButton, PlainButtonPaintsItselfAndClicks) {
  makeButton(0);
  EXPECT_EQ(pixel(20, 40), 0xD0D0D0u);
  EXPECT_TRUE(drawn.empty());
  injectTap({50, 30});
  pumpPendingMessages();
  EXPECT_EQ(commands().size(), 1u);
}

}  // namespace
