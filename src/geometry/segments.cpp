#include "geometry/segments.h"

#include <algorithm>

#include "geometry/exact.h"

namespace polyfrep {

namespace {

// Whether p, known to lie on the line through a and b, lies on the closed
// segment between them.
bool within_segment(Point a, Point b, Point p) {
  return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
         p.y <= std::max(a.y, b.y);
}

}  // namespace

bool closed_segments_meet(Point a, Point b, Point c, Point d) {
  const int c_side = orientation_sign(a, b, c);
  const int d_side = orientation_sign(a, b, d);
  const int a_side = orientation_sign(c, d, a);
  const int b_side = orientation_sign(c, d, b);
  if (c_side * d_side < 0 && a_side * b_side < 0) return true;
  return (c_side == 0 && within_segment(a, b, c)) || (d_side == 0 && within_segment(a, b, d)) ||
         (a_side == 0 && within_segment(c, d, a)) || (b_side == 0 && within_segment(c, d, b));
}

bool folds_back(Point before, Point corner, Point after) {
  return orientation_sign(before, corner, after) == 0 &&
         dot_sign(corner, before, corner, after) > 0;
}

}  // namespace polyfrep
