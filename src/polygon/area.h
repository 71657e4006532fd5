#pragma once

#include <span>

#include "geometry/point.h"

namespace polyfrep {

// Exact sign of the signed area of the closed outline through the vertices:
// 1 counter-clockwise, -1 clockwise, 0 for an outline enclosing no area (or
// as much clockwise as counter-clockwise).
int signed_area_sign(std::span<const Point> vertices);

}  // namespace polyfrep
