#include "geometry/exact.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <utility>

#include "geometry/exact_value.h"

namespace polyfrep {
namespace {

__extension__ typedef __int128 Int128;

constexpr double kUnitRoundoff = 0x1p-53;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr int kUndecided = 2;

void require_finite(Point point) {
  if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
    throw std::domain_error("exact predicates need finite coordinates");
  }
}

// ---------------------------------------------------------------------------
// Filter for l - r and l + r, where l and r are products of two rounded
// coordinate differences.

// A computed difference of 0 is exact (the two doubles are equal), and so is
// a product with such a factor: when both products have one, the exact value
// is 0. Parallel axis-aligned edges hit this case all the time.
bool both_products_vanish(double left_factor1, double left_factor2, double right_factor1,
                          double right_factor2) {
  return (left_factor1 == 0 || left_factor2 == 0) && (right_factor1 == 0 || right_factor2 == 0);
}

int filtered_two_product_sign(double value, double magnitude_sum) {
  const double bound = kTwoProductRelativeBound * magnitude_sum + kUnderflowSlop;
  if (value > bound) return 1;
  if (value < -bound) return -1;
  return kUndecided;
}

// ---------------------------------------------------------------------------
// Exact evaluation. Every double is mantissa * 2^exponent; scaling all inputs
// of a homogeneous polynomial by one power of two turns them into integers
// without changing the sign of the result. Inputs of few significant bits
// (integer grids, short decimals) fit 128-bit integers; the rest use GMP.

struct DyadicParts {
  std::int64_t mantissa = 0;  // odd, or 0 for the value 0
  int exponent = 0;
};

DyadicParts split_double(double value) {
  if (value == 0) return {};
  int exponent = 0;
  const double fraction = std::frexp(value, &exponent);  // 0.5 <= |fraction| < 1
  auto mantissa = static_cast<std::int64_t>(std::ldexp(fraction, 53));
  exponent -= 53;
  const int zeros = std::countr_zero(static_cast<std::uint64_t>(mantissa));
  mantissa /= std::int64_t{1} << zeros;
  return {mantissa, exponent + zeros};
}

template <class Number>
struct Vector {
  Number x;
  Number y;
};

int sign_of(Int128 value) {
  return (value > 0) - (value < 0);
}
int sign_of(const mpz_class& value) {
  return sgn(value);
}

template <class Number>
Number scaled_integer(DyadicParts part, int lowest_exponent);

// Zero carries no exponent of its own, so it is never shifted.
template <>
Int128 scaled_integer<Int128>(DyadicParts part, int lowest_exponent) {
  if (part.mantissa == 0) return 0;
  return static_cast<Int128>(part.mantissa) * (Int128{1} << (part.exponent - lowest_exponent));
}

template <>
mpz_class scaled_integer<mpz_class>(DyadicParts part, int lowest_exponent) {
  if (part.mantissa == 0) return 0;
  mpz_class result(static_cast<signed long>(part.mantissa));
  mpz_mul_2exp(result.get_mpz_t(), result.get_mpz_t(),
               static_cast<mp_bitcnt_t>(part.exponent - lowest_exponent));
  return result;
}

template <class Number, std::size_t N>
std::array<Vector<Number>, N> scaled_vectors(const std::array<DyadicParts, 2 * N>& parts,
                                             int lowest_exponent) {
  std::array<Vector<Number>, N> vectors;
  for (std::size_t i = 0; i < N; ++i) {
    vectors[i].x = scaled_integer<Number>(parts[2 * i], lowest_exponent);
    vectors[i].y = scaled_integer<Number>(parts[2 * i + 1], lowest_exponent);
  }
  return vectors;
}

// The points' coordinates under one common power-of-two scale.
template <std::size_t N>
struct ScaledPoints {
  std::array<DyadicParts, 2 * N> parts;
  int lowest_exponent = 0;  // the scale is 2^-lowest_exponent
  int bits = 0;             // every scaled coordinate is below 2^bits in magnitude
};

template <std::size_t N>
ScaledPoints<N> scale_points(const std::array<Point, N>& points) {
  ScaledPoints<N> scaled;
  for (std::size_t i = 0; i < N; ++i) {
    scaled.parts[2 * i] = split_double(points[i].x);
    scaled.parts[2 * i + 1] = split_double(points[i].y);
  }
  int lowest_exponent = std::numeric_limits<int>::max();
  for (const DyadicParts& part : scaled.parts) {
    if (part.mantissa != 0) lowest_exponent = std::min(lowest_exponent, part.exponent);
  }
  if (lowest_exponent == std::numeric_limits<int>::max()) return scaled;  // all zero
  scaled.lowest_exponent = lowest_exponent;
  for (const DyadicParts& part : scaled.parts) {
    if (part.mantissa == 0) continue;
    const auto magnitude = static_cast<std::uint64_t>(std::llabs(part.mantissa));
    scaled.bits = std::max(
        scaled.bits, part.exponent - lowest_exponent + static_cast<int>(std::bit_width(magnitude)));
  }
  return scaled;
}

// Calls expression(vectors) with the points as integer vectors under one
// common scale, so `expression` must be homogeneous in the coordinates.
// `small_bits` is the largest input size (in bits) for which the expression
// cannot overflow 128-bit integers; larger inputs use GMP.
template <std::size_t N, class Expression>
auto evaluate_exactly(const std::array<Point, N>& points, int small_bits,
                      const Expression& expression) {
  const ScaledPoints<N> scaled = scale_points(points);
  if (scaled.bits <= small_bits) {
    return expression(scaled_vectors<Int128, N>(scaled.parts, scaled.lowest_exponent));
  }
  return expression(scaled_vectors<mpz_class, N>(scaled.parts, scaled.lowest_exponent));
}

// The same with GMP integers throughout, for results that are numbers.
template <std::size_t N, class Expression>
auto evaluate_with_big_integers(const std::array<Point, N>& points, const Expression& expression) {
  const ScaledPoints<N> scaled = scale_points(points);
  return expression(scaled_vectors<mpz_class, N>(scaled.parts, scaled.lowest_exponent));
}

// Input sizes that keep each expression within 128 bits: a degree-two
// expression of differences of b-bit integers stays below 2^(2b + 3), a
// degree-four one below 2^(4b + 7).
constexpr int kDegreeTwoSmallBits = 60;
constexpr int kDegreeFourSmallBits = 29;

template <class Number>
Vector<Number> minus(const Vector<Number>& to, const Vector<Number>& from) {
  return {Number(to.x - from.x), Number(to.y - from.y)};
}

template <class Number>
Number cross(const Vector<Number>& u, const Vector<Number>& w) {
  return Number(u.x * w.y - u.y * w.x);
}

template <class Number>
Number dot(const Vector<Number>& u, const Vector<Number>& w) {
  return Number(u.x * w.x + u.y * w.y);
}

// Numerator and denominator of a parameter, from its points (origin, through,
// a, b) at positions first .. first + 3 of `v`.
template <class Number, std::size_t N>
std::pair<Number, Number> parameter_terms(LineParameter::Kind kind,
                                          const std::array<Vector<Number>, N>& v,
                                          std::size_t first) {
  const Vector<Number>& origin = v[first];
  const Vector<Number> direction = minus(v[first + 1], origin);
  const Vector<Number>& a = v[first + 2];
  if (kind == LineParameter::Kind::kCrossing) {
    const Vector<Number> along = minus(v[first + 3], a);
    return {cross(along, minus(a, origin)), cross(along, direction)};
  }
  const Vector<Number> offset = minus(a, origin);
  return {dot(offset, direction), dot(direction, direction)};
}

std::array<Point, 4> parameter_points(const LineParameter& t) {
  return {t.origin, t.through, t.a, t.b};
}

// ---------------------------------------------------------------------------
// Running error bounds for the rational predicates: each value carries a
// bound on its distance from the exact result. Every bound is grown slightly
// to cover the rounding of its own computation, and gets an absolute term for
// underflow; an overflow shows up as an infinite or NaN bound.

struct Bounded {
  double value = 0;
  double error = 0;  // |exact - value| <= error
};

struct BoundedVector {
  Bounded x;
  Bounded y;
};

constexpr double kBoundGrowth = 1.0 + 0x1p-48;

Bounded operator*(Bounded f, Bounded g) {
  const double value = f.value * g.value;
  const double error = std::fabs(f.value) * g.error + std::fabs(g.value) * f.error +
                       f.error * g.error + kUnitRoundoff * std::fabs(value);
  return {value, error * kBoundGrowth + kUnderflowSlop};
}

Bounded operator-(Bounded f, Bounded g) {
  const double value = f.value - g.value;
  return {value, (f.error + g.error + kUnitRoundoff * std::fabs(value)) * kBoundGrowth};
}

Bounded operator+(Bounded f, Bounded g) {
  const double value = f.value + g.value;
  return {value, (f.error + g.error + kUnitRoundoff * std::fabs(value)) * kBoundGrowth};
}

Bounded cross(BoundedVector u, BoundedVector w) {
  return u.x * w.y - u.y * w.x;
}
Bounded dot(BoundedVector u, BoundedVector w) {
  return u.x * w.x + u.y * w.y;
}

bool sign_is_known(Bounded f) {
  return std::fabs(f.value) > f.error;
}

// n / d; requires sign_is_known(d). The exact quotient is within
// (n.error + |q| d.error) / (|d.value| - d.error) of the rounded operands'
// quotient q, plus the rounding of the division itself.
Bounded operator/(Bounded n, Bounded d) {
  const double value = n.value / d.value;
  const double margin = std::fabs(d.value) - d.error;
  const double error =
      (n.error + std::fabs(value) * d.error) / margin + kUnitRoundoff * std::fabs(value);
  return {value, error * kBoundGrowth + kUnderflowSlop};
}

// A difference vector already scaled by a power of two; its rounding error
// scales with it (a scaled component that underflows loses at most 2^-1075).
BoundedVector bounded_vector(double x, double y) {
  return {{x, kUnitRoundoff * std::fabs(x) + kUnderflowSlop},
          {y, kUnitRoundoff * std::fabs(y) + kUnderflowSlop}};
}

// Whether products of a few values of this magnitude can neither overflow nor
// underflow.
bool is_moderate(double magnitude) {
  return magnitude >= 0x1p-300 && magnitude <= 0x1p300;
}

// A power of two that brings `magnitude` near 1 when it is not moderate.
double normalizing_scale(double magnitude) {
  if (is_moderate(magnitude)) return 1.0;
  if (magnitude == 0 || !std::isfinite(magnitude)) return 1.0;
  return std::ldexp(1.0, std::clamp(-std::ilogb(magnitude), -1000, 1000));
}

struct Difference {
  double x;
  double y;
};

Difference difference(Point to, Point from) {
  return {to.x - from.x, to.y - from.y};
}

double magnitude(Difference d) {
  return std::max(std::fabs(d.x), std::fabs(d.y));
}

BoundedVector scaled(Difference d, double scale) {
  return bounded_vector(d.x * scale, d.y * scale);
}

// Parameters whose filtered bound is looser than this (relative to the value,
// or absolutely for values near 0) are recomputed once from the exact
// fraction, so that later comparisons of nearly parallel crossings stay cheap.
constexpr double kRefineRelativeError = 0x1p-30;
constexpr double kRefineAbsoluteError = 0x1p-1000;

// Sets the approximation from the exact value: a truncated fraction is within
// one unit in the last place of the double it gives.
void refine_from_exact_value(LineParameter& t) {
  const mpq_class exact = parameter_value(t);
  if (abs(exact) > mpq_class(std::numeric_limits<double>::max())) {
    t.approximation = sgn(exact) * kInfinity;
    t.error_bound = kInfinity;
    return;
  }
  t.approximation = exact.get_d();
  t.error_bound = std::fabs(t.approximation) * 0x1p-52 + 0x1p-1074;
}

// Sets t's approximation from a bounded numerator and denominator when their
// quotient is precise enough; returns false otherwise.
bool approximate_quotient(LineParameter& t, Bounded numerator, Bounded denominator) {
  if (!sign_is_known(denominator)) return false;
  const Bounded quotient = numerator / denominator;
  const double acceptable =
      std::max(std::fabs(quotient.value) * kRefineRelativeError, kRefineAbsoluteError);
  if (!(quotient.error <= acceptable)) return false;
  t.approximation = quotient.value;
  t.error_bound = quotient.error;
  return true;
}

// A two-product expression l - r (or l + r) with its static error bound.
Bounded two_product_value(double value, double left, double right) {
  return {value, kTwoProductRelativeBound * (std::fabs(left) + std::fabs(right)) + kUnderflowSlop};
}

Bounded cross_value(Difference u, Difference w) {
  const double left = u.x * w.y;
  const double right = u.y * w.x;
  return two_product_value(left - right, left, right);
}

Bounded dot_value(Difference u, Difference w) {
  const double left = u.x * w.x;
  const double right = u.y * w.y;
  return two_product_value(left + right, left, right);
}

// Whether every coordinate is an integer of at most 2^25 in magnitude: then
// their differences, the product of two differences and the sum or
// difference of two products are all integers below 2^53, exact in doubles.
// Outlines on an integer grid meet exactly parallel directions often, and
// the exact evaluation costs far more.
template <std::size_t N>
bool small_integers(const std::array<Point, N>& points) {
  constexpr double kLimit = 0x1p25;
  for (const Point& point : points) {
    if (!(std::fabs(point.x) <= kLimit && std::fabs(point.y) <= kLimit) ||
        point.x != std::trunc(point.x) || point.y != std::trunc(point.y)) {
      return false;
    }
  }
  return true;
}

int sign_of_double(double value) {
  return (value > 0.0 ? 1 : 0) - (value < 0.0 ? 1 : 0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Two-product predicates.

int orientation_sign_unfiltered(Point a, Point b, Point c) {
  // A repeated point makes the value exactly zero, which the filter cannot
  // tell from a value too close to call; rays through two vertices of an
  // outline meet this at every cut.
  if ((a.x == b.x && a.y == b.y) || (a.x == c.x && a.y == c.y) || (b.x == c.x && b.y == c.y))
    return 0;
  const double ux = b.x - a.x, uy = b.y - a.y, wx = c.x - a.x, wy = c.y - a.y;
  if (both_products_vanish(ux, wy, uy, wx) && std::isfinite(ux + uy + wx + wy)) return 0;
  if (small_integers(std::array<Point, 3>{a, b, c})) return sign_of_double(ux * wy - uy * wx);
  require_finite(a);
  require_finite(b);
  require_finite(c);
  return evaluate_exactly(std::array<Point, 3>{a, b, c}, kDegreeTwoSmallBits, [](const auto& v) {
    return sign_of(cross(minus(v[1], v[0]), minus(v[2], v[0])));
  });
}

namespace {

// The sign of l - r (right_sign -1) or l + r (right_sign 1), for the products
// l = left_1 * left_2 and r = right_1 * right_2 of coordinate differences of
// the four points: the filter first, `exact` on the points when it cannot
// tell.
template <typename Exact>
int two_product_sign(const std::array<Point, 4>& points, double left_1, double left_2,
                     double right_1, double right_2, double right_sign, Exact exact) {
  if (both_products_vanish(left_1, left_2, right_1, right_2) &&
      std::isfinite(left_1 + left_2 + right_1 + right_2)) {
    return 0;
  }
  const double left = left_1 * left_2;
  const double right = right_1 * right_2;
  const int sign =
      filtered_two_product_sign(left + right_sign * right, std::fabs(left) + std::fabs(right));
  if (sign != kUndecided) return sign;
  if (small_integers(points)) return sign_of_double(left + right_sign * right);
  for (const Point& point : points)
    require_finite(point);
  return evaluate_exactly(points, kDegreeTwoSmallBits, exact);
}

}  // namespace

int cross_sign_unfiltered(Point a, Point b, Point c, Point d) {
  const double ux = b.x - a.x, uy = b.y - a.y, wx = d.x - c.x, wy = d.y - c.y;
  return two_product_sign({a, b, c, d}, ux, wy, uy, wx, -1.0, [](const auto& v) {
    return sign_of(cross(minus(v[1], v[0]), minus(v[3], v[2])));
  });
}

int dot_sign(Point a, Point b, Point c, Point d) {
  const double ux = b.x - a.x, uy = b.y - a.y, wx = d.x - c.x, wy = d.y - c.y;
  return two_product_sign({a, b, c, d}, ux, wx, uy, wy, 1.0, [](const auto& v) {
    return sign_of(dot(minus(v[1], v[0]), minus(v[3], v[2])));
  });
}

// ---------------------------------------------------------------------------
// Line parameters.

// Parameters are approximated in up to three stages: plain doubles with a
// static error bound; for coordinates far from 1 in magnitude, differences
// rescaled by powers of two with running error bounds; and when neither is
// precise enough, the exact fraction rounded to a double.

std::optional<LineParameter> crossing_parameter(Point p, Point q, Point a, Point b) {
  for (Point point : {p, q, a, b})
    require_finite(point);
  LineParameter t{LineParameter::Kind::kCrossing, p, q, a, b, 0, 0};
  const Difference along = difference(b, a);
  const Difference offset = difference(a, p);
  const Difference direction = difference(q, p);
  if (both_products_vanish(along.x, direction.y, along.y, direction.x) &&
      std::isfinite(along.x + along.y + direction.x + direction.y)) {
    return std::nullopt;
  }
  const Bounded denominator = cross_value(along, direction);
  if (approximate_quotient(t, cross_value(along, offset), denominator)) return t;
  // t = (along x offset) / (along x direction) keeps its value when `along`
  // is scaled, and when `offset` and `direction` are scaled together.
  const double along_magnitude = magnitude(along);
  const double line_magnitude = std::max(magnitude(offset), magnitude(direction));
  if (!is_moderate(along_magnitude) || !is_moderate(line_magnitude)) {
    const BoundedVector along_vector = scaled(along, normalizing_scale(along_magnitude));
    const double line_scale = normalizing_scale(line_magnitude);
    const Bounded scaled_denominator = cross(along_vector, scaled(direction, line_scale));
    if (approximate_quotient(t, cross(along_vector, scaled(offset, line_scale)),
                             scaled_denominator)) {
      return t;
    }
  }
  if (!sign_is_known(denominator) && cross_sign(a, b, p, q) == 0) return std::nullopt;
  refine_from_exact_value(t);
  return t;
}

LineParameter projection_parameter(Point p, Point q, Point v) {
  for (Point point : {p, q, v})
    require_finite(point);
  if (p.x == q.x && p.y == q.y) {
    throw std::domain_error("a projection needs a line through two distinct points");
  }
  LineParameter t{LineParameter::Kind::kProjection, p, q, v, v, 0, 0};
  const Difference offset = difference(v, p);
  const Difference direction = difference(q, p);
  if (approximate_quotient(t, dot_value(offset, direction), dot_value(direction, direction))) {
    return t;
  }
  const double line_magnitude = std::max(magnitude(offset), magnitude(direction));
  if (!is_moderate(line_magnitude)) {
    const double scale = normalizing_scale(line_magnitude);
    const BoundedVector direction_vector = scaled(direction, scale);
    if (approximate_quotient(t, dot(scaled(offset, scale), direction_vector),
                             dot(direction_vector, direction_vector))) {
      return t;
    }
  }
  refine_from_exact_value(t);
  return t;
}

int parameter_sign(const LineParameter& t) {
  if (std::fabs(t.approximation) > t.error_bound) return t.approximation > 0 ? 1 : -1;
  if (t.kind == LineParameter::Kind::kCrossing) {
    return cross_sign(t.a, t.b, t.origin, t.a) * cross_sign(t.a, t.b, t.origin, t.through);
  }
  return dot_sign(t.origin, t.a, t.origin, t.through);
}

int compare_parameters_exactly(const LineParameter& s, const LineParameter& t) {
  const std::array<Point, 8> points{s.origin, s.through, s.a, s.b, t.origin, t.through, t.a, t.b};
  return evaluate_exactly(points, kDegreeFourSmallBits, [&](const auto& v) {
    const auto [s_numerator, s_denominator] = parameter_terms(s.kind, v, 0);
    const auto [t_numerator, t_denominator] = parameter_terms(t.kind, v, 4);
    const int denominator_signs = sign_of(s_denominator) * sign_of(t_denominator);
    if (denominator_signs == 0) {
      throw std::domain_error("a line parameter of parallel lines has no value");
    }
    using Number = std::decay_t<decltype(s_numerator)>;
    return sign_of(Number(s_numerator * t_denominator - t_numerator * s_denominator)) *
           denominator_signs;
  });
}

mpq_class parameter_value(const LineParameter& t) {
  return evaluate_with_big_integers(parameter_points(t), [&](const auto& v) {
    const auto [numerator, denominator] = parameter_terms(t.kind, v, 0);
    if (sgn(denominator) == 0) {
      throw std::domain_error("a line parameter of parallel lines has no value");
    }
    mpq_class value(numerator, denominator);
    value.canonicalize();
    return value;
  });
}

namespace {

// A parameter's filter data kept close together for fast comparisons while
// sorting, with its index for the exact comparison.
struct SortEntry {
  double approximation;
  double error_bound;
  int index;
};

int compare_entries(std::span<const LineParameter> parameters, const SortEntry& s,
                    const SortEntry& t) {
  const double difference = s.approximation - t.approximation;
  const double bound = (s.error_bound + t.error_bound) * kParameterBoundSlack;
  if (difference > bound) return 1;
  if (difference < -bound) return -1;
  return compare_parameters_exactly(parameters[s.index], parameters[t.index]);
}

}  // namespace

// Sorting by the rounded values alone nearly always gives the exact order
// already; one pass over neighbours confirms it and finds the equal ones, and
// only a failed confirmation costs a second sort with exact comparisons.
int rank_parameters(std::span<const LineParameter> parameters, std::vector<int>& rank) {
  std::vector<SortEntry> entries;
  entries.reserve(parameters.size());
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    entries.push_back(
        {parameters[i].approximation, parameters[i].error_bound, static_cast<int>(i)});
  }
  std::sort(entries.begin(), entries.end(), [](const SortEntry& s, const SortEntry& t) {
    return s.approximation < t.approximation;
  });
  std::vector<signed char> order(entries.size(), 0);  // order[i]: entry i - 1 against entry i
  for (std::size_t i = 1; i < entries.size(); ++i) {
    order[i] = static_cast<signed char>(compare_entries(parameters, entries[i - 1], entries[i]));
    if (order[i] <= 0) continue;
    std::sort(entries.begin(), entries.end(), [&](const SortEntry& s, const SortEntry& t) {
      return compare_entries(parameters, s, t) < 0;
    });
    for (std::size_t k = 1; k < entries.size(); ++k) {
      order[k] = static_cast<signed char>(compare_entries(parameters, entries[k - 1], entries[k]));
    }
    break;
  }
  rank.assign(parameters.size(), 0);
  int distinct = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i == 0 || order[i] != 0) ++distinct;
    rank[entries[i].index] = distinct - 1;
  }
  return distinct;
}

