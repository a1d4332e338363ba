#include "plat/gfx/dc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "gfx/blend.h"
#include "gfx/gdi_counts.h"
#include "plat/gfx/image.h"

namespace plat {

namespace {

enum StretchMode { kModeCopy = 0, kModeKeyed = 1, kModeBlend = 2 };

// Coordinates beyond this are clipped geometrically before pixel stepping,
// so a line with huge end points costs no more than one across the surface.
constexpr int64_t kDirectLineLimit = int64_t{1} << 20;

// Source index for destination offset d of a span of dstLen mapped onto srcLen
// (pixel centres mapped, nearest neighbour).
inline int64_t mapIndex(int64_t d, int64_t dstLen, int64_t srcLen) {
  if (dstLen == srcLen) return d;
  return static_cast<int64_t>(
      std::floor((static_cast<double>(d) + 0.5) * static_cast<double>(srcLen) /
                 static_cast<double>(dstLen)));
}

}  // namespace

DeviceContext::DeviceContext(bool memory, Surface* target, Point origin, RectList systemClip)
    : memory_(memory), target_(target), origin_(origin), systemClip_(std::move(systemClip)),
      font_(defaultFont()) {
  gdi_counts::deviceContexts.fetch_add(1);
  updateClip();
}

DeviceContext::~DeviceContext() { gdi_counts::deviceContexts.fetch_sub(1); }

std::unique_ptr<DeviceContext> DeviceContext::createMemory() {
  return std::unique_ptr<DeviceContext>(new DeviceContext(true, nullptr, Point{}, RectList{}));
}

std::unique_ptr<DeviceContext> DeviceContext::createForSurface(Surface* target, Point origin,
                                                               RectList systemClip) {
  return std::unique_ptr<DeviceContext>(
      new DeviceContext(false, target, origin, disjointUnion(systemClip)));
}

BitmapPtr DeviceContext::selectBitmap(BitmapPtr bitmap) {
  if (!memory_) return nullptr;
  BitmapPtr previous = std::move(bitmap_);
  bitmap_ = std::move(bitmap);
  target_ = bitmap_ ? &bitmap_->surface() : nullptr;
  systemClip_.clear();
  if (target_) systemClip_.push_back(target_->bounds());
  updateClip();
  return previous;
}

FontPtr DeviceContext::selectFont(FontPtr font) {
  FontPtr previous = std::move(font_);
  font_ = font ? std::move(font) : defaultFont();
  return previous;
}

Pen DeviceContext::selectPen(const Pen& pen) { return std::exchange(pen_, pen); }
Brush DeviceContext::selectBrush(const Brush& brush) { return std::exchange(brush_, brush); }
ColorRef DeviceContext::setTextColor(ColorRef c) { return std::exchange(textColor_, c & kRgbMask); }
ColorRef DeviceContext::setBackgroundColor(ColorRef c) {
  return std::exchange(bkColor_, c & kRgbMask);
}
BackgroundMode DeviceContext::setBackgroundMode(BackgroundMode m) {
  return std::exchange(bkMode_, m);
}

void DeviceContext::setClip(std::optional<RectList> clip) {
  userClip_ = std::move(clip);
  updateClip();
}

void DeviceContext::updateClip() {
  effective_.clear();
  if (!target_) return;
  effective_ = intersectList(systemClip_, target_->bounds());
  if (userClip_) {
    RectList user = disjointUnion(offsetList(*userClip_, origin_.x, origin_.y));
    effective_ = intersectLists(effective_, user);
  }
}

Rect DeviceContext::toSurface(const Rect& r) const { return offsetSaturated(r, origin_.x, origin_.y); }

Pixel DeviceContext::getPixel(int32_t x, int32_t y) const {
  if (!target_) return 0;
  int64_t sx = int64_t{x} + origin_.x, sy = int64_t{y} + origin_.y;
  if (sx < 0 || sy < 0 || sx >= target_->width() || sy >= target_->height()) return 0;
  return target_->pixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
}

void DeviceContext::setPixel(int32_t x, int32_t y, ColorRef c) {
  Rect r = toSurface(Rect{x, y, saturate32(int64_t{x} + 1), saturate32(int64_t{y} + 1)});
  fillSurfaceRect(r, pixelFromColorRef(c));
}

void DeviceContext::fillSurfaceRect(const Rect& surfaceRect, Pixel p) {
  if (!target_) return;
  for (const Rect& c : effective_) target_->fill(intersectRects(surfaceRect, c), p);
}

void DeviceContext::fillRect(const Rect& r, const Brush& brush) {
  if (brush.null) return;
  fillSurfaceRect(toSurface(r), pixelFromColorRef(brush.color));
}

void DeviceContext::moveTo(int32_t x, int32_t y) { current_ = Point{x, y}; }

void DeviceContext::plotPen(int64_t x, int64_t y) {
  const int64_t w = std::clamp<int32_t>(pen_.width, 1, 64);
  const int64_t x0 = x + origin_.x - (w - 1) / 2, y0 = y + origin_.y - (w - 1) / 2;
  fillSurfaceRect(Rect{saturate32(x0), saturate32(y0), saturate32(x0 + w), saturate32(y0 + w)},
                  pixelFromColorRef(pen_.color));
}

void DeviceContext::lineTo(int32_t x, int32_t y) {
  const Point from = current_;
  current_ = Point{x, y};
  if (pen_.style == PenStyle::Null || !target_ || effective_.empty()) return;
  double x0 = from.x, y0 = from.y, x1 = x, y1 = y;
  bool excludeEnd = true;
  auto far = [](double v) { return std::fabs(v) > static_cast<double>(kDirectLineLimit); };
  if (far(x0) || far(y0) || far(x1) || far(y1)) {
    // Clip the segment (Liang-Barsky) to the drawable area plus the pen width.
    Rect b = offsetSaturated(listBounds(effective_), -int64_t{origin_.x}, -int64_t{origin_.y});
    const double m = 65;
    const double minX = b.left - m, maxX = b.right + m, minY = b.top - m, maxY = b.bottom + m;
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - minX, maxX - x0, y0 - minY, maxY - y0};
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0) {
        if (q[i] < 0) return;
        continue;
      }
      double t = q[i] / p[i];
      if (p[i] < 0) t0 = std::max(t0, t);
      else t1 = std::min(t1, t);
    }
    if (t0 > t1) return;
    if (t1 < 1) excludeEnd = false;  // the true end lies outside anyway
    const double cx0 = x0 + t0 * dx, cy0 = y0 + t0 * dy;
    x1 = std::round(x0 + t1 * dx);
    y1 = std::round(y0 + t1 * dy);
    x0 = std::round(cx0);
    y0 = std::round(cy0);
  }
  // Bresenham over the (possibly clipped) segment.
  int64_t ix = static_cast<int64_t>(x0), iy = static_cast<int64_t>(y0);
  const int64_t ex = static_cast<int64_t>(x1), ey = static_cast<int64_t>(y1);
  const int64_t adx = std::llabs(ex - ix), ady = -std::llabs(ey - iy);
  const int64_t sx = ix < ex ? 1 : -1, sy = iy < ey ? 1 : -1;
  int64_t err = adx + ady;
  while (true) {
    const bool atEnd = ix == ex && iy == ey;
    if (atEnd && excludeEnd) break;
    plotPen(ix, iy);
    if (atEnd) break;
    const int64_t e2 = 2 * err;
    if (e2 >= ady) {
      err += ady;
      ix += sx;
    }
    if (e2 <= adx) {
      err += adx;
      iy += sy;
    }
  }
}

