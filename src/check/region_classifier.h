#pragma once

#include <span>
#include <vector>

#include "check/affine_bounds.h"
#include "check/model_program.h"
#include "geometry/point.h"

namespace polyfrep {

Interval node_interval(const CompiledModel& model, int node, const Box& box);

// For every point, whether the model is positive there: the same answer as
// model_inside point by point, found faster. The points are split into
// boxes, and in each box the formula is simplified first: an operand of "&"
// or "|" whose sign cannot change within the box is replaced by its sign,
// so that near a point only the edges close to it are evaluated.
std::vector<char> classify_points(const CompiledModel& model, std::span<const Point> points);

}  // namespace polyfrep
