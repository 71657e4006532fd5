#include "formula/hull.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "geometry/segments.h"

namespace polyfrep {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::vector<int> hull_of(const std::vector<Point>& points) {
  std::vector<int> hull_positions;
  chain_hull(points, hull_positions);
  return hull_positions;
}

std::string describe(const std::vector<Point>& points) {
  std::string text;
  for (const Point& p : points) {
    text += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ") ";
  }
  return text;
}

TEST(IsLeftTurn, ClassifiesTurnsAndTreatsNaNAsRight) {
  const struct {
    const char* name;
    Point p0, p1, p2;
    int expected;
  } cases[] = {
      {"left", {0, 0}, {1, 0}, {1, 1}, 1},
      {"right", {0, 0}, {1, 0}, {1, -1}, 0},
      {"straight on", {0, 0}, {1, 0}, {2, 0}, 1},
      {"straight back", {0, 0}, {2, 0}, {1, 0}, 1},
      {"all coincident", {3, 4}, {3, 4}, {3, 4}, 1},
      {"first two coincident", {3, 4}, {3, 4}, {5, 1}, 1},
      {"barely right", {0, 0}, {1, 0}, {2, -1e-300}, 0},
      {"barely left", {0, 0}, {1, 0}, {2, 1e-300}, 1},
      {"left, away from the origin", {10, 10}, {12, 10}, {11, 11}, 1},
      {"right, away from the origin", {10, 10}, {11, 11}, {12, 10}, 0},
      {"NaN coordinate", {kNaN, 0}, {1, 0}, {1, 1}, 0},
      {"infinite minus infinite", {0, 0}, {kInfinity, 0}, {kInfinity, 1}, 0},
      {"infinite and left", {0, 0}, {kInfinity, 0}, {0, 1}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_left_turn(c.p0, c.p1, c.p2), c.expected) << c.name;
  }
}

// With both products rounded before the subtraction, two equal edge vectors
// give exactly 0.0 (straight, so 1). A fused multiply-add would leave the
// rounding error of one product, negative about half of the time.
TEST(IsLeftTurn, EqualEdgesAreStraightWhateverTheRounding) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> coordinate(-1000.0, 1000.0);
  for (int i = 0; i < 100000; ++i) {
    const Point p0{coordinate(random), coordinate(random)};
    const Point p1{coordinate(random), coordinate(random)};
    ASSERT_EQ(is_left_turn(p0, p1, p1), 1) << p0.x << " " << p0.y << " " << p1.x << " " << p1.y;
  }
}

TEST(ChainHull, DocumentedCasesGiveTheirPositionListsInOrder) {
  const struct {
    const char* name;
    std::vector<Point> points;
    std::vector<int> expected;
  } cases[] = {
      {"three points turning left", {{0, 0}, {1, 0}, {0, 1}}, {2, 0, 1}},
      {"three points turning right", {{0, 0}, {0, 1}, {1, 0}}, {2, 0, 1}},
      {"three collinear points", {{0, 0}, {1, 0}, {2, 0}}, {2, 0, 1}},
      {"three coincident points", {{1, 1}, {1, 1}, {1, 1}}, {2, 0, 1}},
      {"unit square", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {3, 0, 1, 2}},
      {"L-shaped hexagon", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, {5, 0, 1, 2, 4}},
      {"open chain turning left", {{0, 2}, {0, 0}, {2, 0}, {2, 1}}, {3, 0, 1, 2}},
      {"first turn right", {{2, 1}, {1, 1}, {1, 2}, {0, 2}}, {3, 1, 2}},
      {"straight first turn", {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {0, 1}}, {0, 1, 2, 3, 4}},
      {"points on a hull edge and inside",
       {{0, 4}, {0, 0}, {4, 0}, {4, 4}, {3, 4}, {2, 2}, {1, 4}},
       {3, 0, 1, 2}},
      {"corner that becomes collinear", {{0, 0}, {2, 0}, {2, 2}, {1, 2}, {0, 2}}, {4, 0, 1, 2, 3}},
      {"corner that becomes collinear, open", {{0, 0}, {1, 0}, {1, 1}, {1, 2}}, {3, 0, 1, 2}},
      {"coincident points", {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}, {0, 2, 3, 4}},
      {"four collinear points", {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {3, 1, 2}},
      {"six collinear points on a diagonal",
       {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}},
       {5, 3, 4}},
      {"clockwise unit square", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, {0, 3, 1}},
      {"collapse to one slot",
       {{-0.668, 0.159}, {-0.722, 0.259}, {-0.33, 0.241}, {-0.466, 0.097}, {-0.947, 0.116}},
       {1}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hull_of(c.points), c.expected) << c.name;
  }
}

