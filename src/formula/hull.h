#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "formula/decomposition.h"
#include "geometry/point.h"

namespace polyfrep {

// 1 when p0 -> p1 -> p2 turns left or is straight (cross product >= 0.0),
// 0 for a strict right turn or a cross product that is not a number.
int is_left_turn(Point p0, Point p1, Point p2);

// Convex hull of a simple polyline of at least three points, as positions
// into points, counter-clockwise, starting with the point pushed last.
// Collinear points count as left, so a corner already on the hull stays.
//
// The walk starts at the first strict left turn and takes the points before
// it last, as if the chain were closed. Without a strict left turn the result
// is in general not a hull, but it is always a list of distinct positions
// from 0 to points.size() - 1. Fewer than three points give an empty result.
// hull_positions is replaced by a vector of exactly the result's size.
void chain_hull(std::span<const Point> points, std::vector<int>& hull_positions);

// Working storage for chain_hull, the deque's 2 ints per point and a bit
// per point, kept between calls so that a caller computing many hulls
// allocates only for the largest. The deque's slots are never cleared: every
// slot is written before it is read.
struct HullWorkspace {
  std::unique_ptr<int[]> items;
  std::size_t size = 0;
  std::vector<std::uint64_t> seen;
};

// The same, with the working storage taken from `work`.
void chain_hull(std::span<const Point> points, std::vector<int>& hull_positions,
                HullWorkspace& work);

// The hulls of chains of a polygon that lie within one longer chain, the
// base, and have the base's first strict left turn as theirs: exactly what
// chain_hull returns for each, without redoing the whole walk. chain_hull
// feeds the points after the start triangle up to the chain's last point,
// then the points before it; for such a chain the first stretch is a prefix
// of the base's, so its steps are recorded once with what they overwrite and
// undone or redone as the chain's end moves, and only the points before the
// start triangle are fed anew (and undone) for each chain. Decompositions
// that cut a few vertices off one end of a long chain at every level would
// otherwise walk the whole chain again every time.
// A step keeps where the deque's ends are after it and what its push
// overwrote; where they were before it is where the step before it left
// them, and the vertex it pushed is the point fed. A base of a million
// points keeps a million steps.
struct HullStep {
  int bottom_after, top_after;
  // The slots' vertices before the push, or kNothingPushed (in both) when
  // the point changed nothing.
  int bottom_overwritten, top_overwritten;
};
inline constexpr int kNothingPushed = -2;  // slots hold vertices or -1

// The least and greatest coordinates of a run of points.
struct PointBox {
  double min_x, max_x, min_y, max_y;
};
inline constexpr std::size_t kBoxedRun = 64;

struct HullReplay {
  std::span<const Point> vertices;  // the polygon
  int base_first = 0;
  int base_length = 0;  // 0 while there is no base
  int start = 0;        // base position of the start triangle's middle
  // The deque's slots, as polygon vertices; -1 marks a slot no step has
  // written, whose content chain_hull would take from its set-up instead.
  std::vector<int> slots;
  int bottom = 0;
  int top = 0;
  // The base's points after the start triangle, from base position start + 2
  // on, and the deque's ends before the first of them.
  std::vector<HullStep> steps;
  int first_bottom = 0;
  int first_top = 0;
  std::size_t steps_applied = 0;
  // The steps of the last chain's points before the start triangle, kept
  // until another chain needs other ones: fed from base position
  // wrap_offset (-1 when none are kept), the first of them at
  // wrap_first_fed. A chain that starts later, no further than that point,
  // with the same steps after the start triangle, has the same steps: the
  // points it skips changed nothing. A chain cut near its front, level after
  // level, needs them only once.
  std::vector<HullStep> wrap_steps;  // the first taken where steps_applied left the deque
  int wrap_offset = -1;
  int wrap_first_fed = 0;
  // By base position, for dropping repeats; made when a whole hull is read.
  std::vector<unsigned> seen_stamp;
  unsigned stamp = 0;
  std::vector<int> read_positions;
  // Boxes round the polygon's vertices: on the first level one per
  // kBoxedRun vertices from the first, on each further level one per two
  // boxes of the level before. The points before a chain's start triangle
  // are passed over a box at a time where it lies inside the hull's end
  // edges: a spiral's inner windings, level after level, in a logarithmic
  // number of boxes.
  std::vector<std::vector<PointBox>> run_boxes;
  // The last chain of `vertices` found to have no strict left turn, or none
  // (length 0). Every chain within it has none either and cannot be a base.
  IndexChain turnless;
};

// Makes `chain` (of at least three vertices of `vertices`) the base. A chain
// without a strict left turn leaves no base; one that lies within the last
// such chain is turned down without looking at its points.
void start_hull_replay(HullReplay& replay, std::span<const Point> vertices, IndexChain chain);

// Sets hull_positions to chain_hull's result for `chain` and returns true
// when the base allows it; returns false, changing nothing, otherwise.
bool replay_chain_hull(HullReplay& replay, IndexChain chain, std::vector<int>& hull_positions);

// Sets `choice` to what choose_split_vertex(hull, middle, initial_choice)
// gives for the hull replay_chain_hull would give, and returns true, when the
// base allows it; returns false, changing nothing, otherwise. It reads a
// logarithmic number of the hull's entries, not all of them: the hull of a
// chain winding around itself is its outer winding, level after level.
bool replay_split_choice(HullReplay& replay, IndexChain chain, int middle, int initial_choice,
                         int& choice);

}  // namespace polyfrep
