#include "formula/cut_validity.h"

#include <cmath>
#include <optional>

#include "formula/token_list.h"
#include "verify/exact.h"

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

// Sign of (b - a) x (c - a), with a floating-point filter in front of the
// exact predicate: the walks below ask it once per vertex of a chain, and the
// answer is almost always far from zero.
int fast_orientation(Point a, Point b, Point c) {
  const double left = (b.x - a.x) * (c.y - a.y);
  const double right = (b.y - a.y) * (c.x - a.x);
  const double determinant = left - right;
  const double magnitude = std::fabs(left) + std::fabs(right);
  // Relative error bound of this evaluation; tiny magnitudes may have
  // underflowed and huge ones overflowed, so those go to the exact test.
  constexpr double kErrorBound = 3.3306690738754716e-16;
  if (magnitude > 1e-280 && magnitude < 1e280) {
    if (determinant > kErrorBound * magnitude) return 1;
    if (-determinant > kErrorBound * magnitude) return -1;
  }
  return orientation_sign(a, b, c);
}

// Which side of the ray's line a point lies on: 1 left, -1 right, 0 on it.
int side_of(const Ray& ray, Point point) {
  return fast_orientation(ray.back, ray.origin, point);
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
  return compare_parameters(s.parameter, t.parameter);
}

LinePosition origin_position(const Ray& ray) {
  return {0, projection_parameter(ray.back, ray.origin, ray.origin)};
}

LinePosition position_of_point(const Ray& ray, Point point) {
  return {0, projection_parameter(ray.back, ray.origin, point)};
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
  ExtendedChain(std::span<const Point> vertices, IndexChain chain)
      : vertices_(vertices), chain_(chain) {
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
      return {PointKind::kInfinity, back_ray_.back, back_ray_.origin};
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

 private:
  Point vertex(int position) const {
    const auto n = vertices_.size();
    return vertices_[(static_cast<std::size_t>(chain_.first) + static_cast<std::size_t>(position)) %
                     n];
  }

  static std::optional<RationalPoint> proper_crossing(const Ray& r, const Ray& s);

  std::span<const Point> vertices_;
  IndexChain chain_;
  Ray back_ray_;
  Ray forward_ray_;
  std::optional<RationalPoint> crossing_;
};

bool strictly_ahead(const Ray& ray, const LinePosition& position) {
  return compare_positions(position, origin_position(ray)) > 0;
}

// The crossing point of two rays when it lies strictly ahead of both origins.
std::optional<RationalPoint> ExtendedChain::proper_crossing(const Ray& r, const Ray& s) {
  const std::optional<LinePosition> on_r = position_of_crossing(r, s.back, s.origin);
  const std::optional<LinePosition> on_s = position_of_crossing(s, r.back, r.origin);
  if (!on_r || !on_s || !strictly_ahead(r, *on_r) || !strictly_ahead(s, *on_s)) {
    return std::nullopt;
  }
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

 private:
  std::span<const Point> vertices_;
  RationalPoint no_crossing_;
};

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

bool same_point(Point a, Point b) {
  return a.x == b.x && a.y == b.y;
}

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

CutCorner corner_at(std::span<const Point> vertices, const TurnTable& turns, std::size_t index) {
  const std::size_t n = vertices.size();
  return {vertices[wrap(static_cast<long long>(index) - 1, n)], vertices[index],
          vertices[wrap(static_cast<long long>(index) + 1, n)], turns.turn_sign[index]};
}

// Counts of strict turns at the vertices first, first + 1, ..., `count` of them.
int turns_in_range(const std::vector<int>& before, std::size_t first, std::size_t count) {
  const std::size_t n = before.size() - 1;
  if (first + count <= n) return before[first + count] - before[first];
  return (before[n] - before[first]) + before[first + count - n];
}

bool interior_turns_share_one_strict_sign(const TurnTable& turns, IndexChain chain) {
  const std::size_t n = turns.turn_sign.size();
  const std::size_t first = (static_cast<std::size_t>(chain.first) + 1) % n;
  const auto interior = static_cast<std::size_t>(chain.length - 2);
  const int left = turns_in_range(turns.left_turns_before, first, interior);
  const int right = turns_in_range(turns.right_turns_before, first, interior);
  return left == static_cast<int>(interior) || right == static_cast<int>(interior);
}

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
  const std::optional<LinePosition> on_back =
      position_of_crossing(back, forward.back, forward.origin);
  const std::optional<LinePosition> on_forward =
      position_of_crossing(forward, back.back, back.origin);
  if (on_back && on_forward && strictly_ahead(back, *on_back) &&
      strictly_ahead(forward, *on_forward)) {
    return {RayPiece{back, forward}, RayPiece{forward, back}};
  }
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

}  // namespace

TurnTable make_turn_table(std::span<const Point> vertices) {
  const std::size_t n = vertices.size();
  TurnTable turns;
  turns.turn_sign.resize(n);
  turns.left_turns_before.assign(n + 1, 0);
  turns.right_turns_before.assign(n + 1, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const Point before = vertices[wrap(static_cast<long long>(i) - 1, n)];
    const Point after = vertices[(i + 1) % n];
    const int turn = fast_orientation(before, vertices[i], after);
    turns.turn_sign[i] = static_cast<signed char>(turn);
    turns.left_turns_before[i + 1] = turns.left_turns_before[i] + (turn > 0);
    turns.right_turns_before[i + 1] = turns.right_turns_before[i] + (turn < 0);
  }
  return turns;
}

bool is_strictly_convex(const TurnTable& turns) {
  const std::size_t n = turns.turn_sign.size();
  return turns.left_turns_before[n] == static_cast<int>(n);
}

bool chain_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns, IndexChain chain,
                        int cut_position, int join) {
  const std::size_t index =
      (static_cast<std::size_t>(chain.first) + static_cast<std::size_t>(cut_position)) %
      vertices.size();
  const CutCorner corner = corner_at(vertices, turns, index);
  if (!is_cuttable(corner)) return false;
  // The join is taken from a floating-point turn; it must agree with the
  // exact one, or the parts are joined the wrong way.
  if ((corner.turn > 0 && join != TOKEN_INTERSECT) || (corner.turn < 0 && join != TOKEN_UNION)) {
    return false;
  }
  if (interior_turns_share_one_strict_sign(turns, chain)) return true;
  const ExtendedChain curve(vertices, chain);
  return !cut_rays_conflict(corner, join, curve, curve.index_of_position(cut_position));
}

bool polygon_cut_is_valid(std::span<const Point> vertices, const TurnTable& turns, int a, int b) {
  if (is_strictly_convex(turns)) return true;
  const auto lo = static_cast<std::size_t>(std::min(a, b));
  const auto hi = static_cast<std::size_t>(std::max(a, b));
  const CutCorner at_lo = corner_at(vertices, turns, lo);
  const CutCorner at_hi = corner_at(vertices, turns, hi);
  for (const CutCorner& corner : {at_lo, at_hi}) {
    if (corner.turn < 0 || !is_cuttable(corner)) return false;
  }
  const Outline outline(vertices);
  if (cut_rays_conflict(at_lo, TOKEN_INTERSECT, outline, lo) ||
      cut_rays_conflict(at_hi, TOKEN_INTERSECT, outline, hi)) {
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
