#include "formula/hull_tree.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

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

// The disc round a node's corners: the centre of their bounding box, and
// their greatest distance from it. The differences, the squares, their sum
// and its root each round by half a unit in the last place; the radius
// allows a million times that.
HullDisc disc_round(std::span<const Point> vertices, std::span<const int> corners) {
  constexpr HullDisc kNoDisc{0, 0, std::numeric_limits<double>::infinity()};
  if (corners.empty()) return kNoDisc;
  const auto corner = [&](std::size_t k) { return vertices[static_cast<std::size_t>(corners[k])]; };
  double min_x = corner(0).x, max_x = corner(0).x, min_y = corner(0).y, max_y = corner(0).y;
  for (std::size_t k = 1; k < corners.size(); ++k) {
    min_x = std::min(min_x, corner(k).x);
    max_x = std::max(max_x, corner(k).x);
    min_y = std::min(min_y, corner(k).y);
    max_y = std::max(max_y, corner(k).y);
  }
  const double x = min_x + (max_x - min_x) / 2;
  const double y = min_y + (max_y - min_y) / 2;
  double largest = 0;
  for (std::size_t k = 0; k < corners.size(); ++k) {
    const double dx = corner(k).x - x;
    const double dy = corner(k).y - y;
    const double squared = dx * dx + dy * dy;
    // Below the normal range the square loses the distance; hypot keeps it.
    largest = std::max(largest, squared > 1e-290 ? std::sqrt(squared) : std::hypot(dx, dy));
  }
  const double radius = largest * (1 + 1e-9) + 1e-300;
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(radius)) return kNoDisc;
  return {x, y, radius};
}

}  // namespace

int disc_side(Point from, Point to, Point through, const HullDisc& disc) {
  // The cross product of the rounded direction and offset is within a few
  // units in the last place of each of its two products of the exact one;
  // the margin allows a million times that.
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double ex = disc.x - through.x;
  const double ey = disc.y - through.y;
  const double first = dx * ey;
  const double second = dy * ex;
  const double cross = first - second;
  const double slack = 1e-9 * (std::fabs(first) + std::fabs(second)) + 1e-300;
  const double needed = disc.radius * std::sqrt(dx * dx + dy * dy) * (1 + 1e-9) + slack;
  if (!std::isfinite(cross) || !std::isfinite(needed)) return 0;
  if (cross > needed) return 1;
  if (cross < -needed) return -1;
  return 0;
}

namespace {

// The vertex of a node's k-th corner.
int corner_vertex(const HullTree& tree, std::size_t node, std::size_t k) {
  const std::size_t at = tree.hull_begin[node] + k;
  if (!has_near_corners(tree, node)) return tree.far_corners[at];
  return static_cast<int>(node_first_vertex(tree, node) + tree.near_corners[at]);
}

void store_corners(HullTree& tree, std::size_t node, std::span<const int> corners) {
  if (has_near_corners(tree, node)) {
    const std::size_t first = node_first_vertex(tree, node);
    tree.hull_begin[node] = tree.near_corners.size();
    for (const int vertex : corners)
      tree.near_corners.push_back(
          static_cast<std::uint16_t>(static_cast<std::size_t>(vertex) - first));
  } else {
    tree.hull_begin[node] = tree.far_corners.size();
    tree.far_corners.insert(tree.far_corners.end(), corners.begin(), corners.end());
  }
  tree.hull_end[node] = tree.hull_begin[node] + corners.size();
}

}  // namespace

HullTree make_hull_tree(std::span<const Point> vertices, std::size_t near_span) {
  HullTree tree;
  tree.vertices = vertices;
  tree.vertex_count = vertices.size();
  tree.near_span = std::min(near_span, kNearSpan);
  const std::size_t block_count = (vertices.size() + kHullBlockSize - 1) / kHullBlockSize;
  tree.leaf_count = 1;
  while (tree.leaf_count < block_count)
    tree.leaf_count *= 2;
  // Leaves first, then each parent after its children.
  const std::size_t node_count = 2 * tree.leaf_count;
  tree.hull_begin.assign(node_count, 0);
  tree.hull_end.assign(node_count, 0);
  tree.discs.resize(node_count);
  std::vector<Keyed> points;
  std::vector<Keyed> hull;
  std::vector<int> corners;
  const auto build = [&](std::size_t node) {
    corners.clear();
    append_strict_hull(points, hull, corners);
    tree.discs[node] = disc_round(vertices, corners);
    store_corners(tree, node, corners);
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
      for (std::size_t k = 0; k < tree.hull_end[child] - tree.hull_begin[child]; ++k) {
        const int vertex = corner_vertex(tree, child, k);
        points.push_back({vertices[static_cast<std::size_t>(vertex)], vertex});
      }
    }
    build(node);
  }
  return tree;
}

}  // namespace polyfrep
