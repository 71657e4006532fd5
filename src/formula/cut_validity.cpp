#include "formula/cut_validity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

#include "formula/bisection.h"
#include "formula/token_list.h"
#include "geometry/exact.h"
#include "geometry/segments.h"

namespace polyfrep {

namespace {

// ---------------------------------------------------------------------------
// Rays and positions along them

// The ray from `origin` in the direction origin - back. Every ray here starts
// at a polygon vertex and continues one of its edges, so both points are input
// points and every predicate on the ray is exact.
struct Ray {
  Point back;
  Point origin;
};

// Which side of the ray's line a point lies on: 1 left, -1 right, 0 on it.
int side_of(const Ray& ray, Point point) {
  return orientation_sign(ray.back, ray.origin, point);
}

// A position on a ray's line: a finite parameter (0 at `back`, 1 at
// `origin`, growing in the ray's direction) or one of its two infinite ends.
struct LinePosition {
  int infinite = 0;  // -1 or 1 for the ends of the line, 0 for a finite one
  LineParameter parameter;
};

int compare_positions(const LinePosition& s, const LinePosition& t) {
  if (s.infinite != 0 || t.infinite != 0) {
    return s.infinite == t.infinite ? 0 : (s.infinite < t.infinite ? -1 : 1);
  }
  const double a = s.parameter.approximation;
  const double b = t.parameter.approximation;
  // Two exactly known values (such as the origin against itself).
  if (s.parameter.error_bound == 0 && t.parameter.error_bound == 0) return (a > b) - (a < b);
  return compare_parameters(s.parameter, t.parameter);
}

// The two points that define the line sit at exactly 0 and 1. Saying so
// directly spares the exact evaluation that a parameter of exactly 0 needs
// (its rounded value has no relative accuracy), and the walks meet the
// vertex before the cut vertex on the line at every cut.
LinePosition position_of_point(const Ray& ray, Point point) {
  for (const double known : {0.0, 1.0}) {
    if (same_point(point, known == 0.0 ? ray.back : ray.origin)) {
      return {0, LineParameter{LineParameter::Kind::kProjection, ray.back, ray.origin, point, point,
                               known, 0.0}};
    }
  }
  return {0, projection_parameter(ray.back, ray.origin, point)};
}

LinePosition origin_position(const Ray& ray) {
  return position_of_point(ray, ray.origin);
}

// Where the line through a and b meets the ray's line; nullopt if parallel.
std::optional<LinePosition> position_of_crossing(const Ray& ray, Point a, Point b) {
  const std::optional<LineParameter> t = crossing_parameter(ray.back, ray.origin, a, b);
  if (!t) return std::nullopt;
  return LinePosition{0, *t};
}

// ---------------------------------------------------------------------------
// Curves that cut rays are tested against

// A point of a curve: a vertex, the crossing point of the curve's two end
// rays, or the far end of an end ray (direction `point` - `from`).
enum class PointKind { kVertex, kCrossing, kInfinity };

struct CurvePoint {
  PointKind kind;
  Point point;
  Point from;
};

// The line a piece of a curve lies on, through two input points.
struct PieceLine {
  Point a;
  Point b;
};

// A chain extended at both ends: the ray from its first vertex backwards, the
// chain, and the ray from its last vertex forwards. When those two rays cross,
// both stop at the crossing and the curve closes there.
class ExtendedChain {
 public:
  ExtendedChain(std::span<const Point> vertices, IndexChain chain, const HullTree* hulls = nullptr)
      : vertices_(vertices), chain_(chain), hulls_(hulls) {
    const Point first = vertex(0);
    const Point second = vertex(1);
    const Point before_last = vertex(chain.length - 2);
    const Point last = vertex(chain.length - 1);
    back_ray_ = {second, first};
    forward_ray_ = {before_last, last};
    crossing_ = proper_crossing(back_ray_, forward_ray_);
  }

  bool closed() const { return crossing_.has_value(); }
  // Open: far end of the back ray, the chain, far end of the forward ray.
  // Closed: the crossing, then the chain.
  std::size_t size() const { return static_cast<std::size_t>(chain_.length) + 2 - closed(); }
  std::size_t index_of_position(int position) const {
    return static_cast<std::size_t>(position) + 1;
  }

  CurvePoint point(std::size_t index) const {
    if (index == 0) {
      if (closed()) return {PointKind::kCrossing, crossing_->approximation, {}};
      return {PointKind::kInfinity, back_ray_.origin, back_ray_.back};
    }
    if (index == static_cast<std::size_t>(chain_.length) + 1) {
      return {PointKind::kInfinity, forward_ray_.origin, forward_ray_.back};
    }
    return {PointKind::kVertex, vertex(static_cast<int>(index) - 1), {}};
  }

  // The piece from point index to the next one (cyclically when closed).
  PieceLine piece_line(std::size_t index) const {
    if (index == 0) return {back_ray_.back, back_ray_.origin};
    if (index == static_cast<std::size_t>(chain_.length)) {
      return {forward_ray_.back, forward_ray_.origin};
    }
    return {vertex(static_cast<int>(index) - 1), vertex(static_cast<int>(index))};
  }

  const RationalPoint& crossing() const { return *crossing_; }

  std::size_t run_on_side(const Ray& ray, int side, std::size_t index, int step,
                          std::size_t limit) const;

 private:
  Point vertex(int position) const {
    const auto n = vertices_.size();
    return vertices_[(static_cast<std::size_t>(chain_.first) + static_cast<std::size_t>(position)) %
                     n];
  }

  static std::optional<RationalPoint> proper_crossing(const Ray& r, const Ray& s);

  std::span<const Point> vertices_;
  IndexChain chain_;
  const HullTree* hulls_;
  Ray back_ray_;
  Ray forward_ray_;
  std::optional<RationalPoint> crossing_;
};

bool strictly_ahead(const Ray& ray, const LinePosition& position) {
  return compare_positions(position, origin_position(ray)) > 0;
}

// Whether two rays cross at a point strictly ahead of both origins, decided
// from orientations of their defining points alone. With directions d_r and
// d_s and w = s.origin - r.origin, the crossing lies at parameters
// t = (w x d_s) / (d_r x d_s) on r and u = (w x d_r) / (d_r x d_s) on s.
bool rays_cross_ahead(const Ray& r, const Ray& s) {
  // Rays along the same two points are parallel: a chain's end ray and the
  // cut ray next to it are often that, and exact zeros are slow to prove.
  if ((same_point(r.back, s.back) && same_point(r.origin, s.origin)) ||
      (same_point(r.back, s.origin) && same_point(r.origin, s.back))) {
    return false;
  }
  const int denominator = cross_sign(r.back, r.origin, s.back, s.origin);
  if (denominator == 0) return false;
  const int t_sign = -orientation_sign(r.origin, s.origin, s.back) * denominator;
  const int u_sign = -orientation_sign(r.back, r.origin, s.origin) * denominator;
  return t_sign > 0 && u_sign > 0;
}

// The crossing point of two rays when it lies strictly ahead of both origins.
std::optional<RationalPoint> ExtendedChain::proper_crossing(const Ray& r, const Ray& s) {
  if (!rays_cross_ahead(r, s)) return std::nullopt;
  return line_intersection(r.back, r.origin, s.back, s.origin);
}

// The closed outline of the polygon, vertex by vertex.
class Outline {
 public:
  explicit Outline(std::span<const Point> vertices) : vertices_(vertices) {}
  bool closed() const { return true; }
  std::size_t size() const { return vertices_.size(); }
  CurvePoint point(std::size_t index) const { return {PointKind::kVertex, vertices_[index], {}}; }
  PieceLine piece_line(std::size_t index) const {
    return {vertices_[index], vertices_[(index + 1) % vertices_.size()]};
  }
  const RationalPoint& crossing() const { return no_crossing_; }
  std::size_t run_on_side(const Ray&, int, std::size_t, int, std::size_t) const { return 0; }

