#include "polygon/kernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "geometry/box.h"
#include "geometry/exact.h"

namespace polyfrep {

namespace {

// The half-plane a.x * x + a.y * y >= b.
struct HalfPlane {
  double ax;
  double ay;
  double b;
};

bool holds(const HalfPlane& h, Point p) {
  return h.ax * p.x + h.ay * p.y >= h.b;
}

// The half-plane left of the edge from p to q.
HalfPlane left_of(Point p, Point q) {
  const double ax = -(q.y - p.y);
  const double ay = q.x - p.x;
  return {ax, ay, ax * p.x + ay * p.y};
}

struct Objective {
  double x;
  double y;
};

double value(Objective objective, Point p) {
  return objective.x * p.x + objective.y * p.y;
}

// The half-planes of a program: the bounding box's four sides first, so
// that every program has a bounded optimum, then the edges' in a fixed
// shuffled order, which keeps the expected number of moves of the best point
// logarithmic. Each edge's half-plane is made when the pass over the program
// first comes to it and kept in an array in that order: every move of the
// best point reads all the half-planes before it again, and reading them in
// order takes a fraction of the time of making them afresh from vertices all
// over the outline. A program that fails early touches little of the array;
// one that runs through, as a star's does, holds 24 bytes per edge.
struct Program {
  std::span<const Point> vertices;
  HalfPlane box[4];
  std::vector<int> edge_order;
  std::unique_ptr<HalfPlane[]> made;

  std::size_t size() const { return 4 + edge_order.size(); }
  // Half-plane i, which is made now; those before it are made already.
  HalfPlane make(std::size_t i) {
    if (i < 4) return box[i];
    const auto edge = static_cast<std::size_t>(edge_order[i - 4]);
    const std::size_t next = edge + 1 == vertices.size() ? 0 : edge + 1;
    made[i - 4] = left_of(vertices[edge], vertices[next]);
    return made[i - 4];
  }
  HalfPlane operator[](std::size_t i) const { return i < 4 ? box[i] : made[i - 4]; }
};

// The best point, for the objective (smallest), on the line of `line` within
// the program's first `before` half-planes; nullopt when there is none.
std::optional<Point> best_on_line(const HalfPlane& line, const Program& program, std::size_t before,
                                  Objective objective) {
  const double norm = line.ax * line.ax + line.ay * line.ay;
  if (!(norm > 0)) return std::nullopt;
  const Point origin{line.ax * line.b / norm, line.ay * line.b / norm};
  const Point direction{line.ay, -line.ax};
  double low = -std::numeric_limits<double>::infinity();
  double high = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < before; ++i) {
    const HalfPlane h = program[i];
    const double rate = h.ax * direction.x + h.ay * direction.y;
    const double room = h.b - (h.ax * origin.x + h.ay * origin.y);
    if (rate > 0) {
      low = std::max(low, room / rate);
    } else if (rate < 0) {
      high = std::min(high, room / rate);
    } else if (room > 0) {
      return std::nullopt;
    }
  }
  if (!(low <= high)) return std::nullopt;
  const double t = value(objective, direction) > 0 ? low : high;
  if (!std::isfinite(t)) return std::nullopt;
  return Point{origin.x + t * direction.x, origin.y + t * direction.y};
}

// The lowest point for each objective over the half-planes, by adding them
// in order and moving a best point only when it leaves one. All objectives
// share one pass over the half-planes, which are made as they come.
template <std::size_t kCount>
std::optional<std::array<Point, kCount>> lowest_points(Program& program,
                                                       const Objective (&objectives)[kCount],
                                                       std::array<Point, kCount> best) {
  for (std::size_t i = 0; i < program.size(); ++i) {
    const HalfPlane plane = program.make(i);
    for (std::size_t k = 0; k < kCount; ++k) {
      if (holds(plane, best[k])) continue;
      const std::optional<Point> moved = best_on_line(plane, program, i, objectives[k]);
      if (!moved) return std::nullopt;
      best[k] = *moved;
    }
  }
  return best;
}

// The lower half of the directions from a centre: below it, or straight to
// its left. Exact: a difference of doubles has the sign of the exact one.
bool lower_half(Point centre, Point p) {
  const double dy = p.y - centre.y;
  return dy < 0 || (dy == 0 && p.x - centre.x < 0);
}

}  // namespace

std::optional<Point> kernel_point(std::span<const Point> vertices) {
  if (vertices.size() < 3) return std::nullopt;
  const Box box = bounding_box(vertices);
  const double x_low = box.x_low, x_high = box.x_high, y_low = box.y_low, y_high = box.y_high;
  Program program{vertices,
                  {{1, 0, x_low}, {-1, 0, -x_high}, {0, 1, y_low}, {0, -1, -y_high}},
                  std::vector<int>(vertices.size()),
                  std::make_unique_for_overwrite<HalfPlane[]>(vertices.size())};
  for (std::size_t i = 0; i < vertices.size(); ++i)
    program.edge_order[i] = static_cast<int>(i);
  std::uint64_t state = 0x9e3779b97f4a7c15ULL;
  for (std::size_t i = vertices.size() - 1; i > 0; --i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    std::swap(program.edge_order[i], program.edge_order[(state >> 33) % (i + 1)]);
  }
  const Objective objectives[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  const std::optional<std::array<Point, 4>> corners = lowest_points(
      program, objectives,
      {Point{x_low, y_low}, Point{x_high, y_high}, Point{x_high, y_low}, Point{x_low, y_high}});
  if (!corners) return std::nullopt;
  double x = 0;
  double y = 0;
  for (const Point& corner : *corners) {
    x += corner.x;
    y += corner.y;
  }
  const Point centre{x / 4, y / 4};
  // Coordinates near the largest doubles can make the mean overflow.
  if (!std::isfinite(centre.x) || !std::isfinite(centre.y)) return std::nullopt;
  return centre;
}

bool winds_once_around(std::span<const Point> vertices, Point centre) {
  int windings = 0;
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Point from = vertices[i];
    const Point to = vertices[i + 1 == vertices.size() ? 0 : i + 1];
    if (orientation_sign(centre, from, to) <= 0) return false;
    // Each step turns by less than a half turn, so the lower half is left
    // for the upper one once per winding.
    windings += lower_half(centre, from) && !lower_half(centre, to);
  }
  return windings == 1;
}

}  // namespace polyfrep
