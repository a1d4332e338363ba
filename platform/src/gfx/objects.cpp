#include "plat/gfx/objects.h"

#include "gfx/gdi_counts.h"

namespace plat {

namespace gdi_counts {
std::atomic<int64_t> bitmaps{0};
std::atomic<int64_t> fonts{0};
std::atomic<int64_t> deviceContexts{0};
}  // namespace gdi_counts

Bitmap::Bitmap() { gdi_counts::bitmaps.fetch_add(1); }
Bitmap::~Bitmap() { gdi_counts::bitmaps.fetch_sub(1); }

std::shared_ptr<Bitmap> Bitmap::create(int32_t width, int32_t height) {
  if (!Surface::validDimensions(width, height)) return nullptr;
  std::shared_ptr<Bitmap> bitmap(new Bitmap());
  if (failed(bitmap->surface_.reset(width, height, makePixel(0, 0, 0)))) return nullptr;
  return bitmap;
}

Brush stockBrush(StockBrush which) {
  switch (which) {
    case StockBrush::White: return solidBrush(makeColorRef(255, 255, 255));
    case StockBrush::LightGray: return solidBrush(makeColorRef(192, 192, 192));
    case StockBrush::Gray: return solidBrush(makeColorRef(128, 128, 128));
    case StockBrush::DarkGray: return solidBrush(makeColorRef(64, 64, 64));
    case StockBrush::Black: return solidBrush(makeColorRef(0, 0, 0));
    case StockBrush::Null: return Brush{true, 0};
  }
  return Brush{true, 0};
}

Pen stockPen(StockPen which) {
  switch (which) {
    case StockPen::Black: return solidPen(makeColorRef(0, 0, 0));
    case StockPen::White: return solidPen(makeColorRef(255, 255, 255));
    case StockPen::Null: return Pen{PenStyle::Null, 1, 0};
  }
  return Pen{PenStyle::Null, 1, 0};
}

GdiObjectCounts liveGdiObjects() {
  return GdiObjectCounts{gdi_counts::bitmaps.load(), gdi_counts::fonts.load(),
                         gdi_counts::deviceContexts.load()};
}

}  // namespace plat
