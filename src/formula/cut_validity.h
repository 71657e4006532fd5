#pragma once

#include <span>
#include <vector>

#include "formula/decomposition.h"
#include "geometry/point.h"

namespace polyfrep {

// Exact sign of the turn at every vertex of a polygon, with running counts so
// that "do all interior turns of this chain turn the same strict way?" costs
// constant time.
struct TurnTable {
  std::vector<signed char> turn_sign;
  std::vector<int> left_turns_before;   // strict left turns at vertices [0, i)
  std::vector<int> right_turns_before;  // strict right turns at vertices [0, i)
};

TurnTable make_turn_table(std::span<const Point> vertices);

// Every turn strictly left: a convex polygon without straight corners.
bool is_strictly_convex(const TurnTable& turns);

// Whether cutting `chain` at `cut_position` (1 to length - 2) and joining the
// two parts with `join` (TOKEN_INTERSECT or TOKEN_UNION) keeps the region on
// the chain's left. The region of a chain is bounded by the chain extended at
// both ends by rays; the cut is sound when the two cut rays at the cut vertex
// (the incoming edge continued forward, the outgoing edge continued backward)
// do not cross that extended chain, or when all of the chain's interior turns
// have one strict sign. Decided exactly.
bool chain_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns, IndexChain chain,
                        int cut_position, int join);

// Whether splitting the outline at vertices a and b into two chains joined by
// intersection gives the polygon: always for a strictly convex polygon;
// otherwise the turns at a and b must not be right turns, none of the four
// cut rays at a and b may cross the outline, and the end rays of one chain
// must not cross those of the other. Decided exactly.
bool polygon_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns, int a, int b);

}  // namespace polyfrep
