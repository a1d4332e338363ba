// Drawing into surfaces through device contexts: copies, stretches, colour
// key, alpha, fills, lines, clipping at every edge and object lifetimes.
#include <gtest/gtest.h>

#include <climits>

#include "plat/gfx/dc.h"
#include "plat/gfx/image.h"

namespace plat {
namespace {

constexpr ColorRef kRed = makeColorRef(255, 0, 0);
constexpr ColorRef kGreen = makeColorRef(0, 255, 0);
constexpr ColorRef kBlue = makeColorRef(0, 0, 255);
constexpr ColorRef kWhite = makeColorRef(255, 255, 255);

ColorRef rgbAt(const DeviceContext& dc, int x, int y) { return colorRefFromPixel(dc.getPixel(x, y)); }

struct MemoryDc {
  std::unique_ptr<DeviceContext> dc = DeviceContext::createMemory();
  BitmapPtr bitmap;
  MemoryDc(int w, int h, ColorRef fill) : bitmap(Bitmap::create(w, h)) {
    dc->selectBitmap(bitmap);
    dc->fillRect(Rect{0, 0, w, h}, fill);
  }
};

TEST(GfxRectList, SubtractAndUnionStayDisjoint) {
  RectList u = disjointUnion({Rect{0, 0, 10, 10}, Rect{5, 5, 15, 15}, Rect{2, 2, 3, 3}, Rect{}});
  EXPECT_EQ(listArea(u), 100 + 100 - 25);
  for (size_t i = 0; i < u.size(); ++i)
    for (size_t j = i + 1; j < u.size(); ++j) EXPECT_TRUE(intersectRects(u[i], u[j]).empty());
  subtractFromList(&u, Rect{0, 0, 15, 8});
  EXPECT_EQ(listArea(u), 2 * 10 + 7 * 10 - 2 * 5);
  EXPECT_TRUE(listContains(u, Point{14, 14}));
  EXPECT_FALSE(listContains(u, Point{14, 7}));
}

TEST(GfxSurface, RefusesBadDimensionsAndKeepsContents) {
  Surface s;
  ASSERT_EQ(s.reset(4, 4, 7), S_OK);
  EXPECT_EQ(s.reset(-1, 4), E_INVALIDARG);
  EXPECT_EQ(s.reset(Surface::kMaxDimension + 1, 1), E_INVALIDARG);
  EXPECT_EQ(s.reset(16384, 16384), E_INVALIDARG);  // too many pixels
  EXPECT_EQ(s.width(), 4);
  EXPECT_EQ(s.pixel(3, 3), 7u);
  EXPECT_EQ(s.pixel(4, 0), 0u);
  EXPECT_EQ(Bitmap::create(0, -5), nullptr);
}

TEST(GfxDraw, MemoryContextWithoutBitmapDrawsNothing) {
  auto dc = DeviceContext::createMemory();
  dc->fillRect(Rect{0, 0, 10, 10}, kRed);
  dc->lineTo(100, 100);
  EXPECT_EQ(dc->getPixel(0, 0), 0u);
  EXPECT_TRUE(dc->effectiveClip().empty());
}

TEST(GfxDraw, FillClipsAtEveryEdgeAndExtremeCoordinates) {
  MemoryDc m(20, 10, kBlue);
  m.dc->fillRect(Rect{INT32_MIN, INT32_MIN, 3, 2}, kRed);          // top-left corner
  m.dc->fillRect(Rect{17, 8, INT32_MAX, INT32_MAX}, kGreen);        // bottom-right corner
  m.dc->fillRect(Rect{5, 5, 4, 9}, kWhite);                         // inverted: nothing
  EXPECT_EQ(rgbAt(*m.dc, 0, 0), kRed);
  EXPECT_EQ(rgbAt(*m.dc, 2, 1), kRed);
  EXPECT_EQ(rgbAt(*m.dc, 3, 1), kBlue);
  EXPECT_EQ(rgbAt(*m.dc, 2, 2), kBlue);
  EXPECT_EQ(rgbAt(*m.dc, 19, 9), kGreen);
  EXPECT_EQ(rgbAt(*m.dc, 16, 9), kBlue);
  EXPECT_EQ(rgbAt(*m.dc, 5, 5), kBlue);
}

TEST(GfxDraw, CopyClipsToSourceAndDestination) {
  MemoryDc src(8, 8, kRed);
  src.dc->fillRect(Rect{4, 4, 8, 8}, kGreen);
  MemoryDc dst(10, 10, kBlue);
  // Source origin at (-2, -2): the first two rows and columns have no source.
  dst.dc->copyFrom(Rect{0, 0, 10, 10}, *src.dc, Point{-2, -2});
  EXPECT_EQ(rgbAt(*dst.dc, 1, 1), kBlue);
  EXPECT_EQ(rgbAt(*dst.dc, 2, 2), kRed);
  EXPECT_EQ(rgbAt(*dst.dc, 6, 6), kGreen);
  EXPECT_EQ(rgbAt(*dst.dc, 9, 9), kGreen);
  // Huge offsets on either side touch nothing and do not crash.
  dst.dc->copyFrom(Rect{INT32_MAX - 5, 0, INT32_MAX, 10}, *src.dc, Point{0, 0});
  dst.dc->copyFrom(Rect{0, 0, 10, 10}, *src.dc, Point{INT32_MIN, INT32_MAX - 3});
  dst.dc->copyFrom(Rect{-20, -20, 0, 0}, *src.dc, Point{0, 0});
  EXPECT_EQ(rgbAt(*dst.dc, 1, 1), kBlue);
  EXPECT_EQ(rgbAt(*dst.dc, 9, 9), kGreen);
}

TEST(GfxDraw, CopyWithinOneBitmapHandlesOverlap) {
  MemoryDc m(6, 6, kBlue);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) m.dc->setPixel(x, y, makeColorRef(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0));
  m.dc->copyFrom(Rect{1, 1, 6, 6}, *m.dc, Point{0, 0});  // shift down-right by one
  EXPECT_EQ(rgbAt(*m.dc, 5, 5), makeColorRef(4, 4, 0));
  EXPECT_EQ(rgbAt(*m.dc, 1, 1), makeColorRef(0, 0, 0));
  EXPECT_EQ(rgbAt(*m.dc, 3, 2), makeColorRef(2, 1, 0));
}

TEST(GfxDraw, StretchMapsPixelCentres) {
  MemoryDc src(2, 2, kRed);
  src.dc->setPixel(1, 0, kGreen);
  src.dc->setPixel(0, 1, kBlue);
  src.dc->setPixel(1, 1, kWhite);
  MemoryDc dst(8, 8, 0);
  dst.dc->stretchFrom(Rect{0, 0, 8, 8}, *src.dc, Rect{0, 0, 2, 2});
  EXPECT_EQ(rgbAt(*dst.dc, 0, 0), kRed);
  EXPECT_EQ(rgbAt(*dst.dc, 3, 3), kRed);
  EXPECT_EQ(rgbAt(*dst.dc, 4, 0), kGreen);
  EXPECT_EQ(rgbAt(*dst.dc, 0, 7), kBlue);
  EXPECT_EQ(rgbAt(*dst.dc, 7, 7), kWhite);
  // Shrink part of the source: the 2x2 block at (1,1) of a 4x4 pattern.
  MemoryDc pattern(4, 4, kRed);
  pattern.dc->fillRect(Rect{2, 2, 4, 4}, kGreen);
  MemoryDc small(2, 2, 0);
  small.dc->stretchFrom(Rect{0, 0, 2, 2}, *pattern.dc, Rect{0, 0, 4, 4});
  EXPECT_EQ(rgbAt(*small.dc, 0, 0), kRed);
  EXPECT_EQ(rgbAt(*small.dc, 1, 1), kGreen);
  // A source rectangle partly outside the source: only the existing part lands.
  MemoryDc dst2(4, 4, kBlue);
  dst2.dc->stretchFrom(Rect{0, 0, 4, 4}, *src.dc, Rect{-2, 0, 2, 2});
  EXPECT_EQ(rgbAt(*dst2.dc, 0, 0), kBlue);
  EXPECT_EQ(rgbAt(*dst2.dc, 2, 0), kRed);
  EXPECT_EQ(rgbAt(*dst2.dc, 3, 3), kWhite);
}

TEST(GfxDraw, StretchWithExtremeRectanglesIsSafe) {
  MemoryDc src(4, 4, kRed);
  MemoryDc dst(16, 16, kBlue);
  dst.dc->stretchFrom(Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, *src.dc,
                      Rect{0, 0, 4, 4});
  EXPECT_EQ(rgbAt(*dst.dc, 8, 8), kRed);  // the centre of the huge target maps into the source
  dst.dc->stretchFrom(Rect{0, 0, 16, 16}, *src.dc, Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
  dst.dc->stretchFrom(Rect{0, 0, 16, 16}, *src.dc, Rect{3, 3, 1, 1});  // inverted: nothing
  SUCCEED();
}

TEST(GfxDraw, ColourKeyedCopySkipsKeyPixels) {
  constexpr ColorRef kKey = makeColorRef(255, 0, 255);
  MemoryDc src(4, 1, kKey);
  src.dc->setPixel(1, 0, kRed);
  src.dc->setPixel(3, 0, makeColorRef(255, 0, 254));  // near the key: kept
  MemoryDc dst(4, 1, kBlue);
  dst.dc->copyKeyed(Rect{0, 0, 4, 1}, *src.dc, Rect{0, 0, 4, 1}, kKey);
  EXPECT_EQ(rgbAt(*dst.dc, 0, 0), kBlue);
  EXPECT_EQ(rgbAt(*dst.dc, 1, 0), kRed);
  EXPECT_EQ(rgbAt(*dst.dc, 2, 0), kBlue);
  EXPECT_EQ(rgbAt(*dst.dc, 3, 0), makeColorRef(255, 0, 254));
}

TEST(GfxDraw, AlphaBlendUsesPixelAndConstantAlpha) {
  Image img;
  ASSERT_EQ(img.pixels.reset(4, 1), S_OK);
  img.hasAlpha = true;
  img.pixels.setPixel(0, 0, makePixel(255, 255, 255, 0));    // transparent
  img.pixels.setPixel(1, 0, makePixel(255, 255, 255, 255));  // opaque
  img.pixels.setPixel(2, 0, makePixel(255, 255, 255, 128));  // half
  img.pixels.setPixel(3, 0, makePixel(255, 0, 0, 255));
  MemoryDc dst(4, 2, makeColorRef(0, 0, 0));
  dst.dc->drawImage(img, Rect{0, 0, 4, 1});
  EXPECT_EQ(rgbAt(*dst.dc, 0, 0), makeColorRef(0, 0, 0));
  EXPECT_EQ(rgbAt(*dst.dc, 1, 0), kWhite);
  EXPECT_EQ(rgbAt(*dst.dc, 2, 0), makeColorRef(128, 128, 128));
  EXPECT_EQ(rgbAt(*dst.dc, 3, 0), kRed);
  dst.dc->drawImage(img, Rect{0, 1, 4, 2}, 64);  // a quarter of each pixel's alpha
  EXPECT_EQ(rgbAt(*dst.dc, 1, 1), makeColorRef(64, 64, 64));
  EXPECT_EQ(rgbAt(*dst.dc, 2, 1), makeColorRef(32, 32, 32));
  // Constant alpha alone, ignoring the source's own alpha.
  MemoryDc src(1, 1, kWhite);
  MemoryDc d2(1, 1, makeColorRef(0, 0, 0));
  d2.dc->blendFrom(Rect{0, 0, 1, 1}, *src.dc, Rect{0, 0, 1, 1}, BlendParams{191, false});
  EXPECT_EQ(rgbAt(*d2.dc, 0, 0), makeColorRef(191, 191, 191));
}

TEST(GfxDraw, SurfaceContextHonoursOriginAndSystemClip) {
  Surface window;
  ASSERT_EQ(window.reset(40, 30, makePixel(0, 0, 0)), S_OK);
  // A child at (10, 5) whose visible part is (10,5)-(30,20) minus a sibling at (20,5)-(30,10).
  RectList visible{Rect{10, 5, 20, 20}, Rect{20, 10, 30, 20}};
  auto dc = DeviceContext::createForSurface(&window, Point{10, 5}, visible);
  dc->fillRect(Rect{-100, -100, 100, 100}, kRed);
  EXPECT_EQ(colorRefFromPixel(window.pixel(10, 5)), kRed);
  EXPECT_EQ(colorRefFromPixel(window.pixel(9, 5)), 0u);
  EXPECT_EQ(colorRefFromPixel(window.pixel(25, 7)), 0u);  // sibling's area
  EXPECT_EQ(colorRefFromPixel(window.pixel(29, 19)), kRed);
  EXPECT_EQ(colorRefFromPixel(window.pixel(30, 19)), 0u);
  EXPECT_EQ(rgbAt(*dc, 0, 0), kRed);  // (0,0) of the context is (10,5) of the surface
  // The context's own clip narrows further, in its own coordinates.
  dc->setClip(RectList{Rect{0, 0, 2, 2}});
  dc->fillRect(Rect{0, 0, 20, 20}, kGreen);
  EXPECT_EQ(rgbAt(*dc, 1, 1), kGreen);
  EXPECT_EQ(rgbAt(*dc, 2, 2), kRed);
  dc->setClip(std::nullopt);
  dc->fillRect(Rect{0, 0, 20, 20}, kGreen);
  EXPECT_EQ(rgbAt(*dc, 15, 10), kGreen);
}

TEST(GfxDraw, LinesAndRectangles) {
  MemoryDc m(10, 10, 0);
  m.dc->selectPen(solidPen(kRed));
  m.dc->moveTo(0, 0);
  m.dc->lineTo(5, 0);  // end point excluded
  EXPECT_EQ(rgbAt(*m.dc, 0, 0), kRed);
  EXPECT_EQ(rgbAt(*m.dc, 4, 0), kRed);
  EXPECT_EQ(rgbAt(*m.dc, 5, 0), 0u);
  m.dc->lineTo(5, 5);
  EXPECT_EQ(rgbAt(*m.dc, 5, 4), kRed);
  // Diagonal with huge end points: clipped, passes through the surface.
  m.dc->selectPen(solidPen(kGreen));
  m.dc->moveTo(INT32_MIN, INT32_MIN);
  m.dc->lineTo(INT32_MAX, INT32_MAX);
  EXPECT_EQ(rgbAt(*m.dc, 7, 7), kGreen);
  EXPECT_EQ(rgbAt(*m.dc, 7, 8), 0u);
  MemoryDc r(10, 10, 0);
  r.dc->selectPen(solidPen(kWhite, 2));
  r.dc->selectBrush(solidBrush(kBlue));
  r.dc->rectangle(Rect{1, 1, 9, 9});
  EXPECT_EQ(rgbAt(*r.dc, 1, 1), kWhite);
  EXPECT_EQ(rgbAt(*r.dc, 2, 5), kWhite);
  EXPECT_EQ(rgbAt(*r.dc, 3, 3), kBlue);
  EXPECT_EQ(rgbAt(*r.dc, 8, 8), kWhite);
  EXPECT_EQ(rgbAt(*r.dc, 9, 9), 0u);
  r.dc->selectPen(stockPen(StockPen::Null));
  r.dc->selectBrush(stockBrush(StockBrush::Null));
  r.dc->rectangle(Rect{0, 0, 10, 10});  // draws nothing
  EXPECT_EQ(rgbAt(*r.dc, 0, 0), 0u);
}

TEST(GfxDraw, ObjectsAreFreedByTheirHolders) {
  const GdiObjectCounts before = liveGdiObjects();
  {
    auto dc = DeviceContext::createMemory();
    BitmapPtr a = Bitmap::create(4, 4);
    BitmapPtr b = Bitmap::create(4, 4);
    EXPECT_EQ(dc->selectBitmap(a), nullptr);
    EXPECT_EQ(dc->selectBitmap(b), a);
    a.reset();
    EXPECT_EQ(liveGdiObjects().bitmaps, before.bitmaps + 1);
    b.reset();  // still selected: kept alive by the context
    EXPECT_EQ(liveGdiObjects().bitmaps, before.bitmaps + 1);
    EXPECT_EQ(liveGdiObjects().deviceContexts, before.deviceContexts + 1);
  }
  EXPECT_EQ(liveGdiObjects(), before);
}

}  // namespace
}  // namespace plat
