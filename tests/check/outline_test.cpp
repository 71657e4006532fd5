#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "check/outline_index.h"
#include "check/sampling.h"
#include "geometry/exact.h"
#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

TEST(EvenOdd, NamedPoints) {
  // An outline with a notch: (0,0) (4,0) (4,4) (2,1) (0,4).
  const std::vector<Point> notched = {{0, 0}, {4, 0}, {4, 4}, {2, 1}, {0, 4}};
  const struct {
    Point at;
    PointPlace place;
  } cases[] = {
      {{1, 1}, PointPlace::Inside},      {{2, 0.5}, PointPlace::Inside},
      {{2, 2}, PointPlace::Outside},     {{5, 1}, PointPlace::Outside},
      {{-1, 0}, PointPlace::Outside},    {{2, 1}, PointPlace::NearOutline},
      {{4, 2}, PointPlace::NearOutline}, {{2, 0}, PointPlace::NearOutline},
      {{3.9, 3.5}, PointPlace::Inside},  {{1, 4}, PointPlace::Outside},
      {{0.5, 3.9}, PointPlace::Outside}, {{0.2, 3.5}, PointPlace::Inside},
  };
  const OutlineIndex index = make_outline_index(notched, 1e-9);
  for (const auto& c : cases) {
    EXPECT_EQ(locate_point(index, c.at), c.place) << c.at.x << " " << c.at.y;
    if (c.place != PointPlace::NearOutline) {
      EXPECT_EQ(inside_even_odd(notched, c.at), c.place == PointPlace::Inside);
    }
  }
}

// Points at a vertex's height are where ray casting usually goes wrong.
TEST(EvenOdd, IndexAgreesWithAllEdges) {
  std::mt19937_64 random(99);
  std::uniform_real_distribution<double> unit(-1.2, 1.2);
  for (int round = 0; round < 200; ++round) {
    const std::vector<Point> vertices =
        round % 2 ? testing::unit_star_outline(random, 3 + static_cast<int>(random() % 300))
                  : testing::grid_outline(random, 3 + static_cast<int>(random() % 20), 5);
    const double tolerance = round % 4 == 0 ? 0.0 : 1e-3;
    const OutlineIndex index = make_outline_index(vertices, tolerance);
    for (int k = 0; k < 300; ++k) {
      Point p{unit(random), unit(random)};
      if (round % 2 == 0) p = {unit(random) * 3 + 2, static_cast<double>(random() % 5)};
      const PointPlace place = locate_point(index, p);
      if (place == PointPlace::NearOutline) continue;
      EXPECT_EQ(place == PointPlace::Inside, inside_even_odd(vertices, p))
          << "round " << round << " at " << p.x << " " << p.y;
    }
  }
}

TEST(EvenOdd, StarInteriorIsInside) {
  std::mt19937_64 random(4);
  const std::vector<Point> star = testing::unit_star_outline(random, 1000);
  const OutlineIndex index = make_outline_index(star, 1e-9);
  for (int k = 0; k < 100; ++k) {
    const double angle = k * 0.0628;
    EXPECT_EQ(locate_point(index, {0.15 * std::cos(angle), 0.15 * std::sin(angle)}),
              PointPlace::Inside);
    EXPECT_EQ(locate_point(index, {1.05 * std::cos(angle), 1.05 * std::sin(angle)}),
              PointPlace::Outside);
  }
}

}  // namespace
}  // namespace polyfrep

namespace polyfrep {
namespace {

// Every edge tested in turn: near when within the tolerance or exactly on an
// edge, else the parity of exact ray crossings.
PointPlace locate_by_all_edges(std::span<const Point> vertices, double tolerance, Point p) {
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Point a = vertices[i];
    const Point b = vertices[(i + 1) % vertices.size()];
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length_squared = dx * dx + dy * dy;
    const double t =
        length_squared > 0
            ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length_squared, 0.0, 1.0)
            : 0.0;
    const double ex = p.x - (a.x + t * dx), ey = p.y - (a.y + t * dy);
    const bool on = orientation_sign(a, b, p) == 0 && std::min(a.x, b.x) <= p.x &&
                    p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
                    p.y <= std::max(a.y, b.y);
    if (std::sqrt(ex * ex + ey * ey) <= tolerance || on) return PointPlace::NearOutline;
  }
  return inside_even_odd(vertices, p) ? PointPlace::Inside : PointPlace::Outside;
}

