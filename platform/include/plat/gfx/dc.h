// Device contexts: where drawing goes. A memory context draws into the bitmap
// selected into it; a surface context draws into a surface owned by someone
// else (a window's surface), with an origin (where the context's (0,0) lies
// on the surface) and a system clip (the part it may touch, in surface
// coordinates), both set by whoever made it - the window system's painting
// code for windows.
//
// Every operation clips to the destination (system clip, the context's own
// clip and the surface) and, for copies, to the source surface: coordinates
// may be negative or huge, and only pixels that exist on both sides are
// touched.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "plat/gfx/color.h"
#include "plat/gfx/font.h"
#include "plat/geometry.h"
#include "plat/gfx/objects.h"
#include "plat/gfx/rect_list.h"
#include "plat/gfx/surface.h"
#include "plat/text.h"

namespace plat {

struct Image;

enum class BackgroundMode { Transparent, Opaque };

// Text-format flags. The values skins store as numbers are fixed
// (0x8824, 0x882C); the rest follow the same bit layout.
namespace text_format {
inline constexpr uint32_t kLeft = 0x0;
inline constexpr uint32_t kTop = 0x0;
inline constexpr uint32_t kCenter = 0x1;
inline constexpr uint32_t kRight = 0x2;
inline constexpr uint32_t kVCenter = 0x4;
inline constexpr uint32_t kBottom = 0x8;
inline constexpr uint32_t kWordBreak = 0x10;
inline constexpr uint32_t kSingleLine = 0x20;
inline constexpr uint32_t kNoClip = 0x100;
inline constexpr uint32_t kCalcRect = 0x400;
inline constexpr uint32_t kNoPrefix = 0x800;
inline constexpr uint32_t kEndEllipsis = 0x8000;
}  // namespace text_format

struct BlendParams {
  uint8_t constantAlpha = 255;  // applied to every source pixel
  bool sourceAlpha = true;      // use each source pixel's own alpha as well
};

class DeviceContext {
 public:
  // A memory context with no bitmap: drawing does nothing until one is selected.
  static std::unique_ptr<DeviceContext> createMemory();
  // A context drawing into `target` (not owned; must outlive the context).
  static std::unique_ptr<DeviceContext> createForSurface(Surface* target, Point origin,
                                                         RectList systemClip);
  ~DeviceContext();
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;

  bool isMemory() const { return memory_; }
  // Memory contexts only: selects a bitmap (or none) and returns the previous one.
  BitmapPtr selectBitmap(BitmapPtr bitmap);
  const BitmapPtr& selectedBitmap() const { return bitmap_; }
  FontPtr selectFont(FontPtr font);  // nullptr selects the default font
  const FontPtr& font() const { return font_; }
  Pen selectPen(const Pen& pen);
  Brush selectBrush(const Brush& brush);
  ColorRef setTextColor(ColorRef c);
  ColorRef setBackgroundColor(ColorRef c);
  BackgroundMode setBackgroundMode(BackgroundMode m);
  ColorRef textColor() const { return textColor_; }

  // The context's own clip, in its coordinates, intersected with the system
  // clip; nullopt removes it.
  void setClip(std::optional<RectList> clip);
  // What drawing may touch now, in surface coordinates (disjoint).
  const RectList& effectiveClip() const { return effective_; }
  Surface* surface() const { return target_; }
  Point origin() const { return origin_; }

  // Pixels, fills and shapes.
  Pixel getPixel(int32_t x, int32_t y) const;  // 0 outside the surface
  void setPixel(int32_t x, int32_t y, ColorRef c);
  void fillRect(const Rect& r, const Brush& brush);
  void fillRect(const Rect& r, ColorRef c) { fillRect(r, solidBrush(c)); }
  void moveTo(int32_t x, int32_t y);
  void lineTo(int32_t x, int32_t y);  // draws with the pen, end point excluded
  // Border with the pen (inside the rectangle), interior with the brush.
  void rectangle(const Rect& r);

  // Copies. Source coordinates are in the source context's coordinates.
  void copyFrom(const Rect& dest, const DeviceContext& src, Point srcPos);
  void stretchFrom(const Rect& dest, const DeviceContext& src, const Rect& srcRect);
  // Stretched copy that skips source pixels of colour `key`.
  void copyKeyed(const Rect& dest, const DeviceContext& src, const Rect& srcRect, ColorRef key);
  // Stretched blend of the source over the destination.
  void blendFrom(const Rect& dest, const DeviceContext& src, const Rect& srcRect,
                 BlendParams params);
  // Surface-level variants (source rect in surface pixels).
  void stretchSurface(const Rect& dest, const Surface& src, const Rect& srcRect);
  void blendSurface(const Rect& dest, const Surface& src, const Rect& srcRect,
                    BlendParams params);
  // The whole image stretched into `dest`, blended by its alpha and `alpha`.
  void drawImage(const Image& image, const Rect& dest, uint8_t alpha = 255);

  // Text with the selected font, text colour and background mode.
  // drawText returns the height of the text; with kCalcRect it only measures
  // and sets rect->right/bottom. textOut draws one line at (x, y) = top-left.
  int32_t drawText(StringView16 text, Rect* rect, uint32_t format);
  void textOut(int32_t x, int32_t y, StringView16 text);
  Size textExtent(StringView16 text) const;
  TextMetrics textMetrics() const;

 private:
  DeviceContext(bool memory, Surface* target, Point origin, RectList systemClip);
  void updateClip();
  Rect toSurface(const Rect& r) const;
  void stretchImpl(const Rect& dest, const Surface& src, const Rect& srcRect, int mode,
                   ColorRef key, BlendParams params);
  void fillSurfaceRect(const Rect& surfaceRect, Pixel p);
  void plotPen(int64_t x, int64_t y);

  bool memory_;
  Surface* target_;
  Point origin_;
  RectList systemClip_;
  std::optional<RectList> userClip_;
  RectList effective_;
  BitmapPtr bitmap_;
  FontPtr font_;
  Pen pen_;
  Brush brush_;
  ColorRef textColor_ = 0;
  ColorRef bkColor_ = 0xFFFFFF;
  BackgroundMode bkMode_ = BackgroundMode::Opaque;
  Point current_{};
};

}  // namespace plat
