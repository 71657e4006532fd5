// The formulas the converter outputs for counter-clockwise simple polygons,
// proven against the polygon by the exact check: right in every case, and
// identical to the plain decomposition's whenever that one is right.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <vector>

#include "driver/formula_choice.h"
#include "formula/cut_validity.h"
#include "formula/formula_check.h"
#include "formula/hull_tree.h"
#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

using testing::NamedPolygon;

Decomposition chosen_decomposition(const std::vector<Point>& polygon, int exact_check_limit,
                                   int concurrent_length) {
  FormulaPolicy policy;
  policy.exact_check_limit = exact_check_limit;
  policy.concurrent_length = concurrent_length;
  return choose_polygon_formula(
      polygon, diagnose_polygon(polygon, 2 * static_cast<long long>(polygon.size()), 0), policy);
}

// The converter's formula (`correct`) or the plain decomposition's.
std::vector<int> formula_of(const std::vector<Point>& polygon, bool correct,
                            int exact_check_limit = kExactCheckLimit) {
  const Decomposition decomposition =
      correct ? chosen_decomposition(polygon, exact_check_limit, kConcurrentChainLength)
              : build_polygon_formula(polygon);
  EXPECT_TRUE(built(decomposition));
  return decomposition.formula.nodes;
}

bool describes(const std::vector<Point>& polygon, const std::vector<int>& formula) {
  return check_formula(polygon, Formula{formula}).holds;
}

std::string describe(const std::vector<Point>& polygon) {
  std::string text;
  for (const Point& p : polygon) {
    text += '(';
    text += std::to_string(p.x);
    text += ", ";
    text += std::to_string(p.y);
    text += ") ";
  }
  return text;
}

// What every counter-clockwise simple polygon must satisfy. Also runs the
// repair on its own (exact check limit 0), as polygons above the limit get
// it: the repaired formula must be right too. Returns whether the plain
// formula was wrong.
bool expect_correct_formulas(const std::vector<Point>& polygon, const std::string& name) {
  const std::vector<int> plain = formula_of(polygon, false);
  const std::vector<int> output = formula_of(polygon, true);
  const bool plain_is_right = describes(polygon, plain);
  EXPECT_TRUE(describes(polygon, output)) << name << ": " << describe(polygon);
  if (plain_is_right) {
    EXPECT_EQ(output, plain) << name << ": " << describe(polygon);
  }
  const std::vector<int> repaired = formula_of(polygon, true, 0);
  EXPECT_TRUE(describes(polygon, repaired)) << name << " (repaired): " << describe(polygon);
  EXPECT_LE(static_cast<int>(repaired.size()), 6 * static_cast<int>(polygon.size()) - 5);
  return !plain_is_right;
}

TEST(CorrectFormula, SmallestWrongCaseIsRepaired) {
  const std::vector<Point> pentagon = {{0, 0}, {3, 0}, {1, 3}, {1, 1}, {2, 1}};
  EXPECT_FALSE(describes(pentagon, formula_of(pentagon, false)));
  EXPECT_TRUE(expect_correct_formulas(pentagon, "pentagon"));
}

// Turns whose two products round to the same double, or overflow: the join
// follows the exact turn, so these left-turning triangles get intersections.
TEST(CorrectFormula, JoinsFollowTheExactTurn) {
  const std::vector<std::vector<Point>> triangles = {
      {{1, 1e17}, {0, 1}, {0, 0}},
      {{0, 0}, {1e300, -1e300}, {1e300, -1e30}},
  };
  // (1)*(2*0)
  const std::vector<int> expected = {TOKEN_INTERSECT, 1, TOKEN_INTERSECT, 2, 0};
  for (const std::vector<Point>& triangle : triangles) {
    EXPECT_FALSE(describes(triangle, formula_of(triangle, false))) << describe(triangle);
    const std::vector<int> output = formula_of(triangle, true);
    EXPECT_EQ(output, expected) << describe(triangle);
    EXPECT_TRUE(describes(triangle, output)) << describe(triangle);
  }
}

