#pragma once

// polyfrep: a simple polygon as a formula of its edges' half-planes.
//
// The records every part of the library shares, and its entry points.

#include <vector>

namespace polyfrep {

// One polygon vertex. Coordinates are taken from the input as they stand.
struct Point {
  double x;
  double y;
};

// Codes of a formula's operators, and of the parentheses of its flat view.
// An edge index (0 or more) stands for that edge's half-plane: the side on
// the left of the edge's direction, edge i running from vertex i to vertex
// (i + 1) mod n.
inline constexpr int TOKEN_OPEN = -1;
inline constexpr int TOKEN_CLOSE = -2;
inline constexpr int TOKEN_UNION = -3;
inline constexpr int TOKEN_INTERSECT = -4;

}  // namespace polyfrep
