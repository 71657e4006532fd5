#pragma once

#include <functional>
#include <span>
#include <vector>

#include "formula/token_list.h"
#include "geometry/point.h"

namespace polyfrep {

// A run of `length` consecutive polygon vertices starting at `first`, each the
// successor of the one before (0 after n - 1). It carries the length - 1 edges
// that start at its first length - 1 vertices; the two chains of one cut share
// the cut vertex.
struct IndexChain {
  int first = 0;
  int length = 0;
};

// Called after every hull the decomposition computes, with the chain (the whole
// polygon is the chain of all n vertices from vertex 0), the points given to
// chain_hull (the chain's vertices in chain order) and the positions it returned.
using HullObserver = std::function<void(IndexChain chain, std::span<const Point> points,
                                        std::span<const int> hull_positions)>;

// The hull entry after the first that lies nearest to middle, or
// initial_choice when no entry is strictly nearer; the earliest wins ties.
int choose_split_vertex(std::span<const int> hull_positions, int middle, int initial_choice);

// TOKEN_INTERSECT for a strict left turn p -> q -> r, TOKEN_UNION otherwise
// (a straight or reversing turn, and a turn that is not a number).
int join_operator(Point p, Point q, Point r);

// Appends the formula of one chain of at least two vertices.
void build_chain_formula(std::span<const Point> vertices, IndexChain chain, TokenList& tokens,
                         const HullObserver& observe_hull = {});

// Resets the list and appends the polygon's formula: the boundary is cut at two
// vertices of its hull into two chains joined by intersection. Returns false,
// leaving the list empty, when the polygon has fewer than three vertices or its
// hull result has fewer than two entries (an outline that never turns left).
bool build_polygon_formula(std::span<const Point> vertices, TokenList& tokens,
                           const HullObserver& observe_hull = {});

// Both top-level chains must be at least this long to be decomposed at the
// same time: below it a thread's start costs more than half the work saves.
inline constexpr int kConcurrentChainLength = 10000;

// The last hull a decomposition computed: the chain it was computed for and
// the positions chain_hull returned. Positions are empty when no hull was
// computed (fewer than three vertices).
struct LastHull {
  IndexChain chain;
  std::vector<int> positions;
};

// Polygons up to this size whose cuts cannot all be shown sound one by one get
// their formula checked exactly before it is replaced: the exact check costs
// about n^2 log n (some tens of milliseconds at 2000 vertices), far more than
// the conversion itself, so larger polygons go straight to the repaired cuts.
inline constexpr int kExactCheckLimit = 2000;

// The polygon's formula as build_polygon_formula makes it when that formula
// describes the polygon; otherwise the same decomposition with every unsound
// cut replaced by a sound one. Applies to counter-clockwise outlines without
// zero-length edges; others get build_polygon_formula's formula unchanged.
// `last_hull`, when given, receives the last hull of the decomposition that
// is output. `exact_check_limit` moves the size limit of the exact check
// (tests use it to reach the repair on small polygons).
//
// When both chains of the top-level cut have at least `concurrent_length`
// vertices, the second is decomposed on a second thread while this one does
// the first; the result is the same as one after the other.
bool build_correct_polygon_formula(std::span<const Point> vertices, TokenList& tokens,
                                   LastHull* last_hull = nullptr,
                                   int exact_check_limit = kExactCheckLimit,
                                   int concurrent_length = kConcurrentChainLength);

}  // namespace polyfrep
