#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

enum class PointPlace { Inside, Outside, NearOutline };

// A long edge of a tree node: its x-range over the node's height, widened so
// that a point of that height outside the range is neither near the edge nor
// on it, and the edge crosses the point's ray exactly when the range lies to
// the point's right.
struct LongEdge {
  double x_low = 0;
  double x_high = 0;
  double x_high_so_far = 0;  // running maximum of x_high within the node
  int edge = 0;
};

// The input outline cut into many thin horizontal slabs, so that locating a
// point looks at the few edges near it instead of all of them.
//
// An edge that ends within a slab (or comes within the tolerance of its
// bottom or top) is one of the slab's short edges and is tested directly.
// The run of slabs an edge crosses from bottom to top is stored once per
// node of a segment tree over the slabs, in the O(log) nodes that cover the
// run exactly, so that memory stays O(n log n) however fine the slabs are.
// A point then visits the nodes above its slab; in each it counts the long
// edges wholly to its right by binary search, and finds its place among the
// rest by binary search too when they lie apart from one another, or else
// tests those whose x-range reaches it.
struct OutlineIndex {
  std::vector<Point> vertices;
  double tolerance = 0;
  double y_low = 0;   // lowest vertex, less the tolerance
  double y_high = 0;  // highest vertex, plus the tolerance
  double slab_height = 1;
  int slab_count = 1;  // a power of two
  // Slab and node bounds are widened by this margin (a billionth of the
  // outline's extent), which dwarfs the rounding of the x-ranges and of the
  // distance test.
  double margin = 0;
  // Long edges of a node count as lying apart when they are farther apart
  // than this: far less than the margin, which edges of a large outline
  // that meet just beyond a node would not clear, yet more than the
  // rounding of the x values that show it.
  double separation = 0;
  std::vector<int>
      short_begin;  // short edges of slab k: short_edges[short_begin[k] .. short_begin[k+1])
  std::vector<int> short_edges;
  // Node 1 is the root over all slabs, node j has children 2j and 2j+1, and
  // slab k is node slab_count + k. Long edges of node j:
  // long_edges[node_begin[j] .. node_begin[j+1]), sorted by x_low.
  std::vector<int> node_begin;
  std::vector<LongEdge> long_edges;
  // Per node, 1 when its long edges lie apart and are sorted left to right
  // (so that p's place among them is found by binary search with exact
  // orientation tests), 0 when they may cross and are sorted by x_low.
  std::vector<char> node_ordered;
};

// `point_count` is about how many points will be located: the slabs are
// no more than they need.
OutlineIndex make_outline_index(std::span<const Point> vertices, double tolerance,
                                std::size_t point_count = SIZE_MAX);

// Where p lies by the even-odd rule (a ray to the right crosses the outline
// an odd number of times from inside), or NearOutline when it is within the
// tolerance of an edge or exactly on one. Crossings are decided with exact
// orientation signs.
PointPlace locate_point(const OutlineIndex& index, Point p);

// The even-odd rule over all edges, without an index or tolerance: the
// reference for locate_point.
bool inside_even_odd(std::span<const Point> vertices, Point p);

}  // namespace polyfrep
