#include "geometry/segments.h"

#include <gtest/gtest.h>

#include <vector>

namespace polyfrep {
namespace {

// Brute force: segments with corners on a 3 x 3 grid meet, if at all, at a
// point whose parameter along the first segment is a fraction of
// denominator at most 8, so some multiple of 1/840 along it is a common
// point. Points are scaled by 840 to stay in integers.
bool meet_by_search(Point a, Point b, Point c, Point d) {
  constexpr long long kSteps = 840;
  const auto on_cd = [&](long long px, long long py) {
    const long long cx = static_cast<long long>(c.x) * kSteps,
                    cy = static_cast<long long>(c.y) * kSteps;
    const long long dx = static_cast<long long>(d.x) * kSteps,
                    dy = static_cast<long long>(d.y) * kSteps;
    const long long cross = (dx - cx) * (py - cy) - (dy - cy) * (px - cx);
    return cross == 0 && std::min(cx, dx) <= px && px <= std::max(cx, dx) &&
           std::min(cy, dy) <= py && py <= std::max(cy, dy);
  };
  for (long long m = 0; m <= kSteps; ++m) {
    const long long px =
        static_cast<long long>(a.x) * kSteps + static_cast<long long>(b.x - a.x) * m;
    const long long py =
        static_cast<long long>(a.y) * kSteps + static_cast<long long>(b.y - a.y) * m;
    if (on_cd(px, py)) return true;
  }
  return false;
}

TEST(ClosedSegmentsMeet, AgreesWithASearchOnEveryPairOfGridSegments) {
  std::vector<Point> grid;
  for (int x = 0; x < 3; ++x) {
    for (int y = 0; y < 3; ++y)
      grid.push_back({double(x), double(y)});
  }
  int meeting = 0;
  for (const Point a : grid) {
    for (const Point b : grid) {
      for (const Point c : grid) {
        for (const Point d : grid) {
          const bool expected = meet_by_search(a, b, c, d);
          ASSERT_EQ(closed_segments_meet(a, b, c, d), expected)
              << a.x << "," << a.y << " " << b.x << "," << b.y << " / " << c.x << "," << c.y << " "
              << d.x << "," << d.y;
          meeting += expected;
        }
      }
    }
  }
  EXPECT_GT(meeting, 1000);
  EXPECT_LT(meeting, 6561 - 1000);
}

TEST(FoldsBack, OnlyAStraightTurnBackOverlaps) {
  EXPECT_TRUE(folds_back({0, 0}, {2, 0}, {1, 0}));
  EXPECT_TRUE(folds_back({0, 0}, {2, 0}, {-5, 0}));
  EXPECT_FALSE(folds_back({0, 0}, {2, 0}, {3, 0}));  // straight on
  EXPECT_FALSE(folds_back({0, 0}, {2, 0}, {1, 1}));  // a turn
  EXPECT_FALSE(folds_back({0, 0}, {2, 0}, {2, 0}));  // a repeated vertex is no overlap
}

}  // namespace
}  // namespace polyfrep
