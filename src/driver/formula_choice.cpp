#include "driver/formula_choice.h"

#include "formula/formula_check.h"

namespace polyfrep {

bool repairs_cuts(const PolygonDiagnosis& diagnosis) {
  return diagnosis.orientation > 0 && diagnosis.zero_length_edges.empty() &&
         diagnosis.crossings.empty();
}

Decomposition choose_polygon_formula(std::span<const Point> vertices,
                                     const PolygonDiagnosis& diagnosis,
                                     const FormulaPolicy& policy) {
  DecompositionOptions options;
  options.concurrent_length = policy.concurrent_length;
  options.stop = policy.stop;
  if (!repairs_cuts(diagnosis)) return build_polygon_formula(vertices, options);
  options.repair_cuts = true;
  Decomposition checked = build_polygon_formula(vertices, options);
  if (checked.stopped || !built(checked) || checked.all_cuts_sound ||
      vertices.size() > static_cast<std::size_t>(policy.exact_check_limit)) {
    return checked;
  }
  // Some cut looked unsound, but the plain formula may describe the polygon
  // all the same; small polygons can afford to find out.
  options.repair_cuts = false;
  Decomposition plain = build_polygon_formula(vertices, options);
  return check_formula(vertices, plain.formula).holds ? plain : checked;
}

Formula polygon_formula(std::span<const Point> vertices) {
  const PolygonDiagnosis diagnosis =
      diagnose_polygon(vertices, 2 * static_cast<long long>(vertices.size()), 1);
  return choose_polygon_formula(vertices, diagnosis).formula;
}

}  // namespace polyfrep