 private:
  std::span<const Point> vertices_;
  RationalPoint no_crossing_;
};

// ---------------------------------------------------------------------------
// Runs of vertices on one side of a ray's line, counted through the hull tree

bool strictly_on_side(const Ray& ray, int side, const NodeHull& hull) {
  const int disc = disc_side(ray.back, ray.origin, ray.origin, hull.disc());
  if (disc != 0) return disc == side;
  for (std::size_t k = 0; k < hull.size(); ++k) {
    if (side_of(ray, hull[k]) != side) return false;
  }
  return true;
}

// How many of the points, taken from the front (or from the back when
// `backwards`), lie strictly on `side` before the first that does not.
std::size_t points_on_side(const Ray& ray, int side, std::span<const Point> points,
                           bool backwards) {
  for (std::size_t k = 0; k < points.size(); ++k) {
    if (side_of(ray, points[backwards ? points.size() - 1 - k : k]) != side) return k;
  }
  return points.size();
}

std::span<const Point> block_vertices(const HullTree& tree, std::span<const Point> vertices,
                                      std::size_t leaf) {
  return vertices.subspan((leaf - tree.leaf_count) * kHullBlockSize, kHullBlockSize);
}

// Within a node known to hold a vertex off the side: the run before the
// first such vertex, found by descending towards it.
std::size_t run_into_node(const HullTree& tree, std::span<const Point> vertices, const Ray& ray,
                          int side, std::size_t node, bool backwards) {
  std::size_t run = 0;
  while (node < tree.leaf_count) {
    const std::size_t near = backwards ? 2 * node + 1 : 2 * node;
    const std::size_t far = backwards ? 2 * node : 2 * node + 1;
    if (strictly_on_side(ray, side, node_hull(tree, near))) {
      run += node_span(tree, near);
      node = far;
    } else {
      node = near;
    }
  }
  return run + points_on_side(ray, side, block_vertices(tree, vertices, node), backwards);
}

// How many of vertices[begin .. end), from begin up (or from end - 1 down
// when `backwards`), lie strictly on `side` before the first that does not.
// A node whose hull lies strictly on the side holds only such vertices, since
// the side is convex; the partial blocks at either end are walked.
std::size_t run_in_range(const HullTree& tree, std::span<const Point> vertices, const Ray& ray,
                         int side, std::size_t begin, std::size_t end, bool backwards) {
  const std::size_t first_block = (begin + kHullBlockSize - 1) / kHullBlockSize;
  const std::size_t end_block = end / kHullBlockSize;
  if (first_block >= end_block) {
    return points_on_side(ray, side, vertices.subspan(begin, end - begin), backwards);
  }
  const std::span<const Point> head = vertices.subspan(begin, first_block * kHullBlockSize - begin);
  const std::span<const Point> tail =
      vertices.subspan(end_block * kHullBlockSize, end - end_block * kHullBlockSize);
  const std::span<const Point> near_part = backwards ? tail : head;
  const std::span<const Point> far_part = backwards ? head : tail;
  std::size_t run = points_on_side(ray, side, near_part, backwards);
  if (run < near_part.size()) return run;
  // The nodes over the whole blocks: those found from the low end come in
  // increasing order, those from the high end in decreasing order.
  std::array<std::size_t, 64> from_low;
  std::array<std::size_t, 64> from_high;
  std::size_t low_count = 0;
  std::size_t high_count = 0;
  for (std::size_t low = first_block + tree.leaf_count, high = end_block + tree.leaf_count;
       low < high; low /= 2, high /= 2) {
    if ((low & 1) != 0) from_low[low_count++] = low++;
    if ((high & 1) != 0) from_high[high_count++] = --high;
  }
  const std::size_t node_count = low_count + high_count;
  for (std::size_t k = 0; k < node_count; ++k) {
    // Forwards: from_low in order, then from_high in reverse; backwards the
    // other way round.
    const std::size_t in_order = backwards ? node_count - 1 - k : k;
    const std::size_t node =
        in_order < low_count ? from_low[in_order] : from_high[node_count - 1 - in_order];
    if (!strictly_on_side(ray, side, node_hull(tree, node))) {
      return run + run_into_node(tree, vertices, ray, side, node, backwards);
    }
    run += node_span(tree, node);
  }
  return run + points_on_side(ray, side, far_part, backwards);
}

// How many of the `limit` points after point `index` in direction `step` are
// vertices strictly on `side` of the ray's line, before the first that is
// not. The walk below passes such points without changing its state.
std::size_t ExtendedChain::run_on_side(const Ray& ray, int side, std::size_t index, int step,
                                       std::size_t limit) const {
  if (hulls_ == nullptr || limit == 0) return 0;
  const std::size_t n = vertices_.size();
  // Point index k >= 1 is the chain's vertex at position k - 1.
  const std::size_t position = step > 0 ? index : index - 2;
  std::size_t start = (static_cast<std::size_t>(chain_.first) + position) % n;
  std::size_t run = 0;
  while (run < limit) {
    // The stretch of the array up to where the chain wraps.
    const std::size_t stretch = std::min(limit - run, step > 0 ? n - start : start + 1);
    const std::size_t begin = step > 0 ? start : start + 1 - stretch;
    const std::size_t found =
        run_in_range(*hulls_, vertices_, ray, side, begin, begin + stretch, step < 0);
    run += found;
    if (found < stretch) break;
    start = step > 0 ? 0 : n - 1;
  }
  return run;
}

// ---------------------------------------------------------------------------
// Does a cut ray cross a curve?

template <class Curve>
int side_of_curve_point(const Ray& ray, const Curve& curve, const CurvePoint& point,
                        int side_of_neighbour) {
  switch (point.kind) {
    case PointKind::kVertex:
      return side_of(ray, point.point);
    case PointKind::kCrossing:
      return orientation_sign(ray.back, ray.origin, curve.crossing());
    case PointKind::kInfinity: {
      // An end ray leaves for the side its direction points to; a ray
      // parallel to the line stays on its start's side.
      const int side = cross_sign(ray.back, ray.origin, point.from, point.point);
      return side != 0 ? side : side_of_neighbour;
    }
  }
  return 0;
}

// Position along the ray's line of a curve point that lies on that line.
template <class Curve>
LinePosition position_on_line(const Ray& ray, const Curve& curve, const CurvePoint& point) {
  switch (point.kind) {
    case PointKind::kVertex:
      return position_of_point(ray, point.point);
    case PointKind::kCrossing: {
      const RationalPoint& crossing = curve.crossing();
      if (auto position = position_of_crossing(ray, crossing.a, crossing.b)) return *position;
      if (auto position = position_of_crossing(ray, crossing.c, crossing.d)) return *position;
      return origin_position(ray);
    }
    case PointKind::kInfinity:
      return {dot_sign(ray.back, ray.origin, point.from, point.point) > 0 ? 1 : -1, {}};
  }
  return origin_position(ray);
}

// How a zero turn at the cut vertex is read: the part of the curve that goes
// straight on from it along the ray counts as lying on `side` (the side an
// infinitesimal turn of the join would give it), on the half of the curve
// that leaves the vertex in direction `half`.
struct StraightOn {
  int side = 0;  // 0 when the turn is not zero
  int half = 0;  // +1 the curve after the vertex, -1 the curve before it
};

// The point the walk reaches from `index` when it passes every following
// vertex strictly on `side`, never beyond the last vertex before the
// curve's end nor beyond `stop` on a closed curve.
template <class Curve>
std::size_t skip_run_on_side(const Ray& ray, const Curve& curve, int side, std::size_t index,
                             int step, std::size_t stop) {
  // Points 1 .. vertex_count are vertices; the closed curve's crossing, or
  // the far ends of the open one, lie beyond them.
  const std::size_t vertex_count = curve.size() - (curve.closed() ? 1 : 2);
  std::size_t limit = 0;
  if (step > 0 && index <= vertex_count) {
    limit = vertex_count - index;
    if (curve.closed() && stop > index) limit = std::min(limit, stop - index);
  } else if (step < 0 && index >= 1) {
    limit = index - 1;
    if (curve.closed() && stop < index && stop >= 1) limit = std::min(limit, index - stop);
  }
  const std::size_t run = curve.run_on_side(ray, side, index, step, limit);
  return step > 0 ? index + run : index - run;
}

// Walks one half of the curve away from the cut vertex at `start`, one step
// of `step` at a time, up to `stop` (a point off the ray's line; ignored for
// an open curve, whose halves end at its far ends). The ray conflicts with the
// curve when, strictly ahead of its origin, the curve passes from one side of
// the line to the other (directly or along a stretch on the line), or a piece
// of it lies on the ray running against the ray's direction.
template <class Curve>
bool half_conflicts(const Ray& ray, const Curve& curve, std::size_t start, int step,
                    std::size_t stop, int straight_on_side) {
  const std::size_t size = curve.size();
  const LinePosition origin = origin_position(ray);
  auto ahead = [&](const LinePosition& position) {
    return compare_positions(position, origin) > 0;
  };
  int current_side = straight_on_side;  // the strict side the walk is on
  bool straight_on = straight_on_side != 0;
  bool run_reaches_ahead = false;  // the stretch on the line reaches past the origin
  int previous_side = 0;
  LinePosition previous_position = origin;
  std::size_t previous = start;
  while (true) {
    if (previous_side != 0) {
      previous = skip_run_on_side(ray, curve, previous_side, previous, step, stop);
      if (curve.closed() && previous == stop) return false;
    }
    if (!curve.closed() && ((step < 0 && previous == 0) || (step > 0 && previous + 1 == size))) {
      return false;
    }
    const std::size_t next = step > 0 ? (previous + 1) % size : (previous + size - 1) % size;
    const CurvePoint point = curve.point(next);
    const int side = side_of_curve_point(ray, curve, point, previous_side);
    const PieceLine line = curve.piece_line(step > 0 ? previous : next);
    if (previous_side != 0 && side != 0) {
      if (previous_side != side) {
        const std::optional<LinePosition> crossing = position_of_crossing(ray, line.a, line.b);
        if (!crossing || ahead(*crossing)) return true;
      }
      current_side = side;
    } else if (previous_side != 0) {
      // The curve reaches the line at `next`.
      previous_position = position_on_line(ray, curve, point);
      run_reaches_ahead = ahead(previous_position);
    } else if (side != 0) {
      // The curve leaves the line at `previous`.
      if (straight_on) {
        if (side != straight_on_side) return true;
        straight_on = false;
      } else if (current_side != 0 && current_side != side && run_reaches_ahead) {
        return true;
      }
      current_side = side;
    } else {
      // A piece along the line.
      const LinePosition position = position_on_line(ray, curve, point);
      const int travel = compare_positions(position, previous_position);
      if (straight_on && travel <= 0) straight_on = false;
      if (!straight_on) {
        const int along_curve = step > 0 ? travel : -travel;
        if (along_curve < 0 && (ahead(position) || ahead(previous_position))) return true;
      }
      run_reaches_ahead = run_reaches_ahead || ahead(position);
      previous_position = position;
    }
    previous_side = side;
    previous = next;
    if (curve.closed() && previous == stop) return false;
  }
}

template <class Curve>
bool ray_conflicts(const Ray& ray, const Curve& curve, std::size_t vertex_index,
                   StraightOn straight_on) {
  std::size_t stop = vertex_index;
  if (curve.closed()) {
    // Both halves end at a point off the line, so that no stretch on the
    // line is split between them.
    const std::size_t size = curve.size();
    for (std::size_t k = 1; k < size; ++k) {
      const std::size_t index = (vertex_index + k) % size;
      if (side_of_curve_point(ray, curve, curve.point(index), 0) != 0) {
        stop = index;
        break;
      }
    }
    if (stop == vertex_index) return true;  // everything on one line: nothing to rely on
  }
  const int forward_side = straight_on.half > 0 ? straight_on.side : 0;
  const int backward_side = straight_on.half < 0 ? straight_on.side : 0;
  return half_conflicts(ray, curve, vertex_index, 1, stop, forward_side) ||
         half_conflicts(ray, curve, vertex_index, -1, stop, backward_side);
}

// ---------------------------------------------------------------------------
// The cut vertex and its two rays

struct CutCorner {
  Point before;
  Point at;
  Point after;
  int turn;  // exact sign
};

// A repeated vertex has no edge to continue, and a fold-back (a straight turn
// that reverses) sends the region back over itself: neither is ever cut.
bool is_cuttable(const CutCorner& corner) {
  if (same_point(corner.before, corner.at) || same_point(corner.at, corner.after)) return false;
  return corner.turn != 0 || dot_sign(corner.before, corner.at, corner.at, corner.after) > 0;
}

// The incoming edge continued beyond the vertex, and the outgoing edge
// continued backwards from it.
Ray incoming_ray(const CutCorner& corner) {
  return {corner.before, corner.at};
}
Ray outgoing_ray(const CutCorner& corner) {
  return {corner.after, corner.at};
}

// At a straight corner the join decides which side the straight continuation
// counts as: a union puts it right of the incoming ray and left of the
// outgoing ray, an intersection the reverse.
StraightOn incoming_straight_on(const CutCorner& corner, int join) {
  if (corner.turn != 0) return {};
  return {join == TOKEN_UNION ? -1 : 1, 1};
}
StraightOn outgoing_straight_on(const CutCorner& corner, int join) {
  if (corner.turn != 0) return {};
  return {join == TOKEN_UNION ? 1 : -1, -1};
}

template <class Curve>
bool cut_rays_conflict(const CutCorner& corner, int join, const Curve& curve,
                       std::size_t vertex_index) {
  return ray_conflicts(incoming_ray(corner), curve, vertex_index,
                       incoming_straight_on(corner, join)) ||
         ray_conflicts(outgoing_ray(corner), curve, vertex_index,
                       outgoing_straight_on(corner, join));
}

std::size_t wrap(long long index, std::size_t n) {
  const auto size = static_cast<long long>(n);
  return static_cast<std::size_t>(((index % size) + size) % size);
}

// `index` is below n, so its neighbours wrap at most once; no division.
CutCorner corner_at(std::span<const Point> vertices, const TurnTable& turns, std::size_t index) {
  const std::size_t n = vertices.size();
  const std::size_t before = index == 0 ? n - 1 : index - 1;
  const std::size_t after = index + 1 == n ? 0 : index + 1;
  return {vertices[before], vertices[index], vertices[after], turns.turn_sign[index]};
}

// Whether the turns at the vertices first, first + 1, ..., `count` of them
// (wrapping after the last vertex), all have one strict sign.
}  // namespace

bool interior_turns_share_one_strict_sign(const TurnTable& turns, IndexChain chain) {
  const std::size_t n = turns.turn_sign.size();
  const std::size_t first = (static_cast<std::size_t>(chain.first) + 1) % n;
  const auto count = static_cast<std::size_t>(chain.length - 2);
  if (count == 0) return true;
  const signed char sign = turns.turn_sign[first];
  if (sign == 0) return false;
  const auto run_end = static_cast<std::size_t>(turns.run_end[first]);
  if (first + count <= n) return run_end >= first + count;
  return run_end == n && turns.turn_sign[0] == sign &&
         static_cast<std::size_t>(turns.run_end[0]) >= first + count - n;
}

namespace {

// ---------------------------------------------------------------------------
// The top-level cut: the end rays of the two chains against each other

// A piece of an end ray: from its origin, either without end or up to where
// it crosses the other end ray of its chain.
struct RayPiece {
  Ray ray;
  std::optional<Ray> stopped_by;
};

// The two end rays of a chain, each stopped where they cross each other.
std::pair<RayPiece, RayPiece> end_ray_pieces(const Ray& back, const Ray& forward) {
  if (rays_cross_ahead(back, forward)) return {RayPiece{back, forward}, RayPiece{forward, back}};
  return {RayPiece{back, std::nullopt}, RayPiece{forward, std::nullopt}};
}

// Where a piece ends, as a position on the line of `line` (which must pass
// through that end); nullopt for a piece without end.
std::optional<LinePosition> piece_end_on(const RayPiece& piece, const Ray& line) {
  if (!piece.stopped_by) return std::nullopt;
  return position_of_crossing(line, piece.stopped_by->back, piece.stopped_by->origin);
}

// Strictly inside the piece: past its origin and before its end.
bool inside_piece(const RayPiece& piece, const LinePosition& position) {
  if (!strictly_ahead(piece.ray, position)) return false;
  const std::optional<LinePosition> end = piece_end_on(piece, piece.ray);
  return !end || compare_positions(position, *end) < 0;
}

// Two pieces conflict when they cross at a point inside both, or when they
// lie on one line, run in opposite directions and overlap in more than a point.
bool pieces_conflict(const RayPiece& p, const RayPiece& q) {
  const Ray& r = p.ray;
  const Ray& s = q.ray;
  if (cross_sign(r.back, r.origin, s.back, s.origin) != 0) {
    const std::optional<LinePosition> on_r = position_of_crossing(r, s.back, s.origin);
    const std::optional<LinePosition> on_s = position_of_crossing(s, r.back, r.origin);
    return on_r && on_s && inside_piece(p, *on_r) && inside_piece(q, *on_s);
  }
  if (orientation_sign(r.back, r.origin, s.origin) != 0) return false;  // parallel lines
  if (dot_sign(r.back, r.origin, s.back, s.origin) >= 0) return false;  // same direction
  // On r's line p covers (its origin, its end) and q, running the other way,
  // covers (its end, its origin).
  const LinePosition p_low = origin_position(r);
  const LinePosition p_high = piece_end_on(p, r).value_or(LinePosition{1, {}});
  const LinePosition q_low = piece_end_on(q, r).value_or(LinePosition{-1, {}});
  const LinePosition q_high = position_of_point(r, s.origin);
  const LinePosition& low = compare_positions(p_low, q_low) > 0 ? p_low : q_low;
  const LinePosition& high = compare_positions(p_high, q_high) < 0 ? p_high : q_high;
  return compare_positions(low, high) < 0;
}

// A chain's two end-ray pieces: the ray from its first vertex backwards and
// the ray from its last vertex forwards, each stopped where they cross.
struct ExtendedEnds {
  RayPiece back;
  RayPiece forward;
};

ExtendedEnds extended_ends(const ChainCutSetting& setting) {
  const Ray back{setting.second, setting.first};
  const Ray forward{setting.before_last, setting.last};
  if (setting.end_rays_cross) return {RayPiece{back, forward}, RayPiece{forward, back}};
  return {RayPiece{back, std::nullopt}, RayPiece{forward, std::nullopt}};
}

// Whether an end-ray piece of a chain crosses the cut ray at a point strictly
// ahead of the cut vertex and strictly inside the piece.
bool piece_crosses_ray(const Ray& cut, const RayPiece& piece) {
  if (!rays_cross_ahead(cut, piece.ray)) return false;
  if (!piece.stopped_by) return true;
  const std::optional<LinePosition> on_piece =
      position_of_crossing(piece.ray, cut.back, cut.origin);
  return on_piece && inside_piece(piece, *on_piece);
}

// For a cut ray from a strict hull corner, which misses the chain itself:
// whether the chain's end rays conflict with it. The first and last vertices
// lie in the hull, so never ahead of the cut vertex. An end piece that starts
// on the ray's line either leaves it there, behind the cut vertex, or runs
// along it; running towards the cut vertex it would pass it and run on along
// the ray, which is left to the full walk (nullopt).
// When the conflict is that the ray crosses an end piece, `crossed_end` says
// which one.
std::optional<bool> end_rays_conflict(const Ray& cut, const ExtendedEnds& ends,
                                      ChainEnd& crossed_end) {
  const RayPiece& back = ends.back;
  const RayPiece& forward = ends.forward;
  const int first_side = side_of(cut, back.ray.origin);
  const int last_side = side_of(cut, forward.ray.origin);
  bool conflict = false;
  ChainEnd crossed = ChainEnd::kNone;
  for (const auto& [piece, side, end] : {std::tuple{back, first_side, ChainEnd::kBack},
                                         std::tuple{forward, last_side, ChainEnd::kForward}}) {
    if (side != 0) {
      if (!conflict && piece_crosses_ray(cut, piece)) {
        conflict = true;
        crossed = end;
      }
    } else if (!(same_point(cut.back, piece.ray.origin) &&
                 same_point(cut.origin, piece.ray.back)) &&
               cross_sign(cut.back, cut.origin, piece.ray.back, piece.ray.origin) == 0 &&
               dot_sign(cut.back, cut.origin, piece.ray.back, piece.ray.origin) > 0) {
      // (A piece along the cut ray's own edge runs against the ray, away from
      // the cut vertex.)
      return std::nullopt;
    }
  }
  if (conflict) {
    crossed_end = crossed;
    return true;
  }
  // The curve closes where the end rays cross; passing through that point on
  // the ray moves from the first vertex's side to the last one's. With either
  // end on the line, that point is off the ray or behind the cut vertex.
  if (first_side == 0 || last_side == 0 || first_side == last_side || !back.stopped_by) {
    return false;
  }
  const std::optional<RationalPoint> closing =
      line_intersection(back.ray.back, back.ray.origin, forward.ray.back, forward.ray.origin);
  if (!closing || orientation_sign(cut.back, cut.origin, *closing) != 0) return false;
  const std::optional<LinePosition> position =
      position_of_crossing(cut, back.ray.back, back.ray.origin);
  return position && strictly_ahead(cut, *position);
}

// The end-ray verdicts for both cut rays of a corner: a conflict found there
// is a conflict whatever the rest of the chain does; "no conflict" holds for
// the whole chain only when the corner is a strict extreme point.
struct EndRayVerdict {
  bool conflict = false;
  bool decided = false;  // both rays were judged
  // The end piece a cut ray crosses, and which ray, if that is the conflict.
  EndCrossing crossed;
};

EndRayVerdict corner_rays_against_ends(const CutCorner& corner, const ExtendedEnds& ends) {
  ChainEnd crossed_end = ChainEnd::kNone;
  const std::optional<bool> incoming = end_rays_conflict(incoming_ray(corner), ends, crossed_end);
  if (incoming == true) return {true, true, {crossed_end, false}};
  const std::optional<bool> outgoing = end_rays_conflict(outgoing_ray(corner), ends, crossed_end);
  if (outgoing == true) return {true, true, {crossed_end, true}};
  return {false, incoming.has_value() && outgoing.has_value(), {}};
}

}  // namespace

namespace {

// The cone at `apex` spanned by the directions to the points seen so far,
// from `right` counter-clockwise to `left`, kept below a half turn.
class DirectionCone {
 public:
  explicit DirectionCone(Point apex) : apex_(apex), left_(apex), right_(apex) {}

