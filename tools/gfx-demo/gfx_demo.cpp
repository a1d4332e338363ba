// Shows what the graphics layer draws: a main window with skinned-looking
// buttons, text in Japanese, Chinese and English, an image with alpha, a
// shaped pop-up window and a video frame behind a key-coloured area.
//   gfx-demo [--headless] [--screenshot PATH] [--scale 1|2]
// Without a display it says so and runs headless.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plat/gfx/compositor.h"
#include "plat/gfx/dc.h"
#include "plat/gfx/image.h"
#include "plat/gfx/region_data.h"
#include "plat/gfx/sdl_display.h"
#include "plat/gfx/display_input.h"
#include "plat/gfx/window_surfaces.h"
#include "plat/message.h"
#include "plat/window.h"

namespace {

using namespace plat;

constexpr Size kScreen{800, 480};
constexpr Rect kVideoRect{16, 64, 496, 334};

struct Button {
  Rect rect;
  std::u16string caption;
  bool pressed = false;
};

// A button face: vertical gradient, a lighter top edge and a dark border.
void drawButton(DeviceContext& dc, const Button& b, const FontPtr& font) {
  const ColorRef top = b.pressed ? makeColorRef(30, 70, 120) : makeColorRef(70, 130, 200);
  const ColorRef bottom = b.pressed ? makeColorRef(50, 100, 170) : makeColorRef(25, 60, 110);
  const int h = b.rect.height();
  for (int y = 0; y < h; ++y) {
    auto mix = [&](int shift) {
      const int a = (top >> shift) & 0xFF, c = (bottom >> shift) & 0xFF;
      return static_cast<uint8_t>(a + (c - a) * y / std::max(1, h - 1));
    };
    dc.fillRect(Rect{b.rect.left, b.rect.top + y, b.rect.right, b.rect.top + y + 1},
                makeColorRef(mix(0), mix(8), mix(16)));
  }
  dc.selectPen(solidPen(makeColorRef(10, 25, 45), 2));
  dc.selectBrush(stockBrush(StockBrush::Null));
  dc.rectangle(b.rect);
  dc.selectFont(font);
  dc.setBackgroundMode(BackgroundMode::Transparent);
  dc.setTextColor(b.pressed ? makeColorRef(0xC0, 0xD8, 0xF0) : makeColorRef(255, 255, 255));
  Rect text = b.rect;
  if (b.pressed) text = Rect{text.left + 2, text.top + 2, text.right + 2, text.bottom + 2};
  dc.drawText(b.caption, &text, 0x8825 | text_format::kCenter);
}

// A round badge with a soft edge, as an image with alpha.
Image makeBadge(int size) {
  Image img;
  img.pixels.reset(size, size);
  img.hasAlpha = true;
  const double c = (size - 1) / 2.0, r = size / 2.0 - 1;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double d = std::hypot(x - c, y - c);
      const double a = std::clamp(r - d, 0.0, 1.0) * (d < r * 0.6 ? 1.0 : 0.85);
      img.pixels.setPixel(x, y, makePixel(250, static_cast<uint8_t>(120 + 100 * y / size), 40,
                                          static_cast<uint8_t>(a * 255)));
    }
  return img;
}

// Colour bars in YUV 4:2:0, as the engine would hand them over.
void sendVideoFrame(VideoOverlay& overlay, int phase) {
  const int w = 320, h = 180;
  std::vector<uint8_t> y(w * h), u((w / 2) * (h / 2)), v((w / 2) * (h / 2));
  const uint8_t bars[7][3] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                              {84, 184, 198},  {65, 100, 212}, {35, 212, 114}};
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      const int bar = ((x + phase) % w) * 7 / w;
      y[row * w + x] = bars[bar][0];
      if (row % 2 == 0 && x % 2 == 0) {
        u[(row / 2) * (w / 2) + x / 2] = bars[bar][1];
        v[(row / 2) * (w / 2) + x / 2] = bars[bar][2];
      }
    }
  overlay.setFrameYuv420(w, h, y.data(), w, u.data(), w / 2, v.data(), w / 2);
}

