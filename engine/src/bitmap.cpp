#include "bitmap.h"

#include <algorithm>

namespace zantsim {

namespace {
void put16(std::string& b, uint32_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
}  // namespace

std::string renderTestCard(uint32_t width, uint32_t height, uint32_t seed) {
  width = std::clamp<uint32_t>(width, 1, 4096);
  height = std::clamp<uint32_t>(height, 1, 4096);
  const uint32_t stride = (width * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * height;
  std::string b;
  b.reserve(54 + imageSize);
  // File header.
  b += "BM";
  put32(b, 54 + imageSize);
  put32(b, 0);
  put32(b, 54);
  // Information header (40 bytes), bottom-up rows, no compression.
  put32(b, 40);
  put32(b, width);
  put32(b, height);
  put16(b, 1);
  put16(b, 24);
  put32(b, 0);
  put32(b, imageSize);
  put32(b, 2835);  // 72 dpi
  put32(b, 2835);
  put32(b, 0);
  put32(b, 0);
  static const uint8_t bars[7][3] = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192}, {0, 192, 0},
                                     {192, 0, 192},   {192, 0, 0},   {0, 0, 192}};
  const uint8_t tint[3] = {static_cast<uint8_t>(seed * 37), static_cast<uint8_t>(seed * 73), static_cast<uint8_t>(seed * 151)};
  for (uint32_t row = 0; row < height; ++row) {
    const uint32_t y = height - 1 - row;  // BMP rows run bottom-up
    std::string line;
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t r, g, bl;
      if (y < height * 3 / 4) {
        const uint8_t* c = bars[std::min<uint32_t>(x * 7 / width, 6)];
        r = c[0];
        g = c[1];
        bl = c[2];
      } else {
        // The lower band: a ramp in the service's colour.
        uint32_t ramp = x * 255 / std::max<uint32_t>(width - 1, 1);
        r = static_cast<uint8_t>(tint[0] * ramp / 255);
        g = static_cast<uint8_t>(tint[1] * ramp / 255);
        bl = static_cast<uint8_t>(tint[2] * ramp / 255);
      }
      line.push_back(static_cast<char>(bl));
      line.push_back(static_cast<char>(g));
      line.push_back(static_cast<char>(r));
    }
    line.resize(stride, '\0');
    b += line;
  }
  return b;
}

}  // namespace zantsim
