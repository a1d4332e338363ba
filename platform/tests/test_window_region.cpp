#include <gtest/gtest.h>

#include <vector>

#include "plat/region.h"

using plat::Point;
using plat::Rect;
using plat::Region;

TEST(Region, EmptyRegionHoldsNothing) {
  Region r;
  EXPECT_TRUE(r.empty());
  EXPECT_FALSE(r.contains({0, 0}));
  EXPECT_EQ(r.bounds(), Rect{});
  r.add(Rect{5, 5, 5, 10});  // zero width
  EXPECT_TRUE(r.empty());
}

TEST(Region, ContainsUsesHalfOpenEdges) {
  Region r(Rect{10, 20, 30, 40});
  struct Case {
    Point p;
    bool inside;
  } cases[] = {{{10, 20}, true}, {{29, 39}, true}, {{30, 20}, false}, {{10, 40}, false}, {{9, 25}, false}};
  for (const auto& c : cases) EXPECT_EQ(r.contains(c.p), c.inside) << c.p.x << "," << c.p.y;
}

TEST(Region, LShapeFromRectListHitsOnlyItsArms) {
  std::vector<Rect> arms{{0, 0, 100, 10}, {0, 10, 10, 100}};
  Region r = Region::fromRects(arms);
  EXPECT_TRUE(r.contains({50, 5}));
  EXPECT_TRUE(r.contains({5, 50}));
  EXPECT_FALSE(r.contains({50, 50}));  // inside the bounds, outside the shape
  EXPECT_EQ(r.bounds(), (Rect{0, 0, 100, 100}));
}

TEST(Region, UnionOffsetAndIntersect) {
  Region a(Rect{0, 0, 10, 10});
  Region b(Rect{20, 0, 30, 10});
  a.unite(b);
  EXPECT_TRUE(a.contains({25, 5}));
  EXPECT_FALSE(a.contains({15, 5}));
  a.offset(100, 50);
  EXPECT_TRUE(a.contains({125, 55}));
  EXPECT_FALSE(a.contains({25, 5}));
  EXPECT_EQ(a.bounds(), (Rect{100, 50, 130, 60}));
  a.intersect(Rect{105, 50, 125, 60});
  EXPECT_TRUE(a.contains({105, 55}));
  EXPECT_FALSE(a.contains({104, 55}));
  EXPECT_FALSE(a.contains({126, 55}));
  EXPECT_EQ(a.bounds(), (Rect{105, 50, 125, 60}));
  a.intersect(Rect{0, 0, 1, 1});
  EXPECT_TRUE(a.empty());
}

TEST(Region, CopiesAreIndependent) {
  Region a(Rect{0, 0, 10, 10});
  Region b = a;
  b.offset(50, 0);
  EXPECT_TRUE(a.contains({5, 5}));
  EXPECT_FALSE(b.contains({5, 5}));
}

TEST(Region, SamePixelsIgnoresHowRectanglesAreCut) {
  Region whole(Rect{0, 0, 20, 10});
  std::vector<Rect> halves{{0, 0, 10, 10}, {10, 0, 20, 10}};
  EXPECT_TRUE(whole.samePixels(Region::fromRects(halves)));
  std::vector<Rect> gap{{0, 0, 9, 10}, {10, 0, 20, 10}, {0, 0, 1, 1}};
  EXPECT_FALSE(whole.samePixels(Region::fromRects(gap)));
}
