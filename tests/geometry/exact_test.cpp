#include "geometry/exact.h"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "geometry/exact_value.h"

namespace polyfrep {
namespace {

// Reference values computed directly in GMP rationals, independently of the
// library's scaled-integer arithmetic and of its filters.
struct RationalVector {
  mpq_class x;
  mpq_class y;
};

RationalVector rational(Point p) {
  return {mpq_class(p.x), mpq_class(p.y)};
}

RationalVector operator-(const RationalVector& u, const RationalVector& w) {
  return {u.x - w.x, u.y - w.y};
}

mpq_class cross(const RationalVector& u, const RationalVector& w) {
  return u.x * w.y - u.y * w.x;
}
mpq_class dot(const RationalVector& u, const RationalVector& w) {
  return u.x * w.x + u.y * w.y;
}

int reference_orientation(Point a, Point b, Point c) {
  return sgn(cross(rational(b) - rational(a), rational(c) - rational(a)));
}

int reference_cross(Point a, Point b, Point c, Point d) {
  return sgn(cross(rational(b) - rational(a), rational(d) - rational(c)));
}

int reference_dot(Point a, Point b, Point c, Point d) {
  return sgn(dot(rational(b) - rational(a), rational(d) - rational(c)));
}

// t with p + t (q - p) on the line through a and b, solved directly.
mpq_class reference_crossing(Point p, Point q, Point a, Point b) {
  const RationalVector direction = rational(q) - rational(p);
  const RationalVector along = rational(b) - rational(a);
  return cross(along, rational(a) - rational(p)) / cross(along, direction);
}

mpq_class reference_projection(Point p, Point q, Point v) {
  const RationalVector direction = rational(q) - rational(p);
  return dot(rational(v) - rational(p), direction) / dot(direction, direction);
}

int naive_orientation(Point a, Point b, Point c) {
  const double value = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  return (value > 0) - (value < 0);
}

// The well-known failure of the plain double formula: points one unit in the
// last place apart around (0.5, 0.5), tested against the diagonal through
// (12, 12) and (24, 24).
TEST(OrientationSign, NearDiagonalGridMatchesExactWhereDoublesFail) {
  const Point b{12, 12};
  const Point c{24, 24};
  int naive_wrong = 0;
  for (int k = 0; k < 256; ++k) {
    for (int l = 0; l < 256; ++l) {
      const Point a{0.5 + k * 0x1p-53, 0.5 + l * 0x1p-53};
      const int expected = reference_orientation(a, b, c);
      ASSERT_EQ(orientation_sign(a, b, c), expected) << k << " " << l;
      ASSERT_EQ(orientation_sign(b, c, a), expected) << k << " " << l;
      ASSERT_EQ(orientation_sign(c, a, b), expected) << k << " " << l;
      ASSERT_EQ(orientation_sign(b, a, c), -expected) << k << " " << l;
      if (naive_orientation(a, b, c) != expected) ++naive_wrong;
    }
  }
  // The grid is only a meaningful test if plain doubles do get it wrong.
  EXPECT_GT(naive_wrong, 1000);
}

// (x, y) with ux * y - uy * x = gcd(ux, uy), by the extended Euclidean algorithm.
std::pair<long long, long long> bezout_step(long long ux, long long uy) {
  long long old_r = uy, r = ux, old_s = 1, s = 0, old_t = 0, t = 1;
  while (r != 0) {
    const long long q = old_r / r;
    old_r = std::exchange(r, old_r - q * r);
    old_s = std::exchange(s, old_s - q * s);
    old_t = std::exchange(t, old_t - q * t);
  }
  // old_s * uy + old_t * ux = old_r
  return {-old_s, old_t};
}

// Integer triples whose orientation is +-1 while the products it is made of
// reach 2^54: up to coordinates of 2^25 plain doubles are exact (and the
// predicates may use them); beyond, they are not, and the predicates must not.
TEST(OrientationSign, IntegerTriplesAtTheEdgeOfExactDoubles) {
  std::mt19937_64 random(3);
  for (const long long limit : {1LL << 25, (1LL << 26) - 1}) {
    std::uniform_int_distribution<long long> near_edge(limit - 1000, limit);
    int naive_wrong = 0;
    int tried = 0;
    for (int k = 0; k < 2000; ++k) {
      const long long ax = -near_edge(random), ay = -near_edge(random);
      const long long bx = near_edge(random), by = near_edge(random) - limit / 2;
      const auto [dx, dy] = bezout_step(bx - ax, by - ay);
      // Next to b, so that c - a is as long as b - a.
      const long long cx = bx + dx, cy = by + dy;
      if (std::llabs(cx) > limit || std::llabs(cy) > limit) continue;
      ++tried;
      const Point a{double(ax), double(ay)}, b{double(bx), double(by)}, c{double(cx), double(cy)};
      const int expected = reference_orientation(a, b, c);
      ASSERT_EQ(orientation_sign(a, b, c), expected) << limit << " " << k;
      ASSERT_EQ(cross_sign(a, b, a, c), expected) << limit << " " << k;
      if (naive_orientation(a, b, c) != expected) ++naive_wrong;
    }
    EXPECT_GT(tried, 100) << limit;
    if (limit <= (1LL << 25)) {
      EXPECT_EQ(naive_wrong, 0);
    } else {
      EXPECT_GT(naive_wrong, 0) << "the triples no longer need more than doubles";
    }
  }
}

// Points rounded from an exact long line lie a few ulps off it on either side
// (or exactly on it); segments between them are nearly collinear.
TEST(ExactPredicates, NearlyCollinearLongSegments) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> position(-1.0, 1.0);
  const Point start{-3.0e6, -1.1e6};
  const Point end{7.0e6, 2.9e6 + 0.1};
  std::vector<Point> points;
  for (int i = 0; i < 200; ++i) {
    const double s = position(random);
    points.push_back({start.x + s * (end.x - start.x), start.y + s * (end.y - start.y)});
  }
  int zero_count = 0;
  for (std::size_t i = 0; i + 3 < points.size(); ++i) {
    const Point a = points[i], b = points[i + 1], c = points[i + 2], d = points[i + 3];
    const int orientation = orientation_sign(a, b, c);
    ASSERT_EQ(orientation, reference_orientation(a, b, c)) << i;
    ASSERT_EQ(cross_sign(a, b, c, d), reference_cross(a, b, c, d)) << i;
    ASSERT_EQ(dot_sign(a, b, c, d), reference_dot(a, b, c, d)) << i;
    ASSERT_EQ(orientation_sign(start, end, a), reference_orientation(start, end, a)) << i;
    if (orientation == 0) ++zero_count;
  }
  // Some triples are exactly collinear after rounding; most are not.
  EXPECT_LT(zero_count, 197);
}

// Coordinates far from 1 in magnitude: products overflow or underflow in
// doubles, so the filter must refuse and the exact path decide.
TEST(ExactPredicates, HugeAndTinyCoordinates) {
  const double huge = 1e308;
  const double tiny = 1e-300;
  const double smallest = std::numeric_limits<double>::denorm_min();
  const struct {
    Point a, b, c, d;
  } cases[] = {
      {{-huge, -huge}, {huge, huge}, {0, smallest}, {huge, -huge}},
      {{-huge, -huge}, {huge, huge}, {0, 0}, {-huge, huge}},
      {{huge, 0}, {0, huge}, {huge / 2, huge / 2}, {huge / 2 + 1e292, huge / 2}},
      {{0, 0}, {tiny, tiny}, {2 * tiny, 2 * tiny}, {3 * tiny, 2 * tiny}},
      {{0, 0}, {tiny, 3 * tiny}, {2 * tiny, 6 * tiny + 1e-315}, {-tiny, tiny}},
      {{0, 0}, {smallest, smallest}, {2 * smallest, 2 * smallest}, {5 * smallest, -smallest}},
      {{0, 0}, {smallest, 2 * smallest}, {3 * smallest, 7 * smallest}, {smallest, 0}},
      {{tiny, huge}, {2 * tiny, -huge}, {3 * tiny, 0}, {0, 1}},
      {{1e-200, 1e-200}, {3e-200, 3e-200}, {1e200, 1e200}, {-1e200, 1e-200}},
      {{1e150, 1e150}, {1e150 + 1e134, 1e150 + 1e134}, {1e150 - 1e134, 1e150 - 1e134}, {0, 0}},
  };
  for (const auto& c : cases) {
    const Point points[] = {c.a, c.b, c.c, c.d};
    for (const Point p : points) {
      for (const Point q : points) {
        for (const Point r : points) {
          ASSERT_EQ(orientation_sign(p, q, r), reference_orientation(p, q, r));
          for (const Point s : points) {
            ASSERT_EQ(cross_sign(p, q, r, s), reference_cross(p, q, r, s));
            ASSERT_EQ(dot_sign(p, q, r, s), reference_dot(p, q, r, s));
          }
        }
      }
    }
  }
}

TEST(ExactPredicates, RejectNonFiniteCoordinates) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_THROW(orientation_sign(Point{0, 0}, Point{1, 1}, Point{nan, 0}), std::domain_error);
  EXPECT_THROW(cross_sign({0, 0}, {inf, 1}, {0, 0}, {1, 0}), std::domain_error);
  EXPECT_THROW(dot_sign({0, 0}, {1, 1}, {0, -inf}, {1, 0}), std::domain_error);
  EXPECT_THROW(crossing_parameter({0, 0}, {1, 0}, {0, nan}, {1, 1}), std::domain_error);
  EXPECT_THROW(projection_parameter({0, 0}, {0, 0}, {1, 1}), std::domain_error);
}