// Shared by the window procedures: fonts, the badge image and the pop-up shape.
struct Assets {
  Image badge = makeBadge(96);
  FontPtr title = createFont(FontSpec{u"DejaVu Sans", 26, kWeightBold});
  FontPtr body = createFont(FontSpec{u"Noto Sans CJK JP", 22});
  FontPtr chinese =
      createFont(FontSpec{u"Noto Sans CJK SC", 22, kWeightNormal, kCharsetSimplifiedChinese});
  FontPtr button = createFont(FontSpec{u"Noto Sans CJK JP", 20, kWeightBold});
};
Assets* g_assets = nullptr;
std::vector<Button> g_buttons;  // indexed by control id - 1

void paintMain(DeviceContext& dc) {
  for (int y = 0; y < kScreen.height; ++y)
    dc.fillRect(Rect{0, y, kScreen.width, y + 1},
                makeColorRef(12, static_cast<uint8_t>(18 + y / 12), static_cast<uint8_t>(36 + y / 6)));
  dc.selectFont(g_assets->title);
  dc.setBackgroundMode(BackgroundMode::Transparent);
  dc.setTextColor(makeColorRef(255, 255, 255));
  dc.textOut(16, 16, u"Tunora");
  dc.fillRect(kVideoRect, kVideoKeyColor);  // the video shows through here
  dc.selectFont(g_assets->body);
  Rect jp{512, 64, 784, 140};
  dc.drawText(u"地上デジタル放送 ワンセグ\n番組表・録画・タイムシフト", &jp, text_format::kWordBreak);
  dc.selectFont(g_assets->chinese);
  dc.setTextColor(makeColorRef(255, 220, 120));
  Rect zh{512, 148, 784, 180};
  dc.drawText(u"数字电视 节目指南", &zh, 0x8824);
  dc.selectFont(g_assets->button);
  dc.setTextColor(makeColorRef(180, 200, 230));
  Rect en{512, 184, 784, 240};
  dc.drawText(u"Touch a button; long captions end with an ellipsis when they do not fit", &en,
              text_format::kWordBreak | text_format::kEndEllipsis);
  dc.drawImage(g_assets->badge, Rect::fromXYWH(400, 240, 96, 96));  // over the video's corner
}

void paintPopup(DeviceContext& dc, Window w) {
  const Rect client = clientRect(w);
  dc.fillRect(client, makeColorRef(240, 240, 236));
  dc.selectFont(g_assets->body);
  dc.setTextColor(makeColorRef(20, 30, 60));
  dc.setBackgroundMode(BackgroundMode::Transparent);
  Rect msg{16, 16, client.right - 16, client.bottom - 16};
  dc.drawText(u"緊急警報放送\nEmergency alarm\n紧急警报", &msg, text_format::kCenter);
}

LResult demoProc(Window w, uint32_t msg, WParam wp, LParam lp) {
  const int32_t id = controlId(w);
  Button* button = id >= 1 && id <= static_cast<int32_t>(g_buttons.size()) ? &g_buttons[id - 1] : nullptr;
  switch (msg) {
    case kMsgPaint: {
      PaintInfo info;
      if (!beginPaint(w, &info)) return 0;
      if (info.dc) {
        if (button) {
          Button local = *button;
          local.rect = clientRect(w);
          drawButton(*info.dc, local, g_assets->button);
        } else if (windowText(w) == u"popup") {
          paintPopup(*info.dc, w);
        } else {
          paintMain(*info.dc);
        }
      }
      endPaint(w, &info);
      return 0;
    }
    case kMsgMouseDown:
    case kMsgMouseUp:
      if (button) {
        button->pressed = msg == kMsgMouseDown;
        if (msg == kMsgMouseDown) setCapture(w);
        else releaseCapture();
        invalidate(w);
      }
      return 0;
    default:
      return defaultWindowProc(w, msg, wp, lp);
  }
}