// A comb: long vertical teeth, so that most slabs are crossed by many edges.
std::vector<Point> comb_outline(int teeth) {
  std::vector<Point> outline{{0, 0}, {2.0 * teeth, 0}};
  for (int k = teeth - 1; k >= 0; --k) {
    outline.push_back({2.0 * k + 1, 10});
    outline.push_back({2.0 * k + 1, 1});
    outline.push_back({2.0 * k, 1});
    if (k > 0) outline.push_back({2.0 * k, 10});
  }
  outline.back() = {0, 10};
  return outline;
}

// An orthogonal staircase of random steps going right and up, closed by a
// top side and a left side.
std::vector<Point> staircase_outline(std::mt19937_64& random, int steps) {
  std::vector<Point> outline{{0, 0}};
  Point at{0, 0};
  for (int k = 0; k < steps; ++k) {
    at.x += 1 + static_cast<double>(random() % 4);
    outline.push_back(at);
    at.y += 1 + static_cast<double>(random() % 4);
    outline.push_back(at);
  }
  outline.push_back({0, at.y});
  return outline;
}

// A band winding outward around the origin: its outer side walked outward,
// its inner side back in, so that slanted edges of every direction lie close
// together.
std::vector<Point> spiral_outline(int per_side) {
  std::vector<Point> outer, inner;
  for (int k = 0; k < per_side; ++k) {
    const double angle = 0.3 * k;
    const double radius = 1 + 0.2 * angle;
    outer.push_back({radius * std::cos(angle), radius * std::sin(angle)});
    inner.push_back({(radius - 0.6) * std::cos(angle), (radius - 0.6) * std::sin(angle)});
  }
  outer.insert(outer.end(), inner.rbegin(), inner.rend());
  return outer;
}

// Vertices close to one line, jittered by a unit: a thin, self-crossing
// outline of long, nearly parallel edges.
std::vector<Point> nearly_collinear_outline(std::mt19937_64& random, int count) {
  std::vector<Point> outline;
  for (int k = 0; k < count; ++k) {
    const double x = static_cast<double>(random() % 1000);
    outline.push_back({x, 2 * x + static_cast<double>(random() % 3)});
  }
  return outline;
}

// A star whose vertices are visited out of order: long edges that cross
// each other many times.
std::vector<Point> tangled_star_outline(std::mt19937_64& random, int count) {
  std::vector<Point> outline = testing::unit_star_outline(random, count);
  for (std::size_t k = 0; k + 7 < outline.size(); k += 5)
    std::swap(outline[k], outline[k + 7]);
  return outline;
}

std::vector<Point> shape_for_round(std::mt19937_64& random, int round) {
  switch (round % 6) {
    case 0:
      return comb_outline(5 + round * 5);
    case 1:
      return testing::unit_star_outline(random, 200 + round * 50);
    case 2:
      return staircase_outline(random, 50 + round * 20);
    case 3:
      return spiral_outline(100 + round * 20);
    case 4:
      return nearly_collinear_outline(random, 20 + round * 5);
    default:
      return tangled_star_outline(random, 100 + round * 20);
  }
}

