// A headless screen on a virtual clock with a top-level host window that
// paints its skinned buttons and records the commands it receives.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../app/tests/skin_fixture.h"
#include "app/skin/image_cache.h"
#include "controls/skin_button.h"
#include "plat/clock.h"
#include "plat/gfx/image.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/window.h"

namespace tunora::controls::testing {

struct Command {
  uint16_t id;
  plat::LParam lParam;
};

class KitFixture : public ::testing::Test {
 protected:
  static inline std::vector<Command>* commands = nullptr;

  void SetUp() override {
    commands = &received;
    screen.install();
    skin::imageCache().clear();
    skin::imageCache().setEnabled(true);
    if (!plat::isClassRegistered(u"KitTestHost")) {
      plat::WindowClass c;
      c.name = u"KitTestHost";
      c.proc = [](plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
        if (m == plat::kMsgDrawItem) return HandleSkinButtonDrawItem(w, lp) ? 1 : 0;
        if (m == plat::kMsgCommand && commands) commands->push_back({plat::commandId(wp), lp});
        return plat::defaultWindowProc(w, m, wp, lp);
      };
      c.background = plat::ClassBackground{plat::ClassBackground::Kind::Color, 0x404040};
      plat::registerClass(c);
    }
    plat::CreateWindowParams p;
    p.className = u"KitTestHost";
    p.style = plat::kStyleVisible | plat::kStyleClipChildren;
    p.rect = plat::Rect{0, 0, 400, 300};
    host = plat::createWindow(p);
    ASSERT_TRUE(host);
  }
  void TearDown() override {
    plat::destroyWindow(host);
    plat::pumpPendingMessages();
    commands = nullptr;
    skin::imageCache().clear();
    skin::imageCache().setEnabled(false);
  }
  // A solid PNG; returns its device path.
  std::u16string png(const std::string& name, uint8_t r, uint8_t g, uint8_t b) {
    plat::Surface s;
    s.reset(8, 8, plat::makePixel(r, g, b));
    std::string bytes;
    EXPECT_FALSE(plat::failed(plat::encodePng(s, false, &bytes)));
    dev.write("img/" + name, bytes);
    return dev.progDevice() + u"img\\" + std::u16string(name.begin(), name.end());
  }
  uint32_t pixelAt(int x, int y) {
    plat::pumpPendingMessages();
    return screen.compose().pixel(x, y) & 0xFFFFFF;
  }
  void advance(uint64_t ms) {
    clock.advance(ms);
    plat::pumpPendingMessages();
  }
  size_t repeatsReceived(uint16_t id) const {
    size_t n = 0;
    for (const Command& c : received) n += (c.id == id && c.lParam == 0);
    return n;
  }

  skin::testing::TempDevice dev;
  plat::VirtualClock clock;
  plat::ScopedClock scoped{clock};
  plat::Screen screen{plat::Size{800, 480}};
  plat::Window host;
  std::vector<Command> received;
};

// 0x00RRGGBB as the composed frame reports pixels.
constexpr uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) { return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b; }

}  // namespace tunora::controls::testing
