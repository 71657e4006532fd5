#include "formula/decomposition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "formula/formula.h"
#include "formula/formula_text.h"
#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

struct ObservedHull {
  std::vector<Point> points;
  std::vector<int> positions;
};

struct Decomposed {
  std::string formula;
  int token_count = 0;
  std::vector<ObservedHull> hulls;
};

// The flat view, as the converter writes it, with room for ten tokens per vertex.
TokenList flat_view(const Formula& formula, int vertex_count) {
  TokenList tokens = make_token_list(10 * vertex_count);
  append_tokens(formula, tokens);
  return tokens;
}

std::string formula_text(const TokenList& tokens) {
  return polyfrep::formula_text(
      std::span<const int>(tokens.items.get(), static_cast<std::size_t>(tokens.count)));
}

Decomposed decompose(const std::vector<Point>& vertices) {
  Decomposed result;
  DecompositionOptions options;
  options.observe_hull = [&](IndexChain, std::span<const Point> points,
                             std::span<const int> positions) {
    result.hulls.push_back({{points.begin(), points.end()}, {positions.begin(), positions.end()}});
  };
  const TokenList tokens = flat_view(build_polygon_formula(vertices, options).formula,
                                     static_cast<int>(vertices.size()));
  result.formula = formula_text(tokens);
  result.token_count = tokens.count;
  return result;
}

TEST(ChooseSplitVertex, PicksTheNearestLaterEntryAndKeepsTheEarlierOnTies) {
  const struct {
    std::vector<int> hull;
    int middle;
    int initial;
    int expected;
  } cases[] = {
      {{3, 0, 1, 2}, 2, 1, 2},
      {{2, 3, 0, 1}, 2, 1, 1},  // the first entry is never a candidate
      {{4, 0, 3}, 2, 1, 1},     // 3 is only as near as the initial 1
      {{}, 2, 1, 1},
      {{7}, 2, 1, 1},
      {{5, 0, 1, 2, 4}, 3, 0, 2},  // 4 is only as near as 2
      {{2, 0, 1}, 1, 0, 1},
      {{0, 3, 1}, 2, 3, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(choose_split_vertex(c.hull, c.middle, c.initial), c.expected);
  }
}

TEST(JoinOperator, IntersectsOnlyAtStrictLeftTurns) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(join_operator({0, 0}, {1, 0}, {1, 1}), TOKEN_INTERSECT);
  EXPECT_EQ(join_operator({0, 0}, {1, 0}, {1, -1}), TOKEN_UNION);
  EXPECT_EQ(join_operator({0, 0}, {1, 0}, {2, 0}), TOKEN_UNION);
  EXPECT_EQ(join_operator({0, 0}, {1, 0}, {0, 0}), TOKEN_UNION);
  EXPECT_EQ(join_operator({0, 0}, {1, 0}, {1, nan}), TOKEN_UNION);
}

TEST(BuildChainFormula, ThreeCollinearVerticesAreJoinedByUnion) {
  const std::vector<Point> vertices = {{0, 0}, {1, 0}, {2, 0}, {5, 5}};
  EXPECT_EQ(compact_text(build_chain_formula(vertices, IndexChain{0, 3})), "0+1");
}

TEST(BuildChainFormula, WrappingChainsCarryTheClosingEdge) {
  const std::vector<Point> vertices = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  EXPECT_EQ(compact_text(build_chain_formula(vertices, IndexChain{3, 2})), "3");
  EXPECT_EQ(compact_text(build_chain_formula(vertices, IndexChain{2, 3})), "2*3");
}

