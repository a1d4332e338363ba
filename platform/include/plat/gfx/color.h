// Colours. A ColorRef is the 24-bit RGB value the skins and windows use:
// red + green * 256 + blue * 65536. Surfaces hold 32-bit pixels laid out as
// 0xAARRGGBB in a uint32_t, with straight (not premultiplied) alpha.
#pragma once
#include <cstdint>

namespace plat {

using ColorRef = uint32_t;
using Pixel = uint32_t;

constexpr ColorRef makeColorRef(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<ColorRef>(r) | (static_cast<ColorRef>(g) << 8) |
         (static_cast<ColorRef>(b) << 16);
}
constexpr uint8_t redOf(ColorRef c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t greenOf(ColorRef c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
constexpr uint8_t blueOf(ColorRef c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

constexpr Pixel makePixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return (static_cast<Pixel>(a) << 24) | (static_cast<Pixel>(r) << 16) |
         (static_cast<Pixel>(g) << 8) | static_cast<Pixel>(b);
}
constexpr Pixel pixelFromColorRef(ColorRef c, uint8_t alpha = 255) {
  return makePixel(redOf(c), greenOf(c), blueOf(c), alpha);
}
constexpr ColorRef colorRefFromPixel(Pixel p) {
  return makeColorRef(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                      static_cast<uint8_t>(p));
}
constexpr uint8_t alphaOf(Pixel p) { return static_cast<uint8_t>(p >> 24); }
constexpr Pixel kRgbMask = 0x00FFFFFFu;

// The colour a window paints where the video overlay plane should show through.
inline constexpr ColorRef kVideoKeyColor = makeColorRef(0, 16, 0);

}  // namespace plat