  // Adds a point; false once the directions span a half turn or more.
  bool add(Point point) {
    if (opened_) {
      // The common case, decided by the same filter as orientation_sign with
      // the two boundary directions' differences formed once.
      const double px = point.x - apex_.x;
      const double py = point.y - apex_.y;
      const double left_first = left_dx_ * py;
      const double left_second = left_dy_ * px;
      const double right_first = right_dx_ * py;
      const double right_second = right_dy_ * px;
      const double from_left = left_first - left_second;
      const double from_right = right_first - right_second;
      const double left_bound =
          kTwoProductRelativeBound * (std::fabs(left_first) + std::fabs(left_second));
      const double right_bound =
          kTwoProductRelativeBound * (std::fabs(right_first) + std::fabs(right_second));
      if (left_bound > 1e-280 && left_bound < 1e280 && right_bound > 1e-280 &&
          right_bound < 1e280 && std::fabs(from_left) > left_bound &&
          std::fabs(from_right) > right_bound) {
        if (from_left < 0 && from_right > 0) return true;
        if ((from_left > 0) == (from_right > 0)) return widen(point, from_left > 0);
        return false;
      }
    }
    if (same_point(point, apex_)) return true;
    if (same_point(left_, apex_)) {
      left_ = right_ = point;
      return true;
    }
    const int from_left = orientation_sign(apex_, left_, point);
    const int from_right = orientation_sign(apex_, right_, point);
    if (!opened_ && from_left == 0) {
      // On the line of the single direction so far: along it, or a half turn.
      return dot_sign(apex_, left_, apex_, point) > 0;
    }
    if (from_left <= 0 && from_right >= 0) return true;  // inside the cone
    if (from_left > 0 && from_right > 0) return widen(point, true);
    if (from_left < 0 && from_right < 0) return widen(point, false);
    return false;
  }

