#include "check/outline_index.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

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

double slab_bottom(const OutlineIndex& index, int slab) {
  return index.y_low + slab * index.slab_height - index.margin;
}

double slab_top(const OutlineIndex& index, int slab) {
  return index.y_low + (slab + 1) * index.slab_height + index.margin;
}

// The edge's x at height y, with y held to the edge's own y-range.
double x_at(Point a, Point b, double y) {
  const double t = std::clamp((y - a.y) / (b.y - a.y), 0.0, 1.0);
  return a.x + t * (b.x - a.x);
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

enum class EdgeVerdict { Apart, Crossing, Near };

// One edge's part in locating p: near it, crossed by p's ray, or neither.
EdgeVerdict examine_edge(const OutlineIndex& index, int edge, Point p) {
  const Point a = edge_start(index, edge);
  const Point b = edge_end(index, edge);
  // Most edges lie wholly above, below or to the right of p beyond the
  // tolerance: they neither come near p nor cross its ray, and comparisons
  // alone dismiss them.
  const double tolerance = index.tolerance;
  if (std::min(a.y, b.y) - tolerance > p.y || std::max(a.y, b.y) + tolerance < p.y ||
      std::max(a.x, b.x) + tolerance < p.x) {
    return EdgeVerdict::Apart;
  }
  if (std::min(a.x, b.x) - tolerance > p.x) {
    // Wholly to the right: the ray crosses it when it spans p's height.
    return (a.y > p.y) != (b.y > p.y) ? EdgeVerdict::Crossing : EdgeVerdict::Apart;
  }
  if (within_tolerance(a, b, p, tolerance) || exactly_on_edge(a, b, p)) return EdgeVerdict::Near;
  return ray_crosses(a, b, p) ? EdgeVerdict::Crossing : EdgeVerdict::Apart;
}

// Splits each slab's edges into long ones, which span the slab together with
// its margin, and short ones. A long edge gets the x-range of its part within
// the slab widened by the tolerance and the margin, so that a point of the
// slab outside that range is neither near the edge nor on it, and the edge
// crosses the point's ray exactly when the range lies to the point's right.
// The margin (a billionth of the outline's extent) dwarfs the rounding of
// these ranges and of the distance test.
void split_slabs(OutlineIndex& index) {
  index.long_begin.assign(1, 0);
  index.short_begin.assign(1, 0);
  std::vector<int> order;
  for (int slab = 0; slab < index.slab_count; ++slab) {
    const double bottom = slab_bottom(index, slab);
    const double top = slab_top(index, slab);
    const std::size_t first_long = index.long_edges.size();
    for (int k = index.slab_begin[static_cast<std::size_t>(slab)];
         k < index.slab_begin[static_cast<std::size_t>(slab) + 1]; ++k) {
      const int edge = index.slab_edges[static_cast<std::size_t>(k)];
      const Point a = edge_start(index, edge);
      const Point b = edge_end(index, edge);
      if (!(std::min(a.y, b.y) < bottom && std::max(a.y, b.y) > top)) {
        index.short_edges.push_back(edge);
        continue;
      }
      const double reach = index.tolerance + index.margin;
      const double x_bottom = x_at(a, b, bottom - reach);
      const double x_top = x_at(a, b, top + reach);
      index.long_edges.push_back(edge);
      index.long_x_low.push_back(std::min(x_bottom, x_top) - reach);
      index.long_x_high.push_back(std::max(x_bottom, x_top) + reach);
    }
    const std::size_t count = index.long_edges.size() - first_long;
    order.resize(count);
    std::iota(order.begin(), order.end(), first_long);
    std::sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
      return index.long_x_low[i] < index.long_x_low[j];
    });
    std::vector<int> edges(count);
    std::vector<double> low(count), high(count);
    for (std::size_t i = 0; i < count; ++i) {
      edges[i] = index.long_edges[order[i]];
      low[i] = index.long_x_low[order[i]];
      high[i] = index.long_x_high[order[i]];
    }
    double highest = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < count; ++i) {
      index.long_edges[first_long + i] = edges[i];
      index.long_x_low[first_long + i] = low[i];
      index.long_x_high[first_long + i] = high[i];
      highest = std::max(highest, high[i]);
      index.long_x_high_so_far.push_back(highest);
    }
    index.long_begin.push_back(static_cast<int>(index.long_edges.size()));
    index.short_begin.push_back(static_cast<int>(index.short_edges.size()));
  }
}

double outline_extent(std::span<const Point> vertices, double tolerance) {
  double extent = tolerance;
  for (const Point& p : vertices)
    extent = std::max({extent, std::abs(p.x), std::abs(p.y)});
  return extent;
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
  index.margin = 1e-9 * outline_extent(vertices, tolerance) + std::numeric_limits<double>::min();
  split_slabs(index);
  return index;
}

PointPlace locate_point(const OutlineIndex& index, Point p) {
  if (index.vertices.empty()) return PointPlace::Outside;
  const int slab = slab_of(index, p.y);
  const auto at = [](const std::vector<int>& list, int k) {
    return list[static_cast<std::size_t>(k)];
  };
  bool inside = false;
  const auto take = [&](int edge) {
    const EdgeVerdict verdict = examine_edge(index, edge, p);
    if (verdict == EdgeVerdict::Crossing) inside = !inside;
    return verdict == EdgeVerdict::Near;
  };
  if (!(p.y >= slab_bottom(index, slab) && p.y <= slab_top(index, slab))) {
    // Beyond the slab's margin (outside the outline's height range): the
    // long edges need not span p's height, so test every edge of the slab.
    for (int k = at(index.slab_begin, slab); k < at(index.slab_begin, slab + 1); ++k) {
      if (take(at(index.slab_edges, k))) return PointPlace::NearOutline;
    }
    return inside ? PointPlace::Inside : PointPlace::Outside;
  }
  for (int k = at(index.short_begin, slab); k < at(index.short_begin, slab + 1); ++k) {
    if (take(at(index.short_edges, k))) return PointPlace::NearOutline;
  }
  const auto low = index.long_x_low.begin();
  const int first = at(index.long_begin, slab);
  const int end = at(index.long_begin, slab + 1);
  // Long edges whose range lies wholly right of p all cross its ray.
  const int right = static_cast<int>(std::upper_bound(low + first, low + end, p.x) - low);
  if ((end - right) % 2 == 1) inside = !inside;
  // Of the rest, only those whose range reaches p need a test; walking left
  // stops once no earlier range reaches that far right.
  for (int k = right - 1;
       k >= first && index.long_x_high_so_far[static_cast<std::size_t>(k)] >= p.x; --k) {
    if (index.long_x_high[static_cast<std::size_t>(k)] >= p.x && take(at(index.long_edges, k))) {
      return PointPlace::NearOutline;
    }
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
