#pragma once

#include <optional>
#include <span>

#include "geometry/point.h"

namespace polyfrep {

// A point strictly left of every edge's line: inside the outline's kernel,
// the region it can all be seen from, so that the outline is star-shaped
// around it. Found in doubles by linear programming over the edges' half-
// planes (randomized, expected linear time), as the mean of the kernel's
// leftmost, rightmost, lowest and highest corners; nullopt when the program
// finds no kernel. Nothing here is exact: callers check the point.
std::optional<Point> kernel_point(std::span<const Point> vertices);

// Whether the outline winds once around `centre` with every edge turning
// strictly left as seen from it. Decided exactly. Then each edge lies in a
// wedge of its own, the wedges follow one another once around, and no two
// edges meet but neighbours at their shared vertex: the outline is simple.
bool winds_once_around(std::span<const Point> vertices, Point centre);

}  // namespace polyfrep
