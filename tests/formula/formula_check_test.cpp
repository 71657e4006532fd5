#include "formula/formula_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "formula/token_text.h"

namespace polyfrep {
namespace {

using testing::formula_tokens;

FormulaVerdict check(const std::vector<Point>& vertices, const std::string& formula) {
  return check_formula(vertices, testing::formula_of(formula));
}

// ---------------------------------------------------------------------------
// An independent, approximate oracle: the formula and the polygon evaluated
// at single points in doubles. It answers nullopt when a point lies too close
// to an edge line for doubles to be trusted, so it is only used where its
// answers are clear-cut.

std::optional<bool> left_of_edge(const std::vector<Point>& vertices, int edge, Point x) {
  const Point a = vertices[edge];
  const Point b = vertices[(edge + 1) % vertices.size()];
  if (a.x == b.x && a.y == b.y) return false;
  const double value = (b.x - a.x) * (x.y - a.y) - (b.y - a.y) * (x.x - a.x);
  const double scale = std::hypot(b.x - a.x, b.y - a.y) * std::hypot(x.x - a.x, x.y - a.y);
  if (std::fabs(value) <= 1e-9 * scale) return std::nullopt;
  return value > 0;
}

// Recursive evaluation of the formula text (edge, "(", ")", "+", "*").
class FormulaAtPoint {
 public:
  FormulaAtPoint(const std::vector<Point>& vertices, const std::vector<int>& tokens, Point x)
      : vertices_(vertices), tokens_(tokens), x_(x) {}

  std::optional<bool> evaluate() {
    const std::optional<bool> value = expression();
    return uncertain_ ? std::nullopt : value;
  }

 private:
  std::optional<bool> expression() {
    std::optional<bool> value = term();
    while (next_ < tokens_.size() &&
           (tokens_[next_] == TOKEN_UNION || tokens_[next_] == TOKEN_INTERSECT)) {
      const bool is_union = tokens_[next_++] == TOKEN_UNION;
      const std::optional<bool> operand = term();
      if (!value || !operand) {
        uncertain_ = true;
        value = false;
        continue;
      }
      value = is_union ? (*value || *operand) : (*value && *operand);
    }
    return value;
  }

  std::optional<bool> term() {
    if (tokens_[next_] == TOKEN_OPEN) {
      ++next_;
      const std::optional<bool> value = expression();
      ++next_;  // ")"
      return value;
    }
    const std::optional<bool> value = left_of_edge(vertices_, tokens_[next_++], x_);
    if (!value) uncertain_ = true;
    return value;
  }

