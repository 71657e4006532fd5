#include "polygon_families.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>

namespace polyfrep::bench {

namespace {

struct FamilyEntry {
  Family family;
  std::string_view name;
  int minimum_vertex_count;
};

constexpr std::array<FamilyEntry, 5> kFamilies = {{
    {Family::random_star, "random-star", 3},
    {Family::comb, "comb", 8},
    {Family::spiral, "spiral", 8},
    {Family::staircase, "staircase", 4},
    {Family::collinear, "collinear", 3},
}};

constexpr std::array<Family, 5> kFamilyOrder = {Family::random_star, Family::comb, Family::spiral,
                                                Family::staircase, Family::collinear};

const FamilyEntry& entry_of(Family family) {
  for (const FamilyEntry& entry : kFamilies) {
    if (entry.family == family)
      return entry;
  }
  throw std::invalid_argument("unknown polygon family");
}

// std::mt19937_64 yields the same sequence everywhere, while the standard's
// distributions may differ between libraries; the bounds are drawn by hand.
std::uint64_t uniform_below(std::mt19937_64& random, std::uint64_t bound) {
  // Rejecting the top partial block of outputs keeps every residue equally likely.
  const std::uint64_t rejected_from = bound * (std::mt19937_64::max() / bound);
  std::uint64_t draw = random();
  while (draw >= rejected_from)
    draw = random();
  return draw % bound;
}

std::int64_t uniform_between(std::mt19937_64& random, std::int64_t low, std::int64_t high) {
  return low + static_cast<std::int64_t>(
                   uniform_below(random, static_cast<std::uint64_t>(high - low + 1)));
}

std::int64_t cross(GridPoint a, GridPoint b) {
  return a.x * b.y - a.y * b.x;
}

std::int64_t squared_length(GridPoint p) {
  return p.x * p.x + p.y * p.y;
}

// 0 for directions in [0, pi), 1 for [pi, 2 pi): opposite directions fall in
// different halves, so within a half the cross product orders by angle.
int half_of(GridPoint p) {
  return (p.y < 0 || (p.y == 0 && p.x < 0)) ? 1 : 0;
}

bool angle_before(GridPoint a, GridPoint b) {
  const int half_a = half_of(a);
  const int half_b = half_of(b);
  if (half_a != half_b)
    return half_a < half_b;
  return cross(a, b) > 0;
}

bool same_direction(GridPoint a, GridPoint b) {
  return half_of(a) == half_of(b) && cross(a, b) == 0;
}

// A lattice point drawn uniformly from the ring between the two radii: its
// direction is uniform and its radius random.
GridPoint random_ring_point(std::mt19937_64& random, std::int64_t inner_radius,
                            std::int64_t outer_radius) {
  while (true) {
    const GridPoint p{uniform_between(random, -outer_radius, outer_radius),
                      uniform_between(random, -outer_radius, outer_radius)};
    const std::int64_t length = squared_length(p);
    if (length >= inner_radius * inner_radius && length <= outer_radius * outer_radius)
      return p;
  }
}

// Sorted by angle around the origin, keeping one point per direction, so that
// each ray from the origin meets the outline at most once.
void sort_by_angle_without_repeated_directions(std::vector<GridPoint>& points) {
  std::sort(points.begin(), points.end(), angle_before);
  const auto repeats = std::unique(points.begin(), points.end(), same_direction);
  points.erase(repeats, points.end());
}

// Every turn between neighbouring directions, the wrap-around included, is
// strictly between 0 and pi: the fan of triangles from the origin then covers
// each direction once, so the outline is simple, counter-clockwise and
// star-shaped around the origin.
bool winds_once_around_origin(const std::vector<GridPoint>& points) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (cross(points[i], points[(i + 1) % points.size()]) <= 0)
      return false;
  }
  return true;
}

