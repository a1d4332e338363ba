#include <gtest/gtest.h>

#include "app/skin/image_cache.h"
#include "app/skin/skin_document.h"
#include "app/skin/skin_set.h"
#include "plat/gfx/image.h"
#include "plat/gfx/region_data.h"
#include "skin_fixture.h"

namespace tunora::skin {
namespace {

constexpr char kDoc[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<Skin>
  <Item name="NotASection" value="1"/>
  <Picture>
    <p id="1" value="img\one.png"/>
    <p id="2" value="img\two.png"/>
    <p id="1" value="img\shadowed.png"/>
    <p id="3"/>
  </Picture>
  <Window name="Alpha">
    <!-- a comment between items -->
    <Item name="Count" value="12"/>
    <Item name="Dup"/>
    <Item name="Dup" value="first"/>
    <Item name="Dup" value="second"/>
    <Item name="Area" value="10,20,30,40"/>
    <Item name="Colour" value="1,2,3"/>
    <Item name="Pic" value="2"/>
    <Item name="Missing" value="9"/>
    <Item name="NoPath" value="3"/>
    <Item name="Font" value="Noto Sans CJK JP,24,700"/>
    <Item name="SameFont" value="Noto Sans CJK JP,24,700"/>
    <Item name="OtherFont" value="Noto Sans CJK JP,24,400"/>
    <Item name="Short" value="Noto Sans CJK JP,24"/>
    <Item name="Text" value="番組表"/>
  </Window>
  <Window name="Beta"><Item name="Count" value="99"/></Window>
</Skin>)";

class SkinDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(doc.openMemory(kDoc, u"\\skins\\a\\")); }
  SkinDocument doc;
};

TEST_F(SkinDocumentTest, CaseRules) {
  EXPECT_EQ(doc.getNumber("Alpha", "Count"), 12);
  EXPECT_FALSE(doc.getNumber("Alpha", "count"));  // exact key
  EXPECT_EQ(doc.getNumberNoCase("Alpha", "count"), 12);
  EXPECT_EQ(doc.getString("alpha", "TEXT"), "番組表");
  EXPECT_TRUE(doc.getRect("ALPHA", "area"));
  EXPECT_TRUE(doc.getPicturePath("alpha", "pic"));
  // The exact look-up still finds a section named in another case.
  EXPECT_EQ(doc.getNumber("beta", "Count"), 99);
}

TEST_F(SkinDocumentTest, FirstItemWithValueWins) {
  EXPECT_EQ(doc.getString("Alpha", "Dup"), "first");
}

TEST_F(SkinDocumentTest, SectionSwitchingKeepsAnswersRight) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(doc.getNumber("Alpha", "Count"), 12);
    EXPECT_EQ(doc.getNumber("Beta", "Count"), 99);
  }
  EXPECT_FALSE(doc.getNumber("Gamma", "Count"));
  EXPECT_FALSE(doc.getNumber("NotASection", "Count"));  // elements before the first Window are skipped
  EXPECT_FALSE(doc.getNumber("", "Count"));
  EXPECT_FALSE(doc.getNumber("Alpha", ""));
}

TEST_F(SkinDocumentTest, ValuesAndColours) {
  EXPECT_EQ(doc.getRect("Alpha", "Area"), (plat::Rect{10, 20, 40, 60}));
  EXPECT_EQ(doc.getColor("Alpha", "Colour"), (Rgb{1, 2, 3}));
  EXPECT_EQ(doc.getColor("Alpha", "Area"), (Rgb{10, 20, 30}));  // read as "%d,%d,%d"
  EXPECT_FALSE(doc.getColor("Alpha", "Text"));
}

TEST_F(SkinDocumentTest, PictureLookup) {
  EXPECT_EQ(doc.getPicturePath("Alpha", "Pic"), std::u16string(u"\\skins\\a\\img\\two.png"));
  // A missing picture id, an entry without a path and a missing key give no
  // path at all - never the bare directory.
  EXPECT_FALSE(doc.getPicturePath("Alpha", "Missing"));
  EXPECT_FALSE(doc.getPicturePath("Alpha", "NoPath"));
  EXPECT_FALSE(doc.getPicturePath("Alpha", "Nothing"));
}