TEST(ChainHull, FewerThanThreePointsGiveAnEmptyResult) {
  const std::vector<Point> points = {{0, 0}, {1, 0}};
  for (std::size_t count = 0; count < 3; ++count) {
    std::vector<int> hull_positions = {7, 8, 9};
    chain_hull(std::span<const Point>(points.data(), count), hull_positions);
    EXPECT_TRUE(hull_positions.empty()) << count << " points";
  }
}

// ---- Properties over generated polylines, with exact integer coordinates.

using Random = std::mt19937;

long long orientation(Point a, Point b, Point c) {
  const auto ax = static_cast<long long>(b.x - a.x), ay = static_cast<long long>(b.y - a.y);
  const auto bx = static_cast<long long>(c.x - a.x), by = static_cast<long long>(c.y - a.y);
  return ax * by - ay * bx;
}

// Strict corners of the convex hull, counter-clockwise (monotone chain),
// as positions into points.
std::vector<int> reference_corners(const std::vector<Point>& points) {
  std::vector<int> order(points.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    return points[a].x != points[b].x ? points[a].x < points[b].x : points[a].y < points[b].y;
  });
  std::vector<int> corners;
  const auto add_half = [&](auto first, auto last) {
    const std::size_t floor = corners.size();
    for (auto it = first; it != last; ++it) {
      while (corners.size() >= floor + 2 && orientation(points[corners[corners.size() - 2]],
                                                        points[corners.back()], points[*it]) <= 0) {
        corners.pop_back();
      }
      corners.push_back(*it);
    }
    corners.pop_back();
  };
  add_half(order.begin(), order.end());
  add_half(order.rbegin(), order.rend());
  return corners;
}

long long twice_area(const std::vector<Point>& points, const std::vector<int>& polygon) {
  long long sum = 0;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const Point a = points[polygon[i]];
    const Point b = points[polygon[(i + 1) % polygon.size()]];
    sum += static_cast<long long>(a.x) * static_cast<long long>(b.y) -
           static_cast<long long>(a.y) * static_cast<long long>(b.x);
  }
  return sum;
}

// Entries are positions of points, each at most once.
::testing::AssertionResult distinct_valid_positions(const std::vector<int>& hull,
                                                    std::size_t point_count) {
  std::set<int> seen;
  for (const int position : hull) {
    if (position < 0 || static_cast<std::size_t>(position) >= point_count) {
      return ::testing::AssertionFailure() << "position " << position << " out of range";
    }
    if (!seen.insert(position).second) {
      return ::testing::AssertionFailure() << "position " << position << " repeated";
    }
  }
  return ::testing::AssertionSuccess();
}

// The result lists a convex polygon counter-clockwise that holds every point,
// has every strict hull corner in the hull's own cyclic order and encloses
// the hull's area: it is the hull, possibly with points on its edges.
::testing::AssertionResult is_counter_clockwise_hull(const std::vector<Point>& points,
                                                     const std::vector<int>& hull) {
  if (auto valid = distinct_valid_positions(hull, points.size()); !valid) return valid;
  const std::vector<int> corners = reference_corners(points);
  if (hull.size() < 3) return ::testing::AssertionFailure() << "fewer than three entries";
  for (std::size_t i = 0; i < hull.size(); ++i) {
    const Point from = points[hull[i]];
    const Point to = points[hull[(i + 1) % hull.size()]];
    for (std::size_t k = 0; k < points.size(); ++k) {
      if (orientation(from, to, points[k]) < 0) {
        return ::testing::AssertionFailure() << "point " << k << " right of edge " << hull[i] << "-"
                                             << hull[(i + 1) % hull.size()];
      }
    }
  }
  std::vector<int> corners_in_result;
  for (const int position : hull) {
    if (std::find(corners.begin(), corners.end(), position) != corners.end()) {
      corners_in_result.push_back(position);
    }
  }
  if (corners_in_result.size() != corners.size()) {
    return ::testing::AssertionFailure()
           << "missing corners: " << corners_in_result.size() << " of " << corners.size();
  }
  std::rotate(corners_in_result.begin(),
              std::find(corners_in_result.begin(), corners_in_result.end(), corners.front()),
              corners_in_result.end());
  if (corners_in_result != corners) return ::testing::AssertionFailure() << "corners out of order";
  if (twice_area(points, hull) != twice_area(points, corners)) {
    return ::testing::AssertionFailure() << "area differs from the hull's";
  }
  return ::testing::AssertionSuccess();
}

std::vector<Point> rotated(std::vector<Point> points, std::size_t offset) {
  std::rotate(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(offset), points.end());
  return points;
}

