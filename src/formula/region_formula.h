#pragma once

#include <span>
#include <vector>

#include "geometry/region.h"
#include "polyfrep/polyfrep.h"

namespace polyfrep {

// Every ring's formula is built on the ring's points counter-clockwise: an
// exterior ring as it stands, a hole (clockwise) reversed with its first
// vertex kept first, so that point j of the copy is vertex (count - j) mod
// count of the hole.
std::vector<Point> counter_clockwise_points(const Region& region, const Ring& ring);

// The region's vertex that point `local` of the ring's counter-clockwise
// points is.
int region_vertex(const Ring& ring, int local);

// The region's edge that edge `local` of the ring's counter-clockwise points
// lies on: the edge itself for an exterior ring; for a hole, the hole's edge
// that runs the other way along it.
int region_edge(const Ring& ring, int local);

// The formula of a region from one formula per ring, each over its ring's
// counter-clockwise points (edges 0 .. count - 1): the union over polygons of
// the exterior's formula intersected with one formula per hole. A hole's
// formula describes its outside with the hole's own edges: the dual (union
// and intersection exchanged) of its counter-clockwise formula, whose edges'
// half-planes are the complements of the hole's. Many operands are joined as
// a balanced tree, so that a region of 10,000 islands nests 14 levels deep.
// A region of one ring has exactly that ring's formula. Empty when a ring
// has no formula.
Formula region_formula(const Region& region, std::span<const Formula> ring_formulas);

}  // namespace polyfrep
