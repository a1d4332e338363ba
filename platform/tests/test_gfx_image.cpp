// Image decoding and encoding: PNG, JPEG and BMP round trips, damaged and
// oversized files, and the image cache.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "plat/gfx/image.h"

namespace plat {
namespace {

Surface pattern(int w, int h, bool withAlpha) {
  Surface s;
  EXPECT_EQ(s.reset(w, h), S_OK);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      s.setPixel(x, y, makePixel(static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 5),
                                 static_cast<uint8_t>(x ^ y),
                                 withAlpha ? static_cast<uint8_t>((x * 13 + y) & 0xFF) : 255));
  return s;
}

void expectSamePixels(const Surface& a, const Surface& b) {
  ASSERT_EQ(a.width(), b.width());
  ASSERT_EQ(a.height(), b.height());
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << "at " << x << "," << y;
}

// A BMP file assembled field by field (little endian).
struct BmpBuilder {
  std::string bytes;
  void u8(uint32_t v) { bytes.push_back(static_cast<char>(v & 0xFF)); }
  void u16(uint32_t v) { u8(v); u8(v >> 8); }
  void u32(uint32_t v) { u16(v); u16(v >> 16); }
  // File header + 40-byte info header; returns the offset of the data-offset field.
  void header(int32_t w, int32_t h, uint16_t bpp, uint32_t compression, uint32_t colors,
              uint32_t dataOffset) {
    bytes += "BM";
    u32(0);  // file size: not relied on
    u32(0);
    u32(dataOffset);
    u32(40);
    u32(static_cast<uint32_t>(w));
    u32(static_cast<uint32_t>(h));
    u16(1);
    u16(bpp);
    u32(compression);
    u32(0);
    u32(2835);
    u32(2835);
    u32(colors);
    u32(0);
  }
};

TEST(GfxImage, PngRoundTripKeepsAlpha) {
  const Surface src = pattern(37, 19, true);
  std::string png;
  ASSERT_EQ(encodePng(src, true, &png), S_OK);
  EXPECT_EQ(sniffImageFormat(png), ImageFormat::Png);
  Image img;
  ASSERT_EQ(decodeImage(png, &img), S_OK);
  EXPECT_TRUE(img.hasAlpha);
  expectSamePixels(src, img.pixels);
}

TEST(GfxImage, PngFileIsOpaqueFrame) {
  const auto dir = std::filesystem::temp_directory_path() / "tunora_gfx_image_test";
  std::filesystem::create_directories(dir);
  Surface frame = pattern(16, 8, true);
  ASSERT_EQ(writePngFile(frame, dir / "frame.png"), S_OK);
  Image img;
  ASSERT_EQ(loadImageFile(dir / "frame.png", &img), S_OK);
  EXPECT_FALSE(img.hasAlpha);
  EXPECT_EQ(img.pixels.pixel(3, 2), frame.pixel(3, 2) | 0xFF000000u);
  EXPECT_EQ(writePngFile(frame, dir / "no such dir" / "x.png"), E_PATH_NOT_FOUND);
  EXPECT_EQ(loadImageFile(dir / "missing.png", &img), E_FILE_NOT_FOUND);
  std::filesystem::remove_all(dir);
}

TEST(GfxImage, JpegRoundTripIsClose) {
  Surface src;
  ASSERT_EQ(src.reset(32, 16, makePixel(200, 40, 90)), S_OK);
  src.fill(Rect{16, 0, 32, 16}, makePixel(20, 180, 240));
  std::string jpeg;
  ASSERT_EQ(encodeJpeg(src, 95, &jpeg), S_OK);
  EXPECT_EQ(sniffImageFormat(jpeg), ImageFormat::Jpeg);
  Image img;
  ASSERT_EQ(decodeImage(jpeg, &img), S_OK);
  ASSERT_EQ(img.width(), 32);
  ASSERT_EQ(img.height(), 16);
  EXPECT_FALSE(img.hasAlpha);
  for (Point p : {Point{4, 8}, Point{27, 8}}) {
    const Pixel a = src.pixel(p.x, p.y), b = img.pixels.pixel(p.x, p.y);
    EXPECT_EQ(alphaOf(b), 255);
    for (int shift : {0, 8, 16})
      EXPECT_LE(std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)), 4) << p.x;
  }
}

