#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
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
// Corners are kept as 16-bit offsets from the node's first vertex, an eighth
// of the room of the points, in nodes of at most near_span vertices; as
// vertex indices in the few larger ones. The runs of a spiral are their own
// hulls at every level up to a winding, so that its tree holds several
// corners per vertex.
inline constexpr std::size_t kNearSpan = std::size_t{1} << 16;

struct HullTree {
  std::span<const Point> vertices;  // the polygon's, which the tree does not own
  std::size_t vertex_count = 0;
  std::size_t leaf_count = 0;
  std::size_t near_span = kNearSpan;
  // Per node, where its corners lie in `near_corners` or `far_corners`.
  std::vector<std::size_t> hull_begin;
  std::vector<std::size_t> hull_end;
  std::vector<std::uint16_t> near_corners;
  std::vector<int> far_corners;
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
// `vertices`, which must outlive it. `near_span` (a multiple of
// kHullBlockSize, at most kNearSpan) is there for tests.
HullTree make_hull_tree(std::span<const Point> vertices, std::size_t near_span = kNearSpan);

// The length of a node's run, whole blocks, and its first vertex (past the
// polygon's end for the last nodes).
inline std::size_t node_span(const HullTree& tree, std::size_t node) {
  return tree.leaf_count / std::bit_floor(node) * kHullBlockSize;
}
inline std::size_t node_first_vertex(const HullTree& tree, std::size_t node) {
  return (node - std::bit_floor(node)) * node_span(tree, node);
}
inline bool has_near_corners(const HullTree& tree, std::size_t node) {
  return node_span(tree, node) <= tree.near_span;
}

// A node's hull: its corners, as points, and its disc.
class NodeHull {
 public:
  NodeHull(const HullTree& tree, std::size_t node)
      : size_(tree.hull_end[node] - tree.hull_begin[node]), disc_(&tree.discs[node]) {
    if (has_near_corners(tree, node)) {
      // The last nodes may start past the polygon's end; they have no corners.
      base_ = tree.vertices.data() + std::min(node_first_vertex(tree, node), tree.vertex_count);
      near_ = tree.near_corners.data() + tree.hull_begin[node];
    } else {
      base_ = tree.vertices.data();
      far_ = tree.far_corners.data() + tree.hull_begin[node];
    }
  }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Point operator[](std::size_t k) const {
    return near_ != nullptr ? base_[near_[k]] : base_[static_cast<std::size_t>(far_[k])];
  }
  const HullDisc& disc() const { return *disc_; }

 private:
  const Point* base_ = nullptr;  // the node's first vertex, or the polygon's
  const std::uint16_t* near_ = nullptr;
  const int* far_ = nullptr;
  std::size_t size_;
  const HullDisc* disc_;
};

inline NodeHull node_hull(const HullTree& tree, std::size_t node) {
  return NodeHull(tree, node);
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
