#include "polygon/region_validity.h"

#include <algorithm>
#include <optional>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "geometry/exact.h"
#include "geometry/segments.h"
#include "polygon/self_intersection.h"
#include "polygon/sweep_order.h"

namespace polyfrep {

namespace {

using Kind = RegionProblemKind;

std::size_t at(int index) {
  return static_cast<std::size_t>(index);
}

std::span<const Point> ring_vertices(const Region& region, const Ring& ring) {
  return std::span<const Point>(region.vertices).subspan(at(ring.first), at(ring.count));
}

// The ring list must lay the rings back to back over the whole vertex array,
// each polygon an exterior followed by its holes, polygons numbered in order;
// everything after this relies on it.
std::optional<RegionProblem> misplaced_ring(const Region& region) {
  const long long vertex_count = static_cast<long long>(region.vertices.size());
  long long next_vertex = 0;
  int previous_polygon = -1;
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    const Ring& ring = region.rings[at(r)];
    const bool back_to_back =
        ring.first == next_vertex && ring.count >= 0 && ring.count <= vertex_count - next_vertex;
    const int expected_polygon = ring.hole ? previous_polygon : previous_polygon + 1;
    if (!back_to_back || ring.polygon != expected_polygon || ring.polygon < 0) {
      RegionProblem problem{.kind = Kind::kMisplacedRing};
      problem.first_ring = r;
      return problem;
    }
    next_vertex += ring.count;
    previous_polygon = ring.polygon;
  }
  if (next_vertex != vertex_count) {
    // Vertices no ring owns: the ring list is short.
    RegionProblem problem{.kind = Kind::kMisplacedRing};
    problem.first_ring = static_cast<int>(region.rings.size());
    return problem;
  }
  return std::nullopt;
}

bool all_collinear(std::span<const Point> vertices) {
  std::size_t other = 1;
  while (other < vertices.size() && same_point(vertices[other], vertices[0]))
    ++other;
  for (std::size_t k = other + 1; k < vertices.size(); ++k) {
    if (orientation_sign(vertices[0], vertices[other], vertices[k]) != 0) return false;
  }
  return true;
}

std::optional<RegionProblem> degenerate_ring(const Region& region) {
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    const Ring& ring = region.rings[at(r)];
    std::optional<Kind> kind;
    if (ring.count < 3) {
      kind = Kind::kTooFewVertices;
    } else if (all_collinear(ring_vertices(region, ring))) {
      kind = Kind::kNoArea;
    }
    if (kind) {
      RegionProblem problem{.kind = *kind};
      problem.first_ring = r;
      return problem;
    }
  }
  return std::nullopt;
}

// Each ring alone, by the same rule and sweep as a single outline.
std::optional<RegionProblem> ring_meeting_itself(const Region& region) {
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    const Ring& ring = region.rings[at(r)];
    const std::vector<EdgeCrossing> crossings =
        sweep_self_intersections(ring_vertices(region, ring), 1);
    if (!crossings.empty()) {
      RegionProblem problem{.kind = Kind::kRingMeetsItself};
      problem.first_ring = r;
      problem.first_edge = ring.first + crossings.front().first_edge;
      problem.second_edge = ring.first + crossings.front().second_edge;
      return problem;
    }
  }
  return std::nullopt;
}

// The edges of every ring with length, as segments: segment s starts at
// vertex edge[s] and ends where the ring's next segment starts. A ring's
// segments are numbered consecutively, so the next and previous ones wrap
// within the ring, never over the array.
struct Segments {
  const Region* region = nullptr;
  std::vector<int> edge;
  std::vector<int> ring;
  std::vector<int> ring_begin;  // per ring, its first segment; one more entry for the end

