// skingen: draws the default skin's images from a manifest. Every picture of
// the skin documents is listed in the manifest with what it shows, so the
// skin's look is source code: one icon set, one palette, one button shape.
//   skingen MANIFEST OUTDIR
// Manifest lines (blank lines and '#' comments are skipped):
//   PATH KIND WIDTH HEIGHT [ARG...]
// Kinds:
//   button ICON STATE [TONE]  a rounded button face with an icon; states 0
//                              normal, 1 highlight, 2 pressed, 3 disabled;
//                              TONE "red" or "accent" colours the icon. A
//                              ".rgn" file with the face's shape is written beside it.
//   text LABEL STATE          a rounded button face with a caption (UTF-8, '_' = space)
//   icon ICON TONE            an icon on a transparent ground
//   panel STYLE               backgrounds: main, dialog, list, splash, wait, row,
//                             rowsel, track, fill, thumb, box, bar, title, header
//   signal LEVEL              signal bars 0..5
//   battery LEVEL CHARGING    battery 0..5, charging 0/1
//   volume LEVEL MAX          volume bar at a level
//   spinner FRAME COUNT       one frame of the waiting animation
//   logo                      the product mark
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "plat/gfx/dc.h"
#include "plat/gfx/font.h"
#include "plat/gfx/image.h"
#include "plat/gfx/region_data.h"
#include "plat/text.h"

namespace {

using plat::Pixel;
using plat::Surface;

struct Rgba {
  double r, g, b, a = 1.0;
};

// The palette: a dark, high-contrast car-screen look.
const Rgba kInk{0.96, 0.97, 1.0};          // icons and text
const Rgba kInkDim{0.45, 0.49, 0.56};      // disabled icons
const Rgba kGround{0.035, 0.055, 0.10};    // window ground
const Rgba kPanel{0.09, 0.13, 0.21};       // button and panel faces
const Rgba kPanelHi{0.15, 0.21, 0.32};     // highlight face
const Rgba kAccent{0.0, 0.70, 1.0};        // selection, pressed, progress
const Rgba kEdge{0.24, 0.32, 0.46};        // face borders
const Rgba kRed{1.0, 0.23, 0.19};          // record
const Rgba kGreen{0.20, 0.85, 0.45};       // good signal, charge
const Rgba kAmber{1.0, 0.72, 0.10};        // warnings

// A shape is a signed-distance function: negative inside, in pixels.
using Sdf = std::function<double(double x, double y)>;

Sdf circle(double cx, double cy, double r) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}
Sdf ring(double cx, double cy, double r, double w) {
  return [=](double x, double y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - w / 2; };
}
Sdf roundRect(double l, double t, double r, double b, double rad) {
  return [=](double x, double y) {
    const double cx = (l + r) / 2, cy = (t + b) / 2, hw = (r - l) / 2 - rad, hh = (b - t) / 2 - rad;
    const double qx = std::fabs(x - cx) - hw, qy = std::fabs(y - cy) - hh;
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - rad;
  };
}
Sdf capsule(double x0, double y0, double x1, double y1, double w) {
  return [=](double x, double y) {
    const double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - w / 2;
  };
}
// A convex polygon given clockwise (in screen coordinates).
Sdf polygon(std::vector<std::pair<double, double>> pts) {
  return [=](double x, double y) {
    double d = -1e9;
    for (size_t i = 0; i < pts.size(); ++i) {
      const auto [ax, ay] = pts[i];
      const auto [bx, by] = pts[(i + 1) % pts.size()];
      const double ex = bx - ax, ey = by - ay, len = std::hypot(ex, ey);
      d = std::max(d, ((x - ax) * ey - (y - ay) * ex) / len);
    }
    return d;
  };
}
Sdf unite(std::vector<Sdf> parts) {
  return [=](double x, double y) {
    double d = 1e9;
    for (const Sdf& p : parts) d = std::min(d, p(x, y));
    return d;
  };
}
Sdf subtract(Sdf a, Sdf b) {
  return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}
// An arc of a ring between two angles (radians, 0 = right, clockwise on screen).
Sdf arc(double cx, double cy, double r, double w, double a0, double a1) {
  return [=](double x, double y) {
    double a = std::atan2(y - cy, x - cx);
    while (a < a0) a += 2 * M_PI;
    if (a <= a1) return std::fabs(std::hypot(x - cx, y - cy) - r) - w / 2;
    const double e0 = std::hypot(x - (cx + r * std::cos(a0)), y - (cy + r * std::sin(a0)));
    const double e1 = std::hypot(x - (cx + r * std::cos(a1)), y - (cy + r * std::sin(a1)));
    return std::min(e0, e1) - w / 2;
  };
}

