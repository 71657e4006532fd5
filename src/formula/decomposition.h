#pragma once

#include <functional>
#include <span>
#include <stop_token>
#include <vector>

#include "geometry/point.h"
#include "polyfrep/polyfrep.h"

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

// Whether a chain of `length` vertices whose sound cut position nearest the
// middle (the smaller first among equally near ones) is `sound` gets that cut
// from the repair whatever hull entry choose_split_vertex picks (with
// initial choice 1): every position it can pick is then unsound or `sound`
// itself. Position 1 is picked only when no entry is strictly nearer the
// middle; it is nearer than length - 2, or as near and smaller, unless the
// length is even, and then `first_is_sound()` is asked.
template <class FirstIsSound>
bool sound_cut_settled_before_hull(int sound, int length, FirstIsSound&& first_is_sound) {
  if (sound == 1) return true;
  if (sound != length - 2) return false;
  return length % 2 == 1 || !first_is_sound();
}

// TOKEN_INTERSECT for a strict left turn p -> q -> r, TOKEN_UNION otherwise
// (a straight or reversing turn, and a turn that is not a number).
int join_operator(Point p, Point q, Point r);

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

struct DecompositionOptions {
  // Check every cut exactly and replace an unsound one by a sound one: the
  // chain's sound cut position nearest its middle, or at the top level the
  // first sound pair of hull corners. The joins then follow the exact turn.
  // For counter-clockwise outlines without zero-length edges only.
  bool repair_cuts = false;
  // When both chains of the top-level cut have at least this many vertices,
  // the second is decomposed on a thread of its own while this one does the
  // first; the result is the same as one after the other.
  int concurrent_length = kConcurrentChainLength;
  // Sees every hull in turn; the chains are then done one after the other.
  HullObserver observe_hull;
  // A decomposition started before it is known to be wanted gives up soon
  // after a stop is requested, and its result is then marked stopped.
  std::stop_token stop;
};

struct Decomposition {
  Formula formula;  // no nodes when no formula could be built
  LastHull last_hull;
  // With repair_cuts: every cut was shown sound and every join matched the
  // turn computed in doubles, so the formula is the plain decomposition's.
  bool all_cuts_sound = true;
  // Given up on a stop request: the formula is incomplete and must not be used.
  bool stopped = false;
};

inline bool built(const Decomposition& decomposition) {
  return !decomposition.formula.nodes.empty();
}

// The formula of one chain of at least two vertices.
Formula build_chain_formula(std::span<const Point> vertices, IndexChain chain,
                            const HullObserver& observe_hull = {});

// The polygon's formula: the boundary is cut at two vertices of its hull into
// two chains joined by intersection, and each chain again at one of its own
// hull vertices near its middle. No formula when the polygon has fewer than
// three vertices or its hull result has fewer than two entries (an outline
// that never turns left).
Decomposition build_polygon_formula(std::span<const Point> vertices,
                                    const DecompositionOptions& options = {});

}  // namespace polyfrep