std::vector<GridPoint> random_star(int vertex_count, std::mt19937_64& random) {
  const std::int64_t outer_radius = kCoordinateLimit / 2;
  const std::int64_t inner_radius = outer_radius / 8;
  const auto wanted = static_cast<std::size_t>(vertex_count);
  // A draw fails only when a few directions leave a gap of pi or more, which
  // takes tiny counts and bad luck; a thousand failures in a row is a fault.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::vector<GridPoint> points;
    points.reserve(wanted);
    // Points in an already used direction are dropped; drawing again for the
    // missing ones ends quickly because the ring holds far more directions.
    while (points.size() < wanted) {
      while (points.size() < wanted)
        points.push_back(random_ring_point(random, inner_radius, outer_radius));
      sort_by_angle_without_repeated_directions(points);
    }
    if (winds_once_around_origin(points))
      return points;
  }
  throw std::runtime_error("random star: no outline winds once around the origin");
}

// A straight bottom side (bent slightly outward by up to three extra vertices
// so that any count can be met), two upright sides, and thin teeth of random
// width, spacing and height standing on the top side.
std::vector<GridPoint> comb(int vertex_count, std::mt19937_64& random) {
  constexpr std::int64_t kBaseHeight = std::int64_t{1} << 16;
  constexpr std::int64_t kToothHeight = std::int64_t{1} << 20;
  const int tooth_count = (vertex_count - 4) / 4;
  const int bottom_extra = (vertex_count - 4) % 4;

  struct Tooth {
    std::int64_t left;
    std::int64_t right;
    std::int64_t height;
  };
  std::vector<Tooth> teeth(static_cast<std::size_t>(tooth_count));
  std::int64_t x = 0;
  for (Tooth& tooth : teeth) {
    x += uniform_between(random, 1, 4);
    tooth.left = x;
    x += uniform_between(random, 1, 4);
    tooth.right = x;
    tooth.height = uniform_between(random, kToothHeight / 2, kToothHeight);
  }
  const std::int64_t width = x + uniform_between(random, 1, 4);

  std::vector<GridPoint> points;
  points.reserve(static_cast<std::size_t>(vertex_count));
  points.push_back({0, 0});
  // A parabola through the bottom corners: strictly convex, so every extra
  // vertex is a strict turn.
  for (int k = 0; k < bottom_extra; ++k) {
    const std::int64_t x_extra = width * (k + 1) / (bottom_extra + 1);
    const std::int64_t depth = 16 * std::int64_t{k + 1} * (bottom_extra - k);
    points.push_back({x_extra, -depth});
  }
  points.push_back({width, 0});
  points.push_back({width, kBaseHeight});
  for (auto tooth = teeth.rbegin(); tooth != teeth.rend(); ++tooth) {
    points.push_back({tooth->right, kBaseHeight});
    points.push_back({tooth->right, kBaseHeight + tooth->height});
    points.push_back({tooth->left, kBaseHeight + tooth->height});
    points.push_back({tooth->left, kBaseHeight});
  }
  points.push_back({0, kBaseHeight});
  return points;
}

// A band between two spiral curves that wind outward counter-clockwise: the
// outer curve is walked outward, the inner one back in, and two short caps
// join them. The direction advances by a rotation with rational cosine and
// sine, (q^2 - 1, 2q) / (q^2 + 1), so only basic double operations decide the
// coordinates; the radius grows by three band widths per turn, which leaves a
// gap of about two band widths between neighbouring turns.
std::vector<GridPoint> spiral(int vertex_count) {
  const int outer_count = (vertex_count + 1) / 2;
  const int inner_count = vertex_count / 2;
  const int turns = std::max(1, static_cast<int>(std::sqrt(double(outer_count)) / 8));
  const auto q = std::max<std::int64_t>(
      3, static_cast<std::int64_t>(outer_count / (std::numbers::pi * turns)));
  const double denominator = double(q * q + 1);
  const double cosine = double(q * q - 1) / denominator;
  const double sine = double(2 * q) / denominator;

  // A turn takes about pi q steps; the band's outer edge ends near 3.2 turns
  // times three widths, kept inside the coordinate limit.
  const double band_width = 0.9 * double(kCoordinateLimit) / (3.2 * turns + 2);
  const double growth_per_step = 3 * band_width / (std::numbers::pi * double(q));
  const double start_radius = band_width;

  std::vector<double> direction_x(static_cast<std::size_t>(outer_count));
  std::vector<double> direction_y(static_cast<std::size_t>(outer_count));
  double unit_x = 1;
  double unit_y = 0;
  for (std::size_t k = 0; k < direction_x.size(); ++k) {
    direction_x[k] = unit_x;
    direction_y[k] = unit_y;
    const double next_x = unit_x * cosine - unit_y * sine;
    const double next_y = unit_x * sine + unit_y * cosine;
    unit_x = next_x;
    unit_y = next_y;
  }
  const auto at = [&](std::size_t k, double radius) {
    return GridPoint{std::llround(radius * direction_x[k]), std::llround(radius * direction_y[k])};
  };

  std::vector<GridPoint> points;
  points.reserve(static_cast<std::size_t>(vertex_count));
  for (int k = 0; k < outer_count; ++k) {
    const double radius = start_radius + band_width + growth_per_step * k;
    points.push_back(at(static_cast<std::size_t>(k), radius));
  }
  for (int k = inner_count - 1; k >= 0; --k) {
    const double radius = start_radius + growth_per_step * k;
    points.push_back(at(static_cast<std::size_t>(k), radius));
  }
  return points;
}

