#pragma once

#include <span>
#include <stop_token>

#include "formula/decomposition.h"
#include "polygon/diagnosis.h"

namespace polyfrep {

// Polygons up to this size whose cuts cannot all be shown sound one by one get
// their plain formula checked exactly before it is replaced: the exact check
// costs about n^2 log n (some tens of milliseconds at 2000 vertices), far more
// than the conversion itself, so larger polygons go straight to the repaired
// cuts.
inline constexpr int kExactCheckLimit = 2000;

struct FormulaPolicy {
  int exact_check_limit = kExactCheckLimit;  // tests move it to reach the repair on small polygons
  int concurrent_length = kConcurrentChainLength;
  // Ends a formula no longer wanted early; its result is then marked stopped.
  std::stop_token stop;
};

// Whether choose_polygon_formula checks and repairs the outline's cuts: for a
// counter-clockwise outline without zero-length edges or known crossings.
bool repairs_cuts(const PolygonDiagnosis& diagnosis);

// The converter's formula: the plain decomposition when it describes the
// polygon, otherwise the decomposition with every unsound cut repaired.
// Clockwise outlines, outlines enclosing no area, outlines that cross
// themselves (as far as the diagnosis has looked) and outlines with a
// zero-length edge get the plain decomposition: their model describes the
// edges' left sides, or no polygon at all, and a zero-length edge has no
// half-plane that the cut rules could reason about. The last hull is that of the decomposition
// chosen.
Decomposition choose_polygon_formula(std::span<const Point> vertices,
                                     const PolygonDiagnosis& diagnosis,
                                     const FormulaPolicy& policy = {});

}  // namespace polyfrep
