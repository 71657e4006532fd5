#pragma once

#include <span>
#include <string>
#include <vector>

#include "geometry/point.h"

namespace polyfrep::fuzzing {

// Outlines up to this size get their repaired formula checked exactly against
// the region: the simplicity test costs the square of the count and the
// exact formula check about that times a logarithm, both slow under the
// sanitizers.
inline constexpr int kMaxExactlyCheckedVertexCount = 200;

// Whether the closed outline is simple, decided exactly: no two edges meet
// except neighbours at their shared vertex, and no edge folds back over its
// neighbour. An outline with a zero-length edge is not simple.
bool is_simple_outline(std::span<const Point> vertices);

// The converter's formula for an outline (empty when it makes none).
Formula converter_formula(std::span<const Point> vertices);

// The broken rules of the converter's choice of formula on one outline, as
// the converter makes it and with the repair forced (an exact check limit of
// 0): each builds a formula exactly when the plain decomposition does, using
// every edge once; outlines it leaves alone (clockwise, no area, a
// zero-length edge, a crossing) keep the plain formula; and for a simple
// counter-clockwise outline of at most kMaxExactlyCheckedVertexCount vertices
// both formulas describe the region exactly, and a plain formula that already
// does is kept. Empty when all hold.
std::vector<std::string> correct_formula_violations(std::span<const Point> vertices);

}  // namespace polyfrep::fuzzing
