#pragma once

#include <algorithm>
#include <span>

#include "geometry/point.h"

namespace polyfrep {

// An axis-parallel box, closed on every side.
struct Box {
  double x_low = 0;
  double x_high = 0;
  double y_low = 0;
  double y_high = 0;
};

// The smallest box holding the points; at least one point is needed.
inline Box bounding_box(std::span<const Point> points) {
  Box box{points[0].x, points[0].x, points[0].y, points[0].y};
  for (const Point& p : points) {
    box.x_low = std::min(box.x_low, p.x);
    box.x_high = std::max(box.x_high, p.x);
    box.y_low = std::min(box.y_low, p.y);
    box.y_high = std::max(box.y_high, p.y);
  }
  return box;
}

}  // namespace polyfrep
