// Per-pixel arithmetic shared by the drawing code and the compositor.
#pragma once
#include <cstdint>

#include "plat/gfx/color.h"

namespace plat::blend {

// x / 255 rounded, exact for x in [0, 255 * 255].
inline uint32_t div255(uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

// Straight-alpha "source over destination" with coverage a (0..255).
inline Pixel over(Pixel dst, Pixel src, uint32_t a) {
  if (a == 0) return dst;
  if (a >= 255) return src | 0xFF000000u;
  const uint32_t na = 255 - a;
  uint32_t r = div255(((src >> 16) & 0xFF) * a + ((dst >> 16) & 0xFF) * na);
  uint32_t g = div255(((src >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * na);
  uint32_t b = div255((src & 0xFF) * a + (dst & 0xFF) * na);
  uint32_t outA = a + div255((dst >> 24) * na);
  return (outA << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace plat::blend
