#include "polygon/self_intersection.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>

#include "geometry/exact.h"
#include "geometry/segments.h"
#include "polygon/kernel.h"
#include "polygon/sweep_order.h"

namespace polyfrep {

namespace {

// The outline without its zero-length edges, as corners: corner k is a vertex
// whose edge has length, and segment k runs from it to corner k + 1 (the
// last segment back to corner 0); it is the input's edge corner[k].
// Consecutive segments share a corner. Only the vertices' indices are kept:
// a million-vertex outline costs 4 MB here.
struct Outline {
  std::span<const Point> vertices;
  std::vector<int> corner;

  int size() const { return static_cast<int>(corner.size()); }
  Point at(int k) const {
    return vertices[static_cast<std::size_t>(corner[static_cast<std::size_t>(k)])];
  }
  Point start(int segment) const { return at(segment); }
  Point end(int segment) const { return at(segment + 1 == size() ? 0 : segment + 1); }
  Point left(int segment) const {
    return lexicographically_before(start(segment), end(segment)) ? start(segment) : end(segment);
  }
  Point right(int segment) const {
    return lexicographically_before(start(segment), end(segment)) ? end(segment) : start(segment);
  }
  int edge(int segment) const { return corner[static_cast<std::size_t>(segment)]; }
  int before(int segment) const { return segment == 0 ? size() - 1 : segment - 1; }
};

Outline outline_of(std::span<const Point> vertices) {
  Outline outline{vertices, {}};
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    if (!same_point(vertices[i], vertices[(i + 1) % vertices.size()])) {
      outline.corner.push_back(static_cast<int>(i));
    }
  }
  return outline;
}

bool adjacent(int first, int second, int count) {
  const int difference = std::abs(first - second);
  return difference == 1 || difference == count - 1;
}

bool segments_conflict(const Outline& outline, int first, int second) {
  const int count = outline.size();
  if (count == 2) return true;  // there and straight back
  if (!adjacent(first, second, count)) {
    return closed_segments_meet(outline.start(first), outline.end(first), outline.start(second),
                                outline.end(second));
  }
  // Adjacent segments, one ending where the other starts, overlap when the
  // second turns straight back along the first.
  const int earlier = (first + 1) % count == second ? first : second;
  const int later = earlier == first ? second : first;
  return folds_back(outline.start(earlier), outline.end(earlier), outline.end(later));
}

EdgeCrossing crossing_of(const Outline& outline, int first, int second) {
  const int a = outline.edge(first);
  const int b = outline.edge(second);
  return {std::min(a, b), std::max(a, b)};
}

// A segment crossed by the sweep line, with its ends, so that ordering it
// reads nothing but the entry. The segment can be exchanged in place for the
// next one of the outline where the outline passes through a corner from left
// to right: both then lie between the same neighbours.
struct StatusEntry {
  mutable int segment;
  mutable Point left;
  mutable Point right;
};

StatusEntry status_entry(const Outline& outline, int segment) {
  return {segment, outline.left(segment), outline.right(segment)};
}

// Order of segments crossed by the sweep line, bottom to top, for segments
// that do not conflict: the one that starts later is placed by the side of
// the other on which its left end lies, or its right end when the two share
// the left end.
struct BelowOnSweep {
  bool operator()(const StatusEntry& first_entry, const StatusEntry& second_entry) const {
    const int first = first_entry.segment;
    const int second = second_entry.segment;
    if (first == second) return false;
    const int side =
        sweep_side(first_entry.left, first_entry.right, second_entry.left, second_entry.right);
    if (side == 0) return first < second;  // collinear: a conflict, any fixed order
    return side < 0;
  }
};

using Status = std::set<StatusEntry, BelowOnSweep>;

struct Sweep {
  const Outline* outline = nullptr;
  const std::vector<char>* excluded = nullptr;
  Status status;
  std::vector<Status::iterator> places;  // per segment, while it is in the status
  std::optional<EdgeCrossing> found;
};

void test_pair(Sweep& sweep, int first, int second) {
  if (!sweep.found && segments_conflict(*sweep.outline, first, second)) {
    sweep.found = crossing_of(*sweep.outline, first, second);
  }
}

void test_neighbours(Sweep& sweep, Status::iterator place) {
  if (place != sweep.status.begin()) test_pair(sweep, std::prev(place)->segment, place->segment);
  if (std::next(place) != sweep.status.end()) {
    test_pair(sweep, place->segment, std::next(place)->segment);
  }
}

void insert_segment(Sweep& sweep, int segment) {
  const auto place = sweep.status.insert(status_entry(*sweep.outline, segment)).first;
  sweep.places[static_cast<std::size_t>(segment)] = place;
  test_neighbours(sweep, place);
}

void remove_segment(Sweep& sweep, int segment) {
  const auto after = sweep.status.erase(sweep.places[static_cast<std::size_t>(segment)]);
  if (after != sweep.status.begin() && after != sweep.status.end()) {
    test_pair(sweep, std::prev(after)->segment, after->segment);
  }
}

// The outline passes through a corner: the segment that ends there gives its
// place to the one that starts there. No search and no rebalancing: where
// the outline goes on, no segment can come between the two without meeting
// the corner, which an earlier test of neighbours would have found.
void exchange_segment(Sweep& sweep, int ending, int starting) {
  const auto place = sweep.places[static_cast<std::size_t>(ending)];
  const StatusEntry replacement = status_entry(*sweep.outline, starting);
  place->segment = replacement.segment;
  place->left = replacement.left;
  place->right = replacement.right;
  sweep.places[static_cast<std::size_t>(starting)] = place;
  test_neighbours(sweep, place);
}

bool is_excluded(const Sweep& sweep, int segment) {
  return (*sweep.excluded)[static_cast<std::size_t>(segment)] != 0;
}

// The events of corner k: the segment before it ends or starts there, and so
// does the segment after it.
void pass_corner(Sweep& sweep, int corner) {
  const Outline& outline = *sweep.outline;
  const Point at = outline.at(corner);
  const int incoming = outline.before(corner);
  const int outgoing = corner;
  const bool has_incoming = !is_excluded(sweep, incoming);
  const bool has_outgoing = !is_excluded(sweep, outgoing);
  const bool incoming_ends = lexicographically_before(outline.start(incoming), at);
  const bool outgoing_ends = lexicographically_before(outline.end(outgoing), at);
  if (has_incoming && has_outgoing && incoming_ends != outgoing_ends) {
    if (incoming_ends) {
      exchange_segment(sweep, incoming, outgoing);
    } else {
      exchange_segment(sweep, outgoing, incoming);
    }
    return;
  }
  // The outline turns back in x here: its two segments overlap if it turns
  // straight back.
  if (has_incoming && has_outgoing) test_pair(sweep, incoming, outgoing);
  // Segments that start here go in before those that end here leave.
  if (has_incoming && !incoming_ends && !sweep.found) insert_segment(sweep, incoming);
  if (has_outgoing && !outgoing_ends && !sweep.found) insert_segment(sweep, outgoing);
  if (has_incoming && incoming_ends && !sweep.found) remove_segment(sweep, incoming);
  if (has_outgoing && outgoing_ends && !sweep.found) remove_segment(sweep, outgoing);
}

// Corners at one point: the outline comes back to it. The segments at those
// corners are tested against each other; a pair that does not share the
// corner always meets there.
void test_shared_point(Sweep& sweep, std::span<const int> corners) {
  const Outline& outline = *sweep.outline;
  for (std::size_t i = 0; i < corners.size() && !sweep.found; ++i) {
    for (std::size_t j = i + 1; j < corners.size() && !sweep.found; ++j) {
      for (const int first : {outline.before(corners[i]), corners[i]}) {
        for (const int second : {outline.before(corners[j]), corners[j]}) {
          if (first != second && !is_excluded(sweep, first) && !is_excluded(sweep, second)) {
            test_pair(sweep, first, second);
          }
        }
      }
    }
  }
}

// The corners in sweep order: lexicographically by point.
std::vector<int> sweep_order(const Outline& outline) {
  return sorted_by_point(outline.size(), [&outline](int k) { return outline.at(k); });
}

// One sweep over the segments not excluded; the first conflict found.
std::optional<EdgeCrossing> sweep_for_crossing(const Outline& outline,
                                               const std::vector<int>& order,
                                               const std::vector<char>& excluded) {
  Sweep sweep{&outline, &excluded, Status(BelowOnSweep{}),
              std::vector<Status::iterator>(order.size()), std::nullopt};
  std::size_t group_begin = 0;
  while (group_begin < order.size() && !sweep.found) {
    std::size_t group_end = group_begin + 1;
    while (group_end < order.size() &&
           same_point(outline.at(order[group_end]), outline.at(order[group_begin]))) {
      ++group_end;
    }
    const std::span<const int> group(order.data() + group_begin, group_end - group_begin);
    if (group.size() > 1) test_shared_point(sweep, group);
    for (const int corner : group) {
      if (!sweep.found) pass_corner(sweep, corner);
    }
    group_begin = group_end;
  }
  return sweep.found;
}

int segment_of_edge(const Outline& outline, int edge) {
  const auto found = std::lower_bound(outline.corner.begin(), outline.corner.end(), edge);
  return static_cast<int>(found - outline.corner.begin());
}

}  // namespace