// Steps of random length going right and up from the origin, closed by the
// top side and the left side. An odd count cuts the top-left corner off with
// one short diagonal, since an orthogonal outline has an even count.
std::vector<GridPoint> staircase(int vertex_count, std::mt19937_64& random) {
  const bool cut_corner = vertex_count % 2 == 1;
  const int step_count = (vertex_count - (cut_corner ? 3 : 2)) / 2;
  std::vector<GridPoint> points;
  points.reserve(static_cast<std::size_t>(vertex_count));
  points.push_back({0, 0});
  std::int64_t x = 0;
  std::int64_t y = 0;
  // Steps of at least 2 leave room for the one-unit corner cut.
  for (int step = 0; step < step_count; ++step) {
    x += uniform_between(random, 2, 9);
    points.push_back({x, y});
    y += uniform_between(random, 2, 9);
    points.push_back({x, y});
  }
  if (cut_corner) {
    points.push_back({1, y});
    points.push_back({0, y - 1});
  } else {
    points.push_back({0, y});
  }
  return points;
}

// Every vertex on the line y = 2x, in order: the outline runs out along the
// line and its closing edge runs all the way back.
std::vector<GridPoint> collinear(int vertex_count) {
  std::vector<GridPoint> points;
  points.reserve(static_cast<std::size_t>(vertex_count));
  for (int k = 0; k < vertex_count; ++k)
    points.push_back({k, 2 * std::int64_t{k}});
  return points;
}

}  // namespace

std::span<const Family> all_families() {
  return kFamilyOrder;
}

std::string_view family_name(Family family) {
  return entry_of(family).name;
}

std::optional<Family> parse_family(std::string_view name) {
  for (const FamilyEntry& entry : kFamilies) {
    if (entry.name == name)
      return entry.family;
  }
  return std::nullopt;
}

int minimum_vertex_count(Family family) {
  return entry_of(family).minimum_vertex_count;
}

std::vector<GridPoint> generate_polygon(Family family, int vertex_count, std::uint64_t seed) {
  if (vertex_count < minimum_vertex_count(family)) {
    throw std::invalid_argument(std::string(family_name(family)) + " needs at least " +
                                std::to_string(minimum_vertex_count(family)) + " vertices");
  }
  std::mt19937_64 random(seed);
  switch (family) {
    case Family::random_star:
      return random_star(vertex_count, random);
    case Family::comb:
      return comb(vertex_count, random);
    case Family::spiral:
      return spiral(vertex_count);
    case Family::staircase:
      return staircase(vertex_count, random);
    case Family::collinear:
      return collinear(vertex_count);
  }
  throw std::invalid_argument("unknown polygon family");
}

std::string format_polygon(std::span<const GridPoint> vertices) {
  std::string text;
  // At most two 20-character numbers, a blank and a line end per vertex.
  text.reserve(24 + vertices.size() * 43);
  char buffer[24];
  const auto append_number = [&](std::int64_t value, char separator) {
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
    text.push_back(separator);
  };
  append_number(static_cast<std::int64_t>(vertices.size()), '\n');
  for (const GridPoint& vertex : vertices) {
    append_number(vertex.x, ' ');
    append_number(vertex.y, '\n');
  }
  return text;
}

}  // namespace polyfrep::bench
