#pragma once

#include <span>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

enum class PointPlace { Inside, Outside, NearOutline };

// The input outline cut into horizontal slabs, each listing the edges that
// reach into it (widened by the tolerance), so that locating a point looks
// at the few edges near its height instead of all of them.
struct OutlineIndex {
  std::vector<Point> vertices;
  double tolerance = 0;
  double y_low = 0;
  double slab_height = 1;
  int slab_count = 0;
  std::vector<int> slab_begin;  // edges of slab k: slab_edges[slab_begin[k] .. slab_begin[k+1])
  std::vector<int> slab_edges;
  // Per slab, the listed edges that cross the whole slab (widened by a
  // rounding margin), sorted by the low end of their x-range over the slab;
  // the rest are the slab's short edges. Points of a slab test only the short
  // edges and the long ones whose x-range reaches them; long edges wholly to
  // their right are counted, not tested.
  double margin = 0;
  std::vector<int>
      long_begin;  // long edges of slab k: long_edges[long_begin[k] .. long_begin[k+1])
  std::vector<int> long_edges;
  std::vector<double> long_x_low;
  std::vector<double> long_x_high;
  std::vector<double> long_x_high_so_far;  // running maximum of long_x_high within the slab
  std::vector<int> short_begin;
  std::vector<int> short_edges;
};

OutlineIndex make_outline_index(std::span<const Point> vertices, double tolerance);

// Where p lies by the even-odd rule (a ray to the right crosses the outline
// an odd number of times from inside), or NearOutline when it is within the
// tolerance of an edge or exactly on one. Crossings are decided with exact
// orientation signs.
PointPlace locate_point(const OutlineIndex& index, Point p);

// The even-odd rule over all edges, without an index or tolerance: the
// reference for locate_point.
bool inside_even_odd(std::span<const Point> vertices, Point p);

}  // namespace polyfrep