  const std::vector<Point>& vertices_;
  const std::vector<int>& tokens_;
  Point x_;
  std::size_t next_ = 0;
  bool uncertain_ = false;
};

std::optional<bool> formula_at(const std::vector<Point>& vertices, const std::string& formula,
                               Point x) {
  const std::vector<int> tokens = formula_tokens(formula);
  return FormulaAtPoint(vertices, tokens, x).evaluate();
}

// Crossing number of a ray from x towards +x.
std::optional<bool> polygon_contains(const std::vector<Point>& vertices, Point x) {
  bool inside = false;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Point a = vertices[i];
    const Point b = vertices[(i + 1) % vertices.size()];
    if ((a.y > x.y) == (b.y > x.y)) continue;
    const std::optional<bool> left = left_of_edge(vertices, static_cast<int>(i), x);
    if (!left) return std::nullopt;
    // The crossing lies right of x when x is left of an upward edge or right
    // of a downward one.
    if (*left == (b.y > a.y)) inside = !inside;
  }
  return inside;
}

// A point where the oracle sees the formula and the polygon disagree.
bool disagree_at(const std::vector<Point>& vertices, const std::string& formula, Point x) {
  const std::optional<bool> in_formula = formula_at(vertices, formula, x);
  const std::optional<bool> in_polygon = polygon_contains(vertices, x);
  return in_formula && in_polygon && *in_formula != *in_polygon;
}

// A reported failure must be real: just off the failing line, on one side of
// the witness, the formula and the polygon disagree. (For the far-outside
// test the witness lies on the first edge's line, far away.)
void expect_disagreement_at_witness(const std::vector<Point>& vertices, const std::string& formula,
                                    const FormulaVerdict& verdict) {
  const int line_edge = verdict.edge >= 0 ? verdict.edge : 0;
  const Point a = vertices[line_edge];
  const Point b = vertices[(line_edge + 1) % vertices.size()];
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  const double offset = 1e-6 * std::max(1.0, std::hypot(verdict.witness.x, verdict.witness.y));
  const Point normal{-(b.y - a.y) / length * offset, (b.x - a.x) / length * offset};
  const Point left{verdict.witness.x + normal.x, verdict.witness.y + normal.y};
  const Point right{verdict.witness.x - normal.x, verdict.witness.y - normal.y};
  EXPECT_TRUE(disagree_at(vertices, formula, left) || disagree_at(vertices, formula, right))
      << formula << ": " << verdict.reason;
}

// ---------------------------------------------------------------------------
// Shapes.

const std::vector<Point> kTriangle{{0, 0}, {1, 0}, {0, 1}};
const std::vector<Point> kSquare{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
const std::vector<Point> kLHexagon{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};
const std::vector<Point> kUOctagon{{0, 0}, {4, 0}, {4, 4}, {3, 4}, {3, 1}, {1, 1}, {1, 4}, {0, 4}};
const std::vector<Point> kClockwiseSquare{{0, 0}, {0, 1}, {1, 1}, {1, 0}};

struct Case {
  const char* name;
  std::vector<Point> vertices;
  std::string formula;
};

// The formulas the converter builds for these shapes.
const Case kConverterCases[] = {
    {"triangle", kTriangle, "(1)*(2*0)"},
    {"square", kSquare, "(2)*((3*0)*(1))"},
    {"L hexagon", kLHexagon, "((2+3)*(4))*((5*0)*(1))"},
    {"U octagon", kUOctagon, "((3+4)+(5*6))*((7*0)*(1*2))"},
};

TEST(CheckFormula, ConverterFormulasForSmallShapesHold) {
  for (const Case& c : kConverterCases) {
    const FormulaVerdict verdict = check(c.vertices, c.formula);
    EXPECT_TRUE(verdict.holds) << c.name << ": " << verdict.reason;
    EXPECT_EQ(verdict.edge, -1) << c.name;
  }
}

TEST(CheckFormula, OtherCorrectFormulasHold) {
  const Case cases[] = {
      {"triangle as a chain", kTriangle, "1*2*0"},
      {"square, any grouping", kSquare, "((0*1)*(2*3))"},
      {"square with a repeated edge", kSquare, "(0*1)*(2*3)*(0)"},
      {"L hexagon, reflex corner as a union", kLHexagon, "(0*1)*((2+3)*(4*5))"},
      {"square with midpoints on its edges",
       {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {0, 2}},
       "0*1*2*3*4*5"},
      // Edge 1 has no length: its half-plane is empty, so a union with it
      // changes nothing.
      {"square with a repeated vertex",
       {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}},
       "((0+1)*2)*(3*4)"},
      // A pocket whose walls lean towards each other.
      {"U octagon with leaning walls",
       {{0, 0}, {4, 0}, {4, 4}, {3 - 0x1p-20, 4}, {3, 1}, {1, 1}, {1 + 0x1p-20, 4}, {0, 4}},
       "((3+4)+(5*6))*((7*0)*(1*2))"},
      // Two blocks offset like a Z: edges 2 and 6 lie on one line and run
      // against each other, with the inside above one and below the other.
      {"Z shape",
       {{0, 0}, {2, 0}, {2, 1}, {3, 1}, {3, 2}, {1, 2}, {1, 1}, {0, 1}},
       "(0*1*6*7)+(2*3*4*5)"},
  };
  for (const Case& c : cases) {
    const FormulaVerdict verdict = check(c.vertices, c.formula);
    EXPECT_TRUE(verdict.holds) << c.name << ": " << verdict.reason;
  }
}

// Every single operator of a right formula, flipped, gives a wrong region;
// the check must notice, and its witness must show the difference.
TEST(CheckFormula, EveryFlippedOperatorFails) {
  for (const Case& c : kConverterCases) {
    for (std::size_t i = 0; i < c.formula.size(); ++i) {
      if (c.formula[i] != '+' && c.formula[i] != '*') continue;
      std::string flipped = c.formula;
      flipped[i] = c.formula[i] == '+' ? '*' : '+';
      const FormulaVerdict verdict = check(c.vertices, flipped);
      EXPECT_FALSE(verdict.holds) << c.name << ": " << flipped;
      EXPECT_FALSE(verdict.reason.empty());
      EXPECT_GE(verdict.edge, -1);
      EXPECT_LT(verdict.edge, static_cast<int>(c.vertices.size()));
      expect_disagreement_at_witness(c.vertices, flipped, verdict);
    }
  }
}

TEST(CheckFormula, WrongFormulasFail) {
  const Case cases[] = {
      // (0.8, 0.1) is inside the polygon but outside this formula's region.
      {"pentagon", {{0, 0}, {3, 0}, {1, 3}, {1, 1}, {2, 1}}, "(1)*((2)*((3+4)*(0)))"},
      {"square missing an edge", kSquare, "(0*1)*(2)"},
      {"square with an edge twice instead of another", kSquare, "(0*1)*(2*2)"},
      {"L hexagon with its reflex corner intersected", kLHexagon, "((2*3)*(4))*((5*0)*(1))"},
      {"square with a repeated vertex, empty edge intersected",
       {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}},
       "((0*1)*2)*(3*4)"},
  };
  for (const Case& c : cases) {
    const FormulaVerdict verdict = check(c.vertices, c.formula);
    EXPECT_FALSE(verdict.holds) << c.name;
    expect_disagreement_at_witness(c.vertices, c.formula, verdict);
  }
  ASSERT_TRUE(polygon_contains(cases[0].vertices, {0.8, 0.1}).value());
  ASSERT_FALSE(formula_at(cases[0].vertices, cases[0].formula, {0.8, 0.1}).value());
}

