// Fonts and text: stand-in faces for missing faces and glyphs, metrics,
// extents, and the layout flags (alignment, word break, end ellipsis,
// prefixes, calculate rectangle).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "plat/gfx/dc.h"

namespace plat {
namespace {

using namespace text_format;
constexpr ColorRef kWhite = makeColorRef(255, 255, 255);
constexpr ColorRef kBlack = makeColorRef(0, 0, 0);

struct Canvas {
  std::unique_ptr<DeviceContext> dc = DeviceContext::createMemory();
  BitmapPtr bitmap;
  Canvas(int w, int h) : bitmap(Bitmap::create(w, h)) {
    dc->selectBitmap(bitmap);
    dc->fillRect(Rect{0, 0, w, h}, kWhite);
    dc->setTextColor(kBlack);
    dc->setBackgroundMode(BackgroundMode::Transparent);
  }
  // Bounding box of every pixel that is no longer white.
  Rect ink() const {
    Rect box;
    const Surface& s = bitmap->surface();
    for (int y = 0; y < s.height(); ++y)
      for (int x = 0; x < s.width(); ++x)
        if ((s.pixel(x, y) & kRgbMask) != 0xFFFFFF) box = box.unite(Rect{x, y, x + 1, y + 1});
    return box;
  }
  int inkCount() const {
    int n = 0;
    const Surface& s = bitmap->surface();
    for (int y = 0; y < s.height(); ++y)
      for (int x = 0; x < s.width(); ++x) n += (s.pixel(x, y) & kRgbMask) != 0xFFFFFF;
    return n;
  }
};

FontPtr font(const char16_t* face, int height, int charset = kCharsetDefault) {
  FontPtr f = createFont(FontSpec{face, height, kWeightNormal, charset});
  EXPECT_NE(f, nullptr);
  return f;
}

TEST(GfxText, LatinTextStaysInsideItsExtent) {
  Canvas c(300, 60);
  c.dc->selectFont(font(u"DejaVu Sans", 20));
  const Size extent = c.dc->textExtent(u"Hello, Tunora");
  EXPECT_GT(extent.width, 60);
  EXPECT_EQ(extent.height, c.dc->textMetrics().height);
  c.dc->textOut(10, 20, u"Hello, Tunora");
  const Rect ink = c.ink();
  ASSERT_FALSE(ink.empty());
  // One pixel of slack for glyph overhang at the ends of the line.
  EXPECT_GE(ink.left, 10 - 1);
  EXPECT_LE(ink.right, 10 + extent.width + 1);
  EXPECT_GE(ink.top, 20);
  EXPECT_LE(ink.bottom, 20 + extent.height);
  EXPECT_GT(ink.width(), extent.width * 3 / 4);
}

TEST(GfxText, MissingFaceUsesTheJapaneseStandIn) {
  FontPtr f = font(u"No Such Face Anywhere", 24);
  ASSERT_TRUE(f);
  EXPECT_TRUE(f->isStandIn());
  EXPECT_EQ(f->familyUsed(), "Noto Sans CJK JP");
  FontPtr sc = font(u"No Such Face Anywhere", 24, kCharsetSimplifiedChinese);
  EXPECT_EQ(sc->familyUsed(), "Noto Sans CJK SC");
  FontPtr tc = font(u"No Such Face Anywhere", 24, kCharsetTraditionalChinese);
  EXPECT_EQ(tc->familyUsed(), "Noto Sans CJK TC");
  const TextMetrics m = f->metrics();
  EXPECT_NEAR(m.height, 24, 1);
  EXPECT_EQ(m.ascent + m.descent, m.height);
  EXPECT_GT(m.aveCharWidth, 0);
  EXPECT_GE(m.externalLeading, 0);
  EXPECT_GE(m.internalLeading, 0);
  // A negative height is the em size: taller cell than the same positive height.
  FontPtr em = font(u"No Such Face Anywhere", -24);
  EXPECT_GT(em->metrics().height, m.height);
}

TEST(GfxText, JapaneseAndChineseGlyphsComeFromTheStandIn) {
  // DejaVu Sans has no kana or ideographs: they must still render.
  FontPtr latin = font(u"DejaVu Sans", 24);
  ASSERT_FALSE(latin->isStandIn());
  for (const char16_t* text : {u"日本語テレビ", u"简体中文", u"繁體中文"}) {
    Canvas c(300, 40);
    c.dc->selectFont(latin);
    const Size extent = c.dc->textExtent(text);
    EXPECT_GT(extent.width, 60) << "no advance for stand-in glyphs";
    c.dc->textOut(4, 4, text);
    EXPECT_GT(c.inkCount(), 100);
    EXPECT_LE(c.ink().right, 4 + extent.width + 1);
  }
  // Two different ideographs give different pixels (not one box glyph).
  Canvas a(40, 40), b(40, 40);
  a.dc->selectFont(latin);
  b.dc->selectFont(latin);
  a.dc->textOut(2, 2, u"日");
  b.dc->textOut(2, 2, u"語");
  EXPECT_NE(a.inkCount(), b.inkCount());
}

TEST(GfxText, AlignmentFlagsPlaceTheLine) {
  FontPtr f = font(u"DejaVu Sans", 16);
  const Rect box{0, 0, 200, 60};
  struct Case { uint32_t flags; int expectLeft, expectRight, expectTop, expectBottom; };
  // -1 means "not checked"; positions allow a few pixels of side bearing.
  Canvas probe(200, 60);
  probe.dc->selectFont(f);
  const Size e = probe.dc->textExtent(u"Tuner");
  const int h = probe.dc->textMetrics().height;
  const Case cases[] = {
      {kLeft | kTop | kSingleLine, 0, e.width, 0, h},
      {kRight | kBottom | kSingleLine, 200 - e.width, 200, 60 - h, 60},
      {kCenter | kVCenter | kSingleLine, (200 - e.width) / 2, (200 + e.width) / 2, (60 - h) / 2, (60 + h) / 2},
      {0x8824, 0, e.width, (60 - h) / 2, (60 + h) / 2},   // label flags stored in skins
      {0x882C, 0, e.width, (60 - h) / 2, (60 + h) / 2},   // vertical centre wins over bottom
  };
  for (const Case& c : cases) {
    Canvas cv(200, 60);
    cv.dc->selectFont(f);
    Rect r = box;
    cv.dc->drawText(u"Tuner", &r, c.flags);
    const Rect ink = cv.ink();
    EXPECT_GE(ink.left, c.expectLeft - 2) << std::hex << c.flags;
    EXPECT_LE(ink.right, c.expectRight + 2) << std::hex << c.flags;
    EXPECT_GE(ink.top, c.expectTop) << std::hex << c.flags;
    EXPECT_LE(ink.bottom, c.expectBottom) << std::hex << c.flags;
  }
}

TEST(GfxText, WordBreakAndCalculateRectangle) {
  Canvas c(400, 200);
  c.dc->selectFont(font(u"DejaVu Sans", 16));
  const int h = c.dc->textMetrics().height;
  const int word = c.dc->textExtent(u"channel").width;
  // Room for one word per line: three lines.
  Rect r{0, 0, word + word / 2, 0};
  EXPECT_EQ(c.dc->drawText(u"channel channel channel", &r, kWordBreak | kCalcRect), 3 * h);
  EXPECT_EQ(r.bottom, 3 * h);
  EXPECT_LE(r.right, word + word / 2);
  EXPECT_EQ(c.inkCount(), 0) << "calculating draws nothing";
  // Japanese text breaks between characters without spaces.
  Rect j{0, 0, 5 * 16, 0};
  c.dc->drawText(u"番組表を表示しています", &j, kWordBreak | kCalcRect);
  EXPECT_GE(j.bottom, 2 * h);
  // A word wider than the line is split rather than lost.
  Rect narrow{0, 0, word / 2, 0};
  c.dc->drawText(u"channel", &narrow, kWordBreak | kCalcRect);
  EXPECT_GE(narrow.bottom, 2 * h);
  // Single line: width of the text, one line high; explicit newlines count otherwise.
  Rect one{5, 5, 6, 6};
  c.dc->drawText(u"a\nb", &one, kSingleLine | kCalcRect);
  EXPECT_EQ(one.bottom, 5 + h);
  Rect two{5, 5, 6, 6};
  c.dc->drawText(u"a\r\nb", &two, kCalcRect);
  EXPECT_EQ(two.bottom, 5 + 2 * h);
}

TEST(GfxText, EndEllipsisKeepsTheLineInsideTheRectangle) {
  FontPtr f = font(u"DejaVu Sans", 16);
  const char16_t* text = u"Programme guide for the whole week";
  Canvas plain(400, 40), cut(400, 40);
  plain.dc->selectFont(f);
  cut.dc->selectFont(f);
  Rect r1{0, 0, 120, 30}, r2 = r1;
  plain.dc->drawText(text, &r1, kSingleLine | kNoClip);
  cut.dc->drawText(text, &r2, kSingleLine | kNoClip | kEndEllipsis);
  EXPECT_GT(plain.ink().right, 130);
  EXPECT_LE(cut.ink().right, 120);
  EXPECT_GT(cut.ink().right, 90);  // text up to the ellipsis, not an empty line
  // Word-broken text with more lines than fit: the last visible line ends in
  // an ellipsis and nothing is drawn below the rectangle.
  Canvas multi(400, 100);
  multi.dc->selectFont(f);
  const int h = multi.dc->textMetrics().height;
  Rect r3{0, 0, 120, 2 * h};
  multi.dc->drawText(text, &r3, kWordBreak | kEndEllipsis | kNoClip);
  EXPECT_LE(multi.ink().bottom, 2 * h);
  EXPECT_LE(multi.ink().right, 120);
}

TEST(GfxText, PrefixesClippingAndBackground) {
  FontPtr f = font(u"DejaVu Sans", 16);
  Canvas a(200, 30), b(200, 30), c(200, 30);
  for (Canvas* cv : {&a, &b, &c}) cv->dc->selectFont(f);
  Rect r{0, 0, 200, 30};
  Rect r1 = r, r2 = r, r3 = r;
  a.dc->drawText(u"&File", &r1, kSingleLine);
  b.dc->drawText(u"File", &r2, kSingleLine);
  c.dc->drawText(u"&File", &r3, kSingleLine | kNoPrefix);
  EXPECT_EQ(a.inkCount(), b.inkCount());
  EXPECT_GT(c.inkCount(), b.inkCount());
  // Clipped to the rectangle unless told otherwise.
  Canvas clip(200, 30);
  clip.dc->selectFont(f);
  Rect small{0, 0, 20, 30};
  clip.dc->drawText(u"Wide text here", &small, kSingleLine);
  EXPECT_LE(clip.ink().right, 20);
  // Opaque background fills the line box with the background colour.
  Canvas opaque(200, 30);
  opaque.dc->selectFont(f);
  opaque.dc->setBackgroundMode(BackgroundMode::Opaque);
  opaque.dc->setBackgroundColor(makeColorRef(0, 0, 255));
  opaque.dc->textOut(0, 0, u"i i");
  EXPECT_EQ(colorRefFromPixel(opaque.dc->getPixel(1, 1)), makeColorRef(0, 0, 255));
}

TEST(GfxText, AntialiasingOffGivesTwoLevels) {
  Canvas c(200, 40);
  c.dc->selectFont(createFont(FontSpec{u"DejaVu Sans", 20, kWeightNormal, 0, false, false}));
  c.dc->textOut(2, 2, u"Aa 日本");
  const Surface& s = c.bitmap->surface();
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) {
      const uint32_t v = s.pixel(x, y) & kRgbMask;
      ASSERT_TRUE(v == 0 || v == 0xFFFFFF) << x << "," << y;
    }
  EXPECT_GT(c.inkCount(), 50);
}

TEST(GfxText, BoldIsHeavierAndFaceNamesAreBounded) {
  Canvas regular(200, 40), bold(200, 40);
  regular.dc->selectFont(createFont(FontSpec{u"No Such Face", 20, kWeightNormal}));
  bold.dc->selectFont(createFont(FontSpec{u"No Such Face", 20, kWeightBold}));
  regular.dc->textOut(2, 2, u"番組 Guide");
  bold.dc->textOut(2, 2, u"番組 Guide");
  EXPECT_GT(bold.inkCount(), regular.inkCount());
  FontPtr longName = createFont(FontSpec{std::u16string(100, u'x'), 12});
  ASSERT_TRUE(longName);
  EXPECT_EQ(longName->spec().face.size(), kMaxFaceNameLength);
}

TEST(GfxText, FontResourcesAreCountedAndFontsFreed) {
  const auto dir = std::filesystem::temp_directory_path() / "tunora_gfx_font_test";
  std::filesystem::create_directories(dir);
  const GdiObjectCounts before = liveGdiObjects();
  {
    FontPtr f = createFont(FontSpec{u"DejaVu Sans", 12});
    EXPECT_EQ(liveGdiObjects().fonts, before.fonts + 1);
  }
  EXPECT_EQ(liveGdiObjects(), before);

  std::filesystem::path fontFile;
  for (const char* candidate : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"})
    if (std::filesystem::exists(candidate)) fontFile = candidate;
  if (fontFile.empty()) GTEST_SKIP() << "no known font file to add";
  const auto copy = dir / "skin_font.ttf";
  std::filesystem::copy_file(fontFile, copy, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(addFontResource(copy), S_OK);
  EXPECT_EQ(addFontResource(copy), S_OK);
  EXPECT_FALSE(createFont(FontSpec{u"dejavu sans", 14})->isStandIn());
  EXPECT_EQ(removeFontResource(copy), S_OK);
  EXPECT_EQ(removeFontResource(copy), S_OK);
  EXPECT_EQ(removeFontResource(copy), E_FILE_NOT_FOUND);
  EXPECT_EQ(addFontResource(dir / "missing.ttf"), E_FILE_NOT_FOUND);
  { std::ofstream(dir / "junk.ttf") << "not a font"; }
  EXPECT_EQ(addFontResource(dir / "junk.ttf"), E_DATA_INVALID);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace plat