void DeviceContext::rectangle(const Rect& r) {
  if (r.empty()) return;
  const Rect s = toSurface(r);
  Rect inner = s;
  if (pen_.style != PenStyle::Null) {
    const int32_t w = std::clamp<int32_t>(pen_.width, 1, 64);
    const Pixel p = pixelFromColorRef(pen_.color);
    const int32_t top2 = saturate32(int64_t{s.top} + w), bottom2 = saturate32(int64_t{s.bottom} - w);
    const int32_t left2 = saturate32(int64_t{s.left} + w), right2 = saturate32(int64_t{s.right} - w);
    fillSurfaceRect(Rect{s.left, s.top, s.right, std::min(top2, s.bottom)}, p);
    fillSurfaceRect(Rect{s.left, std::max(bottom2, s.top), s.right, s.bottom}, p);
    fillSurfaceRect(Rect{s.left, s.top, std::min(left2, s.right), s.bottom}, p);
    fillSurfaceRect(Rect{std::max(right2, s.left), s.top, s.right, s.bottom}, p);
    inner = Rect{left2, top2, right2, bottom2};
  }
  if (!brush_.null && !inner.empty()) fillSurfaceRect(inner, pixelFromColorRef(brush_.color));
}

void DeviceContext::copyFrom(const Rect& dest, const DeviceContext& src, Point srcPos) {
  if (!src.target_) return;
  const Rect srcRect = offsetSaturated(Rect{srcPos.x, srcPos.y, saturate32(int64_t{srcPos.x} + spanX(dest)),
                                            saturate32(int64_t{srcPos.y} + spanY(dest))},
                                       src.origin_.x, src.origin_.y);
  // Keep the 1:1 mapping even where saturation shortened the source span.
  Rect d = dest;
  d.right = saturate32(int64_t{d.left} + spanX(srcRect));
  d.bottom = saturate32(int64_t{d.top} + spanY(srcRect));
  stretchImpl(d, *src.target_, srcRect, kModeCopy, 0, {});
}

void DeviceContext::stretchFrom(const Rect& dest, const DeviceContext& src, const Rect& srcRect) {
  if (!src.target_) return;
  stretchImpl(dest, *src.target_, offsetSaturated(srcRect, src.origin_.x, src.origin_.y), kModeCopy, 0, {});
}

