#include "polygon/region_layout.h"

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <span>
#include <vector>

#include "geometry/box.h"
#include "geometry/exact.h"
#include "geometry/segments.h"

namespace polyfrep {

namespace {

std::string ring_name(const Region& region, int r) {
  return (region.rings[static_cast<std::size_t>(r)].hole ? "hole ring " : "ring ") +
         std::to_string(r);
}

std::span<const Point> ring_points(const Region& region, const Ring& ring) {
  return std::span<const Point>(region.vertices)
      .subspan(static_cast<std::size_t>(ring.first), static_cast<std::size_t>(ring.count));
}

// The first two edges of different rings that share a point. Edges are
// taken in order of their lowest x, and each is tested against the later
// ones that start before it ends in x and overlap it in y.
std::string first_meeting(const Region& region) {
  const int edge_count = static_cast<int>(region.vertices.size());
  std::vector<int> ring_of_edge(region.vertices.size());
  std::vector<int> successor(region.vertices.size());
  for (std::size_t r = 0; r < region.rings.size(); ++r) {
    const Ring& ring = region.rings[r];
    for (int edge = ring.first; edge < ring.first + ring.count; ++edge) {
      ring_of_edge[static_cast<std::size_t>(edge)] = static_cast<int>(r);
      successor[static_cast<std::size_t>(edge)] = ring_successor(ring, edge);
    }
  }
  std::vector<Box> boxes(region.vertices.size());
  for (int edge = 0; edge < edge_count; ++edge) {
    const Point ends[2] = {region.vertices[static_cast<std::size_t>(edge)],
                           region.vertices[static_cast<std::size_t>(successor[edge])]};
    boxes[static_cast<std::size_t>(edge)] = bounding_box(ends);
  }
  std::vector<int> order(region.vertices.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&boxes](int a, int b) {
    return boxes[static_cast<std::size_t>(a)].x_low < boxes[static_cast<std::size_t>(b)].x_low;
  });
  for (std::size_t k = 0; k < order.size(); ++k) {
    const int edge = order[k];
    const Box& box = boxes[static_cast<std::size_t>(edge)];
    for (std::size_t later = k + 1; later < order.size(); ++later) {
      const int other = order[later];
      const Box& other_box = boxes[static_cast<std::size_t>(other)];
      if (other_box.x_low > box.x_high) break;
      if (ring_of_edge[static_cast<std::size_t>(edge)] ==
              ring_of_edge[static_cast<std::size_t>(other)] ||
          other_box.y_low > box.y_high || other_box.y_high < box.y_low) {
        continue;
      }
      const auto vertex = [&region](int index) {
        return region.vertices[static_cast<std::size_t>(index)];
      };
      if (closed_segments_meet(vertex(edge), vertex(successor[edge]), vertex(other),
                               vertex(successor[other]))) {
        const int first = std::min(edge, other);
        const int second = std::max(edge, other);
        return ring_name(region, ring_of_edge[static_cast<std::size_t>(first)]) + " and " +
               ring_name(region, ring_of_edge[static_cast<std::size_t>(second)]) + " meet (edges " +
               std::to_string(first) + " and " + std::to_string(second) + ")";
      }
    }
  }
  return {};
}

bool box_contains(const Box& box, Point p) {
  return p.x >= box.x_low && p.x <= box.x_high && p.y >= box.y_low && p.y <= box.y_high;
}

// Just inside ring `inner`, with the rings apart: whether the winding
// numbers there add up to 1 exactly where the region is. The rings that
// hold the ring's first vertex, and the ring itself, are those around.
std::string nesting_problem(const Region& region, const std::vector<Box>& boxes, int inner) {
  const Ring& ring = region.rings[static_cast<std::size_t>(inner)];
  const Point p = region.vertices[static_cast<std::size_t>(ring.first)];
  std::vector<char> around(region.rings.size(), 0);
  around[static_cast<std::size_t>(inner)] = 1;
  for (std::size_t r = 0; r < region.rings.size(); ++r) {
    if (static_cast<int>(r) == inner || !box_contains(boxes[r], p)) continue;
    around[r] = ring_contains(region, region.rings[r], p) ? 1 : 0;
  }
  int winding = 0;
  bool inside = false;
  // The rings of each polygon stand together, its exterior first.
  for (std::size_t r = 0; r < region.rings.size();) {
    const int polygon = region.rings[r].polygon;
    const bool in_exterior = around[r] != 0;
    bool in_hole = false;
    winding += in_exterior ? 1 : 0;
    for (++r; r < region.rings.size() && region.rings[r].polygon == polygon; ++r) {
      in_hole = in_hole || around[r] != 0;
      winding -= around[r] != 0 ? 1 : 0;
    }
    inside = inside || (in_exterior && !in_hole);
  }
  if ((winding == 1) == inside && (winding == 0 || winding == 1)) return {};
  return "just inside " + ring_name(region, inner) + " the rings wind " + std::to_string(winding) +
         " times, where the region is " + (inside ? "inside" : "outside");
}

}  // namespace

bool ring_contains(const Region& region, const Ring& ring, Point p) {
  bool inside = false;
  for (int edge = ring.first; edge < ring.first + ring.count; ++edge) {
    const Point a = region.vertices[static_cast<std::size_t>(edge)];
    const Point b = region.vertices[static_cast<std::size_t>(ring_successor(ring, edge))];
    // A ray to the right; an edge's lower end counts and its upper end does
    // not, so that a vertex at p's height is crossed once or not at all.
    if ((a.y > p.y) == (b.y > p.y)) continue;
    const int side = orientation_sign(a, b, p);
    if (b.y > a.y ? side > 0 : side < 0) inside = !inside;
  }
  return inside;
}

std::string region_layout_problem(const Region& region) {
  if (std::string meeting = first_meeting(region); !meeting.empty()) return meeting;
  std::vector<Box> boxes;
  boxes.reserve(region.rings.size());
  for (const Ring& ring : region.rings)
    boxes.push_back(bounding_box(ring_points(region, ring)));
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    if (std::string problem = nesting_problem(region, boxes, r); !problem.empty()) return problem;
  }
  return {};
}

}  // namespace polyfrep
