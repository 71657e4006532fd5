#include "support/polygon_generators.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "geometry/segments.h"

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

namespace {

// Sign of (b - a) x (c - a); exact for the integer coordinates used here.
int orientation(Point a, Point b, Point c) {
  const double value = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  return (value > 0) - (value < 0);
}

Point at(const std::vector<Point>& polygon, std::size_t i) {
  return polygon[i % polygon.size()];
}

std::vector<Point> counter_clockwise(std::vector<Point> polygon) {
  if (twice_signed_area(polygon) < 0) std::reverse(polygon.begin(), polygon.end());
  return polygon;
}

}  // namespace

std::vector<Point> grid_outline(std::mt19937_64& random, int count, int grid) {
  std::vector<Point> vertices;
  for (int i = 0; i < count; ++i) {
    vertices.push_back(
        {static_cast<double>(random() % grid), static_cast<double>(random() % grid)});
  }
  return vertices;
}

std::vector<Point> unit_star_outline(std::mt19937_64& random, int count) {
  std::uniform_real_distribution<double> radius(0.2, 1.0);
  std::vector<Point> vertices;
  for (int i = 0; i < count; ++i) {
    const double angle = 2 * 3.14159265358979 * i / count;
    const double r = radius(random);
    vertices.push_back({r * std::cos(angle), r * std::sin(angle)});
  }
  return vertices;
}

double twice_signed_area(const std::vector<Point>& polygon) {
  double sum = 0;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const Point a = polygon[i];
    const Point b = at(polygon, i + 1);
    sum += a.x * b.y - a.y * b.x;
  }
  return sum;
}

bool is_simple(const std::vector<Point>& polygon) {
  const std::size_t n = polygon.size();
  if (n < 3) return false;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (polygon[i].x == polygon[j].x && polygon[i].y == polygon[j].y) return false;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    const Point a = polygon[i];
    const Point b = at(polygon, i + 1);
    const Point c = at(polygon, i + 2);
    // Neighbouring edges meet at b only: no fold-back along one line.
    if (orientation(a, b, c) == 0 && (c.x - b.x) * (b.x - a.x) + (c.y - b.y) * (b.y - a.y) < 0) {
      return false;
    }
    for (std::size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;  // the last edge neighbours the first
      if (closed_segments_meet(a, b, polygon[j], at(polygon, j + 1))) return false;
    }
  }
  return true;
}

std::vector<Point> untangled_polygon(int vertex_count, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> coordinate(0, 100000);
  std::vector<Point> points;
  while (static_cast<int>(points.size()) < vertex_count) {
    const Point p{double(coordinate(random)), double(coordinate(random))};
    if (std::none_of(points.begin(), points.end(),
                     [&](Point q) { return q.x == p.x && q.y == p.y; })) {
      points.push_back(p);
    }
  }
  // Each reversal shortens the outline, so the untangling ends.
  const std::size_t n = points.size();
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t i = 0; i + 2 < n; ++i) {
      for (std::size_t j = i + 2; j < n; ++j) {
        if (i == 0 && j == n - 1) continue;
        if (closed_segments_meet(points[i], points[i + 1], points[j], at(points, j + 1))) {
          std::reverse(points.begin() + static_cast<std::ptrdiff_t>(i + 1),
                       points.begin() + static_cast<std::ptrdiff_t>(j + 1));
          changed = true;
        }
      }
    }
  }
  return counter_clockwise(points);
}

std::vector<Point> comb_polygon(int teeth, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> width(1, 6);
  std::uniform_int_distribution<int> height(2, 40);
  const double base = 3;
  // The top profile from left to right, then walked backwards.
  std::vector<Point> top = {{0, base}};
  double x = 0;
  for (int k = 0; k < teeth; ++k) {
    x += width(random);
    top.push_back({x, base});
    top.push_back({x, base + height(random)});
    x += width(random);
    top.push_back({x, base + height(random)});
    top.push_back({x, base});
  }
  x += width(random);
  top.push_back({x, base});
  std::vector<Point> polygon = {{0, 0}, {x, 0}};
  polygon.insert(polygon.end(), top.rbegin(), top.rend());
  return polygon;
}

std::vector<Point> spiral_polygon(int vertex_count, double turns, std::uint64_t seed) {
  // Out along the outer edge of the strip, back along its inner edge.
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> jitter(-0.2, 0.2);
  const int per_arm = std::max(3, vertex_count / 2);
  const double pitch = 1000;
  const double width = 600;
  std::vector<Point> outer;
  std::vector<Point> inner;
  for (int k = 0; k < per_arm; ++k) {
    const double angle = 2 * std::numbers::pi * turns * (k + 0.5 + jitter(random)) / per_arm;
    const double radius = 2000 + pitch * angle / (2 * std::numbers::pi);
    outer.push_back({std::round(radius * std::cos(angle)), std::round(radius * std::sin(angle))});
    inner.push_back({std::round((radius - width) * std::cos(angle)),
                     std::round((radius - width) * std::sin(angle))});
  }
  std::vector<Point> polygon = outer;
  polygon.insert(polygon.end(), inner.rbegin(), inner.rend());
  return polygon;
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