  int size() const { return static_cast<int>(edge.size()); }
  int next(int segment) const {
    const int r = ring[at(segment)];
    return segment + 1 == ring_begin[at(r + 1)] ? ring_begin[at(r)] : segment + 1;
  }
  int before(int segment) const {
    const int r = ring[at(segment)];
    return segment == ring_begin[at(r)] ? ring_begin[at(r + 1)] - 1 : segment - 1;
  }
  Point start(int segment) const { return region->vertices[at(edge[at(segment)])]; }
  Point end(int segment) const { return start(next(segment)); }
  Point left(int segment) const {
    return lexicographically_before(start(segment), end(segment)) ? start(segment) : end(segment);
  }
  Point right(int segment) const {
    return lexicographically_before(start(segment), end(segment)) ? end(segment) : start(segment);
  }
};

Segments segments_of(const Region& region) {
  Segments segments{&region, {}, {}, {}};
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    const Ring& ring = region.rings[at(r)];
    segments.ring_begin.push_back(segments.size());
    for (int v = ring.first; v < ring.first + ring.count; ++v) {
      if (!same_point(region.vertices[at(v)], region.vertices[at(ring_successor(ring, v))])) {
        segments.edge.push_back(v);
        segments.ring.push_back(r);
      }
    }
  }
  segments.ring_begin.push_back(segments.size());
  return segments;
}

// Two segments of different rings that cross at a point inside both, or
// overlap along a stretch. Touching at an end is left to the test of the
// point where it happens.
bool segments_conflict(Point a, Point b, Point c, Point d, bool& collinear) {
  const int c_side = orientation_sign(a, b, c);
  const int d_side = orientation_sign(a, b, d);
  collinear = c_side == 0 && d_side == 0;
  if (!collinear) {
    return c_side * d_side < 0 && orientation_sign(c, d, a) * orientation_sign(c, d, b) < 0;
  }
  // Along the line, by the coordinate that varies along it.
  const bool by_x = a.x != b.x;
  const double a_at = by_x ? a.x : a.y, b_at = by_x ? b.x : b.y;
  const double c_at = by_x ? c.x : c.y, d_at = by_x ? d.x : d.y;
  return std::max(std::min(a_at, b_at), std::min(c_at, d_at)) <
         std::min(std::max(a_at, b_at), std::max(c_at, d_at));
}

// A segment crossed by the sweep line, with its ends, as in the sweep of one
// outline: an entry can be handed on in place to the ring's next segment
// where the ring passes through a corner from left to right.
struct StatusEntry {
  mutable int segment;
  mutable Point left;
  mutable Point right;
};

// Bottom to top along the sweep line. A point compares equal to the
// segments through it, so that equal_range finds them.
struct BelowOnSweep {
  using is_transparent = void;
  bool operator()(const StatusEntry& first, const StatusEntry& second) const {
    if (first.segment == second.segment) return false;
    const int side = sweep_side(first.left, first.right, second.left, second.right);
    if (side == 0) return first.segment < second.segment;  // a conflict: any fixed order
    return side < 0;
  }
  bool operator()(const StatusEntry& entry, Point point) const {
    return orientation_sign(entry.left, entry.right, point) > 0;
  }
  bool operator()(Point point, const StatusEntry& entry) const {
    return orientation_sign(entry.left, entry.right, point) < 0;
  }
};

using Status = std::set<StatusEntry, BelowOnSweep>;

// One ring passing through a point: the two directions it leaves in, as
// points along them, with the edges they run along.
struct Passage {
  int ring = 0;
  int edge = 0;
  Point toward{0, 0};
};

// Angular order of directions from `centre`: counter-clockwise from the
// positive x axis.
struct AroundPoint {
  Point centre;
  bool upper(Point toward) const {
    return toward.y > centre.y || (toward.y == centre.y && toward.x > centre.x);
  }
  int compare(Point a, Point b) const {
    if (upper(a) != upper(b)) return upper(a) ? -1 : 1;
    return -cross_sign(centre, a, centre, b);
  }
};

