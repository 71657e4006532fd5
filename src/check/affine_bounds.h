#pragma once

#include <span>
#include <vector>

#include "check/model_program.h"
#include "geometry/box.h"

namespace polyfrep {

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

// A node whose value is affine in the point: x_scale * x + y_scale * y +
// offset, up to rounding. An edge's distance line is one: a sum of
// coordinate differences times constants, divided by a constant. The sizes
// give the magnitude of the terms met when the node is evaluated as written
// (x_size * |x| + y_size * |y| + offset_size), `rounding_steps` counts the
// roundings of that evaluation and of the scales themselves, and
// `underflow` bounds the error left by results below the normal range.
// Together they bound how far the evaluated value can be from the affine
// form, so that bounds from the form hold for the value as the model
// computes it.
struct AffineForm {
  bool affine = false;
  double x_scale = 0;
  double y_scale = 0;
  double offset = 0;
  double x_size = 0;
  double y_size = 0;
  double offset_size = 0;
  double underflow = 0;
  int rounding_steps = 0;
};

// The affine form of every node of the model, found once; nodes that are
// not affine (roots, products of point-dependent values, "&", "|", divisions
// by anything but an exact nonzero constant) have `affine` false.
std::vector<AffineForm> affine_forms(const CompiledModel& model);

// The affine forms of the wanted nodes only, in the order given: the same
// as affine_forms picks out for them, found from the nodes they depend on
// without holding a form for every node of a large model.
std::vector<AffineForm> affine_forms_of(const CompiledModel& model, std::span<const int> wanted);

// Bounds of the node's evaluated value over the box in a few operations,
// widened by the rounding the evaluation and this bound may commit.
Interval affine_interval(const AffineForm& form, const Box& box);

}  // namespace polyfrep
