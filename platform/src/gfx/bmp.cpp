// Reader for BMP files: uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel,
// bit-field masks for 16 and 32 bits, core and extended info headers,
// bottom-up and top-down rows. Every offset and length is checked against
// the data before use.
#include <bit>

#include "plat/gfx/image.h"

namespace plat {

namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreInfoBytes = 12;
constexpr uint32_t kInfoBytes = 40;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kCompressionAlphaBitFields = 6;

class Reader {
 public:
  explicit Reader(std::string_view b) : b_(b) {}
  bool has(uint64_t at, uint64_t n) const { return at <= b_.size() && n <= b_.size() - at; }
  uint8_t u8(uint64_t at) const { return static_cast<uint8_t>(b_[at]); }
  uint16_t u16(uint64_t at) const { return static_cast<uint16_t>(u8(at) | (u8(at + 1) << 8)); }
  uint32_t u32(uint64_t at) const {
    return uint32_t{u8(at)} | (uint32_t{u8(at + 1)} << 8) | (uint32_t{u8(at + 2)} << 16) |
           (uint32_t{u8(at + 3)} << 24);
  }
  int32_t i32(uint64_t at) const { return static_cast<int32_t>(u32(at)); }

 private:
  std::string_view b_;
};

// One colour channel given by a bit mask, scaled to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  static bool make(uint32_t mask, Channel* out) {
    *out = Channel{};
    if (mask == 0) return true;
    const int shift = std::countr_zero(mask);
    const uint32_t bits = mask >> shift;
    if ((bits & (bits + 1)) != 0) return false;  // not contiguous
    *out = Channel{mask, shift, bits};
    return true;
  }
  uint8_t get(uint32_t v, uint8_t absent) const {
    if (mask == 0) return absent;
    return static_cast<uint8_t>(uint64_t{(v & mask) >> shift} * 255 / max);
  }
};

}  // namespace