// Random points from several families: generic, small integers (many exact
// ties), points rounded onto a few shared lines (near ties), coordinates
// spread over the whole exponent range, and coordinates drawn from a few
// values that mix small odd integers with large ones, so that exact ties
// need integers of 35 or 64 bits, and integers on both sides of 2^25.
class PointSource {
 public:
  explicit PointSource(std::uint64_t seed) : random_(seed) {}

  Point next(int family) {
    switch (family) {
      case 0:
        return {uniform(-10, 10), uniform(-10, 10)};
      case 1:
        return {small_integer(), small_integer()};
      case 2: {
        const double s = uniform(-1, 1) * 1e3;
        const Point base = kLineBases[line_choice(random_)];
        return {base.x + s * 0.1, base.y + s * 0.7};
      }
      case 3:
        return {wide(), wide()};
      case 4:
        return {pick(kMediumValues), pick(kMediumValues)};
      case 5:
        return {pick(kLargeValues), pick(kLargeValues)};
      default:
        return {pick(kGridEdgeValues), pick(kGridEdgeValues)};
    }
  }

  static constexpr int kFamilyCount = 7;

 private:
  static constexpr Point kLineBases[3] = {{0.1, 0.3}, {-2.5, 7.75}, {1e-3, 1e3}};
  static constexpr double kMediumValues[] = {-3, -1, 0, 1, 2, 0x1p34, 0x1p34 + 1, -0x1p34 - 3};
  static constexpr double kLargeValues[] = {-1, 1, 3, 0x1p62, 0x1p62 + 0x1p10, -0x1p62, 0x1p63};
  // Integers on both sides of 2^25, up to which products of differences are
  // exact in doubles.
  static constexpr double kGridEdgeValues[] = {-0x1p26 + 3, -0x1p25, -0x1p25 + 1, -1,        0, 2,
                                               0x1p25 - 1,  0x1p25,  0x1p25 + 1,  0x1p26 - 1};

