#pragma once

#include <span>
#include <vector>

#include "formula/decomposition.h"
#include "formula/hull_tree.h"
#include "geometry/point.h"

namespace polyfrep {

// Whether vertex `position` of the chain is a strict extreme point of the
// chain's vertices: all of them lie in one cone at it of less than a half
// turn. Both cut rays of such a vertex then leave the chain's convex hull, so
// of the extended chain only its end rays can meet them, and the checks below
// skip the walk along the chain. Decided exactly, without trusting any hull
// computed in floating point; the test stops early at most vertices that are
// not extreme. `hulls`, when given, must be the polygon's hull tree: a long
// chain is then asked through the hulls of its runs, which gives the same
// answer in far fewer steps.
bool is_strict_extreme_point(std::span<const Point> vertices, IndexChain chain, int position,
                             const HullTree* hulls = nullptr);

// Polygons from this many vertices are worth a hull tree for their cut tests.
inline constexpr std::size_t kHullTreePolygonSize = 256;

// Exact sign of the turn at every vertex of a polygon, with the runs of equal
// turns so that "do all interior turns of this chain turn the same strict
// way?" costs constant time.
struct TurnTable {
  std::vector<signed char> turn_sign;
  std::vector<int> run_end;  // first vertex after i whose turn differs from i's, or n
};

TurnTable make_turn_table(std::span<const Point> vertices);

// Every turn strictly left: a convex polygon without straight corners.
bool is_strictly_convex(const TurnTable& turns);

// Bounding boxes over runs of the polygon's edges, so that a cut ray that
// crosses an edge of a chain can be found without walking the whole chain.
// Built once for the polygon and asked about one chain at a time: the repair
// tries many cut positions in chain after chain, and most fail that way.
struct PolygonEdgeIndex {
  struct Box {
    double min_x, min_y, max_x, max_y;
  };
  std::span<const Point> vertices;  // edge i runs from vertex i to vertex i + 1 (0 after n - 1)
  std::vector<Box> boxes;           // a complete binary tree in array order, root at 1
  std::size_t leaf_count = 0;       // leaves are boxes[leaf_count .. 2 * leaf_count)
  // The polygon's hull tree, where its nodes hold the vertices of the
  // index's nodes of the same numbers, or none. A chain winding around itself
  // has windings whose boxes every ray from it meets and whose discs most
  // rays' lines pass by.
  const HullTree* hulls = nullptr;
};

PolygonEdgeIndex make_polygon_edge_index(std::span<const Point> vertices);

// Lets the index ask the polygon's hull tree about its upper nodes.
void attach_hull_tree(PolygonEdgeIndex& index, const HullTree& hulls);

// Whether cutting `chain` at `cut_position` (1 to length - 2) and joining the
// two parts with `join` (TOKEN_INTERSECT or TOKEN_UNION) keeps the region on
// the chain's left. The region of a chain is bounded by the chain extended at
// both ends by rays; the cut is sound when the two cut rays at the cut vertex
// (the incoming edge continued forward, the outgoing edge continued backward)
// do not cross that extended chain, or when all of the chain's interior turns
// have one strict sign. Decided exactly.
// `edges`, when given, must index `vertices`; it lets a cut whose rays cross an
// edge of the chain be rejected quickly. A cut rejected that way sets
// `crossed_edge_start`, when given, to the vertex where the crossed edge
// starts: the crossing depends only on the cut vertex and that edge, so the
// cut stays unsound in every part of the chain that keeps the edge (unless
// its interior turns share one strict sign). `hulls`, when given, must be the
// polygon's hull tree; it changes no verdict, only the time taken.
bool chain_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns, IndexChain chain,
                        int cut_position, int join, const PolygonEdgeIndex* edges = nullptr,
                        int* crossed_edge_start = nullptr, const HullTree* hulls = nullptr);

