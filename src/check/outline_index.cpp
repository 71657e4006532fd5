#include "check/outline_index.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "check/side_thread.h"
#include "geometry/exact.h"

namespace polyfrep {

namespace {

// The finest slabs number about one per edge, so that short listings stay
// a few per edge; the cap bounds the tree for huge outlines.
constexpr int kMaxSlabs = 1 << 22;

// An edge's x at a height (x_at) is off by at most about 11 units of
// roundoff of the outline's extent; two of them compared, and the sum with
// the separation, stay well within this many machine epsilons of it.
constexpr double kSeparationRoundoffs = 64;

// Long-edge entries from which their nodes are filled on two threads.
constexpr std::size_t kEntriesForTwoThreads = 1 << 16;

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

double slab_bottom(const OutlineIndex& index, int slab) {
  return index.y_low + slab * index.slab_height - index.margin;
}

double slab_top(const OutlineIndex& index, int slab) {
  return index.y_low + (slab + 1) * index.slab_height + index.margin;
}

// The slabs an edge reaches into, widened by the tolerance.
void slab_range(const OutlineIndex& index, int edge, int& first, int& last) {
  const Point a = edge_start(index, edge);
  const Point b = edge_end(index, edge);
  first = slab_of(index, std::min(a.y, b.y) - index.tolerance);
  last = slab_of(index, std::max(a.y, b.y) + index.tolerance);
}

// Whether the edge spans slabs first..last together with their margins and
// the tolerance, so that every point within the tolerance of a point of
// those slabs lies at a height the edge spans.
bool spans(const OutlineIndex& index, int edge, int first, int last) {
  const Point a = edge_start(index, edge);
  const Point b = edge_end(index, edge);
  return std::min(a.y, b.y) < slab_bottom(index, first) - index.tolerance &&
         std::max(a.y, b.y) > slab_top(index, last) + index.tolerance;
}

// The run of slabs the edge spans lies inside its slab range, short of both
// ends by a slab or two; long_first > long_last when there is none.
void long_run(const OutlineIndex& index, int edge, int first, int last, int& long_first,
              int& long_last) {
  long_first = first;
  while (long_first <= last && !spans(index, edge, long_first, long_first))
    ++long_first;
  long_last = last;
  while (long_last >= long_first && !spans(index, edge, long_last, long_last))
    --long_last;
}

// Calls visit(node) for each of the O(log) tree nodes that together cover
// slabs first..last exactly.
template <typename Visit>
void for_covering_nodes(const OutlineIndex& index, int first, int last, Visit visit) {
  int low = first + index.slab_count;
  int high = last + index.slab_count + 1;
  while (low < high) {
    if (low & 1) visit(low++);
    if (high & 1) visit(--high);
    low >>= 1;
    high >>= 1;
  }
}

// The slabs below node j: first..last.
void node_slabs(const OutlineIndex& index, int node, int& first, int& last) {
  int level_size = 1;
  while (node < index.slab_count) {
    node *= 2;
    level_size *= 2;
  }
  first = node - index.slab_count;
  last = first + level_size - 1;
}

// Counts (first pass) or stores (second pass) each edge's short slabs and
// long nodes, as compressed lists.
struct Listing {
  std::vector<int> begin;
  std::vector<int> items;
};

void start_listing(Listing& listing, int list_count) {
  listing.begin.assign(static_cast<std::size_t>(list_count) + 1, 0);
}

void finish_counts(Listing& listing) {
  for (std::size_t k = 1; k < listing.begin.size(); ++k)
    listing.begin[k] += listing.begin[k - 1];
  listing.items.assign(static_cast<std::size_t>(listing.begin.back()), 0);
}

template <typename Add>
void list_edge(const OutlineIndex& index, int edge, Add add_short, Add add_long) {
  int first = 0, last = 0, long_first = 0, long_last = 0;
  slab_range(index, edge, first, last);
  long_run(index, edge, first, last, long_first, long_last);
  if (long_first > long_last) {
    for (int slab = first; slab <= last; ++slab)
      add_short(slab);
    return;
  }
  for (int slab = first; slab < long_first; ++slab)
    add_short(slab);
  for (int slab = long_last + 1; slab <= last; ++slab)
    add_short(slab);
  for_covering_nodes(index, long_first, long_last, add_long);
}

void fill_lists(OutlineIndex& index, Listing& short_lists, Listing& long_lists) {
  const int edge_count = static_cast<int>(index.vertices.size());
  start_listing(short_lists, index.slab_count);
  start_listing(long_lists, 2 * index.slab_count);
  const auto count_in = [](Listing& listing) {
    return [&listing](int list) { ++listing.begin[static_cast<std::size_t>(list) + 1]; };
  };
  for (int edge = 0; edge < edge_count; ++edge)
    list_edge(index, edge, count_in(short_lists), count_in(long_lists));
  finish_counts(short_lists);
  finish_counts(long_lists);
  std::vector<int> next_short(short_lists.begin.begin(), short_lists.begin.end() - 1);
  std::vector<int> next_long(long_lists.begin.begin(), long_lists.begin.end() - 1);
  for (int edge = 0; edge < edge_count; ++edge) {
    const auto store_in = [edge](Listing& listing, std::vector<int>& next) {
      return [&listing, &next, edge](int list) {
        listing.items[static_cast<std::size_t>(next[static_cast<std::size_t>(list)]++)] = edge;
      };
    };
    list_edge(index, edge, store_in(short_lists, next_short), store_in(long_lists, next_long));
  }
}

// The edge's x at height y, with y held to the edge's own y-range.
double x_at(Point a, Point b, double y) {
  const double t = std::clamp((y - a.y) / (b.y - a.y), 0.0, 1.0);
  return a.x + t * (b.x - a.x);
}

// The distance from p to the closest point of the segment a-b.
double segment_distance(Point a, Point b, Point p) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length_squared = dx * dx + dy * dy;
  double t = 0;
  if (length_squared > 0)
    t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length_squared, 0.0, 1.0);
  const double ex = p.x - (a.x + t * dx);
  const double ey = p.y - (a.y + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

bool within_tolerance(Point a, Point b, Point p, double tolerance) {
  return segment_distance(a, b, p) <= tolerance;
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

// Whether the sorted long edges of a node lie apart from one another all
// through its widened height: each lies left of the next at the bottom and
// at the top, hence everywhere between, by more than the separation, which
// the rounding of the x values compared cannot make up.
bool edges_apart(std::span<const LongEdge> edges, std::span<const double> x_bottom,
                 std::span<const double> x_top, double separation) {
  for (std::size_t k = 1; k < edges.size(); ++k) {
    if (!(x_bottom[k - 1] + separation < x_bottom[k] && x_top[k - 1] + separation < x_top[k])) {
      return false;
    }
  }
  return true;
}

// Gives every long edge of a node its widened x-range over the node's height
// and sorts the node's edges. Edges that lie apart (always so in a simple
// outline) are sorted left to right, which also sorts both ends of their
// ranges; otherwise they are sorted by the low end of the range.
void fill_node(OutlineIndex& index, const Listing& long_lists, int node) {
  const auto begin = static_cast<std::size_t>(index.node_begin[static_cast<std::size_t>(node)]);
  const auto end = static_cast<std::size_t>(index.node_begin[static_cast<std::size_t>(node) + 1]);
  if (begin == end) return;
  int first = 0, last = 0;
  node_slabs(index, node, first, last);
  const double reach = index.tolerance + index.margin;
  const double bottom = slab_bottom(index, first) - reach;
  const double top = slab_top(index, last) + reach;
  struct Entry {
    LongEdge range;
    double x_bottom = 0;
    double x_top = 0;
    double x_middle = 0;
  };
  std::vector<Entry> entries;
  entries.reserve(end - begin);
  for (std::size_t k = begin; k < end; ++k) {
    const int edge = long_lists.items[k];
    const Point a = edge_start(index, edge);
    const Point b = edge_end(index, edge);
    const double x_bottom = x_at(a, b, bottom);
    const double x_top = x_at(a, b, top);
    entries.push_back(
        {{std::min(x_bottom, x_top) - reach, std::max(x_bottom, x_top) + reach, 0, edge},
         x_bottom,
         x_top,
         x_at(a, b, bottom + (top - bottom) / 2)});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& left, const Entry& right) {
    return left.x_middle < right.x_middle ||
           (left.x_middle == right.x_middle && left.range.edge < right.range.edge);
  });
  std::vector<double> x_bottom(entries.size()), x_top(entries.size());
  std::vector<LongEdge> ranges(entries.size());
  for (std::size_t k = 0; k < entries.size(); ++k) {
    ranges[k] = entries[k].range;
    x_bottom[k] = entries[k].x_bottom;
    x_top[k] = entries[k].x_top;
  }
  const bool apart = edges_apart(ranges, x_bottom, x_top, index.separation);
  index.node_ordered[static_cast<std::size_t>(node)] = apart ? 1 : 0;
  if (!apart) {
    std::sort(ranges.begin(), ranges.end(), [](const LongEdge& left, const LongEdge& right) {
      return left.x_low < right.x_low || (left.x_low == right.x_low && left.edge < right.edge);
    });
  }
  double highest = -std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < ranges.size(); ++k) {
    highest = std::max(highest, ranges[k].x_high);
    ranges[k].x_high_so_far = highest;
    index.long_edges[begin + k] = ranges[k];
  }
}

// Nodes are filled independently, each into its own part of long_edges: for
// a large outline two threads take the nodes before and after the one where
// half the entries are, so that the sorting is shared between them.
void fill_long_edges(OutlineIndex& index, const Listing& long_lists) {
  index.node_begin = long_lists.begin;
  index.long_edges.resize(long_lists.items.size());
  index.node_ordered.assign(2 * static_cast<std::size_t>(index.slab_count), 0);
  const int node_end = 2 * index.slab_count;
  const auto half_way =
      std::lower_bound(index.node_begin.begin() + 1, index.node_begin.begin() + node_end,
                       static_cast<int>(long_lists.items.size() / 2));
  const int middle = static_cast<int>(half_way - index.node_begin.begin());
  const auto fill_nodes = [&](int first, int end) {
    for (int node = first; node < end; ++node)
      fill_node(index, long_lists, node);
  };
  if (long_lists.items.size() < kEntriesForTwoThreads) {
    fill_nodes(1, node_end);
    return;
  }
  run_side_by_side([&] { fill_nodes(middle, node_end); }, [&] { fill_nodes(1, middle); });
}

double outline_extent(std::span<const Point> vertices, double tolerance) {
  double extent = tolerance;
  for (const Point& p : vertices)
    extent = std::max({extent, std::abs(p.x), std::abs(p.y)});
  return extent;
}

// About one slab per edge, but never thinner than a few tolerances and
// margins: an edge then lists a few short slabs at most. Never many more
// slabs than points to locate either: slabs no point falls in cost time and
// memory to build and save nothing.
int choose_slab_count(std::size_t edge_count, std::size_t point_count, double height,
                      double tolerance, double margin) {
  const std::size_t wanted = std::min(edge_count, std::max<std::size_t>(point_count, 1));
  int count = 1;
  while (count < kMaxSlabs && static_cast<std::size_t>(count) * 2 <= wanted)
    count *= 2;
  while (count > 1 && !(height / count >= 4 * (tolerance + margin)))
    count /= 2;
  return count;
}

}  // namespace

