#pragma once

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

// The same, with the working storage (3 ints per point) taken from `work`,
// which grows as needed and is kept for the next call: a caller computing
// many hulls then allocates only for the largest.
void chain_hull(std::span<const Point> points, std::vector<int>& hull_positions,
                std::vector<int>& work);

}  // namespace polyfrep