  template <std::size_t N>
  double pick(const double (&values)[N]) {
    return values[std::uniform_int_distribution<std::size_t>(0, N - 1)(random_)];
  }

  double uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random_);
  }
  double small_integer() { return std::uniform_int_distribution<int>(-4, 4)(random_); }
  double wide() {
    const double mantissa = uniform(-1, 1);
    const int exponent = std::uniform_int_distribution<int>(-1070, 1020)(random_);
    return std::ldexp(mantissa, exponent);
  }

  std::mt19937_64 random_;
  std::uniform_int_distribution<int> line_choice{0, 2};
};

TEST(ExactPredicates, AgreeWithRationalReferenceOnRandomPoints) {
  PointSource source(2024);
  std::mt19937_64 random(99);
  std::uniform_int_distribution<int> family(0, PointSource::kFamilyCount - 1);
  for (int i = 0; i < 40000; ++i) {
    // Mixing families inside one query puts very different magnitudes side by side.
    const int shared = family(random);
    const int chosen = i % 4 == 0 ? -1 : shared;
    auto next = [&] { return source.next(chosen < 0 ? family(random) : chosen); };
    const Point a = next(), b = next(), c = next(), d = next();
    ASSERT_EQ(orientation_sign(a, b, c), reference_orientation(a, b, c)) << i;
    ASSERT_EQ(cross_sign(a, b, c, d), reference_cross(a, b, c, d)) << i;
    ASSERT_EQ(dot_sign(a, b, c, d), reference_dot(a, b, c, d)) << i;
  }
}