struct RegionSweep {
  const Segments* segments = nullptr;
  Status status;
  std::vector<Status::iterator> places;  // per segment, while it is in the status
  std::vector<char> seen;                // per ring, once its first corner is passed
  std::vector<int> orientation;          // per ring: 1 counter-clockwise, -1 clockwise
  std::vector<int> parent;               // per ring: the innermost ring around it, or -1
  std::vector<char> open;                // per ring, scratch for the test at a point
  std::optional<RegionProblem> found;
};

RegionProblem rings_cross(int first_ring, int first_edge, int second_ring, int second_edge,
                          bool shared_stretch) {
  if (second_ring < first_ring) {
    std::swap(first_ring, second_ring);
    std::swap(first_edge, second_edge);
  }
  RegionProblem problem{.kind = Kind::kRingsCross};
  problem.first_ring = first_ring;
  problem.second_ring = second_ring;
  problem.first_edge = first_edge;
  problem.second_edge = second_edge;
  problem.shared_stretch = shared_stretch;
  return problem;
}

StatusEntry status_entry(const Segments& segments, int segment) {
  return {segment, segments.left(segment), segments.right(segment)};
}

// Segments of one ring never conflict here: each ring was found simple.
void test_pair(RegionSweep& sweep, int first, int second) {
  const Segments& segments = *sweep.segments;
  const int first_ring = segments.ring[at(first)];
  const int second_ring = segments.ring[at(second)];
  if (sweep.found || first_ring == second_ring) return;
  bool collinear = false;
  if (segments_conflict(segments.start(first), segments.end(first), segments.start(second),
                        segments.end(second), collinear)) {
    sweep.found = rings_cross(first_ring, segments.edge[at(first)], second_ring,
                              segments.edge[at(second)], collinear);
  }
}

void test_neighbours(RegionSweep& sweep, Status::iterator place) {
  if (place != sweep.status.begin()) test_pair(sweep, std::prev(place)->segment, place->segment);
  if (std::next(place) != sweep.status.end()) {
    test_pair(sweep, place->segment, std::next(place)->segment);
  }
}

void insert_segment(RegionSweep& sweep, int segment) {
  const auto place = sweep.status.insert(status_entry(*sweep.segments, segment)).first;
  sweep.places[at(segment)] = place;
  test_neighbours(sweep, place);
}

void remove_segment(RegionSweep& sweep, int segment) {
  const auto after = sweep.status.erase(sweep.places[at(segment)]);
  if (after != sweep.status.begin() && after != sweep.status.end()) {
    test_pair(sweep, std::prev(after)->segment, after->segment);
  }
}

// The ring passes through a corner from left to right: the segment that
// ends there hands its place to the one that starts there. Rings touching at
// the corner without crossing (tested before) keep to their side of it.
void exchange_segment(RegionSweep& sweep, int ending, int starting) {
  const auto place = sweep.places[at(ending)];
  const StatusEntry replacement = status_entry(*sweep.segments, starting);
  place->segment = replacement.segment;
  place->left = replacement.left;
  place->right = replacement.right;
  sweep.places[at(starting)] = place;
  test_neighbours(sweep, place);
}

// The rings through `point` cross there when, in the cyclic order of their
// directions around it, the two directions of one ring separate those of
// another; they share a stretch when two rings leave in one direction.
// Without either, the rings' pairs of directions nest like parentheses, and
// one pass with a stack checks that.
void test_passages(RegionSweep& sweep, Point point, std::vector<Passage>& passages) {
  const AroundPoint around{point};
  std::sort(passages.begin(), passages.end(), [&around](const Passage& a, const Passage& b) {
    return around.compare(a.toward, b.toward) < 0;
  });
  for (std::size_t k = 0; k + 1 < passages.size(); ++k) {
    const Passage& a = passages[k];
    const Passage& b = passages[k + 1];
    if (around.compare(a.toward, b.toward) == 0) {
      sweep.found = rings_cross(a.ring, a.edge, b.ring, b.edge, true);
      return;
    }
  }
  std::vector<Passage> stack;
  for (const Passage& passage : passages) {
    if (!stack.empty() && stack.back().ring == passage.ring) {
      sweep.open[at(passage.ring)] = 0;
      stack.pop_back();
    } else if (sweep.open[at(passage.ring)] != 0) {
      sweep.found =
          rings_cross(stack.back().ring, stack.back().edge, passage.ring, passage.edge, false);
      break;
    } else {
      sweep.open[at(passage.ring)] = 1;
      stack.push_back(passage);
    }
  }
  for (const Passage& passage : stack)
    sweep.open[at(passage.ring)] = 0;
}

