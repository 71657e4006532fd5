#include "support/polygon_generators.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace polyfrep::testing {

namespace {

double angle_of(Point p) {
  return std::atan2(p.y, p.x);
}

// Distinct directions sorted by angle, so that rays in these directions from
// the origin meet the outline once each.
std::vector<Point> directions(int count, std::mt19937_64& random, int range) {
  std::uniform_int_distribution<int> coordinate(-range, range);
  std::vector<Point> points;
  while (static_cast<int>(points.size()) < count) {
    const Point p{double(coordinate(random)), double(coordinate(random))};
    if (p.x == 0 && p.y == 0) continue;
    const bool same_direction = std::any_of(points.begin(), points.end(), [&](Point q) {
      return q.x * p.y - q.y * p.x == 0 && q.x * p.x + q.y * p.y > 0;
    });
    if (!same_direction) points.push_back(p);
  }
  std::sort(points.begin(), points.end(),
            [](Point a, Point b) { return angle_of(a) < angle_of(b); });
  return points;
}

}  // namespace

std::vector<Point> convex_polygon(int vertex_count, std::uint64_t seed) {
  // Vertices on a circle of large radius, rounded to integers, keep only
  // strict left turns.
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> angle(0.0, 2 * std::numbers::pi);
  std::vector<double> angles(static_cast<std::size_t>(vertex_count));
  for (double& a : angles)
    a = angle(random);
  std::sort(angles.begin(), angles.end());
  std::vector<Point> points;
  for (double a : angles) {
    const Point p{std::round(1e6 * std::cos(a)), std::round(1e6 * std::sin(a))};
    if (points.empty() || p.x != points.back().x || p.y != points.back().y) points.push_back(p);
  }
  return points;
}

std::vector<Point> star_polygon(int vertex_count, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> scale(1, 8);
  std::vector<Point> points = directions(vertex_count, random, 1000);
  for (Point& p : points) {
    const int factor = scale(random);
    p = {p.x * factor, p.y * factor};
  }
  return points;
}

std::vector<Point> orthogonal_polygon(int steps, std::uint64_t seed) {
  // A staircase from (0, 0) up to the right, closed by the two long sides.
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> length(1, 5);
  std::vector<Point> points = {{0, 0}};
  double x = 0;
  double y = 0;
  for (int i = 0; i < steps; ++i) {
    x += length(random);
    points.push_back({x, y});
    y += length(random);
    points.push_back({x, y});
  }
  points.push_back({0, y});
  return points;
}

std::vector<Point> star_with_collinear_and_repeated(int vertex_count, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  const std::vector<Point> star = star_polygon(vertex_count, seed);
  std::vector<Point> points;
  for (std::size_t i = 0; i < star.size(); ++i) {
    const Point a = star[i];
    const Point b = star[(i + 1) % star.size()];
    points.push_back(a);
    switch (random() % 4) {
      case 0:
        points.push_back(a);
        break;  // repeated vertex
      case 1:
        points.push_back({(a.x + b.x) / 2, (a.y + b.y) / 2});
        break;  // on the edge
      default:
        break;
    }
  }
  return points;
}

std::vector<NamedPolygon> generated_polygons(int per_family, std::uint64_t seed) {
  std::vector<NamedPolygon> polygons;
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> size(3, 300);
  for (int i = 0; i < per_family; ++i) {
    const int n = size(random);
    polygons.push_back({"convex", convex_polygon(n, random())});
    polygons.push_back({"star", star_polygon(n, random())});
    polygons.push_back({"orthogonal", orthogonal_polygon(1 + n / 2, random())});
    polygons.push_back({"collinear-and-repeated", star_with_collinear_and_repeated(n, random())});
  }
  return polygons;
}

}  // namespace polyfrep::testing