// A test point of one of several kinds: anywhere around the outline, at a
// vertex, on an edge, at a vertex's height, or just beside a vertex or an
// edge by about the tolerance.
Point test_point(std::mt19937_64& random, std::span<const Point> vertices, const Point& low,
                 const Point& high, double tolerance, int kind) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const std::size_t i = random() % vertices.size();
  const Point a = vertices[i];
  const Point b = vertices[(i + 1) % vertices.size()];
  const double t = unit(random);
  const Point on_edge{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  const double nudge = (tolerance > 0 ? tolerance : 1e-6) * (0.5 + unit(random));
  const double side = random() % 2 ? 1 : -1;
  switch (kind % 7) {
    case 1:
      return a;
    case 2:
      return on_edge;
    case 3:
      return {low.x - 1 + unit(random) * (high.x - low.x + 2), a.y};
    case 4:
      return {a.x + side * nudge, a.y + (random() % 2 ? nudge : 0.0)};
    case 5:
      if (!(length > 0)) return a;
      return {on_edge.x - side * nudge * (b.y - a.y) / length,
              on_edge.y + side * nudge * (b.x - a.x) / length};
    case 6:
      return {on_edge.x + side * nudge, on_edge.y};
    default:
      return {low.x - 1 + unit(random) * (high.x - low.x + 2),
              low.y - 1 + unit(random) * (high.y - low.y + 2)};
  }
}

// Over combs, stars, staircases, spirals, nearly collinear and tangled
// outlines, with and without a tolerance, the index gives the answer of
// testing every edge, at random points and at points on, at and beside the
// outline.
TEST(EvenOdd, LocationAgreesWithTestingEveryEdge) {
  std::mt19937_64 random(7);
  for (int round = 0; round < 48; ++round) {
    const std::vector<Point> vertices = shape_for_round(random, round);
    const double tolerance = round % 12 < 6 ? 0.0 : 1e-4;
    // Every third index is built for fewer points than it locates: coarser
    // slabs must give the same places.
    const std::size_t planned_points = round % 3 == 0 ? 16 : SIZE_MAX;
    const OutlineIndex index = make_outline_index(vertices, tolerance, planned_points);
    Point low = vertices[0], high = vertices[0];
    for (const Point& v : vertices) {
      low = {std::min(low.x, v.x), std::min(low.y, v.y)};
      high = {std::max(high.x, v.x), std::max(high.y, v.y)};
    }
    int near = 0, inside = 0, outside = 0;
    for (int k = 0; k < 2100; ++k) {
      const Point p = test_point(random, vertices, low, high, tolerance, k);
      const PointPlace place = locate_point(index, p);
      ASSERT_EQ(place, locate_by_all_edges(vertices, tolerance, p))
          << "round " << round << " at " << p.x << " " << p.y;
      near += place == PointPlace::NearOutline;
      inside += place == PointPlace::Inside;
      outside += place == PointPlace::Outside;
    }
    EXPECT_GT(near, 0) << "round " << round;
    EXPECT_GT(inside, 0) << "round " << round;
    EXPECT_GT(outside, 0) << "round " << round;
  }
}

// Simple outlines keep their long edges apart, so that most nodes are
// searched by orientation; tangled ones need the fallback. Both must occur
// for the comparison above to cover both ways of visiting a node.
TEST(EvenOdd, BothKindsOfNodeOccur) {
  std::mt19937_64 random(11);
  const auto count_nodes = [](const OutlineIndex& index, char ordered) {
    int count = 0;
    for (std::size_t node = 1; node + 1 < index.node_begin.size(); ++node) {
      if (index.node_begin[node] != index.node_begin[node + 1] &&
          index.node_ordered[node] == ordered) {
        ++count;
      }
    }
    return count;
  };
  const OutlineIndex simple = make_outline_index(testing::unit_star_outline(random, 2000), 0.0);
  EXPECT_GT(count_nodes(simple, 1), 100);
  EXPECT_EQ(count_nodes(simple, 0), 0);
  const OutlineIndex tangled = make_outline_index(tangled_star_outline(random, 2000), 0.0);
  EXPECT_GT(count_nodes(tangled, 0), 10);
  // Neighbouring edges of a dense zigzag meet at tiny angles, just beyond
  // many nodes: they lie apart all the same.
  std::vector<Point> zigzag;
  for (int k = 0; k < 20000; ++k) {
    const double angle = 2 * std::numbers::pi * k / 20000, radius = k % 2 ? 1.0 : 0.25;
    zigzag.push_back({radius * std::cos(angle), radius * std::sin(angle)});
  }
  EXPECT_EQ(count_nodes(make_outline_index(zigzag, 0.0), 0), 0);
}