// ---------------------------------------------------------------------------
// Crossing points.

namespace {

// Coordinates of the crossing a + s (b - a), s = ((c - a) x (d - c)) / ((b - a) x (d - c)).
RationalCoordinates crossing_coordinates(Point a, Point b, Point c, Point d) {
  const mpq_class ax(a.x), ay(a.y), bx(b.x), by(b.y), cx(c.x), cy(c.y), dx(d.x), dy(d.y);
  const mpq_class ux = bx - ax, uy = by - ay, wx = dx - cx, wy = dy - cy;
  const mpq_class denominator = ux * wy - uy * wx;
  if (sgn(denominator) == 0) throw std::domain_error("parallel lines have no crossing point");
  const mpq_class s = ((cx - ax) * wy - (cy - ay) * wx) / denominator;
  return {ax + s * ux, ay + s * uy};
}

}  // namespace

RationalCoordinates point_value(const RationalPoint& point) {
  return crossing_coordinates(point.a, point.b, point.c, point.d);
}

std::optional<RationalPoint> line_intersection(Point a, Point b, Point c, Point d) {
  for (Point point : {a, b, c, d})
    require_finite(point);
  if (cross_sign(a, b, c, d) == 0) return std::nullopt;
  RationalPoint crossing{a, b, c, d, {0, 0}};
  const Difference along = difference(b, a);
  const Difference other = difference(d, c);
  const Difference offset = difference(c, a);
  const double scale =
      normalizing_scale(std::max({magnitude(along), magnitude(other), magnitude(offset)}));
  const BoundedVector other_vector = scaled(other, scale);
  const Bounded denominator = cross(scaled(along, scale), other_vector);
  if (sign_is_known(denominator)) {
    const Bounded s = cross(scaled(offset, scale), other_vector) / denominator;
    const Point estimate{a.x + s.value * along.x, a.y + s.value * along.y};
    if (s.error <= std::fabs(s.value) * kRefineRelativeError && std::isfinite(estimate.x) &&
        std::isfinite(estimate.y)) {
      crossing.approximation = estimate;
      return crossing;
    }
  }
  const RationalCoordinates exact = crossing_coordinates(a, b, c, d);
  crossing.approximation = {exact.x.get_d(), exact.y.get_d()};
  return crossing;
}