OutlineIndex make_outline_index(std::span<const Point> vertices, double tolerance,
                                std::size_t point_count) {
  OutlineIndex index;
  index.vertices.assign(vertices.begin(), vertices.end());
  index.tolerance = tolerance;
  index.node_begin.assign(3, 0);
  index.short_begin.assign(2, 0);
  if (vertices.empty()) return index;
  index.y_low = vertices[0].y;
  index.y_high = vertices[0].y;
  for (const Point& p : vertices) {
    index.y_low = std::min(index.y_low, p.y);
    index.y_high = std::max(index.y_high, p.y);
  }
  index.y_low -= tolerance;
  index.y_high += tolerance;
  const double extent = outline_extent(vertices, tolerance);
  index.margin = 1e-9 * extent + std::numeric_limits<double>::min();
  index.separation = kSeparationRoundoffs * std::numeric_limits<double>::epsilon() * extent +
                     std::numeric_limits<double>::min();
  const double height = index.y_high - index.y_low;
  index.slab_count =
      choose_slab_count(vertices.size(), point_count, height, tolerance, index.margin);
  index.slab_height = height / index.slab_count;
  if (!(index.slab_height > 0)) {
    index.slab_count = 1;
    index.slab_height = 1;
  }
  Listing short_lists, long_lists;
  fill_lists(index, short_lists, long_lists);
  index.short_begin = std::move(short_lists.begin);
  index.short_edges = std::move(short_lists.items);
  fill_long_edges(index, long_lists);
  return index;
}

