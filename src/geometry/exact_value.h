#pragma once

#include <gmpxx.h>

#include "geometry/exact.h"

namespace polyfrep {

// Exact values behind the predicates, for callers that need the numbers
// themselves (reports, tests) rather than only their signs.

// The parameter t of a LineParameter as a canonical fraction.
// Throws std::domain_error when its denominator is zero (a hand-made
// parameter of parallel lines).
mpq_class parameter_value(const LineParameter& t);

struct RationalCoordinates {
  mpq_class x;
  mpq_class y;
};

// The coordinates of a crossing point as canonical fractions.
RationalCoordinates point_value(const RationalPoint& point);

}  // namespace polyfrep