Status decodeBmp(std::string_view bytes, Image* out) {
  const Reader r(bytes);
  if (!r.has(0, kFileHeaderBytes + 4) || bytes[0] != 'B' || bytes[1] != 'M') return E_DATA_INVALID;
  const uint32_t dataOffset = r.u32(10);
  const uint32_t infoSize = r.u32(14);
  if (!r.has(kFileHeaderBytes, infoSize)) return E_DATA_INVALID;

  int64_t width = 0, height = 0;
  uint32_t planes = 0, bpp = 0, compression = kCompressionNone, colorsUsed = 0;
  uint64_t paletteAt = kFileHeaderBytes + uint64_t{infoSize};
  uint32_t paletteEntry = 4;
  uint32_t masks[4] = {0, 0, 0, 0};
  if (infoSize == kCoreInfoBytes) {
    width = r.u16(18);
    height = r.u16(20);
    planes = r.u16(22);
    bpp = r.u16(24);
    paletteEntry = 3;
  } else if (infoSize >= kInfoBytes) {
    width = r.i32(18);
    height = r.i32(22);
    planes = r.u16(26);
    bpp = r.u16(28);
    compression = r.u32(30);
    colorsUsed = r.u32(46);
    if (compression == kCompressionBitFields || compression == kCompressionAlphaBitFields) {
      const uint32_t count = compression == kCompressionAlphaBitFields ? 4 : 3;
      uint64_t at = 54;
      if (infoSize == kInfoBytes) {
        if (!r.has(at, 4 * count)) return E_DATA_INVALID;
        paletteAt += 4 * count;  // masks follow the short header
      } else if (infoSize < 52) {
        return E_DATA_INVALID;
      }
      for (uint32_t i = 0; i < count; ++i) masks[i] = r.u32(at + 4 * i);
      if (infoSize >= 56 && compression == kCompressionBitFields) masks[3] = r.u32(at + 12);
    }
  } else {
    return E_NOTIMPL;
  }

  if (planes != 1) return E_DATA_INVALID;
  const bool topDown = height < 0;
  height = height < 0 ? -height : height;
  if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension)
    return E_DATA_INVALID;
  switch (bpp) {
    case 1: case 4: case 8: case 24:
      if (compression != kCompressionNone) return E_NOTIMPL;
      break;
    case 16: case 32:
      if (compression == kCompressionNone) {
        if (bpp == 16) {
          masks[0] = 0x7C00; masks[1] = 0x03E0; masks[2] = 0x001F;
        } else {
          masks[0] = 0x00FF0000; masks[1] = 0x0000FF00; masks[2] = 0x000000FF;
          masks[3] = 0xFF000000;  // used only when some pixel sets it, see below
        }
      } else if (compression != kCompressionBitFields && compression != kCompressionAlphaBitFields) {
        return E_NOTIMPL;
      }
      break;
    default:
      return bpp == 0 ? E_NOTIMPL : E_DATA_INVALID;
  }

  Channel ch[4];
  for (int i = 0; i < 4; ++i)
    if (!Channel::make(masks[i], &ch[i])) return E_DATA_INVALID;

  // Palette.
  Pixel palette[256] = {};
  uint32_t paletteSize = 0;
  if (bpp <= 8) {
    const uint32_t maxEntries = 1u << bpp;
    paletteSize = (colorsUsed == 0 || colorsUsed > maxEntries) ? maxEntries : colorsUsed;
    if (!r.has(paletteAt, uint64_t{paletteSize} * paletteEntry)) return E_DATA_INVALID;
    for (uint32_t i = 0; i < paletteSize; ++i) {
      const uint64_t at = paletteAt + uint64_t{i} * paletteEntry;
      palette[i] = makePixel(r.u8(at + 2), r.u8(at + 1), r.u8(at));
    }
  }

  const uint64_t stride = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
  const uint64_t lastRowBytes = (static_cast<uint64_t>(width) * bpp + 7) / 8;
  if (!r.has(dataOffset, stride * static_cast<uint64_t>(height - 1) + lastRowBytes))
    return E_DATA_INVALID;

  Image decoded;
  if (failed(decoded.pixels.reset(static_cast<int32_t>(width), static_cast<int32_t>(height))))
    return E_DATA_INVALID;
  bool anyAlpha = false;
  for (int64_t row = 0; row < height; ++row) {
    const uint64_t at = dataOffset + stride * static_cast<uint64_t>(row);
    Pixel* dst = decoded.pixels.row(static_cast<int32_t>(topDown ? row : height - 1 - row));
    for (int64_t x = 0; x < width; ++x) {
      switch (bpp) {
        case 1: case 4: case 8: {
          const uint64_t bit = static_cast<uint64_t>(x) * bpp;
          const uint32_t shift = 8 - bpp - static_cast<uint32_t>(bit % 8);
          const uint32_t index = (r.u8(at + bit / 8) >> shift) & ((1u << bpp) - 1);
          dst[x] = index < paletteSize ? palette[index] : makePixel(0, 0, 0);
          break;
        }
        case 24: {
          const uint64_t p = at + static_cast<uint64_t>(x) * 3;
          dst[x] = makePixel(r.u8(p + 2), r.u8(p + 1), r.u8(p));
          break;
        }
        default: {
          const uint32_t v = bpp == 16 ? r.u16(at + static_cast<uint64_t>(x) * 2)
                                       : r.u32(at + static_cast<uint64_t>(x) * 4);
          const uint8_t a = ch[3].get(v, 255);
          if (ch[3].mask && a) anyAlpha = true;
          dst[x] = makePixel(ch[0].get(v, 0), ch[1].get(v, 0), ch[2].get(v, 0), a);
        }
      }
    }
  }
  // Plain 32-bit files usually leave the fourth byte 0: then they are opaque.
  const bool alphaFromMask = ch[3].mask != 0 && (compression != kCompressionNone || anyAlpha);
  if (!alphaFromMask || !anyAlpha) {
    Pixel* p = decoded.pixels.data();
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) p[i] |= 0xFF000000u;
  }
  decoded.hasAlpha = alphaFromMask && anyAlpha;
  *out = std::move(decoded);
  return S_OK;
}

}  // namespace plat