// Replaces every edge, with the given chance, by a straight run of lattice
// points; coordinates are scaled first so that the run's points are integers.
std::vector<Point> with_collinear_runs(const std::vector<Point>& polygon, Random& random) {
  constexpr int kScale = 4;
  std::bernoulli_distribution split(0.4);
  std::uniform_int_distribution<int> extra(1, kScale - 1);
  std::vector<Point> result;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const Point a{polygon[i].x * kScale, polygon[i].y * kScale};
    const Point b{polygon[(i + 1) % polygon.size()].x * kScale,
                  polygon[(i + 1) % polygon.size()].y * kScale};
    result.push_back(a);
    if (!split(random)) continue;
    const int steps = extra(random);
    for (int step = 1; step <= steps; ++step) {
      result.push_back({a.x + (b.x - a.x) * step / kScale, a.y + (b.y - a.y) * step / kScale});
    }
  }
  return result;
}

// Counter-clockwise polygon, star-shaped around the origin: integer
// directions sorted by angle (the four axes keep every gap below a half turn)
// with random integer radii along each.
std::vector<Point> star_shaped_polygon(Random& random) {
  std::uniform_int_distribution<int> component(-12, 12);
  std::uniform_int_distribution<int> radius(1, 20);
  std::vector<std::pair<int, int>> directions = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  const int extra = std::uniform_int_distribution<int>(0, 30)(random);
  for (int i = 0; i < extra; ++i) {
    const int dx = component(random), dy = component(random);
    if (dx == 0 && dy == 0) continue;
    const int divisor = std::gcd(dx, dy);
    directions.emplace_back(dx / divisor, dy / divisor);
  }
  const auto half = [](const std::pair<int, int>& d) {
    return d.second > 0 || (d.second == 0 && d.first > 0) ? 0 : 1;
  };
  std::sort(directions.begin(), directions.end(), [&](const auto& a, const auto& b) {
    if (half(a) != half(b)) return half(a) < half(b);
    return a.first * b.second - a.second * b.first > 0;
  });
  directions.erase(std::unique(directions.begin(), directions.end()), directions.end());
  std::vector<Point> polygon;
  for (const auto& [dx, dy] : directions) {
    const int r = radius(random);
    polygon.push_back({static_cast<double>(r * dx), static_cast<double>(r * dy)});
  }
  return polygon;
}

// Corners of the hull of random lattice points, counter-clockwise.
std::vector<Point> convex_polygon(Random& random) {
  std::uniform_int_distribution<int> coordinate(-50, 50);
  const int count = std::uniform_int_distribution<int>(3, 40)(random);
  std::vector<Point> cloud;
  for (int i = 0; i < count; ++i) {
    cloud.push_back(
        {static_cast<double>(coordinate(random)), static_cast<double>(coordinate(random))});
  }
  std::vector<Point> polygon;
  for (const int position : reference_corners(cloud))
    polygon.push_back(cloud[position]);
  return polygon;
}

// No two segments meet except neighbours at their shared point, and no
// neighbour folds back over the segment before it.
bool is_simple_polyline(const std::vector<Point>& chain) {
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
    const Point a = chain[i], b = chain[i + 1];
    if (a.x == b.x && a.y == b.y) return false;
    if (i + 2 < chain.size()) {
      const Point c = chain[i + 2];
      const double forward = (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y);
      if (orientation(a, b, c) == 0 && forward < 0) return false;
    }
    for (std::size_t j = i + 2; j + 1 < chain.size(); ++j) {
      if (closed_segments_meet(a, b, chain[j], chain[j + 1])) return false;
    }
  }
  return true;
}

bool has_strict_left_turn(const std::vector<Point>& chain) {
  for (std::size_t i = 1; i + 1 < chain.size(); ++i) {
    if (orientation(chain[i - 1], chain[i], chain[i + 1]) > 0) return true;
  }
  return false;
}

// A closed boundary, walked from any vertex in either direction, is a simple
// polyline once cut open; whenever it turns strictly left somewhere, the
// result must be its counter-clockwise hull.
TEST(ChainHullProperty, WholePolygonsFromAnyStartInEitherDirection) {
  Random random(2024);
  int checked = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<Point> polygon =
        trial % 2 == 0 ? star_shaped_polygon(random) : convex_polygon(random);
    if (polygon.size() < 3) continue;
    if (trial % 3 != 0) polygon = with_collinear_runs(polygon, random);
    std::vector<Point> reversed(polygon.rbegin(), polygon.rend());
    const std::size_t offset =
        std::uniform_int_distribution<std::size_t>(0, polygon.size() - 1)(random);
    for (const auto& chain : {rotated(polygon, offset), rotated(reversed, offset)}) {
      if (!has_strict_left_turn(chain)) continue;
      ASSERT_TRUE(is_counter_clockwise_hull(chain, hull_of(chain))) << describe(chain);
      ++checked;
    }
  }
  EXPECT_GT(checked, 3000);
}

