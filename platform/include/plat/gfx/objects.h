// Drawing objects: bitmaps, pens and brushes. Bitmaps and fonts are shared
// objects (std::shared_ptr): whoever creates one holds it, selecting it into a
// device context holds it too, and it is freed when the last holder lets go.
// Pens and brushes carry no resources and are plain values.
// liveGdiObjects() counts what is alive, so tests can check for leaks.
#pragma once
#include <cstdint>
#include <memory>

#include "plat/gfx/color.h"
#include "plat/gfx/surface.h"

namespace plat {

class Bitmap {
 public:
  // A bitmap of width x height pixels, black and opaque; nullptr for
  // dimensions a Surface refuses.
  static std::shared_ptr<Bitmap> create(int32_t width, int32_t height);
  ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  Surface& surface() { return surface_; }
  const Surface& surface() const { return surface_; }
  int32_t width() const { return surface_.width(); }
  int32_t height() const { return surface_.height(); }

 private:
  Bitmap();
  Surface surface_;
};
using BitmapPtr = std::shared_ptr<Bitmap>;

enum class PenStyle { Solid, Null };
struct Pen {
  PenStyle style = PenStyle::Solid;
  int32_t width = 1;  // pixels; values below 1 draw 1 pixel wide, above 64 are capped
  ColorRef color = 0;
};

struct Brush {
  bool null = false;  // a null brush fills nothing
  ColorRef color = 0;
};

enum class StockBrush { White, LightGray, Gray, DarkGray, Black, Null };
enum class StockPen { Black, White, Null };
Brush stockBrush(StockBrush which);
Pen stockPen(StockPen which);
inline Brush solidBrush(ColorRef c) { return Brush{false, c}; }
inline Pen solidPen(ColorRef c, int32_t width = 1) { return Pen{PenStyle::Solid, width, c}; }

struct GdiObjectCounts {
  int64_t bitmaps = 0;
  int64_t fonts = 0;
  int64_t deviceContexts = 0;
  friend bool operator==(const GdiObjectCounts&, const GdiObjectCounts&) = default;
};
GdiObjectCounts liveGdiObjects();

}  // namespace plat