// The parameters' stored bounds must really contain the exact value, their
// signs and comparisons must match the reference, and parallel lines must
// give no crossing.
TEST(LineParameters, AgreeWithRationalReferenceOnRandomLines) {
  PointSource source(5);
  std::mt19937_64 random(17);
  std::uniform_int_distribution<int> family(0, PointSource::kFamilyCount - 1);
  int compared = 0;
  int ties = 0;
  for (int i = 0; i < 6000; ++i) {
    const int kind = family(random);
    const Point p = source.next(kind), q = source.next(kind);
    if (p.x == q.x && p.y == q.y) continue;
    std::vector<LineParameter> parameters;
    std::vector<mpq_class> expected;
    for (int j = 0; j < 4; ++j) {
      const Point a = source.next(kind), b = source.next(kind);
      const std::optional<LineParameter> crossing = crossing_parameter(p, q, a, b);
      const bool parallel = sgn(cross(rational(b) - rational(a), rational(q) - rational(p))) == 0;
      ASSERT_EQ(crossing.has_value(), !parallel) << i;
      if (crossing) {
        parameters.push_back(*crossing);
        expected.push_back(reference_crossing(p, q, a, b));
      }
      parameters.push_back(projection_parameter(p, q, a));
      expected.push_back(reference_projection(p, q, a));
    }
    for (std::size_t j = 0; j < parameters.size(); ++j) {
      const LineParameter& t = parameters[j];
      ASSERT_EQ(parameter_value(t), expected[j]) << i;
      ASSERT_EQ(parameter_sign(t), sgn(expected[j])) << i;
      if (std::isfinite(t.error_bound)) {
        ASSERT_LE(abs(expected[j] - mpq_class(t.approximation)), mpq_class(t.error_bound)) << i;
      }
      for (std::size_t k = 0; k < parameters.size(); ++k) {
        const int want = cmp(expected[j], expected[k]);
        ASSERT_EQ(compare_parameters(parameters[j], parameters[k]), (want > 0) - (want < 0)) << i;
        ++compared;
        if (j != k && want == 0) ++ties;
      }
    }
  }
  EXPECT_GT(compared, 200000);
  EXPECT_GT(ties, 100);  // the small-integer family must produce exact ties
}