  bool has_direction() const { return !same_point(left_, apex_); }

 private:
  // Moves the left or the right boundary out to the point.
  bool widen(Point point, bool on_the_left) {
    (on_the_left ? left_ : right_) = point;
    opened_ = true;
    left_dx_ = left_.x - apex_.x;
    left_dy_ = left_.y - apex_.y;
    right_dx_ = right_.x - apex_.x;
    right_dy_ = right_.y - apex_.y;
    return true;
  }

  Point apex_;
  Point left_;
  Point right_;
  bool opened_ = false;
  double left_dx_ = 0;
  double left_dy_ = 0;
  double right_dx_ = 0;
  double right_dy_ = 0;
};

}  // namespace

// Below this length a chain's vertices are walked directly: the hulls of its
// runs would hold nearly as many points.
constexpr int kHullTreeChainLength = 64;

namespace {

// The line through `apex` parallel to from -> to, and the side of it every
// point but the apex must lie strictly on: a certificate that the apex is a
// strict extreme point. Where the chain winds round itself (a spiral), its
// runs' hulls are as large as the runs, and the cone walk would visit every
// vertex; a hull is asked about the line in a logarithmic number of tests.
struct SupportLine {
  Point from;
  Point to;
  Point apex;
  int side = 0;
};

// Whether c lies strictly on the line's side.
bool beyond(const SupportLine& line, Point c) {
  return cross_sign(line.from, line.to, line.apex, c) == line.side;
}

// How the distance to the line, counted positive on its side, changes from
// a to b: 1 when it rises, -1 when it falls, 0 when it stays.
int distance_change(const SupportLine& line, Point a, Point b) {
  return cross_sign(line.from, line.to, a, b) * line.side;
}

// A corner of a strict hull (counter-clockwise from its smallest corner in
// (x, y) order) whose distance to the line's side is least. From the
// smallest corner to the largest, the edges' directions lie within a half
// turn, and so do those of the way back: along each of the two chains the
// distance first falls and then rises, or first rises and then falls, and
// its least value is at a chain's end or where it stops falling.
std::size_t least_corner(const NodeHull& hull, const SupportLine& line) {
  const std::size_t k = hull.size();
  const auto corner = [&](std::size_t i) { return hull[i % k]; };
  const std::size_t largest = first_failing(std::size_t{0}, k - 1, [&](std::size_t i) {
    return hull[i].x < hull[i + 1].x || (hull[i].x == hull[i + 1].x && hull[i].y < hull[i + 1].y);
  });
  const auto falls = [&](std::size_t i) {
    return distance_change(line, corner(i), corner(i + 1)) < 0;
  };
  const std::array<std::size_t, 4> candidates = {0, largest,
                                                 first_failing(std::size_t{0}, largest, falls),
                                                 first_failing(largest, k, falls) % k};
  std::size_t least = candidates[0];
  for (const std::size_t candidate : candidates) {
    if (distance_change(line, hull[least], hull[candidate]) < 0) least = candidate;
  }
  return least;
}

bool hull_beyond(const NodeHull& hull, const SupportLine& line) {
  if (hull.empty()) return true;
  if (disc_side(line.from, line.to, line.apex, hull.disc()) == line.side) return true;
  const std::size_t k = hull.size();
  const std::size_t least = least_corner(hull, line);
  if (!same_point(hull[least], line.apex)) return beyond(line, hull[least]);
  // The apex is a corner, the only one on the line: the distance rises from
  // it both ways round, so its neighbours decide.
  return k == 1 || (beyond(line, hull[(least + 1) % k]) && beyond(line, hull[(least + k - 1) % k]));
}

bool points_beyond(std::span<const Point> points, const SupportLine& line) {
  return std::all_of(points.begin(), points.end(), [&](const Point& point) {
    return same_point(point, line.apex) || beyond(line, point);
  });
}

// Whether the line parallel to the chord between the vertex's neighbours
// leaves every other vertex of the chain strictly on the neighbours' side:
// then the vertex is a strict extreme point. False says nothing.
bool chord_line_supports(std::span<const Point> vertices, IndexChain chain, int position,
                         const HullTree& hulls) {
  if (position < 1 || position > chain.length - 2) return false;
  const std::size_t n = vertices.size();
  const auto at = [&](int offset) {
    return vertices[(static_cast<std::size_t>(chain.first) + static_cast<std::size_t>(offset)) % n];
  };
  SupportLine line{at(position - 1), at(position + 1), at(position), 0};
  line.side = cross_sign(line.from, line.to, line.apex, line.from);
  if (line.side == 0) return false;
  const auto first = static_cast<std::size_t>(chain.first);
  const auto length = static_cast<std::size_t>(chain.length);
  const std::size_t first_run = std::min(length, n - first);
  const auto points = [&line](std::span<const Point> run) { return points_beyond(run, line); };
  const auto hull = [&line](const NodeHull& corners) { return hull_beyond(corners, line); };
  return visit_run_hulls(hulls, vertices, first, first + first_run, points, hull) &&
         visit_run_hulls(hulls, vertices, 0, length - first_run, points, hull);
}

}  // namespace

bool is_strict_extreme_point(std::span<const Point> vertices, IndexChain chain, int position,
                             const HullTree* hulls) {
  const std::size_t n = vertices.size();
  const auto first = static_cast<std::size_t>(chain.first);
  const auto length = static_cast<std::size_t>(chain.length);
  DirectionCone cone(vertices[(first + static_cast<std::size_t>(position)) % n]);
  // For the vertices of a run (a span) and a node's hull corners alike.
  const auto add_all = [&cone](const auto& points) {
    for (std::size_t k = 0; k < points.size(); ++k) {
      if (!cone.add(points[k])) return false;
    }
    return true;
  };
  // The chain's vertices as at most two runs of the array (it may wrap).
  const std::size_t first_run = std::min(length, n - first);
  const std::size_t second_run = length - first_run;
  if (hulls != nullptr && chain.length >= kHullTreeChainLength) {
    if (chord_line_supports(vertices, chain, position, *hulls)) return true;
    // The cone at a vertex that holds a set of points holds their hull's
    // corners, and conversely: a point of the set other than the apex is a
    // mix of corners in which some corner other than the apex has weight, so
    // it lies strictly on the far side of every line at the apex that has
    // those corners strictly on its far side.
    return visit_run_hulls(*hulls, vertices, first, first + first_run, add_all) &&
           visit_run_hulls(*hulls, vertices, 0, second_run, add_all) && cone.has_direction();
  }
  return add_all(vertices.subspan(first, first_run)) && add_all(vertices.first(second_run)) &&
         cone.has_direction();
}

TurnTable make_turn_table(std::span<const Point> vertices) {
  const std::size_t n = vertices.size();
  TurnTable turns;
  turns.turn_sign.resize(n);
  turns.run_end.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const Point before = vertices[wrap(static_cast<long long>(i) - 1, n)];
    const Point after = vertices[(i + 1) % n];
    turns.turn_sign[i] = static_cast<signed char>(orientation_sign(before, vertices[i], after));
  }
  for (std::size_t i = n; i-- > 0;) {
    const bool run_goes_on = i + 1 < n && turns.turn_sign[i + 1] == turns.turn_sign[i];
    turns.run_end[i] = run_goes_on ? turns.run_end[i + 1] : static_cast<int>(i + 1);
  }
  return turns;
}