// Every ring through the point: those with a corner there, and a segment of
// the status that passes through it. Returns whether more than one ring's
// corner or segment is there.
bool test_point(RegionSweep& sweep, Point point, std::span<const int> corners) {
  const Segments& segments = *sweep.segments;
  std::vector<Passage> passages;
  for (const int corner : corners) {
    const int incoming = segments.before(corner);
    const int ring = segments.ring[at(corner)];
    passages.push_back({ring, segments.edge[at(incoming)], segments.start(incoming)});
    passages.push_back({ring, segments.edge[at(corner)], segments.end(corner)});
  }
  const auto [low, high] = sweep.status.equal_range(point);
  for (auto entry = low; entry != high; ++entry) {
    if (same_point(entry->left, point) || same_point(entry->right, point)) continue;
    const int ring = segments.ring[at(entry->segment)];
    const int edge = segments.edge[at(entry->segment)];
    passages.push_back({ring, edge, entry->left});
    passages.push_back({ring, edge, entry->right});
  }
  const bool several_rings =
      std::any_of(passages.begin(), passages.end(),
                  [&passages](const Passage& p) { return p.ring != passages.front().ring; });
  if (several_rings) test_passages(sweep, point, passages);
  return passages.size() > 2;
}

// The events of a corner that no other ring touches: the segment before it
// ends or starts there, and so does the segment after it.
void pass_corner(RegionSweep& sweep, int corner) {
  const Segments& segments = *sweep.segments;
  const Point at_corner = segments.start(corner);
  const int incoming = segments.before(corner);
  const bool incoming_ends = lexicographically_before(segments.start(incoming), at_corner);
  const bool outgoing_ends = lexicographically_before(segments.end(corner), at_corner);
  if (incoming_ends != outgoing_ends) {
    if (incoming_ends) {
      exchange_segment(sweep, incoming, corner);
    } else {
      exchange_segment(sweep, corner, incoming);
    }
    return;
  }
  if (!incoming_ends) {
    insert_segment(sweep, incoming);
    if (!sweep.found) insert_segment(sweep, corner);
  } else {
    remove_segment(sweep, incoming);
    if (!sweep.found) remove_segment(sweep, corner);
  }
}

// The events of corners at a point that several rings touch: every segment
// that ends there leaves before any that starts there goes in. A segment
// that ends at the point has no place against one that starts there, and
// one ring's segment handed on in place could land on the wrong side of
// another ring's.
void pass_shared_point(RegionSweep& sweep, std::span<const int> corners) {
  const Segments& segments = *sweep.segments;
  for (const bool ending : {true, false}) {
    for (const int corner : corners) {
      const Point at_corner = segments.start(corner);
      for (const int segment : {segments.before(corner), corner}) {
        const Point other_end = segment == corner ? segments.end(segment) : segments.start(segment);
        if (sweep.found || lexicographically_before(other_end, at_corner) != ending) continue;
        if (ending) {
          remove_segment(sweep, segment);
        } else {
          insert_segment(sweep, segment);
        }
      }
    }
  }
}

