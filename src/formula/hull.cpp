#include "formula/hull.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "formula/bisection.h"

namespace polyfrep {

namespace {

// Both products are formed before the subtraction, so the sign near zero is
// the same on every platform and does not depend on fused multiply-add.
double cross_product(double ax, double ay, double bx, double by) {
  const double first = ax * by;
  const double second = ay * bx;
  return first - second;
}

// The deque of one call: 2m slots of one fixed array, with bottom and top
// moving outward from its middle, so nothing is ever moved or wrapped.
// Slots are never cleared: the tests read slots by index whether or not they
// still belong to the live deque (bottom to top inclusive).
struct HullDeque {
  std::span<int> slots;
  std::ptrdiff_t bottom = 0;
  std::ptrdiff_t top = 0;
};

int& slot(HullDeque& deque, std::ptrdiff_t index) {
  return deque.slots[static_cast<std::size_t>(index)];
}

int slot(const HullDeque& deque, std::ptrdiff_t index) {
  return deque.slots[static_cast<std::size_t>(index)];
}

Point point_at(std::span<const Point> points, int position) {
  return points[static_cast<std::size_t>(position)];
}

// The walk starts at the first strict left turn of the chain's edge vectors,
// so that the start triangle is counter-clockwise; without one it starts at
// the last possible place, m - 2.
int start_position(std::span<const Point> points) {
  const int last_inner = static_cast<int>(points.size()) - 2;
  for (int i = 1; i <= last_inner; ++i) {
    const Point before = point_at(points, i - 1);
    const Point here = point_at(points, i);
    const Point after = point_at(points, i + 1);
    const double turn =
        cross_product(here.x - before.x, here.y - before.y, after.x - here.x, after.y - here.y);
    if (turn > 0.0) {
      return i;
    }
  }
  return last_inner;
}

// Lays out the start triangle upward as start+1, start-1, start, start+1 in
// the middle of the slots. Every other slot first gets a valid position too:
// once the deque has shrunk to one slot (possible only without a strict left
// turn) the tests read its neighbours, and a long run of such steps reaches
// slots never pushed to. Slot i names position i mod m, so neighbouring slots
// name different points and such a test still sees a proper edge rather than
// a zero-length one, which would accept every later point.
HullDeque set_up_deque(std::span<int> slots, int start) {
  const auto point_count = static_cast<std::ptrdiff_t>(slots.size() / 2);
  std::iota(slots.begin(), slots.begin() + point_count, 0);
  std::iota(slots.begin() + point_count, slots.end(), 0);
  HullDeque deque{slots, point_count - 1, point_count + 2};
  slot(deque, point_count - 1) = start + 1;
  slot(deque, point_count) = start - 1;
  slot(deque, point_count + 1) = start;
  slot(deque, point_count + 2) = start + 1;
  return deque;
}

// The k-th point fed to the walk: the points after the start triangle, then
// the points before it, as if the chain were closed by a segment from its
// last point back to its first.
int processing_position(int point_count, int start, int k) {
  const int after_start = point_count - start - 2;
  return k < after_start ? start + 2 + k : k - after_start;
}

// Whether p lies on or left of the edge from the bottom slot to the one above.
bool left_of_bottom_edge(const HullDeque& deque, std::span<const Point> points, Point p) {
  return is_left_turn(point_at(points, slot(deque, deque.bottom)),
                      point_at(points, slot(deque, deque.bottom + 1)), p) == 1;
}

// Whether p lies on or left of the edge from the slot below the top to the top.
bool left_of_top_edge(const HullDeque& deque, std::span<const Point> points, Point p) {
  return is_left_turn(point_at(points, slot(deque, deque.top - 1)),
                      point_at(points, slot(deque, deque.top)), p) == 1;
}

// One step of the walk. Index bounds: at the start of step k (k from 0 to
// m - 4), bottom >= m - 1 - k >= 3 and bottom <= top <= m + 2 + k <= 2m - 2,
// because each step lowers bottom and raises top by at most one and leaves
// top >= bottom. Hence the skip tests read slots 2 to 2m - 1, the bottom pops
// (while bottom <= top - 1) read at most slot top, the lowered bottom is at
// least 2, the top pops (while top >= bottom) read at least slot bottom - 1,
// which is 1 or more, and the raised top is at most 2m - 1.
void feed_point(HullDeque& deque, std::span<const Point> points, int position) {
  const Point p = point_at(points, position);
  // A point on or left of both edges at the point pushed last lies inside
  // (or on the boundary of) the hull built so far and changes nothing.
  if (left_of_bottom_edge(deque, points, p) && left_of_top_edge(deque, points, p)) {
    return;
  }
  // Only strict right turns pop, so a corner that becomes collinear stays.
  while (deque.bottom <= deque.top - 1 && !left_of_bottom_edge(deque, points, p)) {
    ++deque.bottom;
  }
  --deque.bottom;
  while (deque.top >= deque.bottom && !left_of_top_edge(deque, points, p)) {
    --deque.top;
  }
  ++deque.top;
  slot(deque, deque.bottom) = position;
  slot(deque, deque.top) = position;
}

// Moves the first occurrence of every position in live to its front, in
// order, and returns how many there are; seen holds one cleared bit per point.
// The steps leave no repeat even for degenerate chains, since a step that
// pushes pops or overwrites a copy of the point pushed before it; this pass
// makes distinct positions hold by construction rather than by that argument.
std::size_t drop_repeats(std::span<int> live, std::span<std::uint64_t> seen) {
  std::size_t kept = 0;
  for (const int position : live) {
    const auto index = static_cast<std::size_t>(position);
    const std::uint64_t bit = std::uint64_t{1} << (index % 64);
    std::uint64_t& word = seen[index / 64];
    if ((word & bit) != 0) {
      continue;
    }
    word |= bit;
    live[kept++] = position;
  }
  return kept;
}

}  // namespace

int is_left_turn(Point p0, Point p1, Point p2) {
  const double turn = cross_product(p1.x - p0.x, p1.y - p0.y, p2.x - p0.x, p2.y - p0.y);
  // A cross product that is not a number compares false and counts as right.
  return turn >= 0.0 ? 1 : 0;
}

void chain_hull(std::span<const Point> points, std::vector<int>& hull_positions) {
  HullWorkspace work;
  chain_hull(points, hull_positions, work);
}

void chain_hull(std::span<const Point> points, std::vector<int>& hull_positions,
                HullWorkspace& work) {
  // The set-up needs three points; with fewer there is no hull to list.
  if (points.size() < 3) {
    hull_positions.clear();
    return;
  }
  // Positions are ints and the work array holds 2m of them.
  if (points.size() > static_cast<std::size_t>(INT_MAX / 2)) {
    throw std::length_error("too many points for a hull");
  }
  const std::size_t point_count = points.size();

  // The 2m deque slots, every one written before it is read, and one bit
  // per point for the pass that drops repeats.
  if (work.size < 2 * point_count) {
    work.items.reset();
    work.items = std::make_unique_for_overwrite<int[]>(2 * point_count);
    work.size = 2 * point_count;
  }
  const std::span<int> slots(work.items.get(), 2 * point_count);

  const int start = start_position(points);
  HullDeque deque = set_up_deque(slots, start);
  const int m = static_cast<int>(point_count);
  for (int k = 0; k < m - 3; ++k) {
    feed_point(deque, points, processing_position(m, start, k));
  }

  // The hull is bottom .. top - 1; the top slot repeats the bottom slot.
  const std::span<int> live = slots.subspan(static_cast<std::size_t>(deque.bottom),
                                            static_cast<std::size_t>(deque.top - deque.bottom));
  work.seen.assign((point_count + 63) / 64, 0);
  const std::size_t hull_count = drop_repeats(live, work.seen);
  hull_positions.assign(live.begin(), live.begin() + static_cast<std::ptrdiff_t>(hull_count));
}

}  // namespace polyfrep

