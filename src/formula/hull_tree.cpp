#include "formula/hull_tree.h"

#include <algorithm>

#include "geometry/exact.h"
#include "geometry/segments.h"

namespace polyfrep {

namespace {

bool lexicographically_less(Point p, Point q) {
  return p.x < q.x || (p.x == q.x && p.y < q.y);
}

// Appends the strict corners of the points' hull to `corners`, counter-
// clockwise from the smallest point. Sorts `points`. Collinear points count
// as a right turn so that only strict corners stay.
void append_strict_hull(std::vector<Point>& points, std::vector<Point>& corners) {
  std::sort(points.begin(), points.end(), lexicographically_less);
  points.erase(std::unique(points.begin(), points.end(), same_point), points.end());
  const std::size_t start = corners.size();
  if (points.size() <= 2) {
    corners.insert(corners.end(), points.begin(), points.end());
    return;
  }
  // The lower chain left to right, then the upper chain right to left; the
  // upper chain never pops below the lower chain's last corner.
  for (const Point& point : points) {
    while (corners.size() >= start + 2 &&
           orientation_sign(corners[corners.size() - 2], corners.back(), point) <= 0) {
      corners.pop_back();
    }
    corners.push_back(point);
  }
  const std::size_t lower_end = corners.size();
  for (std::size_t k = points.size() - 1; k-- > 0;) {
    while (corners.size() > lower_end &&
           orientation_sign(corners[corners.size() - 2], corners.back(), points[k]) <= 0) {
      corners.pop_back();
    }
    corners.push_back(points[k]);
  }
  corners.pop_back();  // the smallest point again
}

}  // namespace

HullTree make_hull_tree(std::span<const Point> vertices) {
  HullTree tree;
  tree.vertex_count = vertices.size();
  const std::size_t block_count = (vertices.size() + kHullBlockSize - 1) / kHullBlockSize;
  tree.leaf_count = 1;
  while (tree.leaf_count < block_count)
    tree.leaf_count *= 2;
  // Leaves first, then each parent after its children.
  const std::size_t node_count = 2 * tree.leaf_count;
  tree.hull_begin.assign(node_count, 0);
  tree.hull_end.assign(node_count, 0);
  std::vector<Point> points;
  const auto build = [&](std::size_t node) {
    tree.hull_begin[node] = tree.corners.size();
    append_strict_hull(points, tree.corners);
    tree.hull_end[node] = tree.corners.size();
  };
  for (std::size_t block = 0; block < tree.leaf_count; ++block) {
    const std::size_t begin = std::min(block * kHullBlockSize, vertices.size());
    const std::size_t end = std::min(begin + kHullBlockSize, vertices.size());
    points.assign(vertices.begin() + static_cast<std::ptrdiff_t>(begin),
                  vertices.begin() + static_cast<std::ptrdiff_t>(end));
    build(tree.leaf_count + block);
  }
  for (std::size_t node = tree.leaf_count - 1; node >= 1; --node) {
    points.clear();
    for (const std::size_t child : {2 * node, 2 * node + 1}) {
      const std::span<const Point> hull = node_hull(tree, child);
      points.insert(points.end(), hull.begin(), hull.end());
    }
    build(node);
  }
  return tree;
}

}  // namespace polyfrep
