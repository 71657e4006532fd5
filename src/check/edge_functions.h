#pragma once

#include <span>
#include <string>
#include <vector>

#include "check/model_program.h"
#include "geometry/point.h"
#include "geometry/region.h"

namespace polyfrep {

// How the model's distance variables sN relate to the input's edges: each
// must be written for edge N (its p0 and p1 the input's vertices N and N+1,
// up to rounding to six significant digits) and be a linear function of the
// point that vanishes on that edge's line and is positive on its left.
struct EdgeFunctionReport {
  int problem_count = 0;
  std::vector<std::string> problems;  // the first few, one line each

  // Vertices as written in the model (each edge's p0) against the input.
  int vertices_compared = 0;
  int vertices_moved = 0;    // not bit-identical
  double largest_shift = 0;  // largest distance between the two
  int largest_shift_vertex = -1;
};

// With `rings`, edge N ends at its ring's successor of vertex N, as a
// region's edges do; without, at vertex N + 1 of one outline.
EdgeFunctionReport check_edge_functions(const CompiledModel& model, std::span<const Point> vertices,
                                        std::size_t max_listed, std::span<const Ring> rings = {});

// Whether `written` can be `exact` written with six significant digits.
bool within_rounding(double written, double exact);

// A coefficient form c + cx*x + cy*y of a node, when it is one: sums,
// differences, negations, products with a constant and divisions by a
// non-zero constant of the coordinates and constants.
struct LinearForm {
  bool linear = false;
  double constant = 0;
  double x = 0;
  double y = 0;
};

LinearForm linear_form(const CompiledModel& model, int node);

}  // namespace polyfrep
