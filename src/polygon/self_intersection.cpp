#include "polygon/self_intersection.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>

#include "geometry/exact.h"
#include "geometry/segments.h"

namespace polyfrep {

namespace {

bool lexicographically_before(Point a, Point b) {
  return a.x < b.x || (a.x == b.x && a.y < b.y);
}

// An edge of non-zero length, with its ends ordered for the sweep.
struct Segment {
  int edge = 0;       // number in the input
  Point start{0, 0};  // in the outline's direction
  Point end{0, 0};
  Point left{0, 0};  // the lexicographically smaller end
  Point right{0, 0};
};

// The outline without its zero-length edges; consecutive entries (and the
// last with the first) share a vertex.
std::vector<Segment> outline_segments(std::span<const Point> vertices) {
  std::vector<Segment> segments;
  const std::size_t count = vertices.size();
  for (std::size_t i = 0; i < count; ++i) {
    const Point start = vertices[i];
    const Point end = vertices[(i + 1) % count];
    if (same_point(start, end)) continue;
    Segment segment{static_cast<int>(i), start, end, start, end};
    if (lexicographically_before(end, start)) std::swap(segment.left, segment.right);
    segments.push_back(segment);
  }
  return segments;
}

bool adjacent(int first, int second, int count) {
  const int difference = std::abs(first - second);
  return difference == 1 || difference == count - 1;
}

// Adjacent segments, `before` ending where `after` starts, overlap when
// `after` turns straight back along `before`.
bool folds_back(const Segment& before, const Segment& after) {
  return folds_back(before.start, before.end, after.end);
}

// Positions are indices into the segment list.
bool segments_conflict(const std::vector<Segment>& segments, int first, int second) {
  const int count = static_cast<int>(segments.size());
  const Segment& s = segments[static_cast<std::size_t>(first)];
  const Segment& t = segments[static_cast<std::size_t>(second)];
  if (count == 2) return true;  // there and straight back
  if (!adjacent(first, second, count)) return closed_segments_meet(s.start, s.end, t.start, t.end);
  const bool s_first = (first + 1) % count == second;
  return s_first ? folds_back(s, t) : folds_back(t, s);
}

EdgeCrossing crossing_of(const std::vector<Segment>& segments, int first, int second) {
  const int a = segments[static_cast<std::size_t>(first)].edge;
  const int b = segments[static_cast<std::size_t>(second)].edge;
  return {std::min(a, b), std::max(a, b)};
}

// Order of segments crossed by the sweep line, bottom to top, for segments
// that do not conflict: the one that starts later is placed by the side of
// the other on which its left end lies, or its right end when the two share
// the left end.
struct BelowOnSweep {
  const std::vector<Segment>* segments;

