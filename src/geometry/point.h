#pragma once

#include <cmath>
#include <vector>

#include "polyfrep/polyfrep.h"

namespace polyfrep {

// A polygon as read: the count as the input gave it (it may be 0 or negative
// for a malformed file) and exactly max(count, 0) vertices in input order.
// Edge i runs from vertex i to vertex (i + 1) mod count.
struct Polygon {
  int vertex_count = 0;
  std::vector<Point> vertices;
};

// Both coordinates finite: no infinity (a text beyond the largest double
// reads as one) and no NaN, which no exact test can take.
inline bool is_finite(Point point) {
  return std::isfinite(point.x) && std::isfinite(point.y);
}

}  // namespace polyfrep