TEST_F(SkinDocumentTest, FontsAreCachedPerDistinctValue) {
  auto a = doc.getFont("Alpha", "Font");
  ASSERT_TRUE(a);
  EXPECT_EQ(doc.getFont("Alpha", "SameFont"), a);
  auto b = doc.getFont("Alpha", "OtherFont");
  ASSERT_TRUE(b);
  EXPECT_NE(a, b);
  EXPECT_EQ(doc.cachedFontCount(), 2u);
  EXPECT_FALSE(doc.getFont("Alpha", "Short"));
  EXPECT_EQ(a->spec().height, 24);
  EXPECT_EQ(a->spec().weight, 700);
}

TEST(SkinDocumentLoad, RejectsWhatIsNoDocument) {
  SkinDocument doc;
  EXPECT_FALSE(doc.openMemory("", u"\\"));
  EXPECT_FALSE(doc.openMemory("not xml at all", u"\\"));
  EXPECT_FALSE(doc.loaded());
  EXPECT_FALSE(doc.getString("A", "B"));
  // Recovery keeps what parsed before the damage.
  EXPECT_TRUE(doc.openMemory(R"(<S><Window name="W"><I name="K" value="5"/></Window><Window name=)", u"\\"));
  EXPECT_EQ(doc.getNumber("W", "K"), 5);
}

TEST(SkinDocumentLoad, FileNameMatchesWithoutCase) {
  testing::TempDevice dev;
  dev.write("skins/one/dvbplayerskin1X.xml", R"(<S><Window name="W"><I name="K" value="7"/></Window></S>)");
  const std::u16string dir = dev.progDevice() + u"skins\\one\\";
  SkinDocument doc;
  ASSERT_TRUE(doc.open(dir, u"dvbplayerskin1x.xml"));
  EXPECT_EQ(doc.getNumber("W", "K"), 7);
  EXPECT_TRUE(doc.open(dir, u"DVBPLAYERSKIN1X.XML"));
  EXPECT_FALSE(doc.open(dir, u"dvbplayerskin.xml"));
}

// --- image cache ---------------------------------------------------------

class ImageCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    imageCache().clear();
    imageCache().setEnabled(true);
    imageCache().setCorruptHandler([this](plat::StringView16 p) { corrupt.emplace_back(p); });
  }
  void TearDown() override {
    imageCache().setCorruptHandler(nullptr);
    imageCache().clear();
    imageCache().setEnabled(false);
  }
  void writePng(const std::string& rel, uint8_t red) {
    plat::Surface s;
    s.reset(4, 4, plat::makePixel(red, 0, 0, 255));
    std::string png;
    ASSERT_FALSE(plat::failed(plat::encodePng(s, false, &png)));
    dev.write(rel, png);
  }
  testing::TempDevice dev;
  std::vector<std::u16string> corrupt;
};

TEST(ImageCacheHash, ShortPathsAndExtensionsHashSafely) {
  EXPECT_EQ(imageCacheBucket(u""), 0u);
  EXPECT_EQ(imageCacheBucket(u"a"), 0u);
  EXPECT_EQ(imageCacheBucket(u".png"), 0u);
  EXPECT_LT(imageCacheBucket(u"\\skins\\a\\play.png"), kImageCacheBuckets);
  EXPECT_EQ(imageCacheBucket(u"\\x\\a.png"), imageCacheBucket(u"\\x\\a.bmp"));
}

