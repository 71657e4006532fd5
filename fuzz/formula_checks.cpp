#include "fuzz/formula_checks.h"

#include <algorithm>
#include <cstddef>

#include "driver/formula_choice.h"
#include "formula/formula_check.h"
#include "formula/formula_text.h"
#include "fuzz/conversion_checks.h"
#include "geometry/segments.h"
#include "polygon/area.h"
#include "polygon/diagnosis.h"

namespace polyfrep::fuzzing {
namespace {

Formula build_with_limit(std::span<const Point> vertices, bool checked, int exact_check_limit) {
  if (!checked) return build_polygon_formula(vertices).formula;
  const PolygonDiagnosis diagnosis =
      diagnose_polygon(vertices, 2 * static_cast<long long>(vertices.size()), 1);
  FormulaPolicy policy;
  policy.exact_check_limit = exact_check_limit;
  return choose_polygon_formula(vertices, diagnosis, policy).formula;
}

bool leaves_alone(std::span<const Point> vertices) {
  return signed_area_sign(vertices) <= 0 || !zero_length_edges(vertices).empty() ||
         !find_self_intersections(vertices, 1).empty();
}

// The rules one checked build must keep, `plain` being the unchecked build's.
void check_one_build(std::span<const Point> vertices, const Formula& plain, const Formula& built,
                     const std::string& name, std::vector<std::string>& violations) {
  const int vertex_count = static_cast<int>(vertices.size());
  const bool plain_built = !plain.nodes.empty();
  const bool was_built = !built.nodes.empty();
  if (was_built != plain_built) {
    violations.push_back(name + (was_built ? " made a formula" : " made none") +
                         " unlike the unchecked build");
  }
  if (!was_built) return;
  const std::vector<std::string> grammar = formula_violations(compact_text(built), vertex_count);
  for (const std::string& violation : grammar)
    violations.push_back(name + ": " + violation);
  if (!grammar.empty()) return;

  if (leaves_alone(vertices)) {
    if (built.nodes != plain.nodes)
      violations.push_back(name + " changed the formula of an outline it must leave alone");
    return;
  }
  if (vertex_count > kMaxExactlyCheckedVertexCount || !is_simple_outline(vertices)) return;
  const FormulaVerdict verdict = check_formula(vertices, built);
  if (!verdict.holds) {
    violations.push_back(
        name + " " + compact_text(built) +
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
      if (closed_segments_meet(start, end, vertices[j], vertices[(j + 1) % n])) return false;
    }
  }
  return true;
}

Formula converter_formula(std::span<const Point> vertices) {
  return build_with_limit(vertices, true, kExactCheckLimit);
}

std::vector<std::string> correct_formula_violations(std::span<const Point> vertices) {
  std::vector<std::string> violations;
  const Formula plain = build_with_limit(vertices, false, 0);
  const Formula checked = converter_formula(vertices);
  check_one_build(vertices, plain, checked, "the checked formula", violations);
  // A limit of 0 sends every outline whose cuts are not all shown sound
  // straight to the repair, as outlines above the limit go.
  const Formula repaired = build_with_limit(vertices, true, 0);
  check_one_build(vertices, plain, repaired, "the repaired formula", violations);
  if (!violations.empty() || plain.nodes.empty()) return violations;

  // A plain formula that is right is kept as it is.
  const int vertex_count = static_cast<int>(vertices.size());
  if (vertex_count <= kMaxExactlyCheckedVertexCount && !leaves_alone(vertices) &&
      is_simple_outline(vertices) && check_formula(vertices, plain).holds &&
      checked.nodes != plain.nodes) {
    violations.push_back("the checked build replaced a plain formula that was right");
  }
  return violations;
}

}  // namespace polyfrep::fuzzing