std::optional<Point> star_centre(std::span<const Point> vertices) {
  const std::optional<Point> centre = kernel_point(vertices);
  if (centre && winds_once_around(vertices, *centre)) return centre;
  return std::nullopt;
}

std::vector<EdgeCrossing> find_self_intersections(std::span<const Point> vertices,
                                                  int max_reported) {
  // An outline star-shaped around a point needs no sweep.
  if (max_reported <= 0 || star_centre(vertices)) return {};
  return sweep_self_intersections(vertices, max_reported);
}

std::vector<EdgeCrossing> sweep_self_intersections(std::span<const Point> vertices,
                                                   int max_reported) {
  std::vector<EdgeCrossing> crossings;
  if (max_reported <= 0) return crossings;
  const Outline outline = outline_of(vertices);
  if (outline.size() < 2) return crossings;
  const std::vector<int> order = sweep_order(outline);
  std::vector<char> excluded(order.size(), 0);
  while (static_cast<int>(crossings.size()) < max_reported) {
    const std::optional<EdgeCrossing> crossing = sweep_for_crossing(outline, order, excluded);
    if (!crossing) break;
    crossings.push_back(*crossing);
    excluded[static_cast<std::size_t>(segment_of_edge(outline, crossing->second_edge))] = 1;
  }
  return crossings;
}