int orientation_sign(Point a, Point b, const RationalPoint& x) {
  require_finite(a);
  require_finite(b);
  // With x = x.a + s (x.b - x.a) and s = C / W:
  // (b - a) x (x - a) = ((b - a) x (x.a - a) * W + (b - a) x (x.b - x.a) * C) / W.
  const int crossing_sign = cross_sign(x.a, x.b, x.c, x.d);
  if (crossing_sign == 0) throw std::domain_error("parallel lines have no crossing point");
  const Difference query = difference(b, a);
  const Difference start = difference(x.a, a);
  const Difference along = difference(x.b, x.a);
  const Difference other = difference(x.d, x.c);
  const Difference offset = difference(x.c, x.a);
  const double scale = normalizing_scale(std::max(
      {magnitude(query), magnitude(start), magnitude(along), magnitude(other), magnitude(offset)}));
  const BoundedVector query_vector = scaled(query, scale);
  const BoundedVector along_vector = scaled(along, scale);
  const BoundedVector other_vector = scaled(other, scale);
  const Bounded numerator =
      cross(query_vector, scaled(start, scale)) * cross(along_vector, other_vector) +
      cross(query_vector, along_vector) * cross(scaled(offset, scale), other_vector);
  if (sign_is_known(numerator)) return (numerator.value > 0 ? 1 : -1) * crossing_sign;
  const std::array<Point, 6> points{a, b, x.a, x.b, x.c, x.d};
  return evaluate_exactly(
             points, kDegreeFourSmallBits,
             [](const auto& v) {
               const auto query_exact = minus(v[1], v[0]);
               const auto along_exact = minus(v[3], v[2]);
               const auto other_exact = minus(v[5], v[4]);
               const auto start_term = cross(query_exact, minus(v[2], v[0]));
               const auto turn_term = cross(query_exact, along_exact);
               const auto denominator = cross(along_exact, other_exact);
               const auto numerator = cross(minus(v[4], v[2]), other_exact);
               using Number = std::decay_t<decltype(denominator)>;
               return sign_of(Number(start_term * denominator + turn_term * numerator));
             }) *
         crossing_sign;
}

}  // namespace polyfrep