namespace polyfrep {

namespace {

// A step of the replayed walk could not be taken as chain_hull takes it: it
// would read a slot that only chain_hull's set-up has written, or leave the
// slots.
struct ReplayFailed {};

std::size_t polygon_size(const HullReplay& replay) {
  return replay.vertices.size();
}

// The polygon vertex at a base position.
// Both are asked for every point a replay reads, where a division would cost
// more than the rest: a position within the base and a polygon vertex need
// a subtraction or an addition at most.
int base_vertex(const HullReplay& replay, int position) {
  const long long index = static_cast<long long>(replay.base_first) + position;
  const auto n = static_cast<long long>(polygon_size(replay));
  if (index >= 0 && index < 2 * n) return static_cast<int>(index >= n ? index - n : index);
  return static_cast<int>(index % n);
}

int base_position(const HullReplay& replay, int vertex) {
  const long long offset = static_cast<long long>(vertex) - replay.base_first;
  return static_cast<int>(offset < 0 ? offset + static_cast<long long>(polygon_size(replay))
                                     : offset);
}

int replay_slot(const HullReplay& replay, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= replay.slots.size()) throw ReplayFailed{};
  const int vertex = replay.slots[static_cast<std::size_t>(index)];
  if (vertex < 0) throw ReplayFailed{};
  return vertex;
}

Point replay_point(const HullReplay& replay, int index) {
  return replay.vertices[static_cast<std::size_t>(replay_slot(replay, index))];
}

bool replay_left_of_bottom_edge(const HullReplay& replay, Point p) {
  return is_left_turn(replay_point(replay, replay.bottom), replay_point(replay, replay.bottom + 1),
                      p) == 1;
}

bool replay_left_of_top_edge(const HullReplay& replay, Point p) {
  return is_left_turn(replay_point(replay, replay.top - 1), replay_point(replay, replay.top), p) ==
         1;
}

void write_slot(HullReplay& replay, int index, int vertex) {
  replay.slots[static_cast<std::size_t>(index)] = vertex;
}

// feed_point on the replay's slots, recording what it changes.
HullStep replay_feed(HullReplay& replay, int vertex) {
  const Point p = replay.vertices[static_cast<std::size_t>(vertex)];
  HullStep step{replay.bottom, replay.top, kNothingPushed, kNothingPushed};
  if (replay_left_of_bottom_edge(replay, p) && replay_left_of_top_edge(replay, p)) return step;
  while (replay.bottom <= replay.top - 1 && !replay_left_of_bottom_edge(replay, p)) {
    ++replay.bottom;
  }
  --replay.bottom;
  while (replay.top >= replay.bottom && !replay_left_of_top_edge(replay, p)) {
    --replay.top;
  }
  ++replay.top;
  if (replay.bottom < 0 || static_cast<std::size_t>(replay.top) >= replay.slots.size()) {
    throw ReplayFailed{};
  }
  step.bottom_after = replay.bottom;
  step.top_after = replay.top;
  step.bottom_overwritten = replay.slots[static_cast<std::size_t>(replay.bottom)];
  write_slot(replay, replay.bottom, vertex);
  step.top_overwritten = replay.slots[static_cast<std::size_t>(replay.top)];
  write_slot(replay, replay.top, vertex);
  return step;
}

// Whether is_left_turn(p0, p1, p) is 1 for every point p in the box, its
// rounding included. Its value rounds the exact cross product of the rounded
// edge p1 - p0 with p - p0 by at most 2u + u^2 times the sum of the two
// products' magnitudes (u = 2^-53); bounding that sum over the box by `bound`
// / kBoxRounding, the value is never negative where the exact cross product
// exceeds the bound. That cross product is linear in p, so it is least at a
// corner of the box, and it is worked out there with the same rounding: a
// computed value of twice the bound leaves more than the bound exactly.
constexpr double kBoxRounding = 0x1p-50;  // 8u: the two u^2 terms and the bound's own rounding
constexpr double kBoxUnderflowSlop = 0x1p-1060;

bool box_left_of(Point p0, Point p1, const PointBox& box) {
  const double dx = p1.x - p0.x;
  const double dy = p1.y - p0.y;
  const double far_x = std::max(std::fabs(box.min_x - p0.x), std::fabs(box.max_x - p0.x));
  const double far_y = std::max(std::fabs(box.min_y - p0.y), std::fabs(box.max_y - p0.y));
  const double bound =
      kBoxRounding * (std::fabs(dx) * far_y + std::fabs(dy) * far_x) + kBoxUnderflowSlop;
  if (!std::isfinite(bound)) return false;
  for (const double x : {box.min_x, box.max_x}) {
    for (const double y : {box.min_y, box.max_y}) {
      const double value = cross_product(dx, dy, x - p0.x, y - p0.y);
      if (!std::isfinite(value) || !(value >= 2 * bound)) return false;
    }
  }
  return true;
}

PointBox box_round(const PointBox& a, const PointBox& b) {
  return {std::min(a.min_x, b.min_x), std::max(a.max_x, b.max_x), std::min(a.min_y, b.min_y),
          std::max(a.max_y, b.max_y)};
}

// The boxes round the polygon's vertices, level by level, up to the first
// level with one box.
void box_runs(HullReplay& replay) {
  const std::span<const Point> vertices = replay.vertices;
  replay.run_boxes.clear();
  std::vector<PointBox> level;
  for (std::size_t begin = 0; begin < vertices.size(); begin += kBoxedRun) {
    const std::size_t end = std::min(begin + kBoxedRun, vertices.size());
    PointBox box{vertices[begin].x, vertices[begin].x, vertices[begin].y, vertices[begin].y};
    for (std::size_t k = begin + 1; k < end; ++k) {
      box.min_x = std::min(box.min_x, vertices[k].x);
      box.max_x = std::max(box.max_x, vertices[k].x);
      box.min_y = std::min(box.min_y, vertices[k].y);
      box.max_y = std::max(box.max_y, vertices[k].y);
    }
    level.push_back(box);
  }
  while (level.size() > 1) {
    std::vector<PointBox> next;
    for (std::size_t k = 0; k < level.size(); k += 2) {
      next.push_back(k + 1 < level.size() ? box_round(level[k], level[k + 1]) : level[k]);
    }
    replay.run_boxes.push_back(std::move(level));
    level = std::move(next);
  }
  replay.run_boxes.push_back(std::move(level));
}

// The search for the first point outside the edges at the deque's ends, in
// a stretch of the polygon's vertex array.
class OutsideSearch {
 public:
  explicit OutsideSearch(const HullReplay& replay)
      : replay_(replay),
        bottom_(replay_point(replay, replay.bottom)),
        after_bottom_(replay_point(replay, replay.bottom + 1)),
        before_top_(replay_point(replay, replay.top - 1)),
        top_(replay_point(replay, replay.top)) {}