bool is_strictly_convex(const TurnTable& turns) {
  const std::size_t n = turns.turn_sign.size();
  return n > 0 && turns.turn_sign[0] > 0 && static_cast<std::size_t>(turns.run_end[0]) == n;
}

namespace {

constexpr std::size_t kEdgesPerLeaf = 32;

using EdgeBox = PolygonEdgeIndex::Box;

EdgeBox box_around(Point a, Point b) {
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

EdgeBox merged(const EdgeBox& a, const EdgeBox& b) {
  return {std::min(a.min_x, b.min_x), std::min(a.min_y, b.min_y), std::max(a.max_x, b.max_x),
          std::max(a.max_y, b.max_y)};
}

// A ray set up for slab tests against many boxes: its origin, its direction
// and the direction's reciprocals, per axis.
struct SlabRay {
  double origin[2];
  double direction[2];
  double reciprocal[2];
};

SlabRay slab_ray(const Ray& ray) {
  const double dx = ray.origin.x - ray.back.x;
  const double dy = ray.origin.y - ray.back.y;
  return {{ray.origin.x, ray.origin.y}, {dx, dy}, {1 / dx, 1 / dy}};
}

// Whether the ray may meet the box: a slab test on a box grown by a small
// margin. It may answer yes too often, which only costs time; every crossing
// it leads to is confirmed exactly. A product with the reciprocal is within
// two units in the last place of the quotient, far inside the margin; where
// the reciprocal overflows, the products are infinite or not a number, and
// the test passes or, for a box wholly behind the origin, fails as the
// quotients would.
bool ray_may_meet(const SlabRay& ray, const EdgeBox& box) {
  const double low[2] = {box.min_x, box.min_y};
  const double high[2] = {box.max_x, box.max_y};
  double enter = 0;
  double leave = std::numeric_limits<double>::infinity();
  for (int axis = 0; axis < 2; ++axis) {
    const double margin = 1e-9 * (std::fabs(low[axis]) + std::fabs(high[axis]) + 1e-300);
    const double lo = low[axis] - margin;
    const double hi = high[axis] + margin;
    if (ray.direction[axis] == 0) {
      if (ray.origin[axis] < lo || ray.origin[axis] > hi) return false;
      continue;
    }
    double t_lo = (lo - ray.origin[axis]) * ray.reciprocal[axis];
    double t_hi = (hi - ray.origin[axis]) * ray.reciprocal[axis];
    if (t_lo > t_hi) std::swap(t_lo, t_hi);
    enter = std::max(enter, t_lo * (1 - 1e-9));
    leave = std::min(leave, t_hi * (1 + 1e-9));
    if (!(enter <= leave)) return false;
  }
  return true;
}

// The first edge from `begin` up to `end` (polygon edge numbers, not past
// the last edge) that passes from one side of the ray's line to the other at
// a point strictly ahead of the ray's origin, or -1. Along the line,
// f(X) = (b - a) x (X - a) is linear for the edge from a to b; its zero lies
// beyond the origin exactly when f(origin) is not zero and f(back) -
// f(origin) has the sign of f(origin). The side of every vertex is worked out
// once, not once for each of its two edges.
long long first_crossed_edge_in(const Ray& ray, std::span<const Point> vertices, std::size_t begin,
                                std::size_t end) {
  const std::size_t count = vertices.size();
  int side = orientation_sign(ray.back, ray.origin, vertices[begin]);
  for (std::size_t edge = begin; edge < end; ++edge) {
    const Point& a = vertices[edge];
    const Point& b = vertices[edge + 1 == count ? 0 : edge + 1];
    const int next_side = orientation_sign(ray.back, ray.origin, b);
    if (side * next_side < 0) {
      const int at_origin = orientation_sign(a, b, ray.origin);
      if (at_origin != 0 && cross_sign(a, b, ray.origin, ray.back) == at_origin) {
        return static_cast<long long>(edge);
      }
    }
    side = next_side;
  }
  return -1;
}

// Nodes over this many leaves or more are asked about their disc.
constexpr std::size_t kDiscAskedLeaves = 8;

// Whether the edges begin .. end - 1 of an index node all miss the ray's
// line: the node's disc in the hull tree holds the starts of its edges, and
// the last edge's end lies on the same side.
bool node_beside_line(const Ray& ray, const HullTree& hulls, std::size_t node, std::size_t end) {
  const int side = disc_side(ray.back, ray.origin, ray.origin, hulls.discs[node]);
  if (side == 0) return false;
  const Point last_end = hulls.vertices[end == hulls.vertex_count ? 0 : end];
  return side_of(ray, last_end) == side;
}

// A chain's edges as at most two runs [begin, end) of the polygon's edge
// numbers: the second is empty unless the chain wraps past the last vertex.
struct EdgeRuns {
  std::size_t first_begin, first_end, second_end;

  bool overlap(std::size_t begin, std::size_t end) const {
    return (begin < first_end && first_begin < end) || begin < second_end;
  }
};

EdgeRuns edge_runs(IndexChain chain, std::size_t edge_count) {
  const auto begin = static_cast<std::size_t>(chain.first);
  const std::size_t end = begin + static_cast<std::size_t>(chain.length) - 1;
  if (end <= edge_count) return {begin, end, 0};
  return {begin, edge_count, end - edge_count};
}

// The polygon's number of a chain edge the ray crosses, or -1. The tree's
// nodes are visited only where their edges overlap the chain's, and within a
// leaf only the chain's edges are tested. Of two subtrees, the one nearer
// the chain's middle is searched first: the repair remembers the crossed edge
// and passes over the cut while the chain keeps it, and chains shrink from
// their ends.
long long crossed_edge(const Ray& ray, const PolygonEdgeIndex& edges, IndexChain chain) {
  const std::size_t edge_count = edges.vertices.size();
  const EdgeRuns runs = edge_runs(chain, edge_count);
  const SlabRay slab = slab_ray(ray);
  struct Pending {
    std::size_t node, first_leaf, leaf_count;
  };
  // The tree is at most 64 levels deep, and a descent keeps at most one
  // pending sibling per level.
  std::array<Pending, 128> pending;
  std::size_t pending_count = 0;
  // Each run starts at the smallest subtree that holds it, so that a short
  // chain is not looked for from the root of a large polygon's tree.
  const auto subtree_of = [&](std::size_t begin, std::size_t end) {
    std::size_t low = begin / kEdgesPerLeaf;
    std::size_t high = (end - 1) / kEdgesPerLeaf;
    std::size_t span = 1;
    while (low != high) {
      low /= 2;
      high /= 2;
      span *= 2;
    }
    return Pending{edges.leaf_count / span + low, low * span, span};
  };
  // How far a subtree's middle edge lies from the chain's, along the chain.
  const long long middle = static_cast<long long>(chain.length - 1) / 2;
  const auto distance_from_middle = [&](std::size_t first_leaf, std::size_t leaf_count) {
    const auto centre = static_cast<long long>((2 * first_leaf + leaf_count) * kEdgesPerLeaf / 2);
    const auto count = static_cast<long long>(edge_count);
    // The centre of a padded subtree may lie past the last edge.
    long long offset = centre - chain.first;
    if (offset < 0) offset += count;
    if (offset >= count) offset %= count;
    return std::abs(offset - middle);
  };
  // The subtree nearer the middle is pushed last, and so searched first.
  const auto push_in_order = [&](Pending first, Pending second) {
    const bool second_nearer = distance_from_middle(second.first_leaf, second.leaf_count) <
                               distance_from_middle(first.first_leaf, first.leaf_count);
    pending[pending_count++] = second_nearer ? first : second;
    pending[pending_count++] = second_nearer ? second : first;
  };
  const Pending first_run = subtree_of(runs.first_begin, runs.first_end);
  if (runs.second_end > 0) {
    push_in_order(first_run, subtree_of(0, runs.second_end));
  } else {
    pending[pending_count++] = first_run;
  }
  while (pending_count > 0) {
    const Pending at = pending[--pending_count];
    const std::size_t begin = at.first_leaf * kEdgesPerLeaf;
    const std::size_t end = std::min((at.first_leaf + at.leaf_count) * kEdgesPerLeaf, edge_count);
    if (!runs.overlap(begin, end) || !ray_may_meet(slab, edges.boxes[at.node])) continue;
    if (edges.hulls != nullptr && at.leaf_count >= kDiscAskedLeaves &&
        node_beside_line(ray, *edges.hulls, at.node, end)) {
      continue;
    }
    if (at.leaf_count > 1) {
      const std::size_t half = at.leaf_count / 2;
      push_in_order({2 * at.node, at.first_leaf, half},
                    {2 * at.node + 1, at.first_leaf + half, half});
      continue;
    }
    // The leaf's edges that are the chain's, in order: where the run from
    // edge 0 (a wrapping chain's second) and the chain's first run overlap it.
    for (const auto& [run_begin, run_end] : {std::pair{std::size_t{0}, runs.second_end},
                                             std::pair{runs.first_begin, runs.first_end}}) {
      const std::size_t from = std::max(begin, run_begin);
      const std::size_t to = std::min(end, run_end);
      if (from >= to) continue;
      const long long crossed = first_crossed_edge_in(ray, edges.vertices, from, to);
      if (crossed >= 0) return crossed;
    }
  }
  return -1;
}

}  // namespace

PolygonEdgeIndex make_polygon_edge_index(std::span<const Point> vertices) {
  PolygonEdgeIndex index;
  index.vertices = vertices;
  const std::size_t edge_count = vertices.size();
  std::size_t leaves = 1;
  while (leaves * kEdgesPerLeaf < edge_count)
    leaves *= 2;
  index.leaf_count = leaves;
  // Empty leaves get an empty box (min above max), which no ray meets.
  const EdgeBox empty{1, 1, -1, -1};
  index.boxes.assign(2 * leaves, empty);
  for (std::size_t edge = 0; edge < edge_count; ++edge) {
    EdgeBox& leaf = index.boxes[leaves + edge / kEdgesPerLeaf];
    const EdgeBox box = box_around(vertices[edge], vertices[(edge + 1) % edge_count]);
    leaf = edge % kEdgesPerLeaf == 0 ? box : merged(leaf, box);
  }
  for (std::size_t node = leaves - 1; node >= 1; --node) {
    const EdgeBox& left = index.boxes[2 * node];
    const EdgeBox& right = index.boxes[2 * node + 1];
    index.boxes[node] = right.min_x > right.max_x ? left : merged(left, right);
  }
  return index;
}

void attach_hull_tree(PolygonEdgeIndex& index, const HullTree& hulls) {
  // The hull tree's blocks are twice as long as the index's leaves; the two
  // trees number their nodes alike when their roots span the same vertices.
  if (index.leaf_count * kEdgesPerLeaf == hulls.leaf_count * kHullBlockSize &&
      hulls.vertices.data() == index.vertices.data()) {
    index.hulls = &hulls;
  }
}

ChainCutSetting make_chain_cut_setting(std::span<const Point> vertices, const TurnTable& turns,
                                       IndexChain chain) {
  ChainCutSetting setting;
  setting.chain = chain;
  setting.turns_share_one_sign = interior_turns_share_one_strict_sign(turns, chain);
  // Such a chain takes every cuttable cut; its end rays are never asked about.
  if (setting.turns_share_one_sign) return setting;
  const auto vertex = [&](int position) {
    return vertices[(static_cast<std::size_t>(chain.first) + static_cast<std::size_t>(position)) %
                    vertices.size()];
  };
  setting.first = vertex(0);
  setting.second = vertex(1);
  setting.before_last = vertex(chain.length - 2);
  setting.last = vertex(chain.length - 1);
  setting.end_rays_cross =
      rays_cross_ahead(Ray{setting.second, setting.first}, Ray{setting.before_last, setting.last});
  return setting;
}

bool chain_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns, IndexChain chain,
                        int cut_position, int join, const PolygonEdgeIndex* edges,
                        int* crossed_edge_start, const HullTree* hulls) {
  CrossedEdge crossed;
  const bool valid =
      chain_cut_is_valid(vertices, turns, make_chain_cut_setting(vertices, turns, chain),
                         cut_position, join, edges, &crossed, hulls);
  if (crossed_edge_start != nullptr && crossed.start >= 0) *crossed_edge_start = crossed.start;
  return valid;
}