// Products of coordinates near 1e300 overflow in the floating-point hull,
// which then lists reflex vertices and misses corners: no pair of its
// entries is a sound top-level cut, and the repair looks among the convex
// corners.
TEST(CorrectFormula, TopLevelCutFoundWhenTheHullMissesCorners) {
  const std::vector<Point> outline = {
      {0, 0}, {3, 4}, {1e300, 1e300}, {-1e31, 300}, {-1e300, 111e30}};
  EXPECT_FALSE(describes(outline, formula_of(outline, false)));
  EXPECT_TRUE(describes(outline, formula_of(outline, true)));
}

// The edge index only rejects cuts sooner: with or without it, every cut of
// every chain gets the same verdict.
TEST(CutValidity, EdgeIndexChangesNoVerdict) {
  int rejected = 0;
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    for (const std::vector<Point>& polygon :
         {testing::spiral_polygon(120, 2.5, seed), testing::untangled_polygon(40, seed),
          testing::comb_polygon(8, seed)}) {
      const TurnTable turns = make_turn_table(polygon);
      const PolygonEdgeIndex edges = make_polygon_edge_index(polygon);
      const int n = static_cast<int>(polygon.size());
      for (const IndexChain chain :
           {IndexChain{0, n}, IndexChain{n / 3, n / 2 + 2}, IndexChain{n - 5, n / 4 + 6}}) {
        for (int position = 1; position <= chain.length - 2; ++position) {
          const auto at = [&](int offset) { return polygon[(chain.first + offset) % n]; };
          const int join = join_operator(at(position - 1), at(position), at(position + 1));
          const bool plain = chain_cut_is_valid(polygon, turns, chain, position, join);
          const bool indexed = chain_cut_is_valid(polygon, turns, chain, position, join, &edges);
          EXPECT_EQ(indexed, plain) << describe(polygon) << " chain " << chain.first << "+"
                                    << chain.length << " cut at " << position;
          rejected += plain ? 0 : 1;
        }
      }
    }
  }
  EXPECT_GT(rejected, 0);
}

// The hull tree's discs only pass over index nodes whose edges all miss the
// ray's line: with them, every cut gets the same verdict and the same
// crossed edge, which the repair remembers. Spirals are what they are for;
// the comb and the untangled outline have nodes whose discs hold them
// loosely.
TEST(CutValidity, NodeDiscsChangeNoVerdictOrCrossedEdge) {
  int crossed_count = 0;
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    for (const std::vector<Point>& polygon :
         {testing::spiral_polygon(1500, 6.5, seed), testing::untangled_polygon(700, seed),
          testing::comb_polygon(90, seed)}) {
      const TurnTable turns = make_turn_table(polygon);
      const PolygonEdgeIndex boxes_only = make_polygon_edge_index(polygon);
      PolygonEdgeIndex with_discs = make_polygon_edge_index(polygon);
      const HullTree hulls = make_hull_tree(polygon);
      attach_hull_tree(with_discs, hulls);
      ASSERT_NE(with_discs.hulls, nullptr) << describe(polygon);
      const int n = static_cast<int>(polygon.size());
      for (const IndexChain chain : {IndexChain{0, n}, IndexChain{n / 3, n / 2 + 2}}) {
        const ChainCutSetting setting = make_chain_cut_setting(polygon, turns, chain);
        for (int position = 1; position <= chain.length - 2; ++position) {
          const auto at = [&](int offset) { return polygon[(chain.first + offset) % n]; };
          const int join = join_operator(at(position - 1), at(position), at(position + 1));
          CrossedEdge by_boxes;
          CrossedEdge by_discs;
          const bool boxes_verdict =
              chain_cut_is_valid(polygon, turns, setting, position, join, &boxes_only, &by_boxes);
          const bool discs_verdict =
              chain_cut_is_valid(polygon, turns, setting, position, join, &with_discs, &by_discs);
          ASSERT_EQ(discs_verdict, boxes_verdict) << describe(polygon) << " chain " << chain.first
                                                  << "+" << chain.length << " cut at " << position;
          ASSERT_EQ(by_discs.start, by_boxes.start) << describe(polygon) << " cut at " << position;
          ASSERT_EQ(by_discs.outgoing_ray, by_boxes.outgoing_ray);
          crossed_count += by_boxes.start >= 0 ? 1 : 0;
        }
      }
    }
  }
  EXPECT_GT(crossed_count, 1000);
}