  // The first vertex index in begin .. end - 1 whose point is outside, or
  // end. The runs of whole boxes in between are looked at through the
  // fewest boxes that cover them, in order, and a box not inside through
  // its two halves.
  std::size_t first_outside(std::size_t begin, std::size_t end) const {
    const std::size_t first_run = (begin + kBoxedRun - 1) / kBoxedRun;
    const std::size_t end_run = end / kBoxedRun;
    // The part run before the first whole run, or before the end: its run's
    // box holds it.
    const std::size_t head_end = std::min(end, first_run * kBoxedRun);
    if (begin < head_end) {
      const std::size_t found = first_outside_of_points(begin, head_end, begin / kBoxedRun);
      if (found < head_end) return found;
    }
    if (first_run >= end_run) {
      // At most one more part run: the one the range ends in.
      return head_end < end ? first_outside_of_points(head_end, end, head_end / kBoxedRun) : end;
    }
    // The boxes over the whole runs: those found from the low end come in
    // increasing order, those from the high end in decreasing order.
    std::array<Box, 64> from_low;
    std::array<Box, 64> from_high;
    std::size_t low_count = 0;
    std::size_t high_count = 0;
    std::size_t level = 0;
    for (std::size_t low = first_run, high = end_run; low < high; low /= 2, high /= 2, ++level) {
      if ((low & 1) != 0) from_low[low_count++] = {level, low++};
      if ((high & 1) != 0) from_high[high_count++] = {level, --high};
    }
    for (std::size_t k = 0; k < low_count + high_count; ++k) {
      const Box box = k < low_count ? from_low[k] : from_high[high_count - 1 - (k - low_count)];
      const std::size_t found = first_outside_of_box(box);
      if (found != kNone) return found;
    }
    const std::size_t tail_begin = end_run * kBoxedRun;
    return first_outside_of_points(tail_begin, end, end_run);
  }