void DeviceContext::copyKeyed(const Rect& dest, const DeviceContext& src, const Rect& srcRect,
                              ColorRef key) {
  if (!src.target_) return;
  stretchImpl(dest, *src.target_, offsetSaturated(srcRect, src.origin_.x, src.origin_.y), kModeKeyed, key,
              {});
}

void DeviceContext::blendFrom(const Rect& dest, const DeviceContext& src, const Rect& srcRect,
                              BlendParams params) {
  if (!src.target_) return;
  stretchImpl(dest, *src.target_, offsetSaturated(srcRect, src.origin_.x, src.origin_.y), kModeBlend, 0,
              params);
}

void DeviceContext::stretchSurface(const Rect& dest, const Surface& src, const Rect& srcRect) {
  stretchImpl(dest, src, srcRect, kModeCopy, 0, {});
}

void DeviceContext::blendSurface(const Rect& dest, const Surface& src, const Rect& srcRect,
                                 BlendParams params) {
  stretchImpl(dest, src, srcRect, kModeBlend, 0, params);
}

void DeviceContext::drawImage(const Image& image, const Rect& dest, uint8_t alpha) {
  if (!image.hasAlpha && alpha == 255) {
    stretchImpl(dest, image.pixels, image.pixels.bounds(), kModeCopy, 0, {});
  } else {
    stretchImpl(dest, image.pixels, image.pixels.bounds(), kModeBlend, 0,
                BlendParams{alpha, image.hasAlpha});
  }
}

void DeviceContext::stretchImpl(const Rect& destLogical, const Surface& srcIn, const Rect& srcRect,
                                int mode, ColorRef key, BlendParams params) {
  if (!target_ || srcIn.empty()) return;
  const Rect dest = toSurface(destLogical);
  const int64_t dw = spanX(dest), dh = spanY(dest);
  const int64_t sw = spanX(srcRect), sh = spanY(srcRect);
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  if (mode == kModeBlend && params.constantAlpha == 0) return;

  // Drawing a surface onto itself: read from a snapshot unless it is a plain
  // 1:1 copy, which memmove handles.
  Surface snapshot;
  const Surface* src = &srcIn;
  const bool oneToOne = dw == sw && dh == sh;
  if (&srcIn == target_ && !(oneToOne && mode == kModeCopy)) {
    snapshot = srcIn;
    src = &snapshot;
  }
  const Pixel keyRgb = pixelFromColorRef(key) & kRgbMask;
  std::vector<int32_t> columns;

  for (const Rect& clip : effective_) {
    const Rect area = intersectRects(dest, clip);
    if (area.empty()) continue;
    if (oneToOne && mode == kModeCopy) {
      // Rows and columns map 1:1: copy the part that exists in the source.
      const int64_t offX = int64_t{srcRect.left} - dest.left, offY = int64_t{srcRect.top} - dest.top;
      const int64_t x0 = std::max<int64_t>(area.left, -offX);
      const int64_t x1 = std::min<int64_t>(area.right, src->width() - offX);
      const int64_t y0 = std::max<int64_t>(area.top, -offY);
      const int64_t y1 = std::min<int64_t>(area.bottom, src->height() - offY);
      if (x0 >= x1) continue;
      const bool backwards = src == target_ && offY < 0;
      for (int64_t i = 0; i < y1 - y0; ++i) {
        const int64_t y = backwards ? y1 - 1 - i : y0 + i;
        std::memmove(target_->row(static_cast<int32_t>(y)) + x0,
                     src->row(static_cast<int32_t>(y + offY)) + (x0 + offX),
                     static_cast<size_t>(x1 - x0) * sizeof(Pixel));
      }
      continue;
    }
    columns.resize(static_cast<size_t>(spanX(area)));
    for (int64_t x = area.left; x < area.right; ++x) {
      const int64_t sx = srcRect.left + mapIndex(x - dest.left, dw, sw);
      columns[static_cast<size_t>(x - area.left)] =
          (sx >= 0 && sx < src->width()) ? static_cast<int32_t>(sx) : -1;
    }
    for (int32_t y = area.top; y < area.bottom; ++y) {
      const int64_t sy = srcRect.top + mapIndex(int64_t{y} - dest.top, dh, sh);
      if (sy < 0 || sy >= src->height()) continue;
      const Pixel* srow = src->row(static_cast<int32_t>(sy));
      Pixel* drow = target_->row(y);
      for (int32_t x = area.left; x < area.right; ++x) {
        const int32_t sx = columns[static_cast<size_t>(x - area.left)];
        if (sx < 0) continue;
        const Pixel p = srow[sx];
        switch (mode) {
          case kModeCopy: drow[x] = p; break;
          case kModeKeyed:
            if ((p & kRgbMask) != keyRgb) drow[x] = p | 0xFF000000u;
            break;
          default: {
            uint32_t a = params.sourceAlpha ? blend::div255(alphaOf(p) * params.constantAlpha)
                                            : params.constantAlpha;
            drow[x] = blend::over(drow[x], p, a);
          }
        }
      }
    }
  }
}

}  // namespace plat
