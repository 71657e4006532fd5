#pragma once

#include <span>
#include <vector>

#include "check/model_program.h"
#include "geometry/point.h"

namespace polyfrep {

// An axis-parallel box, closed on every side.
struct Box {
  double x_low = 0;
  double x_high = 0;
  double y_low = 0;
  double y_high = 0;
};

// Bounds of an expression over a box. `magnitude` bounds the size of the
// terms summed on the way, which bounds the rounding error of evaluating the
// expression at any point of the box; `known` is false where no bound holds
// (a division by a range that contains zero, a root of a point-dependent
// value, anything not finite).
struct Interval {
  double low = 0;
  double high = 0;
  double magnitude = 0;
  bool known = false;
};

Interval node_interval(const CompiledModel& model, int node, const Box& box);

// For every point, whether the model is positive there: the same answer as
// model_inside point by point, found faster. The points are split into
// boxes, and in each box the formula is simplified first: an operand of "&"
// or "|" whose sign cannot change within the box is replaced by its sign,
// so that near a point only the edges close to it are evaluated.
std::vector<char> classify_points(const CompiledModel& model, std::span<const Point> points);

}  // namespace polyfrep
