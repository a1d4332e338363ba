// Graphics figures: composing a frame from ten windows, drawing a line of
// Japanese text with a warm glyph cache, stretching a video-sized frame.
// Prints `figure <name> <value> <unit>` lines; --quick runs fewer rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "plat/gfx/compositor.h"
#include "plat/gfx/dc.h"

#include "common/bench_timing.h"

namespace {


volatile uint32_t g_sink = 0;

}  // namespace

int main(int argc, char** argv) {
  const bool quick = bench::quickRun(argc, argv);
  const int rounds = quick ? 15 : 101;
  using namespace plat;

  // Ten windows: a full-screen main window with a key-coloured video area, a
  // control panel, a channel list with a shaped button, dialogs and toasts.
  VideoOverlay overlay;
  Compositor compositor(Size{800, 480}, &overlay);
  const Rect rects[10] = {{0, 0, 800, 480},   {0, 400, 800, 480}, {500, 0, 800, 400},
                          {100, 100, 400, 300}, {120, 120, 380, 280}, {600, 40, 760, 90},
                          {600, 100, 760, 150}, {600, 160, 760, 210}, {20, 20, 220, 60},
                          {300, 420, 500, 470}};
  std::vector<Surface> surfaces(10);
  std::vector<ComposeLayer> layers;
  Region round = Region::fromRects(std::vector<Rect>{Rect{10, 0, 150, 50}, Rect{0, 10, 160, 40}});
  for (int i = 0; i < 10; ++i) {
    const Rect& r = rects[i];
    surfaces[i].reset(r.width(), r.height(), makePixel(static_cast<uint8_t>(20 * i), 40, 90));
    layers.push_back(ComposeLayer{&surfaces[i], r, i >= 5 && i <= 7 ? &round : nullptr});
  }
  surfaces[0].fill(Rect{0, 0, 480, 400}, pixelFromColorRef(kVideoKeyColor));
  overlay.setRect(Rect{0, 0, 480, 400});
  std::vector<uint32_t> video(320 * 240, 0xFF336699u);
  overlay.setFrameRgb(320, 240, video.data(), 320 * 4);
  const double composeNs = bench::medianNs(rounds, 10, [&] { compositor.compose(layers); });
  std::vector<uint32_t> a(800 * 480, 1), b(800 * 480);
  const double memcpyNs = bench::medianNs(rounds, 10, [&] {
    std::memcpy(b.data(), a.data(), a.size() * sizeof(uint32_t));
    g_sink = g_sink + b[12345];
  });
  std::printf("figure compose_frame_ms %.3f ms\n", composeNs / 1e6);
  std::printf("figure compose_vs_memcpy %.2f x\n", composeNs / memcpyNs);

  // Twenty Japanese characters on one 24-pixel line.
  auto dc = DeviceContext::createMemory();
  BitmapPtr bitmap = Bitmap::create(800, 40);
  dc->selectBitmap(bitmap);
  dc->selectFont(createFont(FontSpec{u"Noto Sans CJK JP", 24}));
  dc->setBackgroundMode(BackgroundMode::Transparent);
  dc->setTextColor(makeColorRef(255, 255, 255));
  const std::u16string line = u"地上デジタル放送の番組表を表示しています。";
  Rect r{0, 0, 800, 40};
  dc->drawText(line.substr(0, 20), &r, text_format::kSingleLine);  // warm the glyph cache
  const double textNs = bench::medianNs(rounds, 100, [&] {
    Rect rr{0, 0, 800, 40};
    dc->drawText(std::u16string_view(line).substr(0, 20), &rr, text_format::kSingleLine | text_format::kVCenter);
  });
  std::printf("figure text_line_us %.2f us\n", textNs / 1e3);

  // A 320 x 240 video frame stretched to the whole screen.
  Surface small;
  small.reset(320, 240, makePixel(10, 200, 30));
  auto screen = DeviceContext::createMemory();
  screen->selectBitmap(Bitmap::create(800, 480));
  const double stretchNs = bench::medianNs(rounds, 10, [&] {
    screen->stretchSurface(Rect{0, 0, 800, 480}, small, small.bounds());
  });
  std::printf("figure stretch_frame_ms %.3f ms\n", stretchNs / 1e6);
  return 0;
}