// One setting serves every position of its chain, and a chain that wraps past
// the last vertex gets the verdicts of the same chain in a copy of the
// outline that starts at its first vertex (where nothing wraps); chains end
// next to the last vertex and the first so that the cut corner's neighbours
// wrap too.
TEST(CutValidity, SharedSettingGivesTheVerdictsOfTheOutlineStartedAtTheChain) {
  int sound = 0;
  int unsound = 0;
  for (std::uint64_t seed = 1; seed <= 4; ++seed) {
    for (const std::vector<Point>& polygon :
         {testing::spiral_polygon(150, 2.5, seed), testing::untangled_polygon(50, seed),
          testing::comb_polygon(9, seed)}) {
      const int n = static_cast<int>(polygon.size());
      const TurnTable turns = make_turn_table(polygon);
      const PolygonEdgeIndex edges = make_polygon_edge_index(polygon);
      for (const IndexChain chain :
           {IndexChain{n - 1, n / 2}, IndexChain{n - n / 3, n / 2 + 3}, IndexChain{1, n - 1},
            IndexChain{n / 4, 3}, IndexChain{n - 2, 6}}) {
        std::vector<Point> started(polygon.begin() + chain.first, polygon.end());
        started.insert(started.end(), polygon.begin(), polygon.begin() + chain.first);
        const TurnTable started_turns = make_turn_table(started);
        const ChainCutSetting setting = make_chain_cut_setting(polygon, turns, chain);
        const ChainCutSetting started_setting =
            make_chain_cut_setting(started, started_turns, IndexChain{0, chain.length});
        EXPECT_EQ(setting.end_rays_cross, started_setting.end_rays_cross);
        for (int position = 1; position <= chain.length - 2; ++position) {
          const int vertex = (chain.first + position) % n;
          const int join =
              turns.turn_sign[static_cast<std::size_t>(vertex)] > 0 ? TOKEN_INTERSECT : TOKEN_UNION;
          CrossedEdge crossed;
          const bool verdict =
              chain_cut_is_valid(polygon, turns, setting, position, join, &edges, &crossed);
          const bool started_verdict = chain_cut_is_valid(started, started_turns, started_setting,
                                                          position, join, nullptr, nullptr);
          EXPECT_EQ(verdict, started_verdict) << describe(polygon) << " chain " << chain.first
                                              << "+" << chain.length << " cut at " << position;
          if (crossed.start >= 0) {
            // The crossed edge is one of the chain's.
            EXPECT_LE((crossed.start - chain.first + n) % n, chain.length - 2);
          }
          ++(verdict ? sound : unsound);
        }
      }
    }
  }
  EXPECT_GT(sound, 50);
  EXPECT_GT(unsound, 50);
}

// A cut rejected because its ray crosses an edge must stay unsound in every
// part of the chain that keeps the cut vertex (not at an end) and that edge,
// unless the part's interior turns share one strict sign: the repair skips
// such positions in later parts without trying them.
TEST(CutValidity, CrossedEdgesKeepCutsUnsoundInSmallerChains) {
  int remembered = 0;
  for (std::uint64_t seed = 1; seed <= 4; ++seed) {
    for (const std::vector<Point>& polygon :
         {testing::spiral_polygon(90, 2.5, seed), testing::comb_polygon(6, seed)}) {
      const TurnTable turns = make_turn_table(polygon);
      const int n = static_cast<int>(polygon.size());
      const IndexChain chain{n / 5, n - 3};
      const PolygonEdgeIndex edges = make_polygon_edge_index(polygon);
      const auto join_at = [&](int vertex) {
        return join_operator(polygon[(vertex + n - 1) % n], polygon[vertex],
                             polygon[(vertex + 1) % n]);
      };
      for (int position = 1; position <= chain.length - 2; ++position) {
        const int vertex = (chain.first + position) % n;
        int crossed = -1;
        if (chain_cut_is_valid(polygon, turns, chain, position, join_at(vertex), &edges,
                               &crossed) ||
            crossed < 0) {
          continue;
        }
        ++remembered;
        // Every part that keeps the vertex inside and the crossed edge.
        for (int first = 0; first < chain.length; ++first) {
          for (int length = 3; first + length <= chain.length; length += 2) {
            const IndexChain part{(chain.first + first) % n, length};
            const int cut = position - first;
            const int edge = (crossed - part.first + n) % n;
            if (cut < 1 || cut > length - 2 || edge > length - 2) continue;
            if (interior_turns_share_one_strict_sign(turns, part)) continue;
            EXPECT_FALSE(chain_cut_is_valid(polygon, turns, part, cut, join_at(vertex)))
                << describe(polygon) << " part " << part.first << "+" << length << " cut at "
                << cut;
          }
        }
      }
    }
  }
  EXPECT_GT(remembered, 0);
}