// Lines through one point of the reference line cross it at the same place:
// the comparison must say "equal", also against the point's own projection.
TEST(LineParameters, ConcurrentLinesGiveEqualParameters) {
  const struct {
    Point p, q, shared, other1, other2;
  } cases[] = {
      {{0, 0}, {3, 1}, {1.5, 0.5}, {0.1, 7}, {-4, 2.3}},
      {{0.1, 0.2}, {0.7, 0.3}, {0.1, 0.2}, {1, 1}, {-0.3, 5}},
      {{0x1p-1000, 0}, {0x3p-1000, 0x1p-1000}, {0x5p-1000, 0x2p-1000}, {0, 1e-290}, {7e-300, -1}},
      {{-1e300, 1e300}, {1e300, -1e300}, {0, 0}, {1e-300, 1}, {-1, 1e300}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(reference_orientation(c.p, c.q, c.shared), 0);
    ASSERT_EQ(orientation_sign(c.p, c.q, c.shared), 0);
    const auto first = crossing_parameter(c.p, c.q, c.shared, c.other1);
    const auto second = crossing_parameter(c.p, c.q, c.other2, c.shared);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(compare_parameters(*first, *second), 0);
    EXPECT_EQ(parameter_value(*first), reference_crossing(c.p, c.q, c.shared, c.other1));
    EXPECT_EQ(compare_parameters(*first, projection_parameter(c.p, c.q, c.shared)), 0);
  }
  // The reference line's own end points are exactly 0 and 1.
  const Point p{0.1, 0.3}, q{0.7, -0.2};
  EXPECT_EQ(parameter_value(projection_parameter(p, q, p)), 0);
  EXPECT_EQ(parameter_value(projection_parameter(p, q, q)), 1);
}

// Composite questions answered with the parameters: whether a segment
// crosses a ray strictly ahead of its origin, and which of two rays reaches
// their common crossing first.
TEST(LineParameters, AnswerRayQuestions) {
  // Segment from (2, -1) to (2, 1) against rays from the origin.
  const Point s0{2, -1}, s1{2, 1};
  const struct {
    Point origin, through;
    bool crosses_ahead;
  } rays[] = {
      {{0, 0}, {1, 0}, true},     {{0, 0}, {-1, 0}, false}, {{2, 0}, {3, 0}, false},
      {{1, 0}, {1.5, 0.1}, true}, {{3, 0}, {2.5, 0}, true},
  };
  for (const auto& r : rays) {
    const bool straddles =
        orientation_sign(r.origin, r.through, s0) * orientation_sign(r.origin, r.through, s1) < 0;
    const auto t = crossing_parameter(r.origin, r.through, s0, s1);
    EXPECT_EQ(straddles && t && parameter_sign(*t) > 0, r.crosses_ahead)
        << r.through.x << " " << r.through.y;
  }
  // Two rays crossing at (1, 1): from (0, 0) with unit steps (1, 1) and from
  // (4, 1) with steps (-1, 0). The first needs one step, the second three.
  const auto first = crossing_parameter({0, 0}, {1, 1}, {4, 1}, {3, 1});
  const auto second = crossing_parameter({4, 1}, {3, 1}, {0, 0}, {1, 1});
  ASSERT_TRUE(first && second);
  EXPECT_EQ(parameter_value(*first), 1);
  EXPECT_EQ(parameter_value(*second), 3);
  EXPECT_EQ(compare_parameters(*first, *second), -1);
  // The crossing lies strictly before (2, 2) on the first ray and after (0.5, 0.5).
  EXPECT_EQ(compare_parameters(*first, projection_parameter({0, 0}, {1, 1}, {2, 2})), -1);
  EXPECT_EQ(compare_parameters(*first, projection_parameter({0, 0}, {1, 1}, {0.5, 0.5})), 1);
}

// Ranks as the exact values give them: positions among the distinct values.
std::vector<int> reference_ranks(const std::vector<mpq_class>& values) {
  std::vector<mpq_class> distinct = values;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  std::vector<int> ranks;
  for (const mpq_class& value : values) {
    ranks.push_back(static_cast<int>(std::lower_bound(distinct.begin(), distinct.end(), value) -
                                     distinct.begin()));
  }
  return ranks;
}

// Crossings that differ only beyond double precision round to the same value,
// so sorting by the rounded values alone leaves them in arbitrary order; the
// ranking must still follow the exact values and merge only equal ones.
TEST(RankParameters, FollowsExactOrderThroughRoundingTies) {
  std::mt19937_64 random(8);
  const Point p{0, 0}, q{1, 0};
  for (int round = 0; round < 50; ++round) {
    std::vector<LineParameter> parameters;
    std::vector<mpq_class> values;
    auto add = [&](const LineParameter& t, const mpq_class& value) {
      parameters.push_back(t);
      values.push_back(value);
    };
    for (int m = 0; m < 40; ++m) {
      // The line through (1, 1) and (m 2^-60, -1) crosses at (1 + m 2^-60) / 2,
      // and so does the line through (2, 2) and (m 2^-60 - 1, -2).
      const double offset = std::ldexp(static_cast<double>(m % 20), -60);
      const Point a{1, 1}, b{offset, -1};
      add(*crossing_parameter(p, q, a, b), reference_crossing(p, q, a, b));
      if (m % 3 == 0) {
        const Point c{2, 2}, d{offset - 1, -2};
        add(*crossing_parameter(p, q, c, d), reference_crossing(p, q, c, d));
      }
    }
    for (const Point v : {Point{0.5, 3}, Point{0.5 + 0x1p-53, -2}, Point{0.5 - 0x1p-54, 0}}) {
      add(projection_parameter(p, q, v), reference_projection(p, q, v));
    }
    std::vector<std::size_t> order(parameters.size());
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    std::vector<LineParameter> shuffled;
    std::vector<mpq_class> shuffled_values;
    for (std::size_t i : order) {
      shuffled.push_back(parameters[i]);
      shuffled_values.push_back(values[i]);
    }
    std::vector<int> ranks;
    const int distinct = rank_parameters(shuffled, ranks);
    const std::vector<int> expected = reference_ranks(shuffled_values);
    ASSERT_EQ(ranks, expected) << round;
    ASSERT_EQ(distinct, *std::max_element(expected.begin(), expected.end()) + 1);
  }
  std::vector<int> ranks{7};
  EXPECT_EQ(rank_parameters({}, ranks), 0);
  EXPECT_TRUE(ranks.empty());
}

TEST(RationalPoints, OrientationAgreesWithRationalReference) {
  PointSource source(77);
  std::mt19937_64 random(3);
  std::uniform_int_distribution<int> family(0, PointSource::kFamilyCount - 1);
  int on_line = 0;
  for (int i = 0; i < 8000; ++i) {
    const int kind = family(random);
    const Point a = source.next(kind), b = source.next(kind);
    const Point c = source.next(kind), d = source.next(kind);
    const std::optional<RationalPoint> crossing = line_intersection(a, b, c, d);
    const bool parallel = reference_cross(a, b, c, d) == 0;
    ASSERT_EQ(crossing.has_value(), !parallel) << i;
    if (!crossing) continue;
    const RationalCoordinates exact = point_value(*crossing);
    const mpq_class s = reference_crossing(a, b, c, d);
    ASSERT_EQ(exact.x, mpq_class(a.x) + s * (mpq_class(b.x) - mpq_class(a.x))) << i;
    ASSERT_EQ(exact.y, mpq_class(a.y) + s * (mpq_class(b.y) - mpq_class(a.y))) << i;
    // A query line through a third point, and through the crossing's own
    // defining points (the crossing lies exactly on those lines).
    const Point e = source.next(kind), f = source.next(kind);
    const struct { Point from, to; } queries[] = {{e, f}, {a, b}, {d, c}, {e, a}};
    for (const auto& query : queries) {
      const RationalVector direction = rational(query.to) - rational(query.from);
      const int want =
          sgn(cross(direction, RationalVector{exact.x, exact.y} - rational(query.from)));
      ASSERT_EQ(orientation_sign(query.from, query.to, *crossing), want) << i;
      if (want == 0) ++on_line;
    }
  }
  EXPECT_GT(on_line, 8000);
}

TEST(RationalPoints, ApproximationIsCloseToTheExactPoint) {
  const auto crossing = line_intersection({0, 0}, {3, 1}, {0, 1}, {1, 0});
  ASSERT_TRUE(crossing);
  EXPECT_DOUBLE_EQ(crossing->approximation.x, 0.75);
  EXPECT_DOUBLE_EQ(crossing->approximation.y, 0.25);
  // Nearly parallel lines cross far away; the approximation still tracks it.
  const auto far = line_intersection({0, 0}, {1, 0}, {0, 1}, {1, 1 - 0x1p-40});
  ASSERT_TRUE(far);
  EXPECT_DOUBLE_EQ(far->approximation.x, 0x1p40);
  EXPECT_DOUBLE_EQ(far->approximation.y, 0);
  EXPECT_FALSE(line_intersection({0, 0}, {1, 1}, {5, 5}, {7, 7}));
  EXPECT_FALSE(line_intersection({0, 0}, {0, 0}, {5, 5}, {7, 8}));
}

}  // namespace
}  // namespace polyfrep
