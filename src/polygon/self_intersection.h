#pragma once

#include <optional>
#include <span>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// Two edges of the outline that meet where a simple outline's edges never
// do: non-adjacent edges sharing any point (crossing or touching), or
// adjacent edges overlapping along a stretch (the outline folds back).
struct EdgeCrossing {
  int first_edge = 0;  // the smaller edge number
  int second_edge = 0;
  bool operator==(const EdgeCrossing&) const = default;
};

// A point the outline winds once around, every edge turning strictly left
// as seen from it, when one is found: the outline is then simple (see
// winds_once_around). Found for star-shaped outlines whose kernel is not too
// thin for doubles; nullopt for others.
std::optional<Point> star_centre(std::span<const Point> vertices);

// Up to max_reported crossing pairs: none for an outline with a star centre,
// otherwise those of sweep_self_intersections.
std::vector<EdgeCrossing> find_self_intersections(std::span<const Point> vertices,
                                                  int max_reported);

// Up to max_reported crossing pairs, found by a sweep line in O(n log n)
// per pair reported: each further pair comes from a new sweep without the
// second edge of the pair before, so every pair listed is a true crossing
// but not every crossing is listed. Edges of zero length are left out and
// the edges on either side of them count as adjacent. Empty for a simple
// outline. All decisions use exact orientation signs.
std::vector<EdgeCrossing> sweep_self_intersections(std::span<const Point> vertices,
                                                   int max_reported);

// The first vertex at which the outline turns straight back, its next edge
// running back along the one before it, as the crossing of those two edges;
// exact, in one pass. Coastlines have such spikes of zero width. Vertices
// next to an edge of zero length are passed over.
std::optional<EdgeCrossing> turn_back_crossing(std::span<const Point> vertices);

// The first crossing pair of edges at most `reach` apart along the outline
// (zero-length edges not counted), by testing each such pair: cheap, and
// enough for the small tangles that moving vertices slightly makes.
std::optional<EdgeCrossing> nearby_crossing(std::span<const Point> vertices, int reach);

// Every crossing pair, by testing all pairs of edges: the reference the
// sweep is tested against.
std::vector<EdgeCrossing> find_self_intersections_by_pairs(std::span<const Point> vertices);

}  // namespace polyfrep