// Random points only rarely fall where these formulas go wrong; the exact
// check must find the difference anyway.
TEST(CheckFormula, FindsDifferencesThatSamplingMisses) {
  // A reflex corner that is almost straight: intersecting instead of uniting
  // its two edges removes a wedge only 2^-40 wide.
  const double dent = 0x1p-40;
  const std::vector<Point> dented{{0, 0}, {2, 0}, {2, 2}, {1, 2 - dent}, {0, 2}};
  const std::string right_dented = "(0*1)*((2+3)*4)";
  const std::string wrong_dented = "(0*1)*((2*3)*4)";
  // A pocket whose walls meet about 3 * 2^20 above it: adding the
  // intersection of the walls' half-planes adds a wedge beyond that point.
  const double lean = 0x1p-20;
  const std::vector<Point> leaning{{0, 0}, {4, 0}, {4, 4},        {3 - lean, 4},
                                   {3, 1}, {1, 1}, {1 + lean, 4}, {0, 4}};
  const std::string right_leaning = "((3+4)+(5*6))*((7*0)*(1*2))";
  const std::string wrong_leaning = testing::joined(right_leaning, '+', "3*5");

  EXPECT_TRUE(check(dented, right_dented).holds);
  EXPECT_TRUE(check(leaning, right_leaning).holds);
  const FormulaVerdict sliver = check(dented, wrong_dented);
  EXPECT_FALSE(sliver.holds);
  // The wedge touches the lines of edges 1 to 4, all near the dent's height.
  EXPECT_TRUE(sliver.edge >= 1 && sliver.edge <= 4) << sliver.reason;
  EXPECT_NEAR(sliver.witness.y, 2, 1e-9);
  const FormulaVerdict far = check(leaning, wrong_leaning);
  EXPECT_FALSE(far.holds);
  EXPECT_GT(std::hypot(far.witness.x, far.witness.y), 1e5) << far.reason;

  // The premise: a thousand random points in a generous box see no
  // difference between either wrong formula and its right one.
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> coordinate(-100, 100);
  for (int i = 0; i < 20000; ++i) {
    const Point x{coordinate(random), coordinate(random)};
    ASSERT_EQ(formula_at(dented, wrong_dented, x), formula_at(dented, right_dented, x));
    ASSERT_EQ(formula_at(leaning, wrong_leaning, x), formula_at(leaning, right_leaning, x));
  }
}

// A clockwise outline has its inside on the right of every edge; a formula
// of left half-planes cannot describe it. The union of all edges agrees with
// the outline along every edge, so only the far-outside test can catch it.
TEST(CheckFormula, FarOutsideTestCatchesTheComplement) {
  const std::vector<Point> clockwise_triangle{{0, 0}, {0, 1}, {1, 0}};
  const FormulaVerdict verdict = check(clockwise_triangle, "(0+1)+(2)");
  EXPECT_FALSE(verdict.holds);
  EXPECT_EQ(verdict.edge, -1);
  EXPECT_NE(verdict.reason.find("far outside"), std::string::npos) << verdict.reason;
  expect_disagreement_at_witness(clockwise_triangle, "(0+1)+(2)", verdict);
  EXPECT_FALSE(check(kClockwiseSquare, "((0)+(1+2))*(3)").holds);
}