TEST(GfxImage, BmpVariantsDecode) {
  {  // 24 bits, bottom-up: the first row in the file is the bottom row.
    BmpBuilder b;
    b.header(2, 2, 24, 0, 0, 54);
    b.u8(0); b.u8(0); b.u8(255); b.u8(0); b.u8(255); b.u8(0); b.u16(0);  // red, green + pad
    b.u8(255); b.u8(0); b.u8(0); b.u8(255); b.u8(255); b.u8(255); b.u16(0);  // blue, white
    Image img;
    ASSERT_EQ(decodeImage(b.bytes, &img), S_OK);
    EXPECT_EQ(img.pixels.pixel(0, 1), makePixel(255, 0, 0));
    EXPECT_EQ(img.pixels.pixel(1, 1), makePixel(0, 255, 0));
    EXPECT_EQ(img.pixels.pixel(0, 0), makePixel(0, 0, 255));
    EXPECT_EQ(img.pixels.pixel(1, 0), makePixel(255, 255, 255));
  }
  {  // 8 bits with a two-entry palette, top-down; an index past the palette is black.
    BmpBuilder b;
    b.header(3, -1, 8, 0, 2, 54 + 8);
    b.u32(0x00FF0000);  // palette 0: red (B, G, R, 0)
    b.u32(0x000000FF);  // palette 1: blue
    b.u8(1); b.u8(0); b.u8(9); b.u8(0);
    Image img;
    ASSERT_EQ(decodeBmp(b.bytes, &img), S_OK);
    EXPECT_EQ(img.pixels.pixel(0, 0), makePixel(0, 0, 255));
    EXPECT_EQ(img.pixels.pixel(1, 0), makePixel(255, 0, 0));
    EXPECT_EQ(img.pixels.pixel(2, 0), makePixel(0, 0, 0));
  }
  {  // 1 bit.
    BmpBuilder b;
    b.header(9, 1, 1, 0, 0, 54 + 8);
    b.u32(0x00000000);
    b.u32(0x00FFFFFF);
    b.u8(0b10100000); b.u8(0b10000000); b.u16(0);
    Image img;
    ASSERT_EQ(decodeBmp(b.bytes, &img), S_OK);
    EXPECT_EQ(img.pixels.pixel(0, 0), makePixel(255, 255, 255));
    EXPECT_EQ(img.pixels.pixel(1, 0), makePixel(0, 0, 0));
    EXPECT_EQ(img.pixels.pixel(8, 0), makePixel(255, 255, 255));
  }
  {  // 32 bits with bit fields including alpha.
    BmpBuilder b;
    b.header(1, 1, 32, 3, 0, 54 + 12);
    b.u32(0x0000FF00); b.u32(0x00FF0000); b.u32(0xFF000000);  // R, G, B masks
    b.u32(0x11223344);
    Image img;
    ASSERT_EQ(decodeBmp(b.bytes, &img), S_OK);
    EXPECT_FALSE(img.hasAlpha);
    EXPECT_EQ(img.pixels.pixel(0, 0), makePixel(0x33, 0x22, 0x11));
  }
  {  // Plain 32 bits: a non-zero fourth byte is alpha.
    BmpBuilder b;
    b.header(2, 1, 32, 0, 0, 54);
    b.u32(0x80FF0000);
    b.u32(0x00000000);
    Image img;
    ASSERT_EQ(decodeBmp(b.bytes, &img), S_OK);
    EXPECT_TRUE(img.hasAlpha);
    EXPECT_EQ(img.pixels.pixel(0, 0), makePixel(255, 0, 0, 0x80));
  }
}

