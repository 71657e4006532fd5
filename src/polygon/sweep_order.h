#pragma once

#include "geometry/exact.h"
#include "geometry/point.h"

namespace polyfrep {

// The order in which a sweep line meets points: by x, then by y, so that a
// vertical segment is met from its lower end up.
inline bool lexicographically_before(Point a, Point b) {
  return a.x < b.x || (a.x == b.x && a.y < b.y);
}

// Where segment s lies against segment t on a sweep line crossing both, for
// segments that neither cross nor overlap (they may share a point): -1
// below, 1 above, 0 when the four ends are collinear. The one that starts
// later is placed by the side of the other on which its left end lies, or
// its right end when that left end lies on the other. Ends are given in
// sweep order, left before right.
inline int sweep_side(Point s_left, Point s_right, Point t_left, Point t_right) {
  const bool s_later = !lexicographically_before(s_left, t_left);
  int side = s_later ? orientation_sign(t_left, t_right, s_left)
                     : -orientation_sign(s_left, s_right, t_left);
  if (side == 0) {
    side = s_later ? orientation_sign(t_left, t_right, s_right)
                   : -orientation_sign(s_left, s_right, t_right);
  }
  return side;
}

}  // namespace polyfrep