bool chain_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns,
                        const ChainCutSetting& setting, int cut_position, int join,
                        const PolygonEdgeIndex* edges, CrossedEdge* crossed_edge_out,
                        const HullTree* hulls, EndCrossing* crossed_end) {
  const IndexChain chain = setting.chain;
  std::size_t index =
      static_cast<std::size_t>(chain.first) + static_cast<std::size_t>(cut_position);
  if (index >= vertices.size()) index -= vertices.size();
  const CutCorner corner = corner_at(vertices, turns, index);
  if (!is_cuttable(corner)) return false;
  // The join is taken from a floating-point turn; it must agree with the
  // exact one, or the parts are joined the wrong way.
  if ((corner.turn > 0 && join != TOKEN_INTERSECT) || (corner.turn < 0 && join != TOKEN_UNION)) {
    return false;
  }
  if (setting.turns_share_one_sign) return true;
  // The end rays first: they settle many cuts in constant time.
  const EndRayVerdict verdict = corner_rays_against_ends(corner, extended_ends(setting));
  if (verdict.conflict) {
    if (crossed_end != nullptr) *crossed_end = verdict.crossed;
    return false;
  }
  // A cut ray that crosses an edge of the chain strictly ahead conflicts.
  if (edges != nullptr) {
    bool outgoing = false;
    long long crossed = crossed_edge(incoming_ray(corner), *edges, chain);
    if (crossed < 0) {
      outgoing = true;
      crossed = crossed_edge(outgoing_ray(corner), *edges, chain);
    }
    if (crossed >= 0) {
      if (crossed_edge_out != nullptr) *crossed_edge_out = {static_cast<int>(crossed), outgoing};
      return false;
    }
  }
  if (verdict.decided && is_strict_extreme_point(vertices, chain, cut_position, hulls)) return true;
  const ExtendedChain curve(vertices, chain,
                            chain.length >= kHullTreeChainLength ? hulls : nullptr);
  return !cut_rays_conflict(corner, join, curve, curve.index_of_position(cut_position));
}