TEST(CutValidity, TopLevelCuts) {
  const std::vector<Point> square = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const std::vector<Point> l_hexagon = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
  // A notch whose floor is cut at its corners: the cut rays along the floor
  // run into the notch's walls.
  const std::vector<Point> notched = {{0, 0}, {4, 0}, {4, 3}, {3, 3},
                                      {3, 1}, {1, 1}, {1, 3}, {0, 3}};
  struct Case {
    const std::vector<Point>* polygon;
    int a;
    int b;
    bool valid;
  };
  const Case cases[] = {
      {&square, 0, 2, true},      // strictly convex
      {&l_hexagon, 0, 2, true},   // corners whose rays and end rays all run outwards
      {&l_hexagon, 0, 3, false},  // a right turn at the reflex corner
      {&notched, 0, 2, true},    {&notched, 2, 7, true},
      {&notched, 4, 0, false},  // the notch corner turns right
  };
  for (const Case& c : cases) {
    const TurnTable turns = make_turn_table(*c.polygon);
    EXPECT_EQ(polygon_cut_is_valid(*c.polygon, turns, c.a, c.b), c.valid)
        << describe(*c.polygon) << " cut at " << c.a << ", " << c.b;
  }
}

// Every simple counter-clockwise pentagon and hexagon on the 3 x 3 grid, in
// every numbering (each ordered choice of distinct grid points is tried).
class GridPolygons : public ::testing::TestWithParam<int> {};

void for_each_grid_polygon(int vertex_count, std::vector<Point>& polygon, std::array<bool, 9>& used,
                           int& simple_count, int& plain_wrong_count) {
  if (static_cast<int>(polygon.size()) == vertex_count) {
    if (!testing::is_simple(polygon) || testing::twice_signed_area(polygon) <= 0) return;
    ++simple_count;
    if (expect_correct_formulas(polygon, "grid")) ++plain_wrong_count;
    return;
  }
  for (int cell = 0; cell < 9; ++cell) {
    if (used[static_cast<std::size_t>(cell)]) continue;
    used[static_cast<std::size_t>(cell)] = true;
    polygon.push_back({double(cell % 3), double(cell / 3)});
    for_each_grid_polygon(vertex_count, polygon, used, simple_count, plain_wrong_count);
    polygon.pop_back();
    used[static_cast<std::size_t>(cell)] = false;
  }
}

TEST_P(GridPolygons, EveryFormulaDescribesItsPolygon) {
  std::vector<Point> polygon;
  std::array<bool, 9> used{};
  int simple_count = 0;
  int plain_wrong_count = 0;
  for_each_grid_polygon(GetParam(), polygon, used, simple_count, plain_wrong_count);
  // The enumeration itself: every polygon is counted once per starting vertex.
  EXPECT_EQ(simple_count % GetParam(), 0);
  EXPECT_GT(simple_count, 0);
  EXPECT_GT(plain_wrong_count, 0) << "the grid no longer exercises the repair";
  if (HasFailure()) return;
  RecordProperty("simple", simple_count);
  RecordProperty("plain_wrong", plain_wrong_count);
}

INSTANTIATE_TEST_SUITE_P(PentagonsAndHexagons, GridPolygons, ::testing::Values(5, 6));

std::vector<NamedPolygon> random_families() {
  std::vector<NamedPolygon> polygons;
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    const int size = 5 + static_cast<int>(seed * 37 % 140);
    polygons.push_back({"star", testing::star_polygon(size, seed)});
    polygons.push_back({"untangled", testing::untangled_polygon(size, seed)});
    polygons.push_back({"orthogonal", testing::orthogonal_polygon(size / 2 + 1, seed)});
    polygons.push_back({"comb", testing::comb_polygon(size / 4 + 1, seed)});
    polygons.push_back({"spiral", testing::spiral_polygon(4 * size, 1.0 + double(seed % 4), seed)});
  }
  polygons.push_back({"large star", testing::star_polygon(400, 99)});
  polygons.push_back({"large spiral", testing::spiral_polygon(600, 5.0, 99)});
  return polygons;
}

