#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// 1 when p0 -> p1 -> p2 turns left or is straight (cross product >= 0.0),
// 0 for a strict right turn or a cross product that is not a number.
int is_left_turn(Point p0, Point p1, Point p2);

// Convex hull of a simple polyline of at least three points, as positions
// into points, counter-clockwise, starting with the point pushed last.
// Collinear points count as left, so a corner already on the hull stays.
//
// The walk starts at the first strict left turn and takes the points before
// it last, as if the chain were closed. Without a strict left turn the result
// is in general not a hull, but it is always a list of distinct positions
// from 0 to points.size() - 1. Fewer than three points give an empty result.
// hull_positions is replaced by a vector of exactly the result's size.
void chain_hull(std::span<const Point> points, std::vector<int>& hull_positions);

// Working storage for chain_hull, the deque's 2 ints per point and a bit
// per point, kept between calls so that a caller computing many hulls
// allocates only for the largest. The deque's slots are never cleared: every
// slot is written before it is read.
struct HullWorkspace {
  std::unique_ptr<int[]> items;
  std::size_t size = 0;
  std::vector<std::uint64_t> seen;
};

// The same, with the working storage taken from `work`.
void chain_hull(std::span<const Point> points, std::vector<int>& hull_positions,
                HullWorkspace& work);

}  // namespace polyfrep