 private:
  static constexpr std::size_t kNone = SIZE_MAX;
  struct Box {
    std::size_t level = 0;
    std::size_t index = 0;
  };

  bool inside(const PointBox& box) const {
    return box_left_of(bottom_, after_bottom_, box) && box_left_of(before_top_, top_, box);
  }

  bool inside(Point p) const {
    return is_left_turn(bottom_, after_bottom_, p) == 1 && is_left_turn(before_top_, top_, p) == 1;
  }

  // The first of the points begin .. end - 1 outside, or end.
  std::size_t first_outside_point(std::size_t begin, std::size_t end) const {
    for (std::size_t k = begin; k < end; ++k) {
      if (!inside(replay_.vertices[k])) return k;
    }
    return end;
  }

  // The same for points all in run `run`, whose box is tried first.
  std::size_t first_outside_of_points(std::size_t begin, std::size_t end, std::size_t run) const {
    if (begin < end && inside(replay_.run_boxes.front()[run])) return end;
    return first_outside_point(begin, end);
  }

  // The first point outside in a box of whole runs, or kNone: its halves
  // are looked into, first half first, while their boxes are not inside.
  std::size_t first_outside_of_box(Box box) const {
    std::array<Box, 64> pending;
    std::size_t pending_count = 0;
    pending[pending_count++] = box;
    while (pending_count > 0) {
      const Box at = pending[--pending_count];
      if (inside(replay_.run_boxes[at.level][at.index])) continue;
      if (at.level == 0) {
        const std::size_t begin = at.index * kBoxedRun;
        const std::size_t end = std::min(begin + kBoxedRun, replay_.vertices.size());
        const std::size_t found = first_outside_point(begin, end);
        if (found < end) return found;
        continue;
      }
      pending[pending_count++] = {at.level - 1, 2 * at.index + 1};
      pending[pending_count++] = {at.level - 1, 2 * at.index};
    }
    return kNone;
  }