// Open chains: runs of consecutive vertices. A run of a convex polygon stays
// simple when closed back to its start; a run of a star-shaped polygon whose
// first turn is strictly left is walked in its own order and never closed.
TEST(ChainHullProperty, RunsOfConsecutiveVertices) {
  Random random(99);
  int checked = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    const bool convex = trial % 2 == 1;
    std::vector<Point> polygon = convex ? convex_polygon(random) : star_shaped_polygon(random);
    if (polygon.size() < 3) continue;
    polygon = with_collinear_runs(polygon, random);
    const std::size_t length =
        std::uniform_int_distribution<std::size_t>(3, polygon.size())(random);
    const std::size_t offset =
        std::uniform_int_distribution<std::size_t>(0, polygon.size() - 1)(random);
    const std::vector<Point> all = rotated(polygon, offset);
    const std::vector<Point> chain(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(length));
    const bool walked_in_order = orientation(chain[0], chain[1], chain[2]) > 0;
    if (!has_strict_left_turn(chain) || (!convex && !walked_in_order)) continue;
    ASSERT_TRUE(is_counter_clockwise_hull(chain, hull_of(chain))) << describe(chain);
    ++checked;
  }
  EXPECT_GT(checked, 1500);
}

// A spiral that turns left once and then winds outward clockwise makes every
// point a new corner before the point pushed last, so the deque grows at the
// bottom on every step; a counter-clockwise spiral grows it at the top. Both
// drive one end of the deque to the end of its array.
TEST(ChainHullProperty, OutwardSpiralsFillTheDequeToOneEnd) {
  for (const double direction : {-1.0, 1.0}) {
    for (const double step : {0.3, 0.6, 0.9}) {
      std::vector<Point> chain;
      double radius = 1000;
      for (int k = 0; k < 300; ++k) {
        chain.push_back({std::round(radius * std::cos(direction * step * k)),
                         std::round(radius * std::sin(direction * step * k))});
        radius *= 1.03;
      }
      if (direction < 0) chain.insert(chain.begin(), Point{1000, -1});
      ASSERT_GT(orientation(chain[0], chain[1], chain[2]), 0);
      ASSERT_TRUE(is_simple_polyline(chain)) << "direction " << direction << " step " << step;
      EXPECT_TRUE(is_counter_clockwise_hull(chain, hull_of(chain)))
          << "direction " << direction << " step " << step;
    }
  }
}

// ---- Chains without a strict left turn: the result is not a hull, but it
// must still be a list of distinct positions, read from inside the deque.

// A chain that turns right at every point while spiralling outward, nearly
// reversing at each point, leaves the deque at one slot step after step (for
// these six spirals, over 150 steps in a row), each time reading the slots
// below it, which lie outside the live deque and were never pushed to.
// Under the sanitizer build this also checks that no read leaves the array.
TEST(ChainHullDegenerate, ClockwiseSpiralsCollapsingStepAfterStep) {
  for (const double step : {2.7, 3.0, 3.05}) {
    for (const double growth : {1.04, 1.06}) {
      std::vector<Point> chain;
      double radius = 1000;
      for (int k = 0; k < 400; ++k) {
        chain.push_back(
            {std::round(radius * std::cos(-step * k)), std::round(radius * std::sin(-step * k))});
        radius *= growth;
      }
      for (std::size_t i = 1; i + 1 < chain.size(); ++i) {
        ASSERT_LT(is_left_turn(chain[i - 1], chain[i], chain[i + 1]), 1) << "turn at " << i;
      }
      EXPECT_TRUE(distinct_valid_positions(hull_of(chain), chain.size()))
          << "step " << step << " growth " << growth;
    }
  }
}

// Arbitrary sequences on a small grid: crossing, doubling back, repeating
// points. Nothing is promised about the shape of the result.
TEST(ChainHullDegenerate, ArbitraryChainsGiveDistinctValidPositions) {
  Random random(5);
  std::uniform_int_distribution<int> coordinate(0, 5);
  std::uniform_int_distribution<int> length(3, 14);
  for (int trial = 0; trial < 50000; ++trial) {
    std::vector<Point> chain(static_cast<std::size_t>(length(random)));
    for (Point& p : chain) {
      p = {static_cast<double>(coordinate(random)), static_cast<double>(coordinate(random))};
    }
    const std::vector<int> hull = hull_of(chain);
    ASSERT_TRUE(distinct_valid_positions(hull, chain.size())) << describe(chain);
    ASSERT_LE(hull.size(), chain.size());
  }
}

}  // namespace
}  // namespace polyfrep
