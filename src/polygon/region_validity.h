#pragma once

#include <string>

#include "geometry/region.h"

namespace polyfrep {

// What can make a region unfit to convert, in the order first_region_problem
// looks for it. Rings and edges are numbered across the whole region.
enum class RegionProblemKind : unsigned char {
  kNone,
  // The ring list does not describe polygons: rings not back to back over
  // the vertex array, polygons not numbered 0, 1, ... in order, or a polygon
  // that does not start with its one exterior ring (first_ring).
  kMisplacedRing,
  // first_ring has fewer than three vertices.
  kTooFewVertices,
  // All vertices of first_ring lie on one line.
  kNoArea,
  // first_ring meets itself where a simple outline does not: first_edge and
  // second_edge, not neighbours, share a point, or neighbours fold back.
  kRingMeetsItself,
  // first_ring and second_ring cross, at a point of first_edge and
  // second_edge or where the two edges pass through one point; or, with
  // shared_stretch, the two edges overlap along a stretch. Rings may share
  // points where they touch without crossing.
  kRingsCross,
  // Hole first_ring does not lie inside second_ring, its polygon's exterior.
  kHoleOutsideExterior,
  // Holes first_ring and second_ring of first_polygon overlap: the second
  // lies inside the first.
  kHolesOverlap,
  // The insides of first_polygon and second_polygon overlap: one lies inside
  // the other's exterior and not in one of its holes.
  kPolygonsOverlap,
};

// The first problem found, with the numbers that name it; -1 for numbers
// the kind does not use.
struct RegionProblem {
  RegionProblemKind kind = RegionProblemKind::kNone;
  int first_ring = -1;
  int second_ring = -1;
  int first_edge = -1;
  int second_edge = -1;
  int first_polygon = -1;
  int second_polygon = -1;
  bool shared_stretch = false;
};

// The first problem of the region, checking the kinds in the order they are
// listed above; kind kNone when the region is valid. Rings and holes cross
// nothing in a valid region, so a ring lies inside another exactly when a
// point of it away from the other does, and the nesting of every ring comes
// from one sweep. All decisions use exact orientation signs; O(n log n) for
// n vertices. Throws std::domain_error for a coordinate that is not finite.
RegionProblem first_region_problem(const Region& region);

// One plain line naming the problem, such as "rings 0 and 2 cross (edges 7
// and 95)"; "valid region" for kind kNone.
std::string region_problem_text(const RegionProblem& problem);

}  // namespace polyfrep
