#pragma once

#include <cmath>
#include <optional>
#include <span>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// Exact geometric predicates on double coordinates.
//
// Every double is an exact dyadic rational, so each predicate below has one
// true answer: the sign (-1, 0 or 1) of a polynomial or rational expression in
// the input coordinates. A floating-point filter with a proven error bound
// answers the common case; when it cannot (the value is too close to zero, or
// an intermediate result overflowed or underflowed) the expression is
// evaluated again in exact integer arithmetic. The answers therefore never
// depend on rounding. Coordinates must be finite: a NaN or an infinity throws
// std::domain_error.

// The filter's bound on the rounding of l - r (or l + r), where l and r are
// products of two rounded coordinate differences: this factor times
// |l| + |r|, plus an absolute allowance for products that underflowed (each
// loses at most 2^-1075). Overflow makes the sum infinite or NaN, and the
// filter then refuses because no finite value exceeds the bound.
inline constexpr double kTwoProductRelativeBound = (3.0 + 16.0 * 0x1p-53) * 0x1p-53;
inline constexpr double kUnderflowSlop = 0x1p-1070;

// Sign of (b - a) x (c - a) where the filter below cannot tell: exactly
// zero for repeated points, otherwise in exact arithmetic.
int orientation_sign_unfiltered(Point a, Point b, Point c);

// Sign of (b - a) x (c - a): 1 when c lies strictly left of the directed line
// from a to b, -1 when strictly right, 0 when the three points are collinear.
// Inline: the cut tests ask it once per vertex of a chain, and the filter
// almost always answers.
inline int orientation_sign(Point a, Point b, Point c) {
  const double ux = b.x - a.x, uy = b.y - a.y, wx = c.x - a.x, wy = c.y - a.y;
  const double left = ux * wy;
  const double right = uy * wx;
  const double value = left - right;
  const double bound =
      kTwoProductRelativeBound * (std::fabs(left) + std::fabs(right)) + kUnderflowSlop;
  if (value > bound) return 1;
  if (value < -bound) return -1;
  return orientation_sign_unfiltered(a, b, c);
}

// cross_sign where the filter below cannot tell.
int cross_sign_unfiltered(Point a, Point b, Point c, Point d);

// Sign of (b - a) x (d - c): 1 when the direction c -> d points to the left of
// the direction a -> b, 0 when the two are parallel (or either is zero).
// Inline for the same reason as orientation_sign: the end-ray tests of a
// repair ask it for every position they try.
inline int cross_sign(Point a, Point b, Point c, Point d) {
  const double left = (b.x - a.x) * (d.y - c.y);
  const double right = (b.y - a.y) * (d.x - c.x);
  const double value = left - right;
  const double bound =
      kTwoProductRelativeBound * (std::fabs(left) + std::fabs(right)) + kUnderflowSlop;
  if (value > bound) return 1;
  if (value < -bound) return -1;
  return cross_sign_unfiltered(a, b, c, d);
}

// Sign of (b - a) . (d - c): 1 when the two directions point the same way
// (acute angle), 0 when they are perpendicular (or either is zero).
int dot_sign(Point a, Point b, Point c, Point d);

// A position p + t (q - p) on the reference line through p and q, given by
// its exact rational parameter t = numerator / denominator. The numerator and
// denominator are polynomials in the coordinates of the points stored here,
// so they are never rounded; `approximation` and `error_bound` let most
// comparisons be decided without exact arithmetic.
//
// t is measured in units of the direction q - p: 0 at p, 1 at q, negative
// behind p. Parameters on different reference lines can still be compared as
// numbers; they mean "which one is further along its own direction".
// Parameters are made by crossing_parameter and projection_parameter; the
// exact fraction itself is available from parameter_value (exact_value.h).
struct LineParameter {
  enum class Kind : unsigned char {
    // Where the line through `a` and `b` crosses the reference line:
    // t = ((b - a) x (a - p)) / ((b - a) x (q - p)).
    kCrossing,
    // The orthogonal projection of `a` onto the reference line (exactly the
    // point's own position when it lies on the line); `b` equals `a`:
    // t = ((a - p) . (q - p)) / ((q - p) . (q - p)).
    kProjection,
  };
  Kind kind = Kind::kProjection;
  Point origin{0, 0};   // p
  Point through{0, 0};  // q
  Point a{0, 0};
  Point b{0, 0};
  double approximation = 0;  // t rounded to a double (infinite beyond the double range)
  double error_bound = 0;    // |t - approximation| <= error_bound; inf if unknown
};

// The parameter on the line through p and q at which the line through a and b
// crosses it; nullopt when the two lines are parallel or either pair of
// points coincides, so that there is no single crossing.
std::optional<LineParameter> crossing_parameter(Point p, Point q, Point a, Point b);

// The parameter of the projection of v onto the line through p and q.
// Requires p != q (throws std::domain_error otherwise).
LineParameter projection_parameter(Point p, Point q, Point v);

// Sign of t: whether the position lies ahead of the reference line's origin
// (1), on it (0) or behind it (-1).
int parameter_sign(const LineParameter& t);

// Sign of s - t, decided exactly. The filter below settles clearly separated
// values; the rest goes to compare_parameters_exactly.
int compare_parameters_exactly(const LineParameter& s, const LineParameter& t);

// Slack on the sum of two error bounds: covers the rounding of the bound
// itself and of the subtraction of the two approximations.
inline constexpr double kParameterBoundSlack = 1.0 + 0x1p-40;

inline int compare_parameters(const LineParameter& s, const LineParameter& t) {
  const double difference = s.approximation - t.approximation;
  const double bound = (s.error_bound + t.error_bound) * kParameterBoundSlack;
  // Both tests fail on NaN or an infinite bound, which sends the pair to the
  // exact comparison.
  if (difference > bound) return 1;
  if (difference < -bound) return -1;
  return compare_parameters_exactly(s, t);
}

// Orders parameters exactly: rank[i] becomes the position of parameters[i]
// among the distinct values, in increasing order, equal values sharing one
// position. Returns the number of distinct values.
int rank_parameters(std::span<const LineParameter> parameters, std::vector<int>& rank);

// The crossing point of the line through a and b with the line through c and
// d. Its coordinates are rational; they are kept exact through the four
// defining points (point_value in exact_value.h gives the fractions), and
// `approximation` is a nearby double point for reports.
struct RationalPoint {
  Point a{0, 0};
  Point b{0, 0};
  Point c{0, 0};
  Point d{0, 0};
  Point approximation{0, 0};
};

// nullopt when the lines are parallel or either pair of points coincides.
std::optional<RationalPoint> line_intersection(Point a, Point b, Point c, Point d);

// Sign of (b - a) x (x - a) for the exact crossing point x: which side of the
// directed line from a to b the crossing lies on.
int orientation_sign(Point a, Point b, const RationalPoint& x);

}  // namespace polyfrep