// The lower of the two segments a ring starts with at its first corner.
int lower_first_segment(const RegionSweep& sweep, int corner) {
  const int incoming = sweep.segments->before(corner);
  return BelowOnSweep{}(*sweep.places[at(incoming)], *sweep.places[at(corner)]) ? incoming : corner;
}

// Rings whose first corner in sweep order is at this point: their nesting
// from the segment just below them, just after the point. A ring sits
// directly inside the ring of that segment when the segment has its ring's
// inside above it, and beside it, inside the same ring, otherwise. Lower
// rings first, as a higher one may sit on a lower one's segment.
void place_new_rings(RegionSweep& sweep, std::vector<int>& new_corners) {
  const Segments& segments = *sweep.segments;
  std::vector<std::pair<int, int>> lowest;  // corner, its ring's lower segment
  lowest.reserve(new_corners.size());
  for (const int corner : new_corners)
    lowest.emplace_back(corner, lower_first_segment(sweep, corner));
  std::sort(lowest.begin(), lowest.end(), [&sweep](const auto& a, const auto& b) {
    return BelowOnSweep{}(*sweep.places[at(a.second)], *sweep.places[at(b.second)]);
  });
  for (const auto& [corner, lower] : lowest) {
    const int ring = segments.ring[at(corner)];
    const auto place = sweep.places[at(lower)];
    if (place == sweep.status.begin()) continue;  // nothing below: outermost
    const int below = std::prev(place)->segment;
    const int below_ring = segments.ring[at(below)];
    const bool runs_right = lexicographically_before(segments.start(below), segments.end(below));
    const bool inside_above = runs_right == (sweep.orientation[at(below_ring)] > 0);
    sweep.parent[at(ring)] = inside_above ? below_ring : sweep.parent[at(below_ring)];
  }
}

// The corners in sweep order: lexicographically by point.
std::vector<int> sweep_order(const Segments& segments) {
  return sorted_by_point(segments.size(), [&segments](int k) { return segments.start(k); });
}

// Handles one point of the sweep: the test of the rings through it, the
// events of its corners, then the nesting of rings that start there.
void pass_point(RegionSweep& sweep, Point point, std::span<const int> corners) {
  const Segments& segments = *sweep.segments;
  const bool shared = test_point(sweep, point, corners);
  std::vector<int> new_corners;
  for (const int corner : corners) {
    const int ring = segments.ring[at(corner)];
    if (sweep.seen[at(ring)] != 0) continue;
    sweep.seen[at(ring)] = 1;
    new_corners.push_back(corner);
    // A ring turns at its first corner: both neighbours lie after it, and
    // not in one direction, as the ring does not fold back.
    sweep.orientation[at(ring)] =
        orientation_sign(segments.start(segments.before(corner)), point, segments.end(corner));
  }
  if (shared) {
    if (!sweep.found) pass_shared_point(sweep, corners);
  } else if (!sweep.found) {
    pass_corner(sweep, corners.front());
  }
  if (!sweep.found && !new_corners.empty()) place_new_rings(sweep, new_corners);
}

// One sweep over the segments of all rings, each ring known simple: the
// first crossing or shared stretch of two rings, or else each ring's parent.
std::optional<RegionProblem> sweep_rings(const Region& region, std::vector<int>& parent) {
  const Segments segments = segments_of(region);
  const std::size_t ring_count = region.rings.size();
  RegionSweep sweep{&segments,
                    Status(BelowOnSweep{}),
                    std::vector<Status::iterator>(at(segments.size())),
                    std::vector<char>(ring_count, 0),
                    std::vector<int>(ring_count, 0),
                    std::vector<int>(ring_count, -1),
                    std::vector<char>(ring_count, 0),
                    std::nullopt};
  const std::vector<int> order = sweep_order(segments);
  std::size_t group_begin = 0;
  while (group_begin < order.size() && !sweep.found) {
    const Point point = segments.start(order[group_begin]);
    std::size_t group_end = group_begin + 1;
    while (group_end < order.size() && same_point(segments.start(order[group_end]), point))
      ++group_end;
    pass_point(sweep, point,
               std::span<const int>(order.data() + group_begin, group_end - group_begin));
    group_begin = group_end;
  }
  parent = std::move(sweep.parent);
  return sweep.found;
}