Window makeWindow(const char16_t* title, uint32_t style, Rect rect, Window parent, int32_t id) {
  CreateWindowParams p;
  p.className = u"GfxDemo";
  p.title = title;
  p.style = style | (parent ? kStyleChild : 0u);
  p.rect = rect;
  p.parent = parent;
  p.controlId = id;
  return createWindow(p);
}

// The pop-up's shape: a rounded rectangle, as region data like a skin's ".rgn" file.
Region roundedShape(int w, int h, int radius) {
  RectList rows;
  for (int y = 0; y < h; ++y) {
    int inset = 0;
    const int dy = y < radius ? radius - y : (y >= h - radius ? y - (h - radius - 1) : 0);
    if (dy > 0) inset = radius - static_cast<int>(std::sqrt(double(radius * radius - dy * dy)));
    rows.push_back(Rect{inset, y, w - inset, y + 1});
  }
  Region shape;
  parseRegionData(encodeRegionData(rows), &shape);
  return shape;
}

int usage() {
  std::fprintf(stderr, "usage: gfx-demo [--headless] [--screenshot PATH] [--scale 1|2]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool headless = false;
  std::string screenshot;
  int scale = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) headless = true;
    else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) screenshot = argv[++i];
    else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) scale = std::atoi(argv[++i]);
    else return usage();
  }
  if (scale != 1 && scale != 2) return usage();

  Assets assets;
  g_assets = &assets;
  Screen screen(kScreen);
  screen.install();
  registerClass(WindowClass{u"GfxDemo", 0, demoProc, {}});
  Window main = makeWindow(u"main", kStyleVisible | kStyleClipChildren,
                           Rect{0, 0, kScreen.width, kScreen.height}, {}, 0);
  const char16_t* captions[] = {u"チャンネル", u"番組表", u"録画", u"Settings"};
  for (int i = 0; i < 4; ++i) {
    g_buttons.push_back(Button{Rect::fromXYWH(16 + i * 122, 400, 112, 64), captions[i]});
    makeWindow(u"", kStyleVisible, g_buttons.back().rect, main, i + 1);
  }
  const Rect popupRect{540, 250, 780, 460};
  Window popup = makeWindow(u"popup", kStyleVisible | kStyleNoActivate, popupRect, {}, 0);
  setWindowShape(popup, roundedShape(popupRect.width(), popupRect.height(), 24));

  VideoOverlay& overlay = videoOverlay();
  overlay.setRect(kVideoRect);
  sendVideoFrame(overlay, 0);
  pumpPendingMessages();
  screen.compose();

  std::string reason;
  if (!headless && !displayAvailable(&reason)) {
    std::fprintf(stderr, "gfx-demo: %s; running headless\n", reason.c_str());
    headless = true;
  }
  int result = 0;
  if (!screenshot.empty()) {
    const Status st = screen.writeScreenshot(screenshot);
    if (failed(st)) {
      std::fprintf(stderr, "gfx-demo: cannot write %s (%s)\n", screenshot.c_str(), statusName(st));
      result = 1;
    } else {
      std::printf("wrote %s\n", screenshot.c_str());
    }
  } else if (!headless) {
    std::string error;
    auto display = SdlDisplay::open(kScreen, scale, "Tunora graphics demo", &error);
    if (!display) {
      std::fprintf(stderr, "gfx-demo: %s\n", error.c_str());
      result = 1;
    } else {
      int phase = 0;
      while (!quitRequested()) {
        display->wait(33, [](const DisplayEvent& e) { deliverDisplayEvent(e); });
        pumpPendingMessages();
        sendVideoFrame(overlay, phase += 4);
        screen.compose();
        display->present(screen.frame());
      }
    }
  }
  destroyWindow(popup);
  destroyWindow(main);
  overlay.clear();
  overlay.setRect(Rect{});
  return result;
}