Rgba mix(const Rgba& a, const Rgba& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// Paints a shape over the surface with anti-aliased edges; `color` may vary by y.
void fill(Surface& s, const Sdf& shape, const std::function<Rgba(double y)>& color) {
  for (int y = 0; y < s.height(); ++y) {
    const Rgba c = color(y + 0.5);
    for (int x = 0; x < s.width(); ++x) {
      const double cover = std::clamp(0.5 - shape(x + 0.5, y + 0.5), 0.0, 1.0) * c.a;
      if (cover <= 0) continue;
      const Pixel p = s.pixel(x, y);
      const double da = ((p >> 24) & 0xFF) / 255.0;
      const double oa = cover + da * (1 - cover);
      auto ch = [&](int shift, double src) {
        const double dst = ((p >> shift) & 0xFF) / 255.0;
        return oa > 0 ? (src * cover + dst * da * (1 - cover)) / oa : 0.0;
      };
      auto b8 = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
      s.setPixel(x, y, plat::makePixel(b8(ch(16, c.r)), b8(ch(8, c.g)), b8(ch(0, c.b)), b8(oa)));
    }
  }
}
void fill(Surface& s, const Sdf& shape, const Rgba& c) {
  fill(s, shape, [&](double) { return c; });
}

// Icons are drawn in a square box of side `u` centred at (cx, cy).
struct Box {
  double cx, cy, u;
  double X(double fx) const { return cx + (fx - 0.5) * u; }
  double Y(double fy) const { return cy + (fy - 0.5) * u; }
  double L(double f) const { return f * u; }
};

Sdf speaker(const Box& b) {
  return polygon({{b.X(0.02), b.Y(0.32)}, {b.X(0.26), b.Y(0.32)}, {b.X(0.56), b.Y(0.06)},
                  {b.X(0.56), b.Y(0.94)}, {b.X(0.26), b.Y(0.68)}, {b.X(0.02), b.Y(0.68)}});
}

Sdf gear(const Box& b) {
  std::vector<Sdf> parts{circle(b.X(0.5), b.Y(0.5), b.L(0.30))};
  for (int i = 0; i < 8; ++i) {
    const double a = i * M_PI / 4;
    parts.push_back(capsule(b.X(0.5), b.Y(0.5), b.X(0.5 + 0.40 * std::cos(a)), b.Y(0.5 + 0.40 * std::sin(a)),
                            b.L(0.16)));
  }
  return subtract(unite(parts), circle(b.X(0.5), b.Y(0.5), b.L(0.13)));
}

// The one icon set of the skin. Unknown names draw nothing (and are reported).
bool iconShape(const std::string& name, const Box& b, Sdf* out) {
  const double w = b.L(0.11);  // stroke width
  std::map<std::string, std::function<Sdf()>> icons = {
      {"play", [&] { return polygon({{b.X(0.26), b.Y(0.14)}, {b.X(0.86), b.Y(0.5)}, {b.X(0.26), b.Y(0.86)}}); }},
      {"pause", [&] { return unite({roundRect(b.X(0.22), b.Y(0.16), b.X(0.42), b.Y(0.84), b.L(0.04)),
                                    roundRect(b.X(0.58), b.Y(0.16), b.X(0.78), b.Y(0.84), b.L(0.04))}); }},
      {"stop", [&] { return roundRect(b.X(0.2), b.Y(0.2), b.X(0.8), b.Y(0.8), b.L(0.06)); }},
      {"record", [&] { return circle(b.X(0.5), b.Y(0.5), b.L(0.32)); }},
      {"snapshot", [&] {
         return subtract(unite({roundRect(b.X(0.08), b.Y(0.28), b.X(0.92), b.Y(0.84), b.L(0.08)),
                                roundRect(b.X(0.34), b.Y(0.16), b.X(0.66), b.Y(0.32), b.L(0.04))}),
                         ring(b.X(0.5), b.Y(0.56), b.L(0.16), b.L(0.08)));
       }},
      {"timeshift", [&] {
         return unite({arc(b.X(0.5), b.Y(0.52), b.L(0.34), w, -M_PI * 0.35, M_PI * 1.45),
                       polygon({{b.X(0.62), b.Y(0.06)}, {b.X(0.86), b.Y(0.20)}, {b.X(0.62), b.Y(0.34)}}),
                       capsule(b.X(0.5), b.Y(0.52), b.X(0.5), b.Y(0.32), w),
                       capsule(b.X(0.5), b.Y(0.52), b.X(0.64), b.Y(0.60), w)});
       }},
      {"guide", [&] {
         std::vector<Sdf> cells;
         for (int r = 0; r < 3; ++r) {
           cells.push_back(roundRect(b.X(0.1), b.Y(0.14 + r * 0.26), b.X(0.32), b.Y(0.32 + r * 0.26), b.L(0.03)));
           cells.push_back(roundRect(b.X(0.40), b.Y(0.14 + r * 0.26), b.X(0.90), b.Y(0.32 + r * 0.26), b.L(0.03)));
         }
         return unite(cells);
       }},
      {"chup", [&] { return unite({capsule(b.X(0.18), b.Y(0.66), b.X(0.5), b.Y(0.32), b.L(0.14)),
                                   capsule(b.X(0.82), b.Y(0.66), b.X(0.5), b.Y(0.32), b.L(0.14))}); }},
      {"chdown", [&] { return unite({capsule(b.X(0.18), b.Y(0.34), b.X(0.5), b.Y(0.68), b.L(0.14)),
                                     capsule(b.X(0.82), b.Y(0.34), b.X(0.5), b.Y(0.68), b.L(0.14))}); }},
      {"up", [&] { return polygon({{b.X(0.5), b.Y(0.22)}, {b.X(0.84), b.Y(0.70)}, {b.X(0.16), b.Y(0.70)}}); }},
      {"down", [&] { return polygon({{b.X(0.16), b.Y(0.30)}, {b.X(0.84), b.Y(0.30)}, {b.X(0.5), b.Y(0.78)}}); }},
      {"left", [&] { return polygon({{b.X(0.30), b.Y(0.5)}, {b.X(0.72), b.Y(0.16)}, {b.X(0.72), b.Y(0.84)}}); }},
      {"right", [&] { return polygon({{b.X(0.28), b.Y(0.16)}, {b.X(0.70), b.Y(0.5)}, {b.X(0.28), b.Y(0.84)}}); }},
      {"volume", [&] { return unite({speaker(b), arc(b.X(0.52), b.Y(0.5), b.L(0.2), w, -0.8, 0.8),
                                     arc(b.X(0.52), b.Y(0.5), b.L(0.36), w, -0.8, 0.8)}); }},
      {"volup", [&] { return unite({speaker(b), capsule(b.X(0.64), b.Y(0.5), b.X(0.94), b.Y(0.5), w),
                                    capsule(b.X(0.79), b.Y(0.35), b.X(0.79), b.Y(0.65), w)}); }},
      {"voldown", [&] { return unite({speaker(b), capsule(b.X(0.64), b.Y(0.5), b.X(0.94), b.Y(0.5), w)}); }},
      {"mute", [&] { return unite({speaker(b), capsule(b.X(0.64), b.Y(0.36), b.X(0.92), b.Y(0.64), w),
                                   capsule(b.X(0.64), b.Y(0.64), b.X(0.92), b.Y(0.36), w)}); }},
      {"settings", [&] { return gear(b); }},
      {"playlist", [&] {
         return unite({capsule(b.X(0.1), b.Y(0.2), b.X(0.66), b.Y(0.2), w), capsule(b.X(0.1), b.Y(0.4), b.X(0.66), b.Y(0.4), w),
                       capsule(b.X(0.1), b.Y(0.6), b.X(0.44), b.Y(0.6), w), circle(b.X(0.66), b.Y(0.78), b.L(0.12)),
                       capsule(b.X(0.75), b.Y(0.78), b.X(0.75), b.Y(0.36), w), capsule(b.X(0.75), b.Y(0.36), b.X(0.9), b.Y(0.44), w)});
       }},
      {"folder", [&] { return unite({roundRect(b.X(0.08), b.Y(0.30), b.X(0.92), b.Y(0.84), b.L(0.06)),
                                     roundRect(b.X(0.08), b.Y(0.20), b.X(0.42), b.Y(0.36), b.L(0.05))}); }},
      {"folderup", [&] { return subtract(unite({roundRect(b.X(0.08), b.Y(0.30), b.X(0.92), b.Y(0.84), b.L(0.06)),
                                                roundRect(b.X(0.08), b.Y(0.20), b.X(0.42), b.Y(0.36), b.L(0.05))}),
                                         polygon({{b.X(0.5), b.Y(0.40)}, {b.X(0.7), b.Y(0.62)}, {b.X(0.3), b.Y(0.62)}})); }},
      {"file", [&] { return subtract(polygon({{b.X(0.2), b.Y(0.08)}, {b.X(0.62), b.Y(0.08)}, {b.X(0.82), b.Y(0.28)},
                                               {b.X(0.82), b.Y(0.92)}, {b.X(0.2), b.Y(0.92)}}),
                                      polygon({{b.X(0.38), b.Y(0.36)}, {b.X(0.68), b.Y(0.56)}, {b.X(0.38), b.Y(0.76)}})); }},
      {"fullscreen", [&] {
         std::vector<Sdf> c;
         for (int sx : {0, 1})
           for (int sy : {0, 1}) {
             const double x = sx ? 0.86 : 0.14, y = sy ? 0.86 : 0.14, dx = sx ? -0.26 : 0.26, dy = sy ? -0.26 : 0.26;
             c.push_back(capsule(b.X(x), b.Y(y), b.X(x + dx), b.Y(y), w));
             c.push_back(capsule(b.X(x), b.Y(y), b.X(x), b.Y(y + dy), w));
           }
         return unite(c);
       }},
      {"list", [&] {
         std::vector<Sdf> c;
         for (int r = 0; r < 3; ++r) {
           c.push_back(circle(b.X(0.14), b.Y(0.24 + r * 0.26), b.L(0.07)));
           c.push_back(capsule(b.X(0.32), b.Y(0.24 + r * 0.26), b.X(0.88), b.Y(0.24 + r * 0.26), w));
         }
         return unite(c);
       }},
      {"close", [&] { return unite({capsule(b.X(0.22), b.Y(0.22), b.X(0.78), b.Y(0.78), b.L(0.13)),
                                    capsule(b.X(0.22), b.Y(0.78), b.X(0.78), b.Y(0.22), b.L(0.13))}); }},
      {"minimize", [&] { return capsule(b.X(0.22), b.Y(0.74), b.X(0.78), b.Y(0.74), b.L(0.13)); }},
      {"shuffle", [&] {
         return unite({capsule(b.X(0.1), b.Y(0.3), b.X(0.72), b.Y(0.7), w), capsule(b.X(0.1), b.Y(0.7), b.X(0.72), b.Y(0.3), w),
                       polygon({{b.X(0.68), b.Y(0.16)}, {b.X(0.92), b.Y(0.30)}, {b.X(0.68), b.Y(0.44)}}),
                       polygon({{b.X(0.68), b.Y(0.56)}, {b.X(0.92), b.Y(0.70)}, {b.X(0.68), b.Y(0.84)}})});
       }},
      {"ordered", [&] {
         return unite({capsule(b.X(0.1), b.Y(0.3), b.X(0.72), b.Y(0.3), w), capsule(b.X(0.1), b.Y(0.7), b.X(0.72), b.Y(0.7), w),
                       polygon({{b.X(0.68), b.Y(0.16)}, {b.X(0.92), b.Y(0.30)}, {b.X(0.68), b.Y(0.44)}}),
                       polygon({{b.X(0.68), b.Y(0.56)}, {b.X(0.92), b.Y(0.70)}, {b.X(0.68), b.Y(0.84)}})});
       }},
      {"rewind", [&] { return unite({polygon({{b.X(0.06), b.Y(0.5)}, {b.X(0.48), b.Y(0.2)}, {b.X(0.48), b.Y(0.8)}}),
                                     polygon({{b.X(0.48), b.Y(0.5)}, {b.X(0.90), b.Y(0.2)}, {b.X(0.90), b.Y(0.8)}})}); }},
      {"forward", [&] { return unite({polygon({{b.X(0.10), b.Y(0.2)}, {b.X(0.52), b.Y(0.5)}, {b.X(0.10), b.Y(0.8)}}),
                                      polygon({{b.X(0.52), b.Y(0.2)}, {b.X(0.94), b.Y(0.5)}, {b.X(0.52), b.Y(0.8)}})}); }},
      {"return", [&] { return unite({arc(b.X(0.52), b.Y(0.5), b.L(0.28), w, -M_PI / 2, M_PI / 2),
                                     capsule(b.X(0.3), b.Y(0.22), b.X(0.52), b.Y(0.22), w),
                                     capsule(b.X(0.52), b.Y(0.78), b.X(0.2), b.Y(0.78), w),
                                     polygon({{b.X(0.08), b.Y(0.22)}, {b.X(0.32), b.Y(0.06)}, {b.X(0.32), b.Y(0.38)}})}); }},
      {"lock", [&] { return unite({roundRect(b.X(0.2), b.Y(0.44), b.X(0.8), b.Y(0.9), b.L(0.06)),
                                   arc(b.X(0.5), b.Y(0.44), b.L(0.2), w, M_PI, 2 * M_PI)}); }},
      {"unlock", [&] { return unite({roundRect(b.X(0.2), b.Y(0.44), b.X(0.8), b.Y(0.9), b.L(0.06)),
                                     arc(b.X(0.5), b.Y(0.30), b.L(0.2), w, M_PI, 1.9 * M_PI)}); }},
      {"music", [&] { return unite({circle(b.X(0.32), b.Y(0.74), b.L(0.14)), circle(b.X(0.74), b.Y(0.66), b.L(0.14)),
                                    capsule(b.X(0.44), b.Y(0.74), b.X(0.44), b.Y(0.18), w),
                                    capsule(b.X(0.86), b.Y(0.66), b.X(0.86), b.Y(0.10), w),
                                    capsule(b.X(0.44), b.Y(0.18), b.X(0.86), b.Y(0.10), b.L(0.14))}); }},
      {"antenna", [&] { return unite({capsule(b.X(0.5), b.Y(0.4), b.X(0.5), b.Y(0.92), w), circle(b.X(0.5), b.Y(0.36), b.L(0.08)),
                                      arc(b.X(0.5), b.Y(0.36), b.L(0.2), w, -0.7, 0.7), arc(b.X(0.5), b.Y(0.36), b.L(0.2), w, M_PI - 0.7, M_PI + 0.7),
                                      arc(b.X(0.5), b.Y(0.36), b.L(0.36), w, -0.7, 0.7), arc(b.X(0.5), b.Y(0.36), b.L(0.36), w, M_PI - 0.7, M_PI + 0.7)}); }},
      {"novideo", [&] { return unite({subtract(roundRect(b.X(0.06), b.Y(0.2), b.X(0.94), b.Y(0.78), b.L(0.06)),
                                               roundRect(b.X(0.16), b.Y(0.3), b.X(0.84), b.Y(0.68), b.L(0.02))),
                                      capsule(b.X(0.12), b.Y(0.9), b.X(0.88), b.Y(0.1), w)}); }},
      {"warning", [&] { return subtract(polygon({{b.X(0.5), b.Y(0.08)}, {b.X(0.94), b.Y(0.88)}, {b.X(0.06), b.Y(0.88)}}),
                                         unite({capsule(b.X(0.5), b.Y(0.36), b.X(0.5), b.Y(0.6), w), circle(b.X(0.5), b.Y(0.74), b.L(0.06))})); }},
      {"check", [&] { return unite({capsule(b.X(0.16), b.Y(0.52), b.X(0.40), b.Y(0.76), b.L(0.13)),
                                    capsule(b.X(0.40), b.Y(0.76), b.X(0.86), b.Y(0.26), b.L(0.13))}); }},
      {"data", [&] { return unite({ring(b.X(0.5), b.Y(0.5), b.L(0.36), w), circle(b.X(0.5), b.Y(0.5), b.L(0.12))}); }},
      {"subtitle", [&] { return subtract(roundRect(b.X(0.06), b.Y(0.18), b.X(0.94), b.Y(0.82), b.L(0.1)),
                                         unite({capsule(b.X(0.2), b.Y(0.44), b.X(0.5), b.Y(0.44), w), capsule(b.X(0.6), b.Y(0.44), b.X(0.8), b.Y(0.44), w),
                                                capsule(b.X(0.2), b.Y(0.62), b.X(0.36), b.Y(0.62), w), capsule(b.X(0.46), b.Y(0.62), b.X(0.8), b.Y(0.62), w)})); }},
      {"language", [&] { return unite({subtract(roundRect(b.X(0.06), b.Y(0.14), b.X(0.94), b.Y(0.7), b.L(0.12)),
                                                roundRect(b.X(0.16), b.Y(0.24), b.X(0.84), b.Y(0.6), b.L(0.06))),
                                       polygon({{b.X(0.24), b.Y(0.66)}, {b.X(0.46), b.Y(0.66)}, {b.X(0.24), b.Y(0.9)}})}); }},
      {"help", [&] { return unite({arc(b.X(0.5), b.Y(0.34), b.L(0.2), w, M_PI, 2.4 * M_PI),
                                   capsule(b.X(0.5), b.Y(0.52), b.X(0.5), b.Y(0.62), w), circle(b.X(0.5), b.Y(0.8), b.L(0.07))}); }},
      {"navi", [&] { return polygon({{b.X(0.5), b.Y(0.08)}, {b.X(0.86), b.Y(0.9)}, {b.X(0.5), b.Y(0.7)}, {b.X(0.14), b.Y(0.9)}}); }},
      {"movie", [&] { return subtract(roundRect(b.X(0.08), b.Y(0.2), b.X(0.92), b.Y(0.8), b.L(0.06)),
                                      polygon({{b.X(0.40), b.Y(0.34)}, {b.X(0.64), b.Y(0.5)}, {b.X(0.40), b.Y(0.66)}})); }},
      {"text", [&] { return unite({capsule(b.X(0.12), b.Y(0.24), b.X(0.88), b.Y(0.24), w), capsule(b.X(0.12), b.Y(0.5), b.X(0.88), b.Y(0.5), w),
                                   capsule(b.X(0.12), b.Y(0.76), b.X(0.6), b.Y(0.76), w)}); }},
      {"apply", [&] { return unite({capsule(b.X(0.16), b.Y(0.52), b.X(0.40), b.Y(0.76), b.L(0.13)),
                                    capsule(b.X(0.40), b.Y(0.76), b.X(0.86), b.Y(0.26), b.L(0.13))}); }},
      {"reset", [&] { return unite({arc(b.X(0.5), b.Y(0.52), b.L(0.32), w, -M_PI * 0.2, M_PI * 1.5),
                                    polygon({{b.X(0.66), b.Y(0.08)}, {b.X(0.90), b.Y(0.26)}, {b.X(0.62), b.Y(0.36)}})}); }},
      {"plus", [&] { return unite({capsule(b.X(0.2), b.Y(0.5), b.X(0.8), b.Y(0.5), b.L(0.14)),
                                   capsule(b.X(0.5), b.Y(0.2), b.X(0.5), b.Y(0.8), b.L(0.14))}); }},
      {"minus", [&] { return capsule(b.X(0.2), b.Y(0.5), b.X(0.8), b.Y(0.5), b.L(0.14)); }},
      {"none", [&] { return Sdf([](double, double) { return 1e9; }); }},
  };
  const auto it = icons.find(name);
  if (it == icons.end()) return false;
  *out = it->second();
  return true;
}

Rgba toneColor(const std::string& tone, const Rgba& fallback) {
  if (tone == "red") return kRed;
  if (tone == "accent") return kAccent;
  if (tone == "amber") return kAmber;
  if (tone == "green") return kGreen;
  if (tone == "white") return kInk;
  return fallback;
}

double radiusFor(int w, int h) { return std::max(4.0, std::min(w, h) * 0.18); }

// Button faces by state: 0 normal, 1 highlight, 2 pressed, 3 disabled.
void drawFace(Surface& s, int state) {
  const double w = s.width(), h = s.height(), r = radiusFor(s.width(), s.height());
  const Sdf outer = roundRect(1, 1, w - 1, h - 1, r);
  const Sdf inner = roundRect(3, 3, w - 3, h - 3, r - 2);
  Rgba top = kPanelHi, bottom = kPanel, edge = kEdge;
  if (state == 1) top = mix(kPanelHi, kAccent, 0.25), edge = kAccent;
  if (state == 2) top = mix(kAccent, kInk, 0.15), bottom = mix(kAccent, kGround, 0.35), edge = kInk;
  if (state == 3) top = mix(kPanel, kGround, 0.3), bottom = mix(kPanel, kGround, 0.5), edge = mix(kEdge, kGround, 0.5);
  fill(s, outer, edge);
  fill(s, inner, [&](double y) { return mix(top, bottom, y / h); });
}

Rgba iconInk(int state, const Rgba& tone) {
  if (state == 3) return kInkDim;
  if (state == 2) return tone.r > 0.9 && tone.g < 0.5 ? kInk : kGround;
  return tone;
}

bool drawIcon(Surface& s, const std::string& icon, const Rgba& ink, double scale) {
  const Box box{s.width() / 2.0, s.height() / 2.0, std::min(s.width(), s.height()) * scale};
  Sdf shape;
  if (!iconShape(icon, box, &shape)) return false;
  fill(s, shape, ink);
  return true;
}

// Text with the skin's Japanese-capable face, centred in `r`. The glyphs are
// rendered white on black first and their coverage blended in as alpha, so
// text keeps a transparent ground where the picture has one.
void drawLabel(Surface& s, const std::u16string& text, plat::Rect r, int height, plat::ColorRef color,
               int32_t weight = plat::kWeightBold) {
  Surface mask;
  mask.reset(s.width(), s.height(), plat::makePixel(0, 0, 0));
  auto dc = plat::DeviceContext::createForSurface(&mask, plat::Point{0, 0}, plat::RectList{mask.bounds()});
  dc->selectFont(plat::createFont(plat::FontSpec{u"Noto Sans CJK JP", height, weight, plat::kCharsetJapanese}));
  dc->setBackgroundMode(plat::BackgroundMode::Transparent);
  dc->setTextColor(plat::makeColorRef(255, 255, 255));
  dc->drawText(text, &r, plat::text_format::kCenter | plat::text_format::kVCenter | plat::text_format::kSingleLine);
  const Rgba ink{plat::redOf(color) / 255.0, plat::greenOf(color) / 255.0, plat::blueOf(color) / 255.0};
  fill(s, [&](double x, double y) {
    const double cover = ((mask.pixel(static_cast<int>(x), static_cast<int>(y)) >> 8) & 0xFF) / 255.0;
    return 0.5 - cover;
  }, ink);
}

plat::ColorRef ref(const Rgba& c) {
  return plat::makeColorRef(static_cast<uint8_t>(c.r * 255), static_cast<uint8_t>(c.g * 255),
                            static_cast<uint8_t>(c.b * 255));
}

bool drawPanel(Surface& s, const std::string& style) {
  const double w = s.width(), h = s.height();
  auto gradient = [&](Rgba a, Rgba b) { fill(s, roundRect(-10, -10, w + 10, h + 10, 0), [&](double y) { return mix(a, b, y / h); }); };
  if (style == "main" || style == "splash" || style == "wait" || style == "dialog" || style == "list") {
    gradient(mix(kGround, kPanel, 0.5), kGround);
    if (style == "main") {
      fill(s, roundRect(-10, -10, w + 10, h * 0.11, 0), mix(kPanel, kGround, 0.2));
      fill(s, roundRect(-10, h * 0.11, w + 10, h * 0.11 + 2, 0), kAccent);
      fill(s, roundRect(-10, h * 0.835, w + 10, h + 10, 0), mix(kPanel, kGround, 0.35));
    }
    if (style == "dialog") {
      fill(s, subtract(roundRect(0, 0, w, h, 14), roundRect(3, 3, w - 3, h - 3, 12)), kAccent);
    }
    if (style == "splash" || style == "wait") {
      const Box b{w / 2, h * 0.36, h * 0.32};
      Sdf tv = subtract(roundRect(b.X(0.02), b.Y(0.1), b.X(0.98), b.Y(0.78), b.L(0.08)),
                        roundRect(b.X(0.1), b.Y(0.18), b.X(0.9), b.Y(0.70), b.L(0.04)));
      fill(s, tv, kAccent);
      fill(s, polygon({{b.X(0.42), b.Y(0.32)}, {b.X(0.66), b.Y(0.44)}, {b.X(0.42), b.Y(0.56)}}), kInk);
      fill(s, capsule(b.X(0.3), b.Y(0.92), b.X(0.7), b.Y(0.92), b.L(0.06)), kAccent);
      drawLabel(s, u"Tunora", plat::Rect{0, static_cast<int>(h * 0.56), static_cast<int>(w), static_cast<int>(h * 0.70)},
                static_cast<int>(h * 0.11), ref(kInk));
      if (style == "splash") {
        drawLabel(s, u"ワンセグ テレビ", plat::Rect{0, static_cast<int>(h * 0.70), static_cast<int>(w), static_cast<int>(h * 0.80)},
                  static_cast<int>(h * 0.065), ref(mix(kInk, kAccent, 0.4)), plat::kWeightNormal);
        drawLabel(s, u"起動しています…", plat::Rect{0, static_cast<int>(h * 0.84), static_cast<int>(w), static_cast<int>(h * 0.93)},
                  static_cast<int>(h * 0.05), ref(kInkDim), plat::kWeightNormal);
      }
    }
    return true;
  }
  if (style == "row") { gradient(kPanel, mix(kPanel, kGround, 0.4)); fill(s, roundRect(-1, h - 1, w + 1, h + 1, 0), kEdge); return true; }
  if (style == "rowsel") { gradient(mix(kAccent, kPanel, 0.3), mix(kAccent, kGround, 0.5)); return true; }
  if (style == "title" || style == "header") { gradient(kPanelHi, kPanel); fill(s, roundRect(-1, h - 2, w + 1, h + 1, 0), kAccent); return true; }
  if (style == "track" || style == "bar") {
    fill(s, roundRect(0, h * 0.3, w, h * 0.7, h * 0.2), kEdge);
    fill(s, roundRect(2, h * 0.3 + 2, w - 2, h * 0.7 - 2, h * 0.2 - 2), kGround);
    return true;
  }
  if (style == "fill") { fill(s, roundRect(0, h * 0.3, w, h * 0.7, h * 0.2), kAccent); return true; }
  if (style == "thumb") {
    fill(s, roundRect(w * 0.22, 1, w * 0.78, h - 1, w * 0.2), kInk);
    fill(s, roundRect(w * 0.22 + 3, 4, w * 0.78 - 3, h - 4, w * 0.2 - 3), kAccent);
    return true;
  }
  if (style == "knob") { fill(s, circle(w / 2, h / 2, std::min(w, h) / 2 - 1), kInk); fill(s, circle(w / 2, h / 2, std::min(w, h) / 2 - 5), kAccent); return true; }
  if (style == "box") { fill(s, roundRect(0, 0, w, h, 4), kEdge); return true; }
  if (style == "strack") { gradient(kGround, mix(kGround, kPanel, 0.5)); fill(s, roundRect(w * 0.4, 0, w * 0.6, h, w * 0.1), kEdge); return true; }
  if (style == "infobar") { gradient(mix(kPanel, kGround, 0.2), kPanel); fill(s, roundRect(0, 0, 6, h, 0), kAccent); return true; }
  return false;
}

void drawSignal(Surface& s, int level) {
  const double w = s.width(), h = s.height();
  for (int i = 0; i < 5; ++i) {
    const double bw = w / 5.0, x = i * bw + 2, top = h - (i + 1) * (h - 4) / 5.0 - 2;
    const Rgba c = i < level ? (level <= 1 ? kRed : level <= 2 ? kAmber : kGreen) : mix(kEdge, kGround, 0.3);
    fill(s, roundRect(x, top, x + bw - 4, h - 2, 2), c);
  }
}

void drawBattery(Surface& s, int level, bool charging) {
  const double w = s.width(), h = s.height();
  fill(s, subtract(roundRect(2, h * 0.2, w - 8, h * 0.8, 4), roundRect(5, h * 0.2 + 3, w - 11, h * 0.8 - 3, 2)), kInk);
  fill(s, roundRect(w - 8, h * 0.38, w - 3, h * 0.62, 1.5), kInk);
  const double inner = (w - 18) * level / 5.0;
  const Rgba c = level <= 1 ? kRed : level <= 2 ? kAmber : kGreen;
  if (level > 0) fill(s, roundRect(7, h * 0.2 + 5, 7 + inner, h * 0.8 - 5, 1.5), c);
  if (charging)
    fill(s, polygon({{w * 0.52, h * 0.08}, {w * 0.56, h * 0.08}, {w * 0.48, h * 0.52}, {w * 0.60, h * 0.48},
                     {w * 0.44, h * 0.94}, {w * 0.40, h * 0.94}, {w * 0.48, h * 0.54}, {w * 0.36, h * 0.56}}),
         kAmber);
}

void drawVolume(Surface& s, int level, int max) {
  const double w = s.width(), h = s.height();
  fill(s, roundRect(-5, -5, w + 5, h + 5, 0), mix(kPanel, kGround, 0.35));
  const Box spk{h * 0.62, h / 2, h * 1.0};
  fill(s, speaker(spk), level == 0 ? kInkDim : kInk);
  const double x0 = h * 1.2, cw = (w - x0 - 4) / std::max(1, max);
  for (int i = 0; i < max; ++i) {
    const double bh = (h - 8) * (i + 1) / max;
    fill(s, roundRect(x0 + i * cw + 1, h - 4 - bh, x0 + (i + 1) * cw - 2, h - 4, 2), i < level ? kAccent : kEdge);
  }
}

void drawSpinner(Surface& s, int frame, int count) {
  const double w = s.width(), h = s.height(), r = std::min(w, h) * 0.36;
  for (int i = 0; i < count; ++i) {
    const double a = 2 * M_PI * i / count - M_PI / 2;
    const int age = (frame - i + count) % count;  // 0 = the lit dot
    const Rgba c = mix(kAccent, kGround, std::min(1.0, age / static_cast<double>(count - 1)) * 0.85);
    fill(s, circle(w / 2 + r * std::cos(a), h / 2 + r * std::sin(a), std::min(w, h) * (age == 0 ? 0.11 : 0.08)), c);
  }
}

void drawLogo(Surface& s) {
  const double h = s.height();
  fill(s, roundRect(0, 0, h, h, h * 0.2), kAccent);
  const Box b{h / 2, h / 2, h * 0.7};
  Sdf play;
  iconShape("play", b, &play);
  fill(s, play, kGround);
  drawLabel(s, u"Tunora", plat::Rect{static_cast<int>(h + 4), 0, s.width(), s.height()}, static_cast<int>(h * 0.72), ref(kInk));
}

// The button's shape as a region file: one rectangle per row of the face.
std::string faceRegion(int w, int h) {
  plat::RectList rows;
  const Sdf shape = roundRect(1, 1, w - 1, h - 1, radiusFor(w, h));
  for (int y = 0; y < h; ++y) {
    int l = -1, r = -1;
    for (int x = 0; x < w; ++x)
      if (shape(x + 0.5, y + 0.5) <= 0) {
        if (l < 0) l = x;
        r = x + 1;
      }
    if (l >= 0) rows.push_back(plat::Rect{l, y, r, y + 1});
  }
  return plat::encodeRegionData(rows);
}

std::u16string labelText(const std::string& utf8) {
  std::string t = utf8;
  std::replace(t.begin(), t.end(), '_', ' ');
  return plat::utf8ToUtf16(t);
}

int generate(const std::string& line, const std::filesystem::path& outDir) {
  std::istringstream in(line);
  std::string path, kind;
  int w = 0, h = 0;
  if (!(in >> path >> kind >> w >> h) || !Surface::validDimensions(w, h) || w <= 0 || h <= 0) {
    std::fprintf(stderr, "skingen: bad line: %s\n", line.c_str());
    return 1;
  }
  std::vector<std::string> args;
  for (std::string a; in >> a;) args.push_back(a);
  auto arg = [&](size_t i, const char* def = "") { return i < args.size() ? args[i] : std::string(def); };
  Surface s;
  s.reset(w, h, 0);
  bool ok = true, region = false;
  if (kind == "button") {
    const int state = std::atoi(arg(1, "0").c_str());
    drawFace(s, state);
    ok = drawIcon(s, arg(0), iconInk(state, toneColor(arg(2), kInk)), 0.62);
    region = true;
  } else if (kind == "text") {
    const int state = std::atoi(arg(1, "0").c_str());
    drawFace(s, state);
    drawLabel(s, labelText(arg(0)), s.bounds(), std::max(16, h * 2 / 5), ref(iconInk(state, kInk)));
    region = true;
  } else if (kind == "icon") {
    ok = drawIcon(s, arg(0), toneColor(arg(1), kInk), 0.9);
  } else if (kind == "panel") {
    ok = drawPanel(s, arg(0));
  } else if (kind == "signal") {
    drawSignal(s, std::atoi(arg(0, "0").c_str()));
  } else if (kind == "battery") {
    drawBattery(s, std::atoi(arg(0, "0").c_str()), arg(1) == "1");
  } else if (kind == "volume") {
    drawVolume(s, std::atoi(arg(0, "0").c_str()), std::max(1, std::atoi(arg(1, "9").c_str())));
  } else if (kind == "spinner") {
    drawSpinner(s, std::atoi(arg(0, "0").c_str()), std::max(2, std::atoi(arg(1, "8").c_str())));
  } else if (kind == "logo") {
    drawLogo(s);
  } else {
    ok = false;
  }
  if (!ok) {
    std::fprintf(stderr, "skingen: cannot draw: %s\n", line.c_str());
    return 1;
  }
  const auto file = outDir / path;
  std::filesystem::create_directories(file.parent_path());
  // With alpha: button corners, icons, indicators and text sit on the
  // window's own ground.
  std::string png;
  if (plat::failed(plat::encodePng(s, true, &png)) ||
      !(std::ofstream(file, std::ios::binary) << png)) {
    std::fprintf(stderr, "skingen: cannot write %s\n", file.string().c_str());
    return 1;
  }
  if (region) {
    std::ofstream(std::filesystem::path(file).replace_extension(".rgn"), std::ios::binary) << faceRegion(w, h);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: skingen MANIFEST OUTDIR\n");
    return 2;
  }
  std::ifstream manifest(argv[1]);
  if (!manifest) {
    std::fprintf(stderr, "skingen: cannot read %s\n", argv[1]);
    return 1;
  }
  int failures = 0, count = 0;
  for (std::string line; std::getline(manifest, line);) {
    const auto start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    failures += generate(line.substr(start), argv[2]);
    ++count;
  }
  std::printf("skingen: %d images, %d failed\n", count, failures);
  return failures == 0 ? 0 : 1;
}