namespace {

// Whether p lies strictly left of an edge that spans its height, the edge
// taken upward.
bool left_of(const OutlineIndex& index, int edge, Point p) {
  const Point a = edge_start(index, edge);
  const Point b = edge_end(index, edge);
  return a.y < b.y ? orientation_sign(a, b, p) > 0 : orientation_sign(b, a, p) > 0;
}

double distance_to_edge(const OutlineIndex& index, int edge, Point p) {
  return segment_distance(edge_start(index, edge), edge_end(index, edge), p);
}

bool near_edge(const OutlineIndex& index, int edge, Point p) {
  const Point a = edge_start(index, edge);
  const Point b = edge_end(index, edge);
  return within_tolerance(a, b, p, index.tolerance) || exactly_on_edge(a, b, p);
}

// What the long edges of one node contribute: the parity of their crossings
// of p's ray, or true when p is near one of them.
struct NodeVisit {
  bool crossings_odd = false;
  bool near = false;
};

// Edges that lie apart, left to right, spanning the strip within the
// tolerance of p: p's place among them is found by binary search with exact
// orientation tests. An edge within the tolerance of p is reached from that
// place past edges that are all within the tolerance too (the segment from p
// to the near point crosses them inside the strip), so the search for near
// edges walks outward from it until an edge is clearly farther away.
NodeVisit visit_ordered(const OutlineIndex& index, int first, int end, Point p) {
  const auto edges = index.long_edges.begin();
  const int right = static_cast<int>(
      std::upper_bound(edges + first, edges + end, p.x,
                       [](double x, const LongEdge& edge) { return x < edge.x_low; }) -
      edges);
  const int reaching = static_cast<int>(
      std::lower_bound(edges + first, edges + right, p.x,
                       [](const LongEdge& edge, double x) { return edge.x_high < x; }) -
      edges);
  const int place = static_cast<int>(
      std::partition_point(edges + reaching, edges + right,
                           [&](const LongEdge& edge) { return !left_of(index, edge.edge, p); }) -
      edges);
  NodeVisit visit;
  visit.crossings_odd = (end - place) % 2 == 1;
  const double limit = index.tolerance + index.margin;
  const auto edge_at = [&](int k) { return index.long_edges[static_cast<std::size_t>(k)].edge; };
  for (int k = place - 1; k >= first && distance_to_edge(index, edge_at(k), p) <= limit; --k) {
    if (near_edge(index, edge_at(k), p)) visit.near = true;
  }
  for (int k = place; k < end && distance_to_edge(index, edge_at(k), p) <= limit; ++k) {
    if (near_edge(index, edge_at(k), p)) visit.near = true;
  }
  return visit;
}

// Edges that may cross one another, sorted by x_low: those wholly right of p
// are counted, and those whose range reaches p are tested.
NodeVisit visit_unordered(const OutlineIndex& index, int first, int end, Point p) {
  const auto edges = index.long_edges.begin();
  const int right = static_cast<int>(
      std::upper_bound(edges + first, edges + end, p.x,
                       [](double x, const LongEdge& edge) { return x < edge.x_low; }) -
      edges);
  NodeVisit visit;
  visit.crossings_odd = (end - right) % 2 == 1;
  // Walking left stops once no earlier range reaches that far right.
  for (int k = right - 1;
       k >= first && index.long_edges[static_cast<std::size_t>(k)].x_high_so_far >= p.x; --k) {
    const LongEdge& edge = index.long_edges[static_cast<std::size_t>(k)];
    if (edge.x_high < p.x) continue;
    const EdgeVerdict verdict = examine_edge(index, edge.edge, p);
    if (verdict == EdgeVerdict::Near) {
      visit.near = true;
      return visit;
    }
    if (verdict == EdgeVerdict::Crossing) visit.crossings_odd = !visit.crossings_odd;
  }
  return visit;
}

}  // namespace

