#include "polygon/self_intersection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "polygon/sweep_order.h"
#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

TEST(SelfIntersection, NamedOutlines) {
  const struct {
    const char* name;
    std::vector<Point> vertices;
    std::vector<EdgeCrossing> expected;
  } cases[] = {
      {"square", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {}},
      {"bow tie", {{0, 0}, {2, 2}, {2, 0}, {0, 2}}, {{0, 2}}},
      {"fold-back along an edge", {{0, 0}, {2, 0}, {1, 0}, {1, 1}}, {{0, 1}, {0, 2}}},
      {"spike back onto the previous edge",
       {{0, 0}, {3, 0}, {3, 2}, {3, 1}, {0, 2}},
       {{1, 2}, {1, 3}}},
      {"vertex touching an edge", {{0, 0}, {4, 0}, {4, 4}, {2, 0}, {0, 4}}, {{0, 2}, {0, 3}}},
      {"hourglass touching at a vertex",
       {{2, 1}, {0, 0}, {4, 0}, {2, 1}, {4, 2}, {0, 2}},
       {{0, 2}, {0, 3}, {2, 5}, {3, 5}}},
      {"two vertices at one point",
       {{0, 0}, {2, 1}, {4, 0}, {4, 2}, {2, 1}, {0, 2}},
       {{0, 3}, {0, 4}, {1, 3}, {1, 4}}},
      {"repeated vertex only", {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}, {}},
      {"collinear overlap of distant edges",
       {{0, 0}, {6, 0}, {6, 2}, {4, 2}, {4, 0.0}, {2, 0}, {2, 2}, {0, 2}},
       {{0, 3}, {0, 4}, {0, 5}}},
      {"degenerate triangle", {{0, 0}, {2, 0}, {1, 0}}, {{0, 1}, {0, 2}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_self_intersections_by_pairs(c.vertices), c.expected) << c.name;
    const std::vector<EdgeCrossing> swept = find_self_intersections(c.vertices, 10);
    EXPECT_EQ(swept.empty(), c.expected.empty()) << c.name;
    for (const EdgeCrossing& crossing : swept) {
      EXPECT_NE(std::find(c.expected.begin(), c.expected.end(), crossing), c.expected.end())
          << c.name << ": " << crossing.first_edge << " " << crossing.second_edge;
    }
  }
}

// Two star-shaped loops around (-1, 0) and (1, 0), turned by a random
// angle, walked as one outline that passes twice through the origin:
// simple except at that point, where it touches itself. Turned upright,
// each corner at the origin has one edge on either side of it, which a
// sweep meets only at the origin.
std::vector<Point> figure_eight(std::mt19937_64& random, int per_loop) {
  const double turn = random() % 2 ? 1.5707963267948966 : (random() % 1000) * 0.00628;
  const double c = std::cos(turn), s = std::sin(turn);
  std::vector<Point> outline;
  for (const double centre : {-1.0, 1.0}) {
    outline.push_back({0, 0});
    std::vector<Point> loop = testing::unit_star_outline(random, per_loop);
    // Start the loop at its vertex facing the origin; skip that one.
    const int facing = centre < 0 ? 0 : per_loop / 2;
    for (int k = 1; k < per_loop; ++k) {
      const Point p = loop[static_cast<std::size_t>((facing + k) % per_loop)];
      const Point local{centre + p.x * 0.9, p.y * 0.9};
      outline.push_back({c * local.x - s * local.y, s * local.x + c * local.y});
    }
  }
  return outline;
}

// The sweep finds a crossing exactly when testing all pairs does, and
// every pair it lists is one of them.
TEST(SelfIntersection, SweepAgreesWithAllPairs) {
  std::mt19937_64 random(2024);
  int with_crossings = 0, simple = 0, stars = 0, nearby_found = 0, turn_backs = 0;
  for (int round = 0; round < 6000; ++round) {
    const int count = 3 + static_cast<int>(random() % 12);
    std::vector<Point> vertices;
    if (round % 4 == 0) {
      vertices = testing::unit_star_outline(random, count + 20);
      if (round % 8 == 0) vertices.insert(vertices.begin() + 3, vertices[3]);  // repeated vertex
    } else if (round % 4 == 3) {
      vertices = figure_eight(random, count + 4);
    } else {
      vertices = testing::grid_outline(random, count, round % 4 == 1 ? 4 : 7);
    }
    const std::vector<EdgeCrossing> all = find_self_intersections_by_pairs(vertices);
    const std::vector<EdgeCrossing> swept = sweep_self_intersections(vertices, 4);
    // The shortcuts: a star centre proves the outline simple, and a nearby
    // pair is a true crossing.
    const bool star = star_centre(vertices).has_value();
    ASSERT_TRUE(!star || all.empty()) << "round " << round;
    stars += star;
    if (const std::optional<EdgeCrossing> nearby = nearby_crossing(vertices, 3)) {
      EXPECT_NE(std::find(all.begin(), all.end(), *nearby), all.end()) << "round " << round;
      ++nearby_found;
    }
    // A turn straight back is a true crossing, which the converter acts on
    // before the sweep.
    if (const std::optional<EdgeCrossing> turn_back = turn_back_crossing(vertices)) {
      EXPECT_NE(std::find(all.begin(), all.end(), *turn_back), all.end()) << "round " << round;
      ++turn_backs;
    }
    EXPECT_EQ(find_self_intersections(vertices, 1).empty(), all.empty()) << "round " << round;
    ASSERT_EQ(swept.empty(), all.empty()) << "round " << round;
    for (const EdgeCrossing& crossing : swept) {
      EXPECT_NE(std::find(all.begin(), all.end(), crossing), all.end()) << "round " << round;
    }
    for (std::size_t i = 0; i < swept.size(); ++i) {
      for (std::size_t j = i + 1; j < swept.size(); ++j)
        EXPECT_FALSE(swept[i] == swept[j]);
    }
    (all.empty() ? simple : with_crossings) += 1;
  }
  // Both kinds of outline must have been exercised.
  EXPECT_GT(simple, 1000);
  EXPECT_GT(with_crossings, 1000);
  EXPECT_GT(stars, 700);  // the star outlines without a repeated vertex
  EXPECT_GT(nearby_found, 500);
  EXPECT_GT(turn_backs, 100);
}

// Spikes of zero width: the first vertex where the outline turns straight
// back, also at vertex 0 and where it overshoots the vertex before; an
// outline going straight on, or coming back only next to an edge of zero
// length, has none.
TEST(SelfIntersection, TurnBackCrossings) {
  const struct {
    const char* name;
    std::vector<Point> vertices;
    std::optional<EdgeCrossing> expected;
  } cases[] = {
      {"spike out of a side",
       {{0, 0}, {4, 0}, {4, 2}, {6, 2}, {4, 2}, {4, 4}, {0, 4}},
       EdgeCrossing{2, 3}},
      {"spike tip at vertex 0",
       {{6, 2}, {4, 2}, {4, 4}, {0, 4}, {0, 0}, {4, 0}, {4, 2}},
       EdgeCrossing{0, 6}},
      {"back past the vertex before", {{0, 0}, {4, 0}, {2, 0}, {2, 3}}, EdgeCrossing{0, 1}},
      {"straight on", {{0, 0}, {2, 0}, {4, 0}, {4, 4}, {0, 4}}, std::nullopt},
      {"back after a repeated vertex", {{0, 0}, {4, 0}, {4, 0}, {2, 0}, {2, 3}}, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(turn_back_crossing(c.vertices), c.expected) << c.name;
  }
}

// The sweep reports the first conflict it meets, so corners at one point must
// come in the order that sorting their indices by point gives: the sorted
// points carry their indices through the same sort, compared by keys that
// must order every pair of doubles as the doubles do (signed zeros alike).
TEST(SweepOrder, KeepsTheOrderOfSortingIndicesAmongEqualPoints) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const struct {
    const char* name;
    std::vector<double> values;
  } coordinate_sets[] = {
      {"one value", {4}},
      {"two values", {0, 1}},
      {"grid", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"signs, zeros and extremes",
       {-kInfinity, -1e300, -2.5, -4.9e-324, -0.0, 0.0, 4.9e-324, 1e-300, 3, kInfinity}},
      {"alike but for their last bits",
       {1.0, std::nextafter(1.0, 2.0), 1.0 + 0x1p-40, 1.0 + 0x1p-21, -1.0, -1.0 - 0x1p-40,
        -std::nextafter(1.0, 2.0)}},
  };
  std::mt19937_64 random(77);
  for (const auto& set : coordinate_sets) {
    for (const int count : {5, 17, 40, 300, 5000}) {
      std::vector<Point> points(static_cast<std::size_t>(count));
      const auto any_value = [&] { return set.values[random() % set.values.size()]; };
      for (Point& point : points)
        point = {any_value(), any_value()};
      std::vector<int> by_index(points.size());
      for (std::size_t k = 0; k < points.size(); ++k)
        by_index[k] = static_cast<int>(k);
      std::sort(by_index.begin(), by_index.end(), [&points](int a, int b) {
        return lexicographically_before(points[static_cast<std::size_t>(a)],
                                        points[static_cast<std::size_t>(b)]);
      });
      const std::vector<int> sorted =
          sorted_by_point(count, [&points](int k) { return points[static_cast<std::size_t>(k)]; });
      EXPECT_EQ(sorted, by_index) << count << " points, " << set.name;
    }
  }
}

}  // namespace
}  // namespace polyfrep
