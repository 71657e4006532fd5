#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "polyfrep/polyfrep.h"

namespace polyfrep {

// One closed ring of a region: `count` vertices of the region's vertex array
// from `first` on. Edge first + k runs from vertex first + k to the next
// vertex of the same ring, the last edge back to vertex `first`, so edges and
// vertices share their numbers across the whole region.
struct Ring {
  int first = 0;
  int count = 0;
  int polygon = 0;    // the polygon the ring bounds, numbered in file order
  bool hole = false;  // exterior rings run counter-clockwise, holes clockwise
};

// A region: the union of polygons, each an exterior ring less its holes. The
// rings stand in file order, each polygon's exterior before its holes, and
// their vertices lie back to back in that order.
struct Region {
  std::vector<Point> vertices;
  std::vector<Ring> rings;
};

// The vertex where edge `vertex` of `ring` ends.
inline int ring_successor(const Ring& ring, int vertex) {
  return vertex + 1 == ring.first + ring.count ? ring.first : vertex + 1;
}

// The vertex where every edge ends: each ring's own successor, or, without
// rings, the next vertex of one outline through all of them.
inline std::vector<int> edge_successors(std::size_t vertex_count, std::span<const Ring> rings) {
  std::vector<int> successors(vertex_count);
  for (std::size_t edge = 0; edge < vertex_count; ++edge)
    successors[edge] = edge + 1 == vertex_count ? 0 : static_cast<int>(edge) + 1;
  for (const Ring& ring : rings) {
    if (ring.count > 0)
      successors[static_cast<std::size_t>(ring.first + ring.count - 1)] = ring.first;
  }
  return successors;
}

// "ring 3", or "hole ring 3" for a hole: how messages name ring r.
inline std::string ring_name(const Region& region, int r) {
  return (region.rings[static_cast<std::size_t>(r)].hole ? "hole ring " : "ring ") +
         std::to_string(r);
}

inline int polygon_count(const Region& region) {
  return region.rings.empty() ? 0 : region.rings.back().polygon + 1;
}

}  // namespace polyfrep