TEST(BuildPolygonFormula, DocumentedExamples) {
  const struct {
    const char* name;
    std::vector<Point> vertices;
    const char* formula;
    int token_count;
    std::vector<std::vector<int>> hulls;  // every hull computed, in order
  } cases[] = {
      {"triangle", {{0, 0}, {1, 0}, {0, 1}}, "(1)*(2*0)", 9, {{2, 0, 1}}},
      {"unit square",
       {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
       "(2)*((3*0)*(1))",
       15,
       {{3, 0, 1, 2}, {3, 0, 1, 2}}},
      {"L-shaped hexagon",
       {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}},
       "((2+3)*(4))*((5*0)*(1))",
       23,
       {{5, 0, 1, 2, 4}, {3, 1, 2}, {3, 0, 1, 2}}},
      {"U-shaped octagon",
       {{0, 0}, {4, 0}, {4, 4}, {3, 4}, {3, 1}, {1, 1}, {1, 4}, {0, 4}},
       "((3+4)+(5*6))*((7*0)*(1*2))",
       27,
       {{7, 0, 1, 2, 3, 6}, {4, 2, 3}, {3, 0, 1, 2}}},
      {"clockwise unit square",
       {{0, 0}, {0, 1}, {1, 1}, {1, 0}},
       "((0)+(1+2))*(3)",
       15,
       {{0, 3, 1}, {0, 3, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Decomposed result = decompose(c.vertices);
    EXPECT_EQ(result.formula, c.formula);
    EXPECT_EQ(result.token_count, c.token_count);
    ASSERT_EQ(result.hulls.size(), c.hulls.size());
    for (std::size_t i = 0; i < c.hulls.size(); ++i)
      EXPECT_EQ(result.hulls[i].positions, c.hulls[i]);
  }
}

TEST(BuildPolygonFormula, ChainHullsSeeTheChainsOwnPoints) {
  // The L-shaped hexagon's second chain is 5, 0, 1, 2: its listing shows
  // those vertices in chain order.
  const Decomposed result = decompose({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}});
  ASSERT_EQ(result.hulls.size(), 3u);
  const std::vector<Point>& points = result.hulls[2].points;
  ASSERT_EQ(points.size(), 4u);
  const Point expected[] = {{0, 2}, {0, 0}, {2, 0}, {2, 1}};
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(points[k].x, expected[k].x);
    EXPECT_EQ(points[k].y, expected[k].y);
  }
}

TEST(BuildPolygonFormula, RefusesAnOutlineWithoutATopLevelCut) {
  // Turns right at every vertex: the hull result is the single position 1.
  const std::vector<Point> collapse = {
      {-0.668, 0.159}, {-0.722, 0.259}, {-0.33, 0.241}, {-0.466, 0.097}, {-0.947, 0.116}};
  const Decomposition refused = build_polygon_formula(collapse);
  EXPECT_FALSE(built(refused));
  EXPECT_EQ(refused.last_hull.positions, std::vector<int>{1});
  EXPECT_FALSE(built(build_polygon_formula(std::vector<Point>{{0, 0}, {1, 1}})));
}

// Checks the formula's grammar: formula := "(" chain ")" "*" "(" chain ")";
// chain := edge | edge op edge | "(" chain ")" op "(" chain ")".
class GrammarChecker {
 public:
  explicit GrammarChecker(const TokenList& tokens) : tokens_(tokens) {}

  bool polygon_formula() {
    return parenthesised() && take_if(TOKEN_INTERSECT) && parenthesised() && at_end();
  }
  const std::vector<int>& edges() const { return edges_; }

 private:
  bool chain() {
    if (peek() == TOKEN_OPEN) {
      return parenthesised() && operator_token() && parenthesised();
    }
    if (!edge()) return false;
    if (peek() == TOKEN_UNION || peek() == TOKEN_INTERSECT) return operator_token() && edge();
    return true;
  }
  bool parenthesised() { return take_if(TOKEN_OPEN) && chain() && take_if(TOKEN_CLOSE); }
  bool operator_token() { return take_if(TOKEN_UNION) || take_if(TOKEN_INTERSECT); }
  bool edge() {
    if (peek() < 0) return false;
    edges_.push_back(tokens_.items[position_++]);
    return true;
  }
  bool take_if(int token) {
    if (peek() != token) return false;
    ++position_;
    return true;
  }
  int peek() const { return position_ < tokens_.count ? tokens_.items[position_] : -100; }
  bool at_end() const { return position_ == tokens_.count; }

  const TokenList& tokens_;
  int position_ = 0;
  std::vector<int> edges_;
};

TEST(BuildPolygonFormula, GeneratedPolygonsGiveWellFormedFormulas) {
  for (const auto& polygon : testing::generated_polygons(25, 2024)) {
    const int n = static_cast<int>(polygon.vertices.size());
    SCOPED_TRACE(polygon.name + " with " + std::to_string(n) + " vertices");
    const Decomposition decomposition = build_polygon_formula(polygon.vertices);
    if (!built(decomposition)) {
      ADD_FAILURE() << "no formula";
      continue;
    }
    const TokenList tokens = flat_view(decomposition.formula, n);
    EXPECT_LE(tokens.count, 6 * n - 5);
    GrammarChecker grammar(tokens);
    ASSERT_TRUE(grammar.polygon_formula()) << formula_text(tokens);
    std::vector<int> uses(static_cast<std::size_t>(n), 0);
    for (int edge : grammar.edges()) {
      ASSERT_LT(edge, n);
      ++uses[static_cast<std::size_t>(edge)];
    }
    EXPECT_EQ(std::count(uses.begin(), uses.end(), 1), n) << "every edge exactly once";
  }
}

// Two threads share the chains as they go, handing long ones to a thread
// that has run out: the formula and the last hull must be those of one
// thread doing everything in order, however the work was shared.
TEST(BuildPolygonFormula, SharingChainsBetweenThreadsChangesNothing) {
  const struct {
    const char* name;
    std::vector<Point> vertices;
  } cases[] = {
      {"star", testing::star_polygon(20000, 5)},
      {"comb", testing::comb_polygon(6000, 9)},
      {"staircase", testing::orthogonal_polygon(10000, 4)},
      {"untangled", testing::untangled_polygon(12000, 6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecompositionOptions options;
    options.repair_cuts = true;
    options.concurrent_length = std::numeric_limits<int>::max();
    const Decomposition alone = build_polygon_formula(c.vertices, options);
    options.concurrent_length = 100;
    for (int run = 0; run < 3; ++run) {
      const Decomposition shared = build_polygon_formula(c.vertices, options);
      EXPECT_TRUE(shared.formula.nodes == alone.formula.nodes);
      EXPECT_EQ(shared.last_hull.chain.first, alone.last_hull.chain.first);
      EXPECT_EQ(shared.last_hull.chain.length, alone.last_hull.chain.length);
      EXPECT_EQ(shared.last_hull.positions, alone.last_hull.positions);
      EXPECT_EQ(shared.all_cuts_sound, alone.all_cuts_sound);
    }
  }
}

}  // namespace
}  // namespace polyfrep
