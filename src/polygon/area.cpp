#include "polygon/area.h"

#include <gmpxx.h>

#include <cmath>

namespace polyfrep {

namespace {

// Twice the signed area as an exact rational: every double is one, and so is
// every sum of their products.
int exact_area_sign(std::span<const Point> vertices) {
  mpq_class twice_area = 0;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Point& here = vertices[i];
    const Point& next = vertices[(i + 1) % vertices.size()];
    twice_area += mpq_class(here.x) * mpq_class(next.y) - mpq_class(next.x) * mpq_class(here.y);
  }
  return sgn(twice_area);
}

}  // namespace

int signed_area_sign(std::span<const Point> vertices) {
  // The sum in doubles is off from the exact one by at most about
  // (2n + 2) ulp of the sum of the products' magnitudes; twice that margin
  // covers the rounding of the bound itself. Magnitudes outside a safe range
  // may have overflowed or underflowed, and then the exact sum decides.
  double twice_area = 0;
  double magnitude = 0;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Point& here = vertices[i];
    const Point& next = vertices[(i + 1) % vertices.size()];
    const double forward = here.x * next.y;
    const double backward = next.x * here.y;
    twice_area += forward - backward;
    magnitude += std::fabs(forward) + std::fabs(backward);
  }
  const double bound =
      2.0 * (2.0 * static_cast<double>(vertices.size()) + 2.0) * 0x1p-53 * magnitude;
  if (magnitude > 1e-250 && magnitude < 1e250) {
    if (twice_area > bound) return 1;
    if (-twice_area > bound) return -1;
  }
  return exact_area_sign(vertices);
}

}  // namespace polyfrep