  const HullReplay& replay_;
  Point bottom_;
  Point after_bottom_;
  Point before_top_;
  Point top_;
};

// The first base position from `position` to `last` whose point is not on or
// left of both edges at the deque's ends, or last + 1: replay_feed would
// change nothing for the points before it. A chain that starts with a long
// stretch before its first strict left turn has that stretch fed again for
// every chain cut from its front, and most of it lies inside the hull.
int first_point_outside(const HullReplay& replay, int position, int last) {
  if (position > last) return position;
  const OutsideSearch search(replay);
  const std::size_t n = polygon_size(replay);
  auto index = static_cast<std::size_t>(base_vertex(replay, position));
  auto remaining = static_cast<std::size_t>(last - position) + 1;
  // At most two stretches of the vertex array: up to its end, then from 0.
  while (remaining > 0) {
    const std::size_t end = std::min(n, index + remaining);
    const std::size_t found = search.first_outside(index, end);
    position += static_cast<int>(found - index);
    if (found < end) break;
    remaining -= end - index;
    index = 0;
  }
  return position;
}

// The deque's ends before steps[k]: where steps[k - 1] left them, or
// `first` for the first step.
using DequeEnds = std::pair<int, int>;
DequeEnds ends_before(const std::vector<HullStep>& steps, std::size_t k, DequeEnds first) {
  if (k == 0) return first;
  return {steps[k - 1].bottom_after, steps[k - 1].top_after};
}

// Steps are undone in the reverse of the order they were taken in; the ends
// go back to where the step before left them.
void undo_step(HullReplay& replay, const HullStep& step, DequeEnds before) {
  if (step.bottom_overwritten != kNothingPushed) {
    write_slot(replay, step.top_after, step.top_overwritten);
    write_slot(replay, step.bottom_after, step.bottom_overwritten);
  }
  std::tie(replay.bottom, replay.top) = before;
}

// The base vertex fed by base step `index`.
int base_step_vertex(const HullReplay& replay, std::size_t index) {
  return base_vertex(replay, replay.start + 2 + static_cast<int>(index));
}

// The deque's ends once the base's applied steps are taken.
DequeEnds base_ends(const HullReplay& replay) {
  return ends_before(replay.steps, replay.steps_applied, {replay.first_bottom, replay.first_top});
}

void undo_base_step(HullReplay& replay) {
  const std::size_t index = --replay.steps_applied;
  undo_step(replay, replay.steps[index], base_ends(replay));
}

void redo_base_step(HullReplay& replay) {
  const std::size_t index = replay.steps_applied++;
  const HullStep& step = replay.steps[index];
  if (step.bottom_overwritten != kNothingPushed) {
    const int vertex = base_step_vertex(replay, index);
    write_slot(replay, step.bottom_after, vertex);
    write_slot(replay, step.top_after, vertex);
  }
  replay.bottom = step.bottom_after;
  replay.top = step.top_after;
}

void undo_wrap_steps(HullReplay& replay) {
  const DequeEnds base = base_ends(replay);
  for (std::size_t k = replay.wrap_steps.size(); k-- > 0;)
    undo_step(replay, replay.wrap_steps[k], ends_before(replay.wrap_steps, k, base));
  replay.wrap_steps.clear();
  replay.wrap_offset = -1;
}

// A vector's capacity for `size` elements, let go first when it holds room
// for four times as many: one decomposer's replay serves chains from a
// million vertices down to a thousand.
template <class T>
void fit_capacity(std::vector<T>& storage, std::size_t size) {
  if (storage.capacity() > 4 * size) storage = std::vector<T>();
  storage.clear();
  storage.reserve(size);
}

// The base's first strict left turn, as start_position finds it, or -1.
int replay_start(const HullReplay& replay) {
  for (int i = 1; i <= replay.base_length - 2; ++i) {
    const Point before = replay.vertices[static_cast<std::size_t>(base_vertex(replay, i - 1))];
    const Point here = replay.vertices[static_cast<std::size_t>(base_vertex(replay, i))];
    const Point after = replay.vertices[static_cast<std::size_t>(base_vertex(replay, i + 1))];
    if (cross_product(here.x - before.x, here.y - before.y, after.x - here.x, after.y - here.y) >
        0.0) {
      return i;
    }
  }
  return -1;
}

// The chain's hull read off the deque, as chain_hull reads it: bottom to
// top - 1, each vertex once, as positions in the chain that starts at base
// position `offset`.
void read_replayed_hull(HullReplay& replay, int offset, std::vector<int>& hull_positions) {
  hull_positions.clear();
  const auto length = static_cast<std::size_t>(replay.base_length);
  if (replay.seen_stamp.size() != length) {
    fit_capacity(replay.seen_stamp, length);
    replay.seen_stamp.resize(length, 0U);
    replay.stamp = 0;
  }
  if (++replay.stamp == 0) {
    std::fill(replay.seen_stamp.begin(), replay.seen_stamp.end(), 0U);
    replay.stamp = 1;
  }
  for (int index = replay.bottom; index < replay.top; ++index) {
    const int position = base_position(replay, replay_slot(replay, index));
    unsigned& seen = replay.seen_stamp[static_cast<std::size_t>(position)];
    if (seen == replay.stamp) continue;
    seen = replay.stamp;
    hull_positions.push_back(position - offset);
  }
}

// Whether every vertex of `chain` lies in the last chain found without a
// strict left turn, in the same order. Each interior turn of the chain is
// then an interior turn of that one, formed from the same three vertices, so
// the chain has no strict left turn either. A decomposition of an outline
// folded onto one line asks for a base at nearly every level, each chain a
// part of the one before; scanning each again would double its hull's cost.
bool within_turnless_chain(const HullReplay& replay, IndexChain chain) {
  if (replay.turnless.length < 3) return false;
  const auto n = static_cast<long long>(polygon_size(replay));
  const long long offset = ((chain.first - replay.turnless.first) % n + n) % n;
  return offset + chain.length <= replay.turnless.length;
}

}  // namespace

