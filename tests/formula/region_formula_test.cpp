#include "formula/region_formula.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "formula/formula.h"
#include "geometry/exact.h"

namespace polyfrep {
namespace {

// Appends a ring of `count` points around `centre` at radii drawn from
// [low, high], counter-clockwise for an exterior and clockwise for a hole.
void add_star_ring(Region& region, Point centre, double low, double high, int count, int polygon,
                   bool hole, std::mt19937& random) {
  std::uniform_real_distribution<double> radius(low, high);
  const int first = static_cast<int>(region.vertices.size());
  for (int k = 0; k < count; ++k) {
    const double turn = (hole ? -1.0 : 1.0) * 2.0 * std::numbers::pi * k / count;
    const double r = radius(random);
    region.vertices.push_back({centre.x + r * std::cos(turn), centre.y + r * std::sin(turn)});
  }
  region.rings.push_back({first, count, polygon, hole});
}

// Polygons in a row; some with a lake, some lakes with an island in them.
Region random_region(std::mt19937& random) {
  Region region;
  std::uniform_int_distribution<int> polygons(1, 5);
  std::uniform_int_distribution<int> sizes(3, 12);
  std::bernoulli_distribution coin(0.5);
  const int count = polygons(random);
  int polygon = 0;
  for (int p = 0; p < count; ++p) {
    const Point centre{10.0 * p, 0};
    add_star_ring(region, centre, 3, 4, sizes(random), polygon, false, random);
    const bool lake = coin(random);
    if (lake) add_star_ring(region, centre, 1.5, 2.5, sizes(random), polygon, true, random);
    ++polygon;
    if (lake && coin(random)) {
      add_star_ring(region, centre, 0.3, 1, sizes(random), polygon, false, random);
      ++polygon;
    }
  }
  return region;
}

bool left_of_edge(const Region& region, const Ring& ring, int edge, Point point) {
  const Point start = region.vertices[edge];
  const Point end = region.vertices[ring_successor(ring, edge)];
  return orientation_sign(start, end, point) > 0;
}

// The formula's value at a point, each leaf the open half-plane left of its
// edge: the nodes from the last to the first, operands on a stack.
bool formula_holds(const Region& region, const std::vector<int>& ring_of_edge,
                   const Formula& formula, Point point) {
  std::vector<bool> stack;
  for (auto node = formula.nodes.rbegin(); node != formula.nodes.rend(); ++node) {
    if (*node >= 0) {
      stack.push_back(left_of_edge(region, region.rings[ring_of_edge[*node]], *node, point));
      continue;
    }
    const bool left = stack.back();
    stack.pop_back();
    const bool right = stack.back();
    stack.back() = *node == TOKEN_INTERSECT ? left && right : left || right;
  }
  return stack.back();
}

bool inside_ring(const Region& region, const Ring& ring, Point point) {
  bool inside = false;
  for (int edge = ring.first; edge < ring.first + ring.count; ++edge) {
    Point a = region.vertices[edge];
    Point b = region.vertices[ring_successor(ring, edge)];
    if ((a.y > point.y) == (b.y > point.y)) continue;
    if (a.y > b.y) std::swap(a, b);
    if (orientation_sign(a, b, point) > 0) inside = !inside;
  }
  return inside;
}

// Inside some polygon's exterior and none of its holes.
bool inside_region(const Region& region, Point point) {
  for (std::size_t r = 0; r < region.rings.size();) {
    bool inside = inside_ring(region, region.rings[r], point);
    std::size_t next = r + 1;
    for (; next < region.rings.size() && region.rings[next].hole; ++next)
      inside = inside && !inside_ring(region, region.rings[next], point);
    if (inside) return true;
    r = next;
  }
  return false;
}

std::vector<Formula> ring_formulas(const Region& region) {
  std::vector<Formula> formulas;
  for (const Ring& ring : region.rings)
    formulas.push_back(polygon_formula(counter_clockwise_points(region, ring)));
  return formulas;
}

TEST(RegionFormula, DescribesGeneratedRegionsWithLakesAndIslands) {
  std::mt19937 random(17);
  for (int trial = 0; trial < 200; ++trial) {
    const Region region = random_region(random);
    const Formula formula = region_formula(region, ring_formulas(region));
    const int edges = static_cast<int>(region.vertices.size());
    ASSERT_EQ(formula_problem(formula, edges), "") << "trial " << trial;
    ASSERT_EQ(formula.nodes.size(), 2 * region.vertices.size() - 1) << "each edge once";
    std::vector<int> ring_of_edge(region.vertices.size());
    for (std::size_t r = 0; r < region.rings.size(); ++r) {
      for (int k = 0; k < region.rings[r].count; ++k)
        ring_of_edge[region.rings[r].first + k] = static_cast<int>(r);
    }
    std::uniform_real_distribution<double> x(-5, 10.0 * polygon_count(region) + 5);
    std::uniform_real_distribution<double> y(-5, 5);
    for (int sample = 0; sample < 200; ++sample) {
      const Point point{x(random), y(random)};
      ASSERT_EQ(formula_holds(region, ring_of_edge, formula, point), inside_region(region, point))
          << "trial " << trial << " at " << point.x << ", " << point.y;
    }
  }
}

TEST(RegionFormula, OneRingKeepsItsFormula) {
  std::mt19937 random(5);
  Region region;
  add_star_ring(region, {0, 0}, 1, 3, 40, 0, false, random);
  const std::vector<Formula> formulas = ring_formulas(region);
  EXPECT_EQ(region_formula(region, formulas).nodes, formulas[0].nodes);
}

// Nesting depth of a formula: the longest path from the root to a leaf.
int depth(const Formula& formula) {
  std::vector<int> stack;
  for (auto node = formula.nodes.rbegin(); node != formula.nodes.rend(); ++node) {
    if (*node >= 0) {
      stack.push_back(0);
      continue;
    }
    const int left = stack.back();
    stack.pop_back();
    stack.back() = 1 + std::max(left, stack.back());
  }
  return stack.back();
}

TEST(RegionFormula, TenThousandIslandsNestFourteenLevels) {
  Region region;
  for (int p = 0; p < 10000; ++p) {
    const int first = static_cast<int>(region.vertices.size());
    const double x = 3.0 * p;
    region.vertices.insert(region.vertices.end(), {{x, 0}, {x + 1, 0}, {x, 1}});
    region.rings.push_back({first, 3, p, false});
  }
  // A triangle's formula nests two levels; the islands' union adds 14.
  EXPECT_EQ(depth(region_formula(region, ring_formulas(region))), 2 + 14);
}

}  // namespace
}  // namespace polyfrep