TEST(GfxImage, DamagedFilesAreErrors) {
  BmpBuilder ok;
  ok.header(2, 2, 24, 0, 0, 54);
  ok.bytes.append(16, '\0');
  Image probe;
  ASSERT_EQ(decodeBmp(ok.bytes, &probe), S_OK);

  auto bmp = [](int32_t w, int32_t h, uint16_t bpp, uint32_t comp, uint32_t colors, uint32_t off,
                size_t data) {
    BmpBuilder b;
    b.header(w, h, bpp, comp, colors, off);
    b.bytes.append(data, '\0');
    return b.bytes;
  };
  std::string png;
  ASSERT_EQ(encodePng(pattern(8, 8, false), false, &png), S_OK);
  std::string wide;
  Surface s;
  ASSERT_EQ(s.reset(kMaxImageDimension + 1, 1), S_OK);
  ASSERT_EQ(encodePng(s, false, &wide), S_OK);
  std::string jpeg;
  ASSERT_EQ(encodeJpeg(pattern(16, 16, false), 80, &jpeg), S_OK);
  std::string pngFlipped = png;
  pngFlipped[40] = static_cast<char>(pngFlipped[40] ^ 0x55);  // breaks a chunk CRC or data

  struct Case { const char* name; std::string bytes; Status expected; };
  const Case cases[] = {
      {"empty", "", E_DATA_INVALID},
      {"unknown signature", "GIF89a....", E_DATA_INVALID},
      {"png truncated", png.substr(0, png.size() / 2), E_DATA_INVALID},
      {"png corrupted", pngFlipped, E_DATA_INVALID},
      {"png too wide", wide, E_DATA_INVALID},
      {"jpeg truncated header", jpeg.substr(0, 20), E_DATA_INVALID},
      {"jpeg garbage", std::string("\xFF\xD8\xFF") + std::string(200, '\x13'), E_DATA_INVALID},
      {"bmp header only", ok.bytes.substr(0, 20), E_DATA_INVALID},
      {"bmp data short", ok.bytes.substr(0, ok.bytes.size() - 4), E_DATA_INVALID},
      {"bmp zero width", bmp(0, 2, 24, 0, 0, 54, 16), E_DATA_INVALID},
      {"bmp negative width", bmp(-2, 2, 24, 0, 0, 54, 16), E_DATA_INVALID},
      {"bmp huge height", bmp(1, 1 << 30, 24, 0, 0, 54, 16), E_DATA_INVALID},
      {"bmp most negative height", bmp(1, INT32_MIN, 24, 0, 0, 54, 16), E_DATA_INVALID},
      {"bmp odd depth", bmp(2, 2, 7, 0, 0, 54, 16), E_DATA_INVALID},
      {"bmp run-length", bmp(2, 2, 8, 1, 0, 54, 1100), E_NOTIMPL},
      {"bmp data offset past end", bmp(2, 2, 24, 0, 0, 0xFFFFFFF0u, 16), E_DATA_INVALID},
      {"bmp palette past end", bmp(2, 2, 8, 0, 256, 54, 8), E_DATA_INVALID},
      {"bmp bit fields not contiguous",
       [] { BmpBuilder b; b.header(1, 1, 32, 3, 0, 66); b.u32(0x0F0F); b.u32(0xF0); b.u32(0xF00000); b.u32(0); return b.bytes; }(),
       E_DATA_INVALID},
  };
  for (const Case& c : cases) {
    Image img;
    ASSERT_EQ(img.pixels.reset(1, 1, 42), S_OK);
    EXPECT_EQ(decodeImage(c.bytes, &img), c.expected) << c.name;
    EXPECT_EQ(img.pixels.pixel(0, 0), 42u) << c.name << ": output changed on failure";
  }
}

TEST(GfxImage, CacheSharesDecodedImagesWhileEnabled) {
  const auto dir = std::filesystem::temp_directory_path() / "tunora_gfx_cache_test";
  std::filesystem::create_directories(dir);
  ASSERT_EQ(writePngFile(pattern(4, 4, false), dir / "a.png"), S_OK);
  // Same name apart from the extension: told apart by the exact path.
  ASSERT_EQ(writePngFile(pattern(8, 8, false), dir / "a.bmp.png"), S_OK);
  clearImageCache();
  setImageCacheEnabled(false);
  ImagePtr first = cachedImage(dir / "a.png");
  ImagePtr second = cachedImage(dir / "a.png");
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
  EXPECT_EQ(imageCacheSize(), 0u);
  setImageCacheEnabled(true);
  first = cachedImage(dir / "a.png");
  second = cachedImage(dir / "a.png");
  EXPECT_EQ(first, second);
  ImagePtr other = cachedImage(dir / "a.bmp.png");
  ASSERT_TRUE(other);
  EXPECT_EQ(other->width(), 8);
  Status st = S_OK;
  EXPECT_EQ(cachedImage(dir / "missing.png", &st), nullptr);
  EXPECT_EQ(st, E_FILE_NOT_FOUND);
  EXPECT_EQ(imageCacheSize(), 2u);
  clearImageCache();
  EXPECT_EQ(imageCacheSize(), 0u);
  EXPECT_EQ(first->width(), 4);  // holders keep their images after a clear
  setImageCacheEnabled(false);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace plat