// Formula records built by hand may be no formula at all.
TEST(CheckFormula, MalformedRecordsAreReportedNotFatal) {
  const struct {
    const char* name;
    std::vector<int> nodes;
  } cases[] = {
      {"empty", {}},
      {"operator without operands", {TOKEN_INTERSECT}},
      {"operator short of an operand", {TOKEN_INTERSECT, 0}},
      {"two formulas", {0, 1}},
      {"parenthesis", {TOKEN_OPEN, 0, TOKEN_CLOSE}},
      {"edge out of range", {TOKEN_INTERSECT, 0, 4}},
      {"unknown code", {TOKEN_INTERSECT, 0, -5}},
      {"large negative code", {std::numeric_limits<int>::min()}},
  };
  for (const auto& c : cases) {
    const FormulaVerdict verdict = check_formula(kSquare, Formula{c.nodes});
    EXPECT_FALSE(verdict.holds) << c.name;
    EXPECT_EQ(verdict.edge, -1) << c.name;
    EXPECT_NE(verdict.reason.find("malformed"), std::string::npos)
        << c.name << ": " << verdict.reason;
  }
}

TEST(CheckFormula, DegeneratePolygonsAreReported) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* name;
    std::vector<Point> vertices;
    std::string formula;
    const char* reason_part;
  } cases[] = {
      {"two vertices", {{0, 0}, {1, 0}}, "0*1", "at least three vertices"},
      {"no vertices", {}, "0", "at least three vertices"},
      {"all vertices equal", {{1, 1}, {1, 1}, {1, 1}}, "0*1*2", "no edge of positive length"},
      {"not a number", {{0, 0}, {1, nan}, {0, 1}}, "(1)*(2*0)", "not a finite number"},
      {"infinite",
       {{0, 0}, {1, 0}, {0, std::numeric_limits<double>::infinity()}},
       "(1)*(2*0)",
       "not a finite number"},
      // All edges on one line: the outline folds back over itself.
      {"flat", {{0, 0}, {1, 0}, {2, 0}}, "(1)*(2*0)", "overlap"},
      // The last edge runs back over part of the first.
      {"folded back", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 0}}, "0*1*2*3*4", "overlap"},
  };
  for (const auto& c : cases) {
    const FormulaVerdict verdict = check(c.vertices, c.formula);
    EXPECT_FALSE(verdict.holds) << c.name;
    EXPECT_NE(verdict.reason.find(c.reason_part), std::string::npos)
        << c.name << ": " << verdict.reason;
  }
}

// ---------------------------------------------------------------------------
// Generated polygons.

using Integer = std::int64_t;

Integer integer_cross(Point u, Point w) {
  return static_cast<Integer>(u.x) * static_cast<Integer>(w.y) -
         static_cast<Integer>(u.y) * static_cast<Integer>(w.x);
}

// Vertices at distinct angles around the origin, in angular order, with every
// angular gap below a half turn: a simple counter-clockwise polygon that is
// star-shaped around the origin. Small ranges give many collinear vertices.
std::vector<Point> random_star_polygon(std::mt19937_64& random, int vertex_count, int range) {
  std::uniform_int_distribution<int> coordinate(-range, range);
  auto upper = [](Point p) { return p.y > 0 || (p.y == 0 && p.x > 0); };
  for (;;) {
    std::vector<Point> points;
    while (static_cast<int>(points.size()) < vertex_count) {
      const Point p{static_cast<double>(coordinate(random)),
                    static_cast<double>(coordinate(random))};
      if (p.x != 0 || p.y != 0) points.push_back(p);
    }
    std::sort(points.begin(), points.end(), [&](Point a, Point b) {
      if (upper(a) != upper(b)) return upper(a);
      return integer_cross(a, b) > 0;
    });
    bool valid = true;
    for (int i = 0; i < vertex_count && valid; ++i) {
      valid = integer_cross(points[i], points[(i + 1) % vertex_count]) > 0;
    }
    if (valid) return points;
  }
}

bool is_convex(const std::vector<Point>& vertices) {
  const std::size_t n = vertices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Point a = vertices[i], b = vertices[(i + 1) % n], c = vertices[(i + 2) % n];
    if (integer_cross({b.x - a.x, b.y - a.y}, {c.x - b.x, c.y - b.y}) < 0) return false;
  }
  return true;
}

std::string intersection_of_all_edges(int edge_count) {
  std::string formula = "0";
  for (int i = 1; i < edge_count; ++i) {
    formula += '*';
    formula += std::to_string(i);
  }
  return formula;
}