// The ring nesting as a tree walked once in depth-first order: ring a lies
// inside ring d exactly when entry[d] < entry[a] <= last[d].
struct Nesting {
  std::vector<int> parent;
  std::vector<int> entry;
  std::vector<int> last;  // the largest entry within the ring's subtree

  bool inside(int inner, int outer) const {
    return entry[at(outer)] < entry[at(inner)] && entry[at(inner)] <= last[at(outer)];
  }
};

Nesting nesting_of(std::vector<int> parent) {
  const int ring_count = static_cast<int>(parent.size());
  // The children of each ring, and the outermost rings as the children of
  // -1, as one array: those of ring p at child_begin[p + 1] up to
  // child_begin[p + 2].
  std::vector<int> child_begin(at(ring_count + 2), 0);
  for (const int p : parent)
    ++child_begin[at(p + 2)];
  for (int k = 1; k < ring_count + 2; ++k)
    child_begin[at(k)] += child_begin[at(k - 1)];
  std::vector<int> children(at(ring_count));
  std::vector<int> cursor = child_begin;
  for (int r = 0; r < ring_count; ++r)
    children[at(cursor[at(parent[at(r)] + 1)]++)] = r;
  Nesting nesting{std::move(parent), std::vector<int>(at(ring_count)),
                  std::vector<int>(at(ring_count))};
  int next_entry = 0;
  std::vector<std::pair<int, int>> stack;  // ring, position of its next child
  for (int position = child_begin[0]; position < child_begin[1]; ++position) {
    const int root = children[at(position)];
    nesting.entry[at(root)] = next_entry++;
    stack.emplace_back(root, child_begin[at(root + 1)]);
    while (!stack.empty()) {
      const int ring = stack.back().first;
      const int child_position = stack.back().second;
      if (child_position < child_begin[at(ring + 2)]) {
        ++stack.back().second;
        const int child = children[at(child_position)];
        nesting.entry[at(child)] = next_entry++;
        stack.emplace_back(child, child_begin[at(child + 1)]);
      } else {
        nesting.last[at(ring)] = next_entry - 1;
        stack.pop_back();
      }
    }
  }
  return nesting;
}

std::vector<int> exterior_rings(const Region& region) {
  std::vector<int> exterior;
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    if (!region.rings[at(r)].hole) exterior.push_back(r);
  }
  return exterior;
}

std::optional<RegionProblem> hole_outside_exterior(const Region& region, const Nesting& nesting,
                                                   const std::vector<int>& exterior) {
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    const Ring& ring = region.rings[at(r)];
    const int own_exterior = exterior[at(ring.polygon)];
    if (ring.hole && !nesting.inside(r, own_exterior)) {
      RegionProblem problem{.kind = Kind::kHoleOutsideExterior};
      problem.first_ring = r;
      problem.second_ring = own_exterior;
      problem.first_polygon = ring.polygon;
      return problem;
    }
  }
  return std::nullopt;
}

// The holes of each polygon in depth-first order: a hole lies inside another
// of the same polygon exactly when it lies inside the innermost one still
// open when it is reached.
std::optional<RegionProblem> holes_overlapping(const Region& region, const Nesting& nesting,
                                               const std::vector<int>& exterior) {
  const int ring_count = static_cast<int>(region.rings.size());
  for (int polygon = 0; polygon < static_cast<int>(exterior.size()); ++polygon) {
    const int holes_end =
        polygon + 1 < static_cast<int>(exterior.size()) ? exterior[at(polygon + 1)] : ring_count;
    std::vector<int> holes;
    for (int r = exterior[at(polygon)] + 1; r < holes_end; ++r)
      holes.push_back(r);
    std::sort(holes.begin(), holes.end(),
              [&nesting](int a, int b) { return nesting.entry[at(a)] < nesting.entry[at(b)]; });
    std::vector<int> open;
    for (const int hole : holes) {
      while (!open.empty() && !nesting.inside(hole, open.back()))
        open.pop_back();
      if (!open.empty()) {
        RegionProblem problem{.kind = Kind::kHolesOverlap};
        problem.first_ring = open.back();
        problem.second_ring = hole;
        problem.first_polygon = polygon;
        return problem;
      }
      open.push_back(hole);
    }
  }
  return std::nullopt;
}