void start_hull_replay(HullReplay& replay, std::span<const Point> vertices, IndexChain chain) {
  // What was learnt about another polygon's chains says nothing about these.
  const bool new_polygon =
      replay.vertices.data() != vertices.data() || replay.vertices.size() != vertices.size();
  if (new_polygon) replay.turnless = IndexChain{};
  replay.vertices = vertices;
  if (new_polygon || replay.run_boxes.empty()) box_runs(replay);
  replay.base_first = chain.first;
  replay.base_length = chain.length;
  replay.steps.clear();
  replay.steps_applied = 0;
  replay.wrap_steps.clear();
  replay.wrap_offset = -1;
  replay.seen_stamp.clear();
  const bool scanned = chain.length >= 3 && !within_turnless_chain(replay, chain);
  replay.start = scanned ? replay_start(replay) : -1;
  if (replay.start < 0) {
    if (scanned) replay.turnless = chain;
    // Without a strict left turn chain_hull reads slots of its set-up.
    replay.base_length = 0;
    return;
  }
  const auto length = static_cast<std::size_t>(chain.length);
  fit_capacity(replay.slots, 2 * length);
  replay.slots.resize(2 * length, -1);
  fit_capacity(replay.steps, length - static_cast<std::size_t>(replay.start) - 2);
  // The start triangle as set_up_deque lays it out.
  const int middle = chain.length;
  replay.bottom = replay.first_bottom = middle - 1;
  replay.top = replay.first_top = middle + 2;
  write_slot(replay, middle - 1, base_vertex(replay, replay.start + 1));
  write_slot(replay, middle, base_vertex(replay, replay.start - 1));
  write_slot(replay, middle + 1, base_vertex(replay, replay.start));
  write_slot(replay, middle + 2, base_vertex(replay, replay.start + 1));
  // The points after it, as far as they can be replayed.
  try {
    for (int position = replay.start + 2; position < chain.length; ++position) {
      replay.steps.push_back(replay_feed(replay, base_vertex(replay, position)));
    }
  } catch (const ReplayFailed&) {
    // The failed step left no trace in the slots (it throws before writing
    // one), but may have moved bottom and top: they go back below.
  }
  replay.steps_applied = replay.steps.size();
  std::tie(replay.bottom, replay.top) = base_ends(replay);
}

