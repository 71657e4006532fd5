#include "fuzz/formula_checks.h"

#include <algorithm>
#include <cstddef>

#include "formula/decomposition.h"
#include "formula/formula.h"
#include "fuzz/conversion_checks.h"
#include "geometry/area.h"
#include "geometry/exact.h"
#include "formula/formula_check.h"

namespace polyfrep::fuzzing {
namespace {

// Room for every formula the decomposition can make (at most 6n - 5 tokens).
constexpr int kTokensPerVertex = 10;

bool same_point(Point a, Point b) {
  return a.x == b.x && a.y == b.y;
}

// Whether c lies on the closed segment from a to b, given that the three are
// collinear.
bool within_segment(Point a, Point b, Point c) {
  return std::min(a.x, b.x) <= c.x && c.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= c.y &&
         c.y <= std::max(a.y, b.y);
}

// Whether the closed segments a-b and c-d share a point.
bool segments_meet(Point a, Point b, Point c, Point d) {
  const int c_side = orientation_sign(a, b, c);
  const int d_side = orientation_sign(a, b, d);
  const int a_side = orientation_sign(c, d, a);
  const int b_side = orientation_sign(c, d, b);
  if (c_side * d_side < 0 && a_side * b_side < 0) return true;
  return (c_side == 0 && within_segment(a, b, c)) || (d_side == 0 && within_segment(a, b, d)) ||
         (a_side == 0 && within_segment(c, d, a)) || (b_side == 0 && within_segment(c, d, b));
}

// Whether the edges into and out of `corner` overlap beyond the corner: they
// are collinear and the outline turns straight back.
bool folds_back(Point before, Point corner, Point after) {
  return orientation_sign(before, corner, after) == 0 &&
         dot_sign(corner, before, corner, after) > 0;
}

bool has_zero_length_edge(std::span<const Point> vertices) {
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    if (same_point(vertices[i], vertices[(i + 1) % vertices.size()])) return true;
  }
  return false;
}

std::vector<int> token_values(const TokenList& tokens) {
  return std::vector<int>(tokens.items.get(), tokens.items.get() + tokens.count);
}

BuiltFormula build_with_limit(std::span<const Point> vertices, bool checked,
                              int exact_check_limit) {
  BuiltFormula result;
  const int vertex_count = static_cast<int>(vertices.size());
  result.tokens = make_token_list(kTokensPerVertex * std::max(vertex_count, 1));
  result.built = checked
                     ? build_correct_polygon_formula(vertices, result.tokens, {}, exact_check_limit)
                     : build_polygon_formula(vertices, result.tokens);
  return result;
}

// The rules one checked build must keep, `plain` being the unchecked build's.
void check_one_build(std::span<const Point> vertices, const BuiltFormula& plain,
                     const BuiltFormula& built, const std::string& name,
                     std::vector<std::string>& violations) {
  const int vertex_count = static_cast<int>(vertices.size());
  if (built.built != plain.built) {
    violations.push_back(name + (built.built ? " made a formula" : " made none") +
                         " unlike the unchecked build");
  }
  if (!built.built) {
    if (built.tokens.count != 0) violations.push_back(name + " left tokens without a formula");
    return;
  }
  const std::vector<std::string> grammar =
      formula_violations(formula_text(built.tokens), vertex_count);
  for (const std::string& violation : grammar)
    violations.push_back(name + ": " + violation);
  if (!grammar.empty()) return;

  if (signed_area_sign(vertices) <= 0 || has_zero_length_edge(vertices)) {
    if (token_values(built.tokens) != token_values(plain.tokens))
      violations.push_back(name + " changed the formula of an outline it must leave alone");
    return;
  }
  if (vertex_count > kMaxExactlyCheckedVertexCount || !is_simple_outline(vertices)) return;
  const FormulaVerdict verdict = check_formula(vertices, parse_tokens(token_values(built.tokens), vertex_count).formula);
  if (!verdict.holds) {
    violations.push_back(
        name + " " + formula_text(built.tokens) +
        " does not describe the simple counter-clockwise outline: " + verdict.reason);
  }
}

}  // namespace

bool is_simple_outline(std::span<const Point> vertices) {
  const std::size_t n = vertices.size();
  if (n < 3) return false;
  for (std::size_t i = 0; i < n; ++i) {
    const Point& start = vertices[i];
    const Point& end = vertices[(i + 1) % n];
    if (same_point(start, end)) return false;
    if (folds_back(start, end, vertices[(i + 2) % n])) return false;
    // Edges i and j meet only when they are neighbours; the pair (last, first)
    // is a neighbouring pair too.
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;
      if (segments_meet(start, end, vertices[j], vertices[(j + 1) % n])) return false;
    }
  }
  return true;
}

BuiltFormula build_checked_formula(std::span<const Point> vertices) {
  return build_with_limit(vertices, true, kExactCheckLimit);
}

std::string formula_text(const TokenList& tokens) {
  std::string text;
  for (int token : token_values(tokens)) {
    switch (token) {
      case TOKEN_OPEN:
        text += '(';
        break;
      case TOKEN_CLOSE:
        text += ')';
        break;
      case TOKEN_UNION:
        text += '+';
        break;
      case TOKEN_INTERSECT:
        text += '*';
        break;
      default:
        text += std::to_string(token);
        break;
    }
  }
  return text;
}

std::vector<std::string> correct_formula_violations(std::span<const Point> vertices) {
  std::vector<std::string> violations;
  const BuiltFormula plain = build_with_limit(vertices, false, 0);
  const BuiltFormula checked = build_checked_formula(vertices);
  check_one_build(vertices, plain, checked, "the checked formula", violations);
  // A limit of 0 sends every outline whose cuts are not all shown sound
  // straight to the repair, as outlines above the limit go.
  const BuiltFormula repaired = build_with_limit(vertices, true, 0);
  check_one_build(vertices, plain, repaired, "the repaired formula", violations);
  if (!violations.empty() || !plain.built) return violations;

  // A plain formula that is right is kept as it is.
  const int vertex_count = static_cast<int>(vertices.size());
  if (vertex_count <= kMaxExactlyCheckedVertexCount && signed_area_sign(vertices) > 0 &&
      is_simple_outline(vertices) && check_formula(vertices, parse_tokens(token_values(plain.tokens), vertex_count).formula).holds &&
      token_values(checked.tokens) != token_values(plain.tokens)) {
    violations.push_back("the checked build replaced a plain formula that was right");
  }
  return violations;
}

}  // namespace polyfrep::fuzzing
