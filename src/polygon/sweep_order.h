#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
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

// Bits whose unsigned order is the order of the doubles, with -0 and +0
// alike. A NaN, which no sweep is given, gets some place of its own.
inline std::uint64_t ordered_bits(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value + 0.0);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// The indices 0 .. count - 1 ordered by the points point_of gives them, in
// sweep order. Each point is read once and sorted together with its index:
// sorting the indices alone would fetch two points from all over the
// polygon's array at each of the sort's comparisons. A point is compared by
// x's ordered bits, then by the upper half of y's; only points alike in both
// fetch their y again for the lower half. That orders two points as
// lexicographically_before does, so the sort's comparisons come out the same
// and so does the order of indices whose points are equal; and an entry
// takes 16 bytes where the whole key would take 32, the sweep's largest
// block while it sorts.
template <class PointOf>
std::vector<int> sorted_by_point(int count, PointOf&& point_of) {
  struct Keyed {
    std::uint64_t x_key;
    std::uint32_t y_upper;
    int index;
  };
  static_assert(sizeof(Keyed) == 16);
  const auto size = static_cast<std::size_t>(count);
  std::vector<Keyed> keyed(size);
  for (std::size_t k = 0; k < size; ++k) {
    const Point point = point_of(static_cast<int>(k));
    const std::uint64_t y_key = ordered_bits(point.y);
    keyed[k] = {ordered_bits(point.x), static_cast<std::uint32_t>(y_key >> 32),
                static_cast<int>(k)};
  }
  const auto y_lower = [&point_of](int index) {
    return static_cast<std::uint32_t>(ordered_bits(point_of(index).y));
  };
  std::sort(keyed.begin(), keyed.end(), [&y_lower](const Keyed& a, const Keyed& b) {
    if (a.x_key != b.x_key) return a.x_key < b.x_key;
    if (a.y_upper != b.y_upper) return a.y_upper < b.y_upper;
    return y_lower(a.index) < y_lower(b.index);
  });
  std::vector<int> order(size);
  for (std::size_t k = 0; k < size; ++k)
    order[k] = keyed[k].index;
  return order;
}

}  // namespace polyfrep