std::optional<EdgeCrossing> turn_back_crossing(std::span<const Point> vertices) {
  const std::size_t n = vertices.size();
  if (n < 3) return std::nullopt;
  for (std::size_t i = 0; i < n; ++i) {
    const Point before = vertices[i == 0 ? n - 1 : i - 1];
    const Point at = vertices[i];
    const Point after = vertices[i + 1 == n ? 0 : i + 1];
    if (same_point(before, at) || same_point(at, after)) continue;
    if (orientation_sign(before, at, after) == 0 && dot_sign(before, at, at, after) < 0) {
      const int incoming = static_cast<int>(i == 0 ? n - 1 : i - 1);
      const int outgoing = static_cast<int>(i);
      return EdgeCrossing{std::min(incoming, outgoing), std::max(incoming, outgoing)};
    }
  }
  return std::nullopt;
}

std::optional<EdgeCrossing> nearby_crossing(std::span<const Point> vertices, int reach) {
  const Outline outline = outline_of(vertices);
  const int count = outline.size();
  if (count < 2) return std::nullopt;
  for (int first = 0; first < count; ++first) {
    for (int step = 1; step <= reach && step < count; ++step) {
      const int second = (first + step) % count;
      if (segments_conflict(outline, first, second)) return crossing_of(outline, first, second);
    }
  }
  return std::nullopt;
}

std::vector<EdgeCrossing> find_self_intersections_by_pairs(std::span<const Point> vertices) {
  const Outline outline = outline_of(vertices);
  std::vector<EdgeCrossing> crossings;
  const int count = outline.size();
  for (int first = 0; first < count; ++first) {
    for (int second = first + 1; second < count; ++second) {
      if (segments_conflict(outline, first, second)) {
        crossings.push_back(crossing_of(outline, first, second));
      }
    }
  }
  return crossings;
}

}  // namespace polyfrep