// Every edge's midpoint is sampled up to the limit, and beyond it the
// midpoints of edges spread evenly along the outline, each once: the gaps
// between them, the last one round to the first, differ by one at most.
TEST(Sampling, MidpointsOfEdgesUpToTheLimit) {
  std::mt19937_64 random(3);
  const std::vector<Point> star = testing::unit_star_outline(random, 1000);
  for (const int limit : {0, 7, 5000}) {
    const SampleSettings settings{.grid_per_side = 2, .random_count = 3, .midpoint_edges = limit};
    const std::vector<Point> points = sample_points(star, settings, 1e-6);
    const std::size_t sampled = std::min(1000, limit);
    ASSERT_EQ(points.size(), 7 + 2 * sampled);
    std::vector<std::size_t> edges;  // whose midpoint lies nearest each pair's middle
    for (std::size_t k = 7; k < points.size(); k += 2) {
      const auto distance = [&](std::size_t e) {
        const Point a = star[e], b = star[(e + 1) % star.size()];
        return std::hypot((a.x + b.x - points[k].x - points[k + 1].x) / 2,
                          (a.y + b.y - points[k].y - points[k + 1].y) / 2);
      };
      std::size_t nearest = 0;
      for (std::size_t e = 1; e < star.size(); ++e)
        nearest = distance(e) < distance(nearest) ? e : nearest;
      edges.push_back(nearest);
    }
    for (std::size_t k = 0; k < edges.size(); ++k) {
      const std::size_t next = k + 1 < edges.size() ? edges[k + 1] : edges[0] + star.size();
      EXPECT_LE(next - edges[k], (1000 + sampled - 1) / sampled) << limit;
      EXPECT_GE(next - edges[k], 1000 / sampled) << limit;
    }
  }
}

// The default sample counts are full up to kFullSamplingEdges edges; beyond,
// they never grow with the outline, and the work of classifying them (points
// times edges, a point may walk the whole formula) stays within that at
// kFullSamplingEdges until the counts reach their floor (a 10 x 10 grid, 100
// random points, 100 midpoints) and then grows only as the model does.
TEST(Sampling, DefaultCountsShrinkWithTheOutline) {
  const auto point_count = [](std::size_t edges) {
    const SampleSettings s = default_sample_settings(edges);
    return static_cast<double>(s.grid_per_side) * s.grid_per_side + s.random_count +
           2.0 * static_cast<double>(sampled_edge_count(edges, s));
  };
  const SampleSettings full;
  for (const std::size_t edges : {std::size_t{3}, std::size_t{5000}, kFullSamplingEdges}) {
    const SampleSettings s = default_sample_settings(edges);
    EXPECT_EQ(s.grid_per_side, full.grid_per_side);
    EXPECT_EQ(s.random_count, full.random_count);
    EXPECT_EQ(s.midpoint_edges, full.midpoint_edges);
  }
  const double floor_points = 10 * 10 + 100 + 2 * 100;
  const double full_work = point_count(kFullSamplingEdges) * kFullSamplingEdges;
  double previous = point_count(kFullSamplingEdges);
  for (std::size_t edges = kFullSamplingEdges + 1; edges < 100000000; edges = edges * 3 / 2) {
    const double points = point_count(edges);
    EXPECT_LE(points, previous) << edges << " edges";
    EXPECT_GE(points, floor_points) << edges << " edges";
    if (points > floor_points) {
      EXPECT_LE(points * static_cast<double>(edges), 1.001 * full_work) << edges << " edges";
    }
    previous = points;
  }
}

}  // namespace
}  // namespace polyfrep
