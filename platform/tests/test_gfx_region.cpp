// Region data blocks: validation of the header, count and size, and the
// region a valid block describes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "plat/gfx/region_data.h"

namespace plat {
namespace {

void putU32(std::string* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string twoRectBlock() {
  return encodeRegionData({Rect{0, 0, 10, 5}, Rect{2, 5, 8, 10}});
}

struct BadBlockCase {
  const char* name;
  std::string block;
};

TEST(GfxRegionData, RejectsInvalidBlocks) {
  std::string base = twoRectBlock();
  std::vector<BadBlockCase> cases;
  cases.push_back({"empty", ""});
  cases.push_back({"shorter than the header", base.substr(0, 31)});
  { std::string b = base; putU32(&b, 0, 28); cases.push_back({"header size 28", b}); }
  { std::string b = base; putU32(&b, 0, 36); cases.push_back({"header size 36", b}); }
  { std::string b = base; putU32(&b, 4, 0); cases.push_back({"type 0", b}); }
  { std::string b = base; putU32(&b, 4, 2); cases.push_back({"type 2", b}); }
  { std::string b = base; putU32(&b, 8, 3); cases.push_back({"count one too many", b}); }
  { std::string b = base; putU32(&b, 8, 0xFFFFFFFFu); cases.push_back({"count wraps 32 bits", b}); }
  { std::string b = base; putU32(&b, 8, 0x10000000u); cases.push_back({"16 * count wraps", b}); }
  cases.push_back({"last rectangle cut short", base.substr(0, base.size() - 1)});
  for (const auto& c : cases) {
    RectList rects{Rect{1, 1, 2, 2}};
    EXPECT_EQ(parseRegionData(c.block, &rects), E_DATA_INVALID) << c.name;
    EXPECT_EQ(rects.size(), 1u) << c.name << ": output changed on failure";
  }
}

TEST(GfxRegionData, AcceptsValidBlocks) {
  RectList rects;
  ASSERT_EQ(parseRegionData(twoRectBlock(), &rects), S_OK);
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[1], (Rect{2, 5, 8, 10}));
  // The size field of the rectangle part may be 0, trailing bytes are ignored,
  // and a count of 0 gives an empty region.
  std::string b = twoRectBlock();
  putU32(&b, 12, 0);
  b += "trailing";
  ASSERT_EQ(parseRegionData(b, &rects), S_OK);
  EXPECT_EQ(rects.size(), 2u);
  std::string none = encodeRegionData({});
  ASSERT_EQ(parseRegionData(none, &rects), S_OK);
  EXPECT_TRUE(rects.empty());
  // Empty (inverted) rectangles are dropped; negative coordinates are kept.
  ASSERT_EQ(parseRegionData(encodeRegionData({Rect{5, 5, 1, 1}, Rect{-4, -4, -1, -1}}), &rects), S_OK);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0], (Rect{-4, -4, -1, -1}));
}

TEST(GfxRegionData, RegionHitTestsTheUnion) {
  Region region;
  ASSERT_EQ(parseRegionData(twoRectBlock(), &region), S_OK);
  EXPECT_TRUE(region.contains(Point{0, 0}));
  EXPECT_TRUE(region.contains(Point{9, 4}));
  EXPECT_TRUE(region.contains(Point{7, 9}));
  EXPECT_FALSE(region.contains(Point{1, 5}));  // the notch beside the lower part
  EXPECT_FALSE(region.contains(Point{8, 9}));
  EXPECT_EQ(region.bounds(), (Rect{0, 0, 10, 10}));
}

TEST(GfxRegionData, LoadsRegionFiles) {
  const auto dir = std::filesystem::temp_directory_path() / "tunora_gfx_region_test";
  std::filesystem::create_directories(dir);
  const auto good = dir / "button.rgn";
  { std::ofstream(good, std::ios::binary) << twoRectBlock(); }
  Region region;
  EXPECT_EQ(loadRegionFile(good, &region), S_OK);
  EXPECT_TRUE(region.contains(Point{3, 7}));
  EXPECT_EQ(loadRegionFile(dir / "missing.rgn", &region), E_FILE_NOT_FOUND);
  const auto bad = dir / "bad.rgn";
  { std::ofstream(bad, std::ios::binary) << "not a region"; }
  RectList rects;
  EXPECT_EQ(loadRegionFile(bad, &rects), E_DATA_INVALID);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace plat