TEST_F(ImageCacheTest, CollidingPathsAreToldApart) {
  writePng("a.png", 10);
  writePng("a_png", 20);  // same bucket: only the last four characters differ
  const std::u16string p1 = dev.progDevice() + u"a.png", p2 = dev.progDevice() + u"a_png";
  ASSERT_EQ(imageCacheBucket(p1), imageCacheBucket(p2));
  auto i1 = imageCache().load(p1);
  auto i2 = imageCache().load(p2);
  ASSERT_TRUE(i1 && i2);
  EXPECT_NE(i1, i2);
  EXPECT_EQ(((i1->pixels.pixel(0, 0) >> 16) & 0xFF), 10u);
  EXPECT_EQ(((i2->pixels.pixel(0, 0) >> 16) & 0xFF), 20u);
  EXPECT_EQ(imageCache().chainLength(p1), 2u);
  EXPECT_EQ(imageCache().load(p1), i1);  // decoded once, then shared
  EXPECT_EQ(imageCache().useCount(p1), 2u);
  EXPECT_EQ(imageCache().size(), 2u);
}

TEST_F(ImageCacheTest, MissingIsNoImageAndDamagedIsReported) {
  ImageResult r;
  EXPECT_FALSE(imageCache().load(dev.progDevice() + u"nothing.png", &r));
  EXPECT_EQ(r, ImageResult::NotFound);
  EXPECT_FALSE(imageCache().load(dev.progDevice(), &r));  // a directory is no image
  EXPECT_EQ(r, ImageResult::NotFound);
  EXPECT_TRUE(corrupt.empty());

  dev.write("bad.png", "\x89PNG\r\n\x1a\n broken");
  EXPECT_FALSE(imageCache().load(dev.progDevice() + u"bad.png", &r));
  EXPECT_EQ(r, ImageResult::Corrupt);
  ASSERT_EQ(corrupt.size(), 1u);
  EXPECT_EQ(corrupt[0], dev.progDevice() + u"bad.png");
}

TEST_F(ImageCacheTest, DisabledCacheKeepsNothing) {
  imageCache().setEnabled(false);
  writePng("c.png", 1);
  auto a = imageCache().load(dev.progDevice() + u"c.png");
  auto b = imageCache().load(dev.progDevice() + u"c.png");
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  EXPECT_EQ(imageCache().size(), 0u);
}

// --- region files ----------------------------------------------------------

std::string le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string regionBlock(uint32_t header, uint32_t type, uint32_t count, int rects) {
  std::string b = le32(header) + le32(type) + le32(count) + le32(16u * count);
  b += le32(0) + le32(0) + le32(10) + le32(10);
  for (int i = 0; i < rects; ++i) b += le32(0) + le32(0) + le32(10) + le32(10);
  return b;
}

TEST(RegionFiles, DamagedFilesGiveNoRegion) {
  testing::TempDevice dev;
  struct Case {
    const char* what;
    std::string bytes;
    bool ok;
  } cases[] = {
      {"valid", regionBlock(32, 1, 1, 1), true},
      {"empty file", "", false},
      {"short header", regionBlock(32, 1, 0, 0).substr(0, 20), false},
      {"wrong header size", regionBlock(16, 1, 1, 1), false},
      {"wrong type", regionBlock(32, 2, 1, 1), false},
      {"count past the end", regionBlock(32, 1, 3, 1), false},
      {"huge count", regionBlock(32, 1, 0x10000000u, 1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dev.write("r.rgn", c.bytes);
    const auto region = loadRegion(dev.progDevice() + u"r.rgn");
    EXPECT_EQ(region.has_value(), c.ok);
    if (region) {
      EXPECT_TRUE(region->contains(plat::Point{5, 5}));
    }
  }
  EXPECT_FALSE(loadRegion(dev.progDevice() + u"none.rgn"));
}

TEST(RegionFiles, PathFromStateImage) {
  EXPECT_EQ(regionPathForImage(u"\\s\\bt\\play_0.png"), u"\\s\\bt\\play_0.rgn");
  EXPECT_EQ(regionPathForImage(u"\\s.d\\bt\\play"), u"\\s.d\\bt\\play.rgn");
}

}  // namespace
}  // namespace tunora::skin
