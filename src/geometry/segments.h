#pragma once

#include "geometry/point.h"

namespace polyfrep {

inline bool same_point(Point a, Point b) {
  return a.x == b.x && a.y == b.y;
}

// Whether the closed segments a-b and c-d share a point, decided exactly.
// A segment of zero length is its one point.
bool closed_segments_meet(Point a, Point b, Point c, Point d);

// Whether the edges into and out of `corner` overlap beyond it: the three
// points are collinear and the outline turns straight back.
bool folds_back(Point before, Point corner, Point after);

}  // namespace polyfrep