TEST(CheckFormulaProperty, IntersectionOfAllEdgesHoldsExactlyForConvexPolygons) {
  std::mt19937_64 random(31);
  std::uniform_int_distribution<int> vertex_count(3, 12);
  const int ranges[] = {2, 5, 1000};
  int convex_count = 0;
  int concave_count = 0;
  for (int i = 0; i < 600; ++i) {
    const std::vector<Point> polygon =
        random_star_polygon(random, vertex_count(random), ranges[i % 3]);
    const std::string formula = intersection_of_all_edges(static_cast<int>(polygon.size()));
    const bool convex = is_convex(polygon);
    const FormulaVerdict verdict = check(polygon, formula);
    ASSERT_EQ(verdict.holds, convex) << i << ": " << verdict.reason;
    (convex ? convex_count : concave_count)++;
    if (!convex) expect_disagreement_at_witness(polygon, formula, verdict);
    // Clockwise, the same outline never matches a formula of left half-planes.
    const std::vector<Point> reversed(polygon.rbegin(), polygon.rend());
    ASSERT_FALSE(check(reversed, formula).holds) << i;
  }
  EXPECT_GT(convex_count, 50);
  EXPECT_GT(concave_count, 50);
}

// A random formula tree over all edges of the polygon.
std::string random_formula(std::mt19937_64& random, std::vector<int> edges,
                           bool only_intersections) {
  std::shuffle(edges.begin(), edges.end(), random);
  struct Builder {
    std::mt19937_64& random;
    bool only_intersections;
    std::string build(const std::vector<int>& edges, std::size_t begin, std::size_t end) {
      if (end - begin == 1) return std::to_string(edges[begin]);
      const std::size_t split =
          std::uniform_int_distribution<std::size_t>(begin + 1, end - 1)(random);
      const bool unite = !only_intersections && std::bernoulli_distribution(0.4)(random);
      return testing::joined(build(edges, begin, split), unite ? '+' : '*',
                             build(edges, split, end));
    }
  };
  Builder builder{random, only_intersections};
  return builder.build(edges, 0, edges.size());
}

// Wherever random points show the formula and the polygon apart, the check
// must fail; when it holds, no point may show a difference.
TEST(CheckFormulaProperty, AgreesWithPointSamplingOnRandomFormulas) {
  std::mt19937_64 random(57);
  std::uniform_int_distribution<int> vertex_count(3, 9);
  std::uniform_real_distribution<double> unit(-1.2, 1.2);
  int held = 0;
  int failed = 0;
  for (int i = 0; i < 400; ++i) {
    const int range = i % 2 == 0 ? 4 : 50;
    const std::vector<Point> polygon = random_star_polygon(random, vertex_count(random), range);
    std::vector<int> edges(polygon.size());
    for (std::size_t e = 0; e < edges.size(); ++e)
      edges[e] = static_cast<int>(e);
    const std::string formula = random_formula(random, edges, is_convex(polygon) && i % 4 == 1);
    const FormulaVerdict verdict = check(polygon, formula);
    bool sampled_difference = false;
    for (int s = 0; s < 300 && !sampled_difference; ++s) {
      const Point x{unit(random) * range, unit(random) * range};
      sampled_difference = disagree_at(polygon, formula, x);
    }
    if (sampled_difference) {
      ASSERT_FALSE(verdict.holds) << formula;
    }
    if (!verdict.holds) expect_disagreement_at_witness(polygon, formula, verdict);
    (verdict.holds ? held : failed)++;
  }
  EXPECT_GT(held, 20);
  EXPECT_GT(failed, 100);
}

// Deep nesting must neither overflow the stack nor change the answer.
TEST(CheckFormulaProperty, DeeplyNestedFormulaOnLargeConvexPolygon) {
  // Points on the parabola y = x^2 form a convex outline.
  const int vertex_count = 1500;
  std::vector<Point> polygon;
  for (int i = 0; i < vertex_count; ++i)
    polygon.push_back({double(i), double(i) * i});
  std::string formula = "0";
  for (int i = 1; i < vertex_count; ++i)
    formula = testing::joined(formula, '*', std::to_string(i));
  EXPECT_TRUE(check(polygon, formula).holds);
  std::string nested_right = std::to_string(vertex_count - 1);
  for (int i = vertex_count - 2; i >= 0; --i) {
    nested_right = testing::joined(std::to_string(i), '*', nested_right);
  }
  EXPECT_TRUE(check(polygon, nested_right).holds);
  const std::size_t last_star = nested_right.rfind('*');
  nested_right[last_star] = '+';
  EXPECT_FALSE(check(polygon, nested_right).holds);
}

}  // namespace
}  // namespace polyfrep
