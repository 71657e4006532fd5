#include "check/outline_index.h"

#include <algorithm>
#include <cmath>

#include "verify/exact.h"

namespace polyfrep {

namespace {

// Indexing stops refining once edges are listed this many times per edge on
// average, which bounds the memory for outlines of long, steep edges.
constexpr long long kMaxListingsPerEdge = 8;
constexpr int kMaxSlabs = 1 << 22;

Point edge_start(const OutlineIndex& index, int edge) {
  return index.vertices[static_cast<std::size_t>(edge)];
}

Point edge_end(const OutlineIndex& index, int edge) {
  return index.vertices[(static_cast<std::size_t>(edge) + 1) % index.vertices.size()];
}

int slab_of(const OutlineIndex& index, double y) {
  const double position = std::floor((y - index.y_low) / index.slab_height);
  if (!(position >= 0)) return 0;
  if (position >= index.slab_count - 1) return index.slab_count - 1;
  return static_cast<int>(position);
}

void slab_range(const OutlineIndex& index, int edge, int& first, int& last) {
  const Point a = edge_start(index, edge);
  const Point b = edge_end(index, edge);
  first = slab_of(index, std::min(a.y, b.y) - index.tolerance);
  last = slab_of(index, std::max(a.y, b.y) + index.tolerance);
}

long long listing_count(const OutlineIndex& index) {
  long long total = 0;
  for (int edge = 0; edge < static_cast<int>(index.vertices.size()); ++edge) {
    int first = 0, last = 0;
    slab_range(index, edge, first, last);
    total += last - first + 1;
  }
  return total;
}

void fill_slabs(OutlineIndex& index) {
  const int edge_count = static_cast<int>(index.vertices.size());
  index.slab_begin.assign(static_cast<std::size_t>(index.slab_count) + 1, 0);
  for (int edge = 0; edge < edge_count; ++edge) {
    int first = 0, last = 0;
    slab_range(index, edge, first, last);
    for (int slab = first; slab <= last; ++slab)
      ++index.slab_begin[static_cast<std::size_t>(slab) + 1];
  }
  for (int slab = 0; slab < index.slab_count; ++slab) {
    index.slab_begin[static_cast<std::size_t>(slab) + 1] +=
        index.slab_begin[static_cast<std::size_t>(slab)];
  }
  index.slab_edges.assign(static_cast<std::size_t>(index.slab_begin.back()), 0);
  std::vector<int> next(index.slab_begin.begin(), index.slab_begin.end() - 1);
  for (int edge = 0; edge < edge_count; ++edge) {
    int first = 0, last = 0;
    slab_range(index, edge, first, last);
    for (int slab = first; slab <= last; ++slab) {
      index.slab_edges[static_cast<std::size_t>(next[static_cast<std::size_t>(slab)]++)] = edge;
    }
  }
}

bool within_tolerance(Point a, Point b, Point p, double tolerance) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length_squared = dx * dx + dy * dy;
  double t = 0;
  if (length_squared > 0)
    t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length_squared, 0.0, 1.0);
  const double ex = p.x - (a.x + t * dx);
  const double ey = p.y - (a.y + t * dy);
  return std::sqrt(ex * ex + ey * ey) <= tolerance;
}

bool exactly_on_edge(Point a, Point b, Point p) {
  return orientation_sign(a, b, p) == 0 && std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) &&
         std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y);
}

// Whether the ray from p to the right crosses the edge, counting an edge's
// lower end and not its upper end so that a vertex at p's height counts once.
bool ray_crosses(Point a, Point b, Point p) {
  if ((a.y > p.y) == (b.y > p.y)) return false;
  const int side = orientation_sign(a, b, p);
  return b.y > a.y ? side > 0 : side < 0;
}

}  // namespace

OutlineIndex make_outline_index(std::span<const Point> vertices, double tolerance) {
  OutlineIndex index;
  index.vertices.assign(vertices.begin(), vertices.end());
  index.tolerance = tolerance;
  if (vertices.empty()) return index;
  double y_high = vertices[0].y;
  index.y_low = vertices[0].y;
  for (const Point& p : vertices) {
    index.y_low = std::min(index.y_low, p.y);
    y_high = std::max(y_high, p.y);
  }
  index.y_low -= tolerance;
  y_high += tolerance;
  const long long edge_count = static_cast<long long>(vertices.size());
  index.slab_count = static_cast<int>(std::min<long long>(edge_count, kMaxSlabs));
  while (true) {
    index.slab_height = (y_high - index.y_low) / index.slab_count;
    if (!(index.slab_height > 0)) {
      index.slab_count = 1;
      index.slab_height = 1;
      break;
    }
    if (index.slab_count == 1 || listing_count(index) <= kMaxListingsPerEdge * edge_count) break;
    index.slab_count /= 2;
  }
  fill_slabs(index);
  return index;
}

PointPlace locate_point(const OutlineIndex& index, Point p) {
  if (index.vertices.empty()) return PointPlace::Outside;
  const int slab = slab_of(index, p.y);
  bool inside = false;
  for (int k = index.slab_begin[static_cast<std::size_t>(slab)];
       k < index.slab_begin[static_cast<std::size_t>(slab) + 1]; ++k) {
    const int edge = index.slab_edges[static_cast<std::size_t>(k)];
    const Point a = edge_start(index, edge);
    const Point b = edge_end(index, edge);
    // Most edges of a slab lie wholly above, below or to the right of p
    // beyond the tolerance: they neither come near p nor cross its ray, and
    // comparisons alone dismiss them.
    const double tolerance = index.tolerance;
    if (std::min(a.y, b.y) - tolerance > p.y || std::max(a.y, b.y) + tolerance < p.y ||
        std::max(a.x, b.x) + tolerance < p.x) {
      continue;
    }
    if (std::min(a.x, b.x) - tolerance > p.x) {
      // Wholly to the right: the ray crosses it when it spans p's height.
      if ((a.y > p.y) != (b.y > p.y)) inside = !inside;
      continue;
    }
    if (within_tolerance(a, b, p, tolerance) || exactly_on_edge(a, b, p)) {
      return PointPlace::NearOutline;
    }
    if (ray_crosses(a, b, p)) inside = !inside;
  }
  return inside ? PointPlace::Inside : PointPlace::Outside;
}

bool inside_even_odd(std::span<const Point> vertices, Point p) {
  bool inside = false;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    if (ray_crosses(vertices[i], vertices[(i + 1) % vertices.size()], p)) inside = !inside;
  }
  return inside;
}

}  // namespace polyfrep
