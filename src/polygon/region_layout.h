#pragma once

#include <string>

#include "geometry/point.h"
#include "geometry/region.h"

namespace polyfrep {

// Why a region's edges alone might not tell the region, or empty. The
// region is the union over polygons of each exterior less its holes; its
// edges alone tell only where the rings' winding numbers (an exterior's +1
// inside it, a hole's -1) add up to 1. The two are the same when no two
// rings meet and, inside every ring next to its boundary, the winding
// numbers add up to 1 exactly where the region is: then they agree in every
// part of the plane the rings cut out. Both are tested exactly, the rings
// themselves taken to be simple; a layout that fails may still make the
// two the same (rings that touch at a point), but is not shown to.
std::string region_layout_problem(const Region& region);

// Whether p lies inside the ring by the even-odd rule, exactly; p must not
// lie on the ring.
bool ring_contains(const Region& region, const Ring& ring, Point p);

}  // namespace polyfrep
