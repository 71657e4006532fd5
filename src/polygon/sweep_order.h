#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

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

// The indices 0 .. count - 1 ordered by the points point_of gives them, in
// sweep order. Each point is read once and sorted together with its index:
// sorting the indices alone would fetch two points from all over the
// polygon's array at each of the sort's comparisons. The comparisons are the
// same, and so is the order of indices whose points are equal.
template <class PointOf>
std::vector<int> sorted_by_point(int count, PointOf&& point_of) {
  struct Keyed {
    Point point;
    int index;
  };
  const auto size = static_cast<std::size_t>(count);
  std::vector<Keyed> keyed(size);
  for (std::size_t k = 0; k < size; ++k)
    keyed[k] = {point_of(static_cast<int>(k)), static_cast<int>(k)};
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    return lexicographically_before(a.point, b.point);
  });
  std::vector<int> order(size);
  for (std::size_t k = 0; k < size; ++k)
    order[k] = keyed[k].index;
  return order;
}

}  // namespace polyfrep
