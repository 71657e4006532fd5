#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// A disc that holds a node's vertices, its radius worked out in doubles with
// room for their rounding; infinite where the node has no vertex or the
// distances overflow.
struct HullDisc {
  double x = 0;
  double y = 0;
  double radius = 0;
};

// The exact convex hulls of runs of consecutive polygon vertices, built once
// for the whole polygon, so that a question about every vertex of a chain can
// be asked of a few hulls instead of all of the chain's vertices.
//
// The vertices are grouped in blocks of kHullBlockSize; the nodes form a
// complete binary tree over the blocks in array order (root at 1, leaves at
// leaf_count + block), and each node holds the hull of all of its blocks'
// vertices: its strict corners (no point repeated, none on an edge between
// two others) counter-clockwise from the smallest in (x, y) order. A hull of
// collinear points is its two ends; of one repeated point, that point.
// Corners are kept as vertex indices, a quarter of the room of the points:
// the runs of a spiral are their own hulls at every level up to a winding,
// so that its tree holds several corners per vertex.
struct HullTree {
  std::span<const Point> vertices;  // the polygon's, which the tree does not own
  std::size_t vertex_count = 0;
  std::size_t leaf_count = 0;
  // Per node, where its corners lie in `corners`.
  std::vector<std::size_t> hull_begin;
  std::vector<std::size_t> hull_end;
  std::vector<int> corners;
  // Per node. A line that passes a node's disc by passes all its vertices by
  // on the same side, which a few operations on doubles can tell: the discs
  // of a spiral's windings, which most lines through a winding's vertex pass
  // by, save the exact searches of their hulls.
  std::vector<HullDisc> discs;
};

// The side of the line through `through` parallel to from -> to on which
// every point of the disc lies strictly (1 left, -1 right, as cross_sign
// counts), or 0 when the doubles cannot tell.
int disc_side(Point from, Point to, Point through, const HullDisc& disc);

inline constexpr std::size_t kHullBlockSize = 64;

// Builds every node's hull from its children's corners with exact
// orientation tests: O(n log n) in the worst case, far less when the runs'
// hulls are small, as they are for wiggly outlines. The tree refers to
// `vertices`, which must outlive it.
HullTree make_hull_tree(std::span<const Point> vertices);

// A node's hull: its corners, as points, and its disc.
class NodeHull {
 public:
  NodeHull(std::span<const Point> vertices, std::span<const int> corners, const HullDisc& disc)
      : vertices_(vertices), corners_(corners), disc_(&disc) {}
  std::size_t size() const { return corners_.size(); }
  bool empty() const { return corners_.empty(); }
  Point operator[](std::size_t k) const { return vertices_[static_cast<std::size_t>(corners_[k])]; }
  const HullDisc& disc() const { return *disc_; }

 private:
  std::span<const Point> vertices_;
  std::span<const int> corners_;
  const HullDisc* disc_;
};

inline std::span<const int> node_corners(const HullTree& tree, std::size_t node) {
  return std::span<const int>(tree.corners)
      .subspan(tree.hull_begin[node], tree.hull_end[node] - tree.hull_begin[node]);
}

inline NodeHull node_hull(const HullTree& tree, std::size_t node) {
  return NodeHull(tree.vertices, node_corners(tree, node), tree.discs[node]);
}

// Calls visit(points) for sets of points whose union has the convex hull of
// vertices[begin .. end) and whose every point is one of those vertices: the
// vertices of the partial blocks at either end as they are, and the hull
// corners of the nodes covering the whole blocks in between. Stops as soon
// as visit returns false, and returns false then.
// The vertices go to `visit_points` as a span, the hulls to `visit_hull` as
// a NodeHull.
template <class VisitPoints, class VisitHull>
bool visit_run_hulls(const HullTree& tree, std::span<const Point> vertices, std::size_t begin,
                     std::size_t end, VisitPoints&& visit_points, VisitHull&& visit_hull) {
  const std::size_t first_block = (begin + kHullBlockSize - 1) / kHullBlockSize;
  const std::size_t end_block = end / kHullBlockSize;
  if (first_block >= end_block) return visit_points(vertices.subspan(begin, end - begin));
  const std::size_t whole_begin = first_block * kHullBlockSize;
  const std::size_t whole_end = end_block * kHullBlockSize;
  if (!visit_points(vertices.subspan(begin, whole_begin - begin))) return false;
  if (!visit_points(vertices.subspan(whole_end, end - whole_end))) return false;
  std::size_t low = first_block + tree.leaf_count;
  std::size_t high = end_block + tree.leaf_count;
  while (low < high) {
    if ((low & 1) != 0 && !visit_hull(node_hull(tree, low++))) return false;
    if ((high & 1) != 0 && !visit_hull(node_hull(tree, --high))) return false;
    low /= 2;
    high /= 2;
  }
  return true;
}

template <class Visit>
bool visit_run_hulls(const HullTree& tree, std::span<const Point> vertices, std::size_t begin,
                     std::size_t end, Visit&& visit) {
  return visit_run_hulls(tree, vertices, begin, end, visit, visit);
}

}  // namespace polyfrep