  bool operator()(int first, int second) const {
    if (first == second) return false;
    const Segment& s = (*segments)[static_cast<std::size_t>(first)];
    const Segment& t = (*segments)[static_cast<std::size_t>(second)];
    const bool s_later = !lexicographically_before(s.left, t.left);
    int side = s_later ? orientation_sign(t.left, t.right, s.left)
                       : -orientation_sign(s.left, s.right, t.left);
    if (side == 0) {
      side = s_later ? orientation_sign(t.left, t.right, s.right)
                     : -orientation_sign(s.left, s.right, t.right);
    }
    if (side == 0) return first < second;  // collinear: a conflict, any fixed order
    return side < 0;
  }
};

struct Event {
  Point at{0, 0};
  int position = 0;
  bool starts = false;
};

struct Sweep {
  const std::vector<Segment>* segments = nullptr;
  std::set<int, BelowOnSweep> status;
  std::vector<std::set<int, BelowOnSweep>::iterator> places;
  std::optional<EdgeCrossing> found;
};

void test_pair(Sweep& sweep, int first, int second) {
  if (!sweep.found && segments_conflict(*sweep.segments, first, second)) {
    sweep.found = crossing_of(*sweep.segments, first, second);
  }
}

void insert_segment(Sweep& sweep, int position) {
  const auto place = sweep.status.insert(position).first;
  sweep.places[static_cast<std::size_t>(position)] = place;
  if (place != sweep.status.begin()) test_pair(sweep, *std::prev(place), position);
  if (std::next(place) != sweep.status.end()) test_pair(sweep, position, *std::next(place));
}

void remove_segment(Sweep& sweep, int position) {
  const auto place = sweep.places[static_cast<std::size_t>(position)];
  const auto after = sweep.status.erase(place);
  if (after != sweep.status.begin() && after != sweep.status.end()) {
    test_pair(sweep, *std::prev(after), *after);
  }
}

// Segments with an end at the same point: two are the outline's corner
// there; a third means the outline comes back to the point. Among any three
// of them two are not adjacent (for more than three segments), and those
// are tested directly.
void test_shared_ends(Sweep& sweep, std::span<const Event> group) {
  const std::size_t tested = std::min<std::size_t>(group.size(), 3);
  for (std::size_t i = 0; i < tested; ++i) {
    for (std::size_t j = i + 1; j < tested; ++j) {
      test_pair(sweep, group[i].position, group[j].position);
    }
  }
}

// One sweep over the segments not excluded; the first conflict found.
std::optional<EdgeCrossing> sweep_for_crossing(const std::vector<Segment>& segments,
                                               const std::vector<char>& excluded) {
  std::vector<Event> events;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (excluded[i]) continue;
    events.push_back({segments[i].left, static_cast<int>(i), true});
    events.push_back({segments[i].right, static_cast<int>(i), false});
  }
  // At one point, segments that start there go in before those that end
  // there leave, so that segments touching only at that point meet.
  std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    if (!same_point(a.at, b.at)) return lexicographically_before(a.at, b.at);
    return a.starts && !b.starts;
  });
  Sweep sweep{&segments, std::set<int, BelowOnSweep>(BelowOnSweep{&segments}),
              std::vector<std::set<int, BelowOnSweep>::iterator>(segments.size()), std::nullopt};
  std::size_t group_begin = 0;
  while (group_begin < events.size() && !sweep.found) {
    std::size_t group_end = group_begin;
    while (group_end < events.size() && same_point(events[group_end].at, events[group_begin].at)) {
      ++group_end;
    }
    const std::span<const Event> group(events.data() + group_begin, group_end - group_begin);
    test_shared_ends(sweep, group);
    for (const Event& event : group) {
      if (event.starts && !sweep.found) insert_segment(sweep, event.position);
    }
    for (const Event& event : group) {
      if (!event.starts && !sweep.found) remove_segment(sweep, event.position);
    }
    group_begin = group_end;
  }
  return sweep.found;
}

int position_of_edge(const std::vector<Segment>& segments, int edge) {
  const auto found = std::lower_bound(segments.begin(), segments.end(), edge,
                                      [](const Segment& s, int e) { return s.edge < e; });
  return static_cast<int>(found - segments.begin());
}

}  // namespace

std::vector<EdgeCrossing> find_self_intersections(std::span<const Point> vertices,
                                                  int max_reported) {
  const std::vector<Segment> segments = outline_segments(vertices);
  std::vector<EdgeCrossing> crossings;
  std::vector<char> excluded(segments.size(), 0);
  while (static_cast<int>(crossings.size()) < max_reported) {
    const std::optional<EdgeCrossing> crossing = sweep_for_crossing(segments, excluded);
    if (!crossing) break;
    crossings.push_back(*crossing);
    excluded[static_cast<std::size_t>(position_of_edge(segments, crossing->second_edge))] = 1;
  }
  return crossings;
}

std::vector<EdgeCrossing> find_self_intersections_by_pairs(std::span<const Point> vertices) {
  const std::vector<Segment> segments = outline_segments(vertices);
  std::vector<EdgeCrossing> crossings;
  const int count = static_cast<int>(segments.size());
  for (int first = 0; first < count; ++first) {
    for (int second = first + 1; second < count; ++second) {
      if (segments_conflict(segments, first, second)) {
        crossings.push_back(crossing_of(segments, first, second));
      }
    }
  }
  return crossings;
}

}  // namespace polyfrep
