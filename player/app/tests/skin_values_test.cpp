#include <gtest/gtest.h>

#include "app/skin/skin_values.h"

namespace tunora::skin {
namespace {

struct RectCase {
  const char* text;
  plat::Rect want;
};

TEST(SkinValues, RectangleSyntax) {
  const RectCase cases[] = {
      {"10,20,30,40", {10, 20, 40, 60}},
      {"0x10;010 5 5", {16, 8, 21, 13}},      // hex and octal, mixed separators
      {"  1 ,\t2 :: 3;;4  ", {1, 2, 4, 6}},   // runs of separators
      {"5,6", {5, 6, 5, 6}},                  // missing numbers count as 0
      {"", {0, 0, 0, 0}},
      {"-10,-20,30,40", {-10, -20, 20, 20}},
      {"abc,7,1,1", {0, 7, 1, 8}},            // a token that is no number reads as 0
      {"08,1,1,1", {0, 1, 1, 2}},             // octal stops at 8
      {"2147483647,0,10,0", {2147483647, 0, 2147483647, 0}},  // right saturates
  };
  for (const RectCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseRect(c.text), c.want);
  }
}

TEST(SkinValues, NumberFollowsAtoi) {
  EXPECT_EQ(parseNumber("  42xyz"), 42);
  EXPECT_EQ(parseNumber("-7"), -7);
  EXPECT_EQ(parseNumber("+3"), 3);
  EXPECT_EQ(parseNumber("x12"), 0);
  EXPECT_EQ(parseNumber("0x10"), 0);  // decimal only
  EXPECT_EQ(parseNumber("99999999999"), 2147483647);
  EXPECT_EQ(parseNumber("-99999999999"), -2147483647 - 1);
}

TEST(SkinValues, Colour) {
  EXPECT_EQ(parseColor("255,128,0"), (Rgb{255, 128, 0}));
  EXPECT_EQ(parseColor("256,-1,7"), (Rgb{0, 255, 7}));  // kept in 8 bits
  EXPECT_EQ(parseColor(" 1, 2, 3"), (Rgb{1, 2, 3}));
  EXPECT_FALSE(parseColor("1,2"));
  EXPECT_FALSE(parseColor("1;2;3"));
  EXPECT_FALSE(parseColor("red"));
}

TEST(SkinValues, FontSyntax) {
  auto f = parseFont("Noto Sans CJK JP,20,700");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->face, "Noto Sans CJK JP");
  EXPECT_EQ(f->height, 20);
  EXPECT_EQ(f->weight, 700);
  EXPECT_EQ(f->charset, 0);

  f = parseFont("Face,18,400,128");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->charset, 128);

  EXPECT_FALSE(parseFont("Face,20"));   // two fields are no font
  EXPECT_FALSE(parseFont(",20,400"));   // no face
  EXPECT_FALSE(parseFont("Face;20,400"));  // ';' ends the face but only ',' separates fields
  EXPECT_FALSE(parseFont("Face,x,400"));

  // The face is bounded: at the limit it is a font, one byte more is none.
  const std::string atLimit(kMaxFaceBytes, 'a');
  ASSERT_TRUE(parseFont(atLimit + ",20,400"));
  EXPECT_EQ(parseFont(atLimit + ",20,400")->face.size(), kMaxFaceBytes);
  EXPECT_FALSE(parseFont(atLimit + "a,20,400"));
}

}  // namespace
}  // namespace tunora::skin