// With every hole inside its own exterior and no hole in another of its
// polygon, the polygons' insides are apart exactly when each hole sits
// directly in its own exterior and each exterior directly in a hole or in
// nothing. A ring placed otherwise has a parent of a polygon whose inside
// overlaps its own.
std::optional<RegionProblem> polygons_overlapping(const Region& region, const Nesting& nesting,
                                                  const std::vector<int>& exterior) {
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    const Ring& ring = region.rings[at(r)];
    const int parent = nesting.parent[at(r)];
    if (parent < 0) continue;
    const bool placed_well =
        ring.hole ? parent == exterior[at(ring.polygon)] : region.rings[at(parent)].hole;
    if (!placed_well) {
      const int other = region.rings[at(parent)].polygon;
      RegionProblem problem{.kind = Kind::kPolygonsOverlap};
      problem.first_polygon = std::min(ring.polygon, other);
      problem.second_polygon = std::max(ring.polygon, other);
      return problem;
    }
  }
  return std::nullopt;
}

}  // namespace

RegionProblem first_region_problem(const Region& region) {
  std::optional<RegionProblem> problem = misplaced_ring(region);
  if (!problem) problem = degenerate_ring(region);
  if (!problem) problem = ring_meeting_itself(region);
  std::vector<int> parent;
  if (!problem) problem = sweep_rings(region, parent);
  if (problem) return *problem;
  const Nesting nesting = nesting_of(std::move(parent));
  const std::vector<int> exterior = exterior_rings(region);
  problem = hole_outside_exterior(region, nesting, exterior);
  if (!problem) problem = holes_overlapping(region, nesting, exterior);
  if (!problem) problem = polygons_overlapping(region, nesting, exterior);
  return problem.value_or(RegionProblem{});
}

std::string region_problem_text(const RegionProblem& problem) {
  const auto n = [](int number) { return std::to_string(number); };
  const std::string first_ring = n(problem.first_ring);
  const std::string second_ring = n(problem.second_ring);
  const std::string edges =
      " (edges " + n(problem.first_edge) + " and " + n(problem.second_edge) + ")";
  switch (problem.kind) {
    case Kind::kNone:
      return "valid region";
    case Kind::kMisplacedRing:
      return "ring " + first_ring + " is out of place in the ring list";
    case Kind::kTooFewVertices:
      return "ring " + first_ring + " has fewer than 3 vertices";
    case Kind::kNoArea:
      return "ring " + first_ring + " encloses no area";
    case Kind::kRingMeetsItself:
      return "ring " + first_ring + " crosses itself" + edges;
    case Kind::kRingsCross:
      return "rings " + first_ring + " and " + second_ring +
             (problem.shared_stretch ? " share a stretch" : " cross") + edges;
    case Kind::kHoleOutsideExterior:
      return "hole ring " + first_ring + " lies outside its exterior ring " + second_ring;
    case Kind::kHolesOverlap:
      return "hole ring " + second_ring + " lies inside hole ring " + first_ring + " of polygon " +
             n(problem.first_polygon);
    case Kind::kPolygonsOverlap:
      return "polygons " + n(problem.first_polygon) + " and " + n(problem.second_polygon) +
             " overlap";
  }
  return "unknown region problem";
}

}  // namespace polyfrep
