// The exact proof of a region's formula: over small generated regions on an
// integer grid (an exterior with holes, an island inside a hole, a polygon
// apart) and mutants of their formulas, the structural proof never passes a
// formula that the full check over all edges refutes, the full check agrees
// with the region evaluated exactly at sample points, and the proof's
// verdict is the full check's.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "check/model_proof.h"
#include "formula/formula.h"
#include "formula/formula_check.h"
#include "formula/region_certificate.h"
#include "formula/region_formula.h"
#include "geometry/exact.h"
#include "polygon/area.h"
#include "polygon/region_validity.h"

namespace polyfrep {
namespace {

using Outline = std::vector<Point>;

// A square or a triangle with integer corners within [low, high]^2 moved
// right by `shift`, turning the way its kind of ring should.
Outline ring_in_cell(std::mt19937_64& random, int low, int high, int shift, bool hole) {
  std::uniform_int_distribution<int> coordinate(low, high - 1);
  Outline ring;
  if (random() % 2 == 0) {
    const int x = coordinate(random);
    const int y = coordinate(random);
    const int side = 1 + static_cast<int>(random() % std::min(high - x, high - y));
    ring = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (Point& p : ring)
      p = {x + side * p.x, y + side * p.y};
  } else {
    std::uniform_int_distribution<int> corner(low, high);
    do {
      ring = {{double(corner(random)), double(corner(random))},
              {double(corner(random)), double(corner(random))},
              {double(corner(random)), double(corner(random))}};
    } while (signed_area_sign(ring) == 0);
  }
  for (Point& p : ring)
    p.x += shift;
  if (signed_area_sign(ring) != (hole ? -1 : 1)) std::reverse(ring.begin() + 1, ring.end());
  return ring;
}

void add_ring(Region& region, const Outline& points, int polygon, bool hole) {
  region.rings.push_back(
      {static_cast<int>(region.vertices.size()), static_cast<int>(points.size()), polygon, hole});
  region.vertices.insert(region.vertices.end(), points.begin(), points.end());
}

// An exterior (the square [0, 16]^2 or the triangle of legs 24) with holes
// in the cells [2, 7]^2 and [9, 14] x [2, 7], maybe an island inside the
// first hole, maybe a polygon far apart.
Region generated_region(std::mt19937_64& random) {
  Region region;
  const bool square = random() % 2 == 0;
  add_ring(region,
           square ? Outline{{0, 0}, {16, 0}, {16, 16}, {0, 16}} : Outline{{0, 0}, {24, 0}, {0, 24}},
           0, false);
  const bool island = random() % 2 == 0;
  if (island) {
    add_ring(region, {{2, 2}, {2, 7}, {7, 7}, {7, 2}}, 0, true);
  } else if (random() % 2 == 0) {
    add_ring(region, ring_in_cell(random, 2, 7, 0, true), 0, true);
  }
  if (random() % 2 == 0) add_ring(region, ring_in_cell(random, 2, 7, 7, true), 0, true);
  int polygon = 1;
  if (island) add_ring(region, ring_in_cell(random, 3, 6, 0, false), polygon++, false);
  if (random() % 2 == 0) add_ring(region, ring_in_cell(random, 0, 4, 30, false), polygon, false);
  return region;
}

// The converter's formula of the region; with `undualised`, a hole's
// formula keeps its own operators (the region's joins dualise it, so it is
// dualised beforehand here).
Formula converter_formula(const Region& region, int undualised) {
  std::vector<Formula> ring_formulas;
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    Formula formula = polygon_formula(counter_clockwise_points(region, region.rings[r]));
    if (r == undualised) {
      for (int& node : formula.nodes) {
        if (is_operator(node)) node = node == TOKEN_UNION ? TOKEN_INTERSECT : TOKEN_UNION;
      }
    }
    ring_formulas.push_back(formula);
  }
  return region_formula(region, ring_formulas);
}

std::vector<Formula> mutants(const Region& region, const Formula& formula,
                             std::mt19937_64& random) {
  std::vector<Formula> result;
  std::vector<int> operators;
  std::vector<int> leaves;
  for (int i = 0; i < static_cast<int>(formula.nodes.size()); ++i)
    (is_operator(formula.nodes[i]) ? operators : leaves).push_back(i);
  for (int k = 0; k < 3; ++k) {
    Formula flipped = formula;
    int& node = flipped.nodes[operators[random() % operators.size()]];
    node = node == TOKEN_UNION ? TOKEN_INTERSECT : TOKEN_UNION;
    result.push_back(flipped);
    Formula replaced = formula;
    replaced.nodes[leaves[random() % leaves.size()]] =
        static_cast<int>(random() % region.vertices.size());
    result.push_back(replaced);
  }
  for (int r = 1; r < static_cast<int>(region.rings.size()); ++r) {
    if (region.rings[r].hole) result.push_back(converter_formula(region, r));
  }
  return result;
}

std::vector<EdgeSegment> segments_of(const Region& region) {
  std::vector<EdgeSegment> segments;
  for (const Ring& ring : region.rings) {
    for (int edge = ring.first; edge < ring.first + ring.count; ++edge)
      segments.push_back({region.vertices[edge], region.vertices[ring_successor(ring, edge)]});
  }
  return segments;
}

// The formula at a point, each half-plane decided exactly; nullopt on an
// edge's line. Evaluated from the back of the prefix order with a stack.
std::optional<bool> formula_at(const Formula& formula, std::span<const EdgeSegment> edges,
                               Point p) {
  std::vector<char> stack;
  for (std::size_t i = formula.nodes.size(); i-- > 0;) {
    const int node = formula.nodes[i];
    if (!is_operator(node)) {
      const int side = orientation_sign(edges[node].start, edges[node].end, p);
      if (side == 0) return std::nullopt;
      stack.push_back(side > 0);
      continue;
    }
    const bool left = stack.back() != 0;
    stack.pop_back();
    const bool right = stack.back() != 0;
    stack.back() = node == TOKEN_UNION ? (left || right) : (left && right);
  }
  return stack.back() != 0;
}

// Whether p lies inside the ring by the even-odd rule; p must not lie on it.
bool ring_contains(const Region& region, const Ring& ring, Point p) {
  bool inside = false;
  for (int edge = ring.first; edge < ring.first + ring.count; ++edge) {
    const Point a = region.vertices[static_cast<std::size_t>(edge)];
    const Point b = region.vertices[static_cast<std::size_t>(ring_successor(ring, edge))];
    if ((a.y > p.y) == (b.y > p.y)) continue;
    const int side = orientation_sign(a, b, p);
    if (b.y > a.y ? side > 0 : side < 0) inside = !inside;
  }
  return inside;
}

// Inside some polygon's exterior and none of its holes.
bool region_contains(const Region& region, Point p) {
  bool inside = false;
  for (std::size_t r = 0; r < region.rings.size();) {
    bool in_polygon = ring_contains(region, region.rings[r], p);
    const int polygon = region.rings[r].polygon;
    for (++r; r < region.rings.size() && region.rings[r].polygon == polygon; ++r)
      in_polygon = in_polygon && !ring_contains(region, region.rings[r], p);
    inside = inside || in_polygon;
  }
  return inside;
}

// Whether the formula and the region differ at a point of a fine grid
// whose points lie on no edge's line.
bool differs_somewhere(const Region& region, const Formula& formula) {
  const std::vector<EdgeSegment> edges = segments_of(region);
  for (double x = -2.13; x < 37; x += 0.29) {
    for (double y = -1.91; y < 26; y += 0.31) {
      const std::optional<bool> value = formula_at(formula, edges, {x, y});
      if (value && *value != region_contains(region, {x, y})) return true;
    }
  }
  return false;
}

// The proof, the full check allowed.
FormulaProof proof_of(const Region& region, const Formula& formula) {
  ProofOptions options;
  options.exact_limit = 1000;
  return prove_region_formula(region, formula, options);
}

TEST(RegionProof, StructureAgreesWithTheFullCheck) {
  std::mt19937_64 random(20261208);
  int refuted = 0;
  int certified_mutants = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const Region region = generated_region(random);
    ASSERT_EQ(first_region_problem(region).kind, RegionProblemKind::kNone) << trial;
    const std::vector<EdgeSegment> edges = segments_of(region);
    const Formula formula = converter_formula(region, -1);
    EXPECT_TRUE(certifies(check_region_certificate(region, formula))) << trial;
    EXPECT_TRUE(check_region_formula(edges, formula).holds) << trial;

    std::vector<Formula> cases = mutants(region, formula, random);
    cases.push_back(formula);
    for (const Formula& candidate : cases) {
      const FormulaVerdict full = check_region_formula(edges, candidate);
      const bool certified = certifies(check_region_certificate(region, candidate));
      const bool differs = differs_somewhere(region, candidate);
      EXPECT_FALSE(certified && !full.holds) << trial << ": certified, yet " << full.reason;
      EXPECT_FALSE(full.holds && differs) << trial;
      const FormulaProof proof = proof_of(region, candidate);
      EXPECT_EQ(proof.outcome == FormulaProof::Outcome::kProven, full.holds)
          << trial << ": " << proof.reason;
      if (!full.holds) {
        EXPECT_EQ(proof.outcome, FormulaProof::Outcome::kRefuted) << trial;
        EXPECT_TRUE(proof.witness.has_value()) << trial;
        ++refuted;
      }
      if (certified && &candidate != &cases.back()) ++certified_mutants;
    }
  }
  EXPECT_GE(refuted, 150);
  EXPECT_GE(certified_mutants, 1);  // a flip that changes nothing still certifies
}

