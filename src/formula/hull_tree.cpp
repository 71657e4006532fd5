#include "formula/hull_tree.h"

#include <algorithm>

#include "geometry/exact.h"
#include "geometry/segments.h"

namespace polyfrep {

namespace {

bool lexicographically_less(Point p, Point q) {
  return p.x < q.x || (p.x == q.x && p.y < q.y);
}

// A point with the vertex it is.
struct Keyed {
  Point point;
  int vertex;
};

// Appends the vertices at the strict corners of the points' hull to
// `corners`, counter-clockwise from the smallest point. Sorts `points`;
// `hull` is working room. Collinear points count as a right turn so that only
// strict corners stay.
void append_strict_hull(std::vector<Keyed>& points, std::vector<Keyed>& hull,
                        std::vector<int>& corners) {
  std::sort(points.begin(), points.end(), [](const Keyed& a, const Keyed& b) {
    return lexicographically_less(a.point, b.point);
  });
  points.erase(
      std::unique(points.begin(), points.end(),
                  [](const Keyed& a, const Keyed& b) { return same_point(a.point, b.point); }),
      points.end());
  hull.clear();
  if (points.size() <= 2) {
    hull = points;
  } else {
    // The lower chain left to right, then the upper chain right to left; the
    // upper chain never pops below the lower chain's last corner.
    for (const Keyed& point : points) {
      while (hull.size() >= 2 &&
             orientation_sign(hull[hull.size() - 2].point, hull.back().point, point.point) <= 0) {
        hull.pop_back();
      }
      hull.push_back(point);
    }
    const std::size_t lower_end = hull.size();
    for (std::size_t k = points.size() - 1; k-- > 0;) {
      while (hull.size() > lower_end && orientation_sign(hull[hull.size() - 2].point,
                                                         hull.back().point, points[k].point) <= 0) {
        hull.pop_back();
      }
      hull.push_back(points[k]);
    }
    hull.pop_back();  // the smallest point again
  }
  for (const Keyed& corner : hull)
    corners.push_back(corner.vertex);
}

}  // namespace

HullTree make_hull_tree(std::span<const Point> vertices) {
  HullTree tree;
  tree.vertices = vertices;
  tree.vertex_count = vertices.size();
  const std::size_t block_count = (vertices.size() + kHullBlockSize - 1) / kHullBlockSize;
  tree.leaf_count = 1;
  while (tree.leaf_count < block_count)
    tree.leaf_count *= 2;
  // Leaves first, then each parent after its children.
  const std::size_t node_count = 2 * tree.leaf_count;
  tree.hull_begin.assign(node_count, 0);
  tree.hull_end.assign(node_count, 0);
  std::vector<Keyed> points;
  std::vector<Keyed> hull;
  const auto build = [&](std::size_t node) {
    tree.hull_begin[node] = tree.corners.size();
    append_strict_hull(points, hull, tree.corners);
    tree.hull_end[node] = tree.corners.size();
  };
  for (std::size_t block = 0; block < tree.leaf_count; ++block) {
    const std::size_t begin = std::min(block * kHullBlockSize, vertices.size());
    const std::size_t end = std::min(begin + kHullBlockSize, vertices.size());
    points.clear();
    for (std::size_t k = begin; k < end; ++k)
      points.push_back({vertices[k], static_cast<int>(k)});
    build(tree.leaf_count + block);
  }
  for (std::size_t node = tree.leaf_count - 1; node >= 1; --node) {
    points.clear();
    for (const std::size_t child : {2 * node, 2 * node + 1}) {
      for (std::size_t k = tree.hull_begin[child]; k < tree.hull_end[child]; ++k) {
        const int vertex = tree.corners[k];
        points.push_back({vertices[static_cast<std::size_t>(vertex)], vertex});
      }
    }
    build(node);
  }
  return tree;
}

}  // namespace polyfrep