TEST(CorrectFormula, RandomFamiliesAreDescribedExactly) {
  int plain_wrong = 0;
  for (const NamedPolygon& polygon : random_families()) {
    SCOPED_TRACE(polygon.name + " with " + std::to_string(polygon.vertices.size()) + " vertices");
    ASSERT_TRUE(testing::is_simple(polygon.vertices));
    ASSERT_GT(testing::twice_signed_area(polygon.vertices), 0);
    if (expect_correct_formulas(polygon.vertices, polygon.name)) ++plain_wrong;
  }
  EXPECT_GT(plain_wrong, 0) << "the families no longer exercise the repair";
}

// Above the exact-check limit the repaired decomposition is output without
// the check; it must be right on its own.
TEST(CorrectFormula, PolygonsAboveTheCheckLimitAreRepairedCorrectly) {
  for (const NamedPolygon& polygon :
       {NamedPolygon{"comb", testing::comb_polygon(kExactCheckLimit / 4 + 10, 7)},
        NamedPolygon{"star", testing::star_polygon(kExactCheckLimit + 300, 7)}}) {
    SCOPED_TRACE(polygon.name);
    ASSERT_GT(static_cast<int>(polygon.vertices.size()), kExactCheckLimit);
    EXPECT_TRUE(describes(polygon.vertices, formula_of(polygon.vertices, true)));
  }
}

void expect_same(const Decomposition& actual, const Decomposition& expected) {
  EXPECT_EQ(actual.formula.nodes, expected.formula.nodes);
  EXPECT_EQ(actual.last_hull.chain.first, expected.last_hull.chain.first);
  EXPECT_EQ(actual.last_hull.chain.length, expected.last_hull.chain.length);
  EXPECT_EQ(actual.last_hull.positions, expected.last_hull.positions);
}

// Decomposing the two top-level chains at the same time must give the tokens
// and the last hull of doing them one after the other, which in turn must be
// the last hull an observer of the plain decomposition sees when the formula
// is the plain one. Concurrency is forced on every size here.
TEST(CorrectFormula, ConcurrentChainsGiveTheSequentialResult) {
  std::vector<NamedPolygon> polygons = random_families();
  for (NamedPolygon& polygon : testing::generated_polygons(3, 41))
    polygons.push_back(std::move(polygon));
  int compared_with_observer = 0;
  for (const NamedPolygon& polygon : polygons) {
    SCOPED_TRACE(polygon.name + " with " + std::to_string(polygon.vertices.size()) + " vertices");
    for (const int limit : {0, kExactCheckLimit}) {
      const Decomposition sequential = chosen_decomposition(polygon.vertices, limit, INT_MAX);
      expect_same(chosen_decomposition(polygon.vertices, limit, 2), sequential);
      LastHull observed;
      DecompositionOptions options;
      options.observe_hull = [&observed](IndexChain chain, std::span<const Point>,
                                         std::span<const int> positions) {
        observed.chain = chain;
        observed.positions.assign(positions.begin(), positions.end());
      };
      const Decomposition plain = build_polygon_formula(polygon.vertices, options);
      if (plain.formula.nodes == sequential.formula.nodes) {
        expect_same(Decomposition{sequential.formula, observed, true}, sequential);
        ++compared_with_observer;
      }
    }
  }
  EXPECT_GT(compared_with_observer, 40);
}

TEST(CorrectFormula, ConvexAndClockwiseOutlinesKeepThePlainFormula) {
  std::vector<Point> convex = testing::convex_polygon(300, 5);
  EXPECT_EQ(formula_of(convex, true, 0), formula_of(convex, false));
  std::vector<Point> clockwise = {{0, 0}, {1, 3}, {3, 0}, {2, 1}, {1, 1}};
  EXPECT_EQ(formula_of(clockwise, true, 0), formula_of(clockwise, false));
  std::vector<Point> repeated = {{0, 0}, {3, 0}, {1, 3}, {1, 1}, {2, 1}, {2, 1}};
  EXPECT_EQ(formula_of(repeated, true, 0), formula_of(repeated, false));
}

}  // namespace
}  // namespace polyfrep