// Rings that lie so that the edges alone do not tell the region: the full
// check could be passed by a formula of another region, so the proof must
// not stand on it.
TEST(RegionProof, LayoutsTheEdgesDoNotTell) {
  const Outline a = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  const Outline b = {{9, 0}, {13, 0}, {13, 4}, {9, 4}};
  const Outline hole_in_b = {{10, 1}, {10, 3}, {12, 3}, {12, 1}};
  const Outline hole_touching_a = {{0, 1}, {0, 3}, {2, 3}, {2, 1}};
  const Outline inside_a = {{1, 1}, {3, 1}, {3, 3}, {1, 3}};
  const struct {
    std::string name;
    std::vector<std::pair<Outline, std::pair<int, bool>>> rings;
    RegionProblemKind problem;
  } cases[] = {
      {"hole of one polygon inside another",
       {{a, {0, false}}, {hole_in_b, {0, true}}, {b, {1, false}}},
       RegionProblemKind::kHoleOutsideExterior},
      {"hole along its exterior's edge",
       {{a, {0, false}}, {hole_touching_a, {0, true}}},
       RegionProblemKind::kRingsCross},
      {"island inside an exterior, not a hole",
       {{a, {0, false}}, {inside_a, {1, false}}},
       RegionProblemKind::kPolygonsOverlap},
      {"polygons apart", {{a, {0, false}}, {b, {1, false}}}, RegionProblemKind::kNone},
  };
  for (const auto& c : cases) {
    Region region;
    for (const auto& [points, kind] : c.rings)
      add_ring(region, points, kind.first, kind.second);
    EXPECT_EQ(first_region_problem(region).kind, c.problem) << c.name;
  }

  // The region of the first case is a's square and b's; the formula of
  // where the winding numbers add up to 1 leaves b's hole out. It passes the
  // full check, but is neither certified nor proven.
  Region region;
  add_ring(region, a, 0, false);
  add_ring(region, hole_in_b, 0, true);
  add_ring(region, b, 1, false);
  // b's hole joined with b instead of a: its edges keep their numbers.
  Region regrouped = region;
  regrouped.rings[1].polygon = 1;
  const std::vector<Formula> ring_formulas = {
      polygon_formula(a), polygon_formula(counter_clockwise_points(region, region.rings[1])),
      polygon_formula(b)};
  const Formula winding_one = region_formula(regrouped, ring_formulas);
  EXPECT_TRUE(check_region_formula(segments_of(region), winding_one).holds);
  EXPECT_TRUE(differs_somewhere(region, winding_one));
  EXPECT_FALSE(certifies(check_region_certificate(region, winding_one)));
  const FormulaProof proof = proof_of(region, winding_one);
  EXPECT_EQ(proof.outcome, FormulaProof::Outcome::kNotProven) << proof.reason;
  // The region's own formula is proven by its structure.
  const Formula own = region_formula(region, ring_formulas);
  EXPECT_EQ(proof_of(region, own).outcome, FormulaProof::Outcome::kProven);
}

}  // namespace
}  // namespace polyfrep