ShorteningWedge shortening_wedge(Point inward, Point apex, Point dropped) {
  return {inward, apex, dropped, cross_sign(inward, apex, apex, dropped)};
}

bool end_crossing_survives_shortening(const ShorteningWedge& wedge, Point ray_back,
                                      Point ray_origin) {
  // In the basis of the new end ray's direction (apex - inward) and the old
  // one's (dropped - apex), the cut ray's direction must have a positive
  // first part (it crosses the old ray into the wedge) and a negative second
  // part (it leaves across the new ray, strictly beyond the apex).
  if (wedge.sign == 0) return false;
  return cross_sign(ray_back, ray_origin, wedge.apex, wedge.dropped) == wedge.sign &&
         cross_sign(wedge.inward, wedge.apex, ray_back, ray_origin) == -wedge.sign;
}

bool crosses_shortened_end_ray(const ShorteningWedge& wedge, Point ray_back, Point ray_origin) {
  return rays_cross_ahead(Ray{ray_back, ray_origin}, Ray{wedge.inward, wedge.apex});
}

bool polygon_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns, int a, int b,
                          bool a_is_extreme, bool b_is_extreme) {
  if (is_strictly_convex(turns)) return true;
  const auto lo = static_cast<std::size_t>(std::min(a, b));
  const auto hi = static_cast<std::size_t>(std::max(a, b));
  const CutCorner at_lo = corner_at(vertices, turns, lo);
  const CutCorner at_hi = corner_at(vertices, turns, hi);
  for (const CutCorner& corner : {at_lo, at_hi}) {
    if (corner.turn < 0 || !is_cuttable(corner)) return false;
  }
  // The cut rays of a strict extreme point leave the hull and so miss the outline.
  const bool lo_is_strict = a < b ? a_is_extreme : b_is_extreme;
  const bool hi_is_strict = a < b ? b_is_extreme : a_is_extreme;
  const Outline outline(vertices);
  if ((!lo_is_strict && cut_rays_conflict(at_lo, TOKEN_INTERSECT, outline, lo)) ||
      (!hi_is_strict && cut_rays_conflict(at_hi, TOKEN_INTERSECT, outline, hi))) {
    return false;
  }
  // The first chain runs lo .. hi, the second hi .. lo; each has a back ray at
  // its first vertex and a forward ray at its last.
  const auto [first_back, first_forward] = end_ray_pieces(outgoing_ray(at_lo), incoming_ray(at_hi));
  const auto [second_back, second_forward] =
      end_ray_pieces(outgoing_ray(at_hi), incoming_ray(at_lo));
  return !pieces_conflict(first_back, second_back) &&
         !pieces_conflict(first_forward, second_forward);
}

}  // namespace polyfrep