PointPlace locate_point(const OutlineIndex& index, Point p) {
  if (index.vertices.empty()) return PointPlace::Outside;
  // Beyond the outline's height range by more than the margin, no edge is
  // near p and none crosses its ray.
  if (p.y < index.y_low - index.margin || p.y > index.y_high + index.margin) {
    return PointPlace::Outside;
  }
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
  for (int k = at(index.short_begin, slab); k < at(index.short_begin, slab + 1); ++k) {
    if (take(at(index.short_edges, k))) return PointPlace::NearOutline;
  }
  const bool within_slab = p.y >= slab_bottom(index, slab) && p.y <= slab_top(index, slab);
  for (int node = slab + index.slab_count; node >= 1; node /= 2) {
    const int first = at(index.node_begin, node);
    const int end = at(index.node_begin, node + 1);
    if (first == end) continue;
    if (!within_slab) {
      // A height the slab does not hold (not a number): test every edge.
      for (int k = first; k < end; ++k) {
        if (take(index.long_edges[static_cast<std::size_t>(k)].edge))
          return PointPlace::NearOutline;
      }
      continue;
    }
    const NodeVisit visit = index.node_ordered[static_cast<std::size_t>(node)]
                                ? visit_ordered(index, first, end, p)
                                : visit_unordered(index, first, end, p);
    if (visit.near) return PointPlace::NearOutline;
    if (visit.crossings_odd) inside = !inside;
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
