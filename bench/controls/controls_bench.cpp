// Skinned button figures on the headless screen: the redraw of a pressed
// 160x80 button (one copy of its pre-stretched state image) and a tap from
// injection to the parent's command. Prints `figure` lines; --quick runs
// fewer rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "app/tests/skin_fixture.h"
#include "app/skin/image_cache.h"
#include "controls/skin_button.h"
#include "plat/gfx/image.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/input.h"

#include "common/bench_timing.h"

namespace {


int g_commands = 0;

std::u16string writeImage(tunora::skin::testing::TempDevice& dev, const char* name, uint8_t r) {
  plat::Surface s;
  s.reset(64, 32, plat::makePixel(r, 40, 90));
  std::string png;
  plat::encodePng(s, false, &png);
  dev.write(std::string("img/") + name, png);
  std::u16string path = dev.progDevice() + u"img\\";
  for (const char* c = name; *c; ++c) path.push_back(static_cast<char16_t>(*c));
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = bench::quickRun(argc, argv);
  const int rounds = quick ? 15 : 101;
  using namespace tunora;

  skin::testing::TempDevice dev;
  plat::Screen screen{plat::Size{800, 480}};
  screen.install();
  skin::imageCache().setEnabled(true);

  plat::WindowClass host;
  host.name = u"BenchHost";
  host.proc = [](plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
    if (m == plat::kMsgDrawItem) return controls::HandleSkinButtonDrawItem(w, lp) ? 1 : 0;
    if (m == plat::kMsgCommand) ++g_commands;
    return plat::defaultWindowProc(w, m, wp, lp);
  };
  plat::registerClass(host);
  plat::CreateWindowParams p;
  p.className = host.name;
  p.style = plat::kStyleVisible;
  p.rect = plat::Rect{0, 0, 800, 480};
  const plat::Window top = plat::createWindow(p);
  const plat::Window button = controls::CreateSkinButton(top, 1, plat::Rect{100, 100, 260, 180}, u"Play");
  const char* names[] = {"n.png", "h.png", "p.png", "d.png"};
  for (int s = 0; s < 4; ++s) controls::SetSkinButtonImage(button, s, writeImage(dev, names[s], uint8_t(60 * s)));
  plat::pumpPendingMessages();

  const double redrawNs = bench::medianNs(rounds, 50, [&] {
    plat::invalidate(button, nullptr, false);
    plat::updateWindow(button);
  });
  const double tapNs = bench::medianNs(rounds, 50, [&] {
    plat::injectTap(plat::Point{180, 140});
    plat::pumpPendingMessages();
  });
  std::printf("figure skin_button_redraw_us %.2f us\n", redrawNs / 1000.0);
  std::printf("figure skin_button_tap_to_command_us %.2f us\n", tapNs / 1000.0);
  std::fprintf(stderr, "commands handled: %d\n", g_commands);
  plat::destroyWindow(top);
  skin::imageCache().clear();
  return g_commands > 0 ? 0 : 1;
}