// What every cut test of one chain shares: whether its interior turns share
// one strict sign and, when they do not, its end rays and whether those cross
// strictly ahead of both origins. A repair tries many positions of one chain;
// it works these out once instead of at every position.
struct ChainCutSetting {
  IndexChain chain;
  bool turns_share_one_sign = false;
  Point first, second, before_last, last;  // the chain's first two and last two vertices
  bool end_rays_cross = false;
};

ChainCutSetting make_chain_cut_setting(std::span<const Point> vertices, const TurnTable& turns,
                                       IndexChain chain);

// One of a chain's two end rays: the back ray continues its first edge
// backwards from its first vertex, the forward ray its last edge forwards
// from its last vertex.
enum class ChainEnd { kNone, kBack, kForward };

// Which end ray a rejected cut's ray crosses, and which of its two rays:
// the incoming edge continued, or the outgoing edge continued backwards.
struct EndCrossing {
  ChainEnd end = ChainEnd::kNone;
  bool outgoing_ray = false;
};

// The edge a rejected cut's ray crosses (the polygon's number of the vertex
// it starts at), and which of the cut's two rays crosses it.
struct CrossedEdge {
  int start = -1;
  bool outgoing_ray = false;
};

// chain_cut_is_valid for the setting's chain: the same verdict in every case.
// `crossed_edge`, when given, is set as `crossed_edge_start` is above.
// A cut rejected because one of its cut rays crosses an end ray strictly
// ahead of both origins sets `crossed_end`, when given, to that end and ray. The
// crossing depends only on the cut vertex and the end's edge, and the chain
// extended by an end ray that does not stop (its end rays do not cross) has
// its region's boundary along the whole ray; so the cut stays unsound in
// every chain that keeps the vertex inside and that end edge as its end,
// unless that chain's end rays cross or its interior turns share one strict
// sign.
bool chain_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns,
                        const ChainCutSetting& setting, int cut_position, int join,
                        const PolygonEdgeIndex* edges = nullptr,
                        CrossedEdge* crossed_edge = nullptr, const HullTree* hulls = nullptr,
                        EndCrossing* crossed_end = nullptr);

// Whether a cut ray (from `ray_back` through `ray_origin`, continued beyond
// it) that crosses a chain's end ray strictly ahead of both origins crosses
// the end ray of the chain one vertex shorter at that end as well, shown by
// its direction alone. The shorter chain ends at `apex`, next to `inward`;
// `dropped` is the vertex it lost. The old end ray lies on the ray from the
// apex towards `dropped`, and the new one leaves the apex away from
// `inward`: a cut ray that crosses the old one into the wedge between them,
// in a direction outside the wedge's, must leave the wedge across the new
// one. False says nothing.
struct ShorteningWedge {
  Point inward;
  Point apex;
  Point dropped;
  int sign = 0;  // of (apex - inward) x (dropped - apex); 0 shows nothing
};
ShorteningWedge shortening_wedge(Point inward, Point apex, Point dropped);
bool end_crossing_survives_shortening(const ShorteningWedge& wedge, Point ray_back,
                                      Point ray_origin);
// Whether that cut ray crosses the shorter chain's end ray (from `inward`
// through the apex, continued beyond it) strictly ahead of both origins,
// decided from the points: a ray that does so in a direction inside the
// wedge, which the test above cannot show, still crosses it.
bool crosses_shortened_end_ray(const ShorteningWedge& wedge, Point ray_back, Point ray_origin);

// Whether every interior turn of the chain (at positions 1 to length - 2) is
// strictly left, or every one strictly right; such a chain may be cut
// anywhere cuttable.
bool interior_turns_share_one_strict_sign(const TurnTable& turns, IndexChain chain);

// Whether splitting the outline at vertices a and b into two chains joined by
// intersection gives the polygon: always for a strictly convex polygon;
// otherwise the turns at a and b must not be right turns, none of the four
// cut rays at a and b may cross the outline, and the end rays of one chain
// must not cross those of the other. Decided exactly.
// A vertex known to be a strict extreme point of the polygon skips the walk
// of its cut rays along the outline.
bool polygon_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns, int a, int b,
                          bool a_is_extreme = false, bool b_is_extreme = false);

}  // namespace polyfrep