namespace {

// Undoes or redoes the base's steps up to the chain's last point and feeds
// the points before the start triangle, as chain_hull would for the chain,
// or keeps those fed for the chain before where they are the same; false,
// with the deque as it was, where the base does not serve the chain or a
// step cannot be taken. The offset is the chain's first base position.
bool replay_walk(HullReplay& replay, IndexChain chain, int& offset) {
  if (replay.base_length == 0 || chain.length < 3) return false;
  offset = base_position(replay, chain.first);
  const int last = offset + chain.length - 1;
  // Within the base, with the base's start triangle strictly inside.
  if (last >= replay.base_length || offset >= replay.start || last <= replay.start) return false;
  // Its points after the start triangle: base positions start + 2 .. last.
  const auto wanted = static_cast<std::size_t>(last - replay.start - 1);
  if (wanted > replay.steps.size()) return false;
  if (replay.wrap_offset >= 0) {
    if (wanted == replay.steps_applied && offset >= replay.wrap_offset &&
        offset <= replay.wrap_first_fed) {
      return true;
    }
    undo_wrap_steps(replay);
  }
  while (replay.steps_applied > wanted)
    undo_base_step(replay);
  while (replay.steps_applied < wanted)
    redo_base_step(replay);
  // chain_hull lays out the deque in the middle of 2m slots, the base in the
  // middle of 2 * base_length: the same slots, shifted.
  try {
    // Only the steps that change the deque are kept for undoing.
    const int last_wrapped = replay.start - 2;
    for (int position = first_point_outside(replay, offset, last_wrapped); position <= last_wrapped;
         position = first_point_outside(replay, position + 1, last_wrapped)) {
      const int bottom = replay.bottom;
      const int top = replay.top;
      try {
        if (replay.wrap_steps.empty()) replay.wrap_first_fed = position;
        replay.wrap_steps.push_back(replay_feed(replay, base_vertex(replay, position)));
      } catch (const ReplayFailed&) {
        replay.bottom = bottom;
        replay.top = top;
        throw;
      }
    }
    if (replay.wrap_steps.empty()) replay.wrap_first_fed = last_wrapped + 1;
  } catch (const ReplayFailed&) {
    undo_wrap_steps(replay);
    return false;
  }
  replay.wrap_offset = offset;
  return true;
}

// When a slot's vertex was pushed, as a rank: the start triangle's three
// (in the order start - 1, start, start + 1), then the base's points after
// it in order, then the points before it in order. Read from the bottom slot
// to the top one, the ranks fall and then rise: every step pushes its point,
// the newest, at both ends of what its pops leave, and an undone step
// restores what was there.
long long push_rank(const HullReplay& replay, int index) {
  const int position = base_position(replay, replay_slot(replay, index));
  if (position < replay.start - 1) return static_cast<long long>(replay.base_length) + position;
  return position - (replay.start - 1);
}

// A stretch of the deque's slots whose chain positions rise (or fall) from
// the first slot to the last: pushed in order from one part of the chain.
struct MonotoneSlots {
  int first = 0;
  int last = -1;  // empty when last < first
  bool rising = true;
};

// The choice choose_split_vertex makes among the hull's entries after the
// first, which are the vertices of slots bottom + 1 .. top - 1. Along each
// side of the valley of push ranks the slots hold, first the start triangle
// and the base's points after it, then the points before it: two stretches
// of rising positions each (falling on the bottom side, read upwards). The
// entries nearest the middle are found in each by bisection, and among them
// the choice is made as choose_split_vertex makes it, in slot order.
int replayed_split_choice(const HullReplay& replay, int offset, int middle, int initial_choice) {
  const int first = replay.bottom + 1;
  const int last = replay.top - 1;
  const auto position = [&](int index) {
    return base_position(replay, replay_slot(replay, index)) - offset;
  };
  if (first > last) return initial_choice;
  const auto rank = [&](int index) { return push_rank(replay, index); };
  // The valley: the first slot whose rank is below the next one's.
  const int valley =
      first_failing(replay.bottom, replay.top, [&](int k) { return rank(k) > rank(k + 1); });
  // On the bottom side the points before the start triangle come first
  // (lowest slots); on the top side last.
  const long long first_wrapped_rank = replay.base_length;
  const int bottom_unwrapped =
      first_failing(replay.bottom, valley, [&](int k) { return rank(k) >= first_wrapped_rank; });
  const int top_wrapped =
      first_failing(valley, replay.top + 1, [&](int k) { return rank(k) < first_wrapped_rank; });
  const MonotoneSlots stretches[] = {{replay.bottom, bottom_unwrapped - 1, false},
                                     {bottom_unwrapped, valley, false},
                                     {valley, top_wrapped - 1, true},
                                     {top_wrapped, replay.top, true}};
  // At most two entries per stretch: the nearest at or below the middle and
  // the nearest at or above it. The stretches come in slot order, and so do
  // the entries.
  std::array<int, 8> candidates{};
  std::size_t candidate_count = 0;
  for (MonotoneSlots stretch : stretches) {
    stretch.first = std::max(stretch.first, first);
    stretch.last = std::min(stretch.last, last);
    if (stretch.first > stretch.last) continue;
    // The first slot whose position is the middle or past it.
    const int beyond = first_failing(stretch.first, stretch.last + 1, [&](int k) {
      return stretch.rising ? position(k) < middle : position(k) > middle;
    });
    if (beyond > stretch.first) candidates[candidate_count++] = beyond - 1;
    if (beyond <= stretch.last) candidates[candidate_count++] = beyond;
  }
  int best = initial_choice;
  for (std::size_t k = 0; k < candidate_count; ++k) {
    const int entry = position(candidates[k]);
    if (std::abs(entry - middle) < std::abs(best - middle)) best = entry;
  }
  return best;
}

}  // namespace

bool replay_chain_hull(HullReplay& replay, IndexChain chain, std::vector<int>& hull_positions) {
  int offset = 0;
  if (!replay_walk(replay, chain, offset)) return false;
  try {
    read_replayed_hull(replay, offset, replay.read_positions);
  } catch (const ReplayFailed&) {
    undo_wrap_steps(replay);
    return false;
  }
  hull_positions.assign(replay.read_positions.begin(), replay.read_positions.end());
  return true;
}

bool replay_split_choice(HullReplay& replay, IndexChain chain, int middle, int initial_choice,
                         int& choice) {
  int offset = 0;
  if (!replay_walk(replay, chain, offset)) return false;
  try {
    choice = replayed_split_choice(replay, offset, middle, initial_choice);
  } catch (const ReplayFailed&) {
    undo_wrap_steps(replay);
    return false;
  }
  return true;
}

}  // namespace polyfrep
