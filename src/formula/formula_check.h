#pragma once

#include <functional>
#include <span>
#include <string>

#include "geometry/point.h"

namespace polyfrep {

// The outcome of checking a formula against a polygon.
struct FormulaVerdict {
  bool holds = false;   // the formula describes the polygon exactly
  int edge = -1;        // an edge on whose supporting line the first failure lies;
                        // -1 when the far-outside test failed or the formula is malformed
  Point witness{0, 0};  // a point on the failing interval (rounded to double),
                        // or the far point used
  std::string reason;   // one line in plain words
};

// Decides exactly whether the formula over edge half-planes describes the
// polygon's region (vertices counter-clockwise, outline simple).
//
// Edge i's half-plane is the open half-plane strictly left of vertex i ->
// vertex (i + 1) mod n; a zero-length edge's half-plane is empty. A record
// that is no formula over edges 0..n-1, fewer than three vertices or a
// coordinate that is not finite give holds = false with a reason; nothing
// here throws for bad input.
//
// The two regions are compared up to their boundaries: the formula holds
// when the open region it describes and the polygon's interior differ at most
// on the edges' supporting lines.
//
// `progress`, when given, is told after each supporting line how many of
// them are done and how many there are: the check of a large polygon takes
// a while.
FormulaVerdict check_formula(std::span<const Point> vertices, const Formula& formula,
                             const std::function<void(int done, int total)>& progress = {});

// One edge of a region, with the region's inside on its left.
struct EdgeSegment {
  Point start;
  Point end;
};

// The same decision for a region bounded by any number of rings, given as
// its edges: edge i's half-plane is the open half-plane strictly left of
// segments[i].start -> segments[i].end. The formula holds when its region and the
// one whose inside lies left of every edge (where the rings' winding
// numbers add up to 1, which must be 0 or 1 everywhere) differ at most on
// the edges' supporting lines. Failures read as check_formula's, with the
// region in place of the polygon.
FormulaVerdict check_region_formula(std::span<const EdgeSegment> segments, const Formula& formula,
                                    const std::function<void(int done, int total)>& progress = {});

}  // namespace polyfrep
