// Times the exact formula check on large polygons whose formulas are right,
// so that every supporting line is checked to its end. The floor printed
// beside each case is one orientation test per pair of edges, the least any
// exact comparison of all edge lines has to do.
//
// Usage: verify_benchmark [vertex count, default 2000] [repetitions, default 5]
//
// Times are the best of the repetitions, as wall-clock time and as the
// process's processor time (which a busy shared machine inflates less).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "formula/formula.h"
#include "formula/token_list.h"
#include "geometry/exact.h"
#include "formula/formula_check.h"

namespace {

using polyfrep::Point;

struct BenchmarkCase {
  std::string name;
  std::vector<Point> vertices;
  std::vector<int> tokens;
};

void push_intersection_chain(std::vector<int>& tokens, int first_edge, int last_edge) {
  for (int edge = first_edge; edge <= last_edge; ++edge) {
    if (edge > first_edge)
      tokens.push_back(polyfrep::TOKEN_INTERSECT);
    tokens.push_back(edge);
  }
}

// A regular polygon on a circle: rounding moves the vertices far less than
// the outline bulges between them, so it stays convex.
BenchmarkCase convex_polygon(int vertex_count) {
  BenchmarkCase c{"convex, double coordinates", {}, {}};
  for (int i = 0; i < vertex_count; ++i) {
    const double angle = 2 * std::numbers::pi * i / vertex_count;
    c.vertices.push_back({1000 * std::cos(angle) + 0.1, 1000 * std::sin(angle) - 0.3});
  }
  push_intersection_chain(c.tokens, 0, vertex_count - 1);
  return c;
}

// A rectangle with slots cut into its top side. Inside = below the top and
// above the bottom, between the sides, and outside every slot, where outside
// a slot is right of its right wall, below its floor or left of its left wall.
BenchmarkCase comb(int slot_count, bool jittered) {
  BenchmarkCase c{
      jittered ? "comb, random double slot sizes" : "comb, integer grid (many ties)", {}, {}};
  std::mt19937_64 random(1);
  std::uniform_real_distribution<double> jitter(0.05, 0.45);
  const double width = 4.0 * slot_count + 2;
  const double height = 10;
  std::vector<Point>& v = c.vertices;
  v.push_back({0, 0});
  v.push_back({width, 0});
  v.push_back({width, height});
  // Going left along the top: a top segment, then down, along and up a slot.
  for (int k = slot_count - 1; k >= 0; --k) {
    const double right_wall = 4.0 * k + 3 + (jittered ? jitter(random) : 0);
    const double left_wall = 4.0 * k + 1 + (jittered ? jitter(random) : 0);
    const double floor = jittered ? 2 + 6 * jitter(random) : 2 + k % 5;
    v.push_back({right_wall, height});
    v.push_back({right_wall, floor});
    v.push_back({left_wall, floor});
    v.push_back({left_wall, height});
  }
  v.push_back({0, height});
  const int vertex_count = static_cast<int>(v.size());
  // Edges: 0 bottom, 1 right side, then per slot: top segment, right wall,
  // floor, left wall; then the last top segment and the left side.
  std::vector<int>& t = c.tokens;
  t.push_back(0);
  t.push_back(polyfrep::TOKEN_INTERSECT);
  t.push_back(1);
  for (int k = 0; k < slot_count; ++k) {
    const int top_segment = 2 + 4 * k;
    t.push_back(polyfrep::TOKEN_INTERSECT);
    t.push_back(top_segment);
    t.push_back(polyfrep::TOKEN_INTERSECT);
    t.push_back(polyfrep::TOKEN_OPEN);
    t.push_back(top_segment + 1);
    t.push_back(polyfrep::TOKEN_UNION);
    t.push_back(top_segment + 2);
    t.push_back(polyfrep::TOKEN_UNION);
    t.push_back(top_segment + 3);
    t.push_back(polyfrep::TOKEN_CLOSE);
  }
  t.push_back(polyfrep::TOKEN_INTERSECT);
  t.push_back(vertex_count - 2);
  t.push_back(polyfrep::TOKEN_INTERSECT);
  t.push_back(vertex_count - 1);
  return c;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double processor_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One orientation test of each edge's start against every other edge.
double floor_seconds(const std::vector<Point>& vertices) {
  const auto start = std::chrono::steady_clock::now();
  const std::size_t n = vertices.size();
  long long left = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      left += polyfrep::orientation_sign(vertices[i], vertices[(i + 1) % n], vertices[j]) > 0;
    }
  }
  const double elapsed = seconds_since(start);
  if (left < 0)
    std::puts("");  // keeps the loop from being optimised away
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  const int vertex_count = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
  const int slot_count = std::max(1, (vertex_count - 4) / 4);
  const BenchmarkCase cases[] = {convex_polygon(vertex_count), comb(slot_count, false),
                                 comb(slot_count, true)};
  std::printf("%-34s %8s %6s %10s %10s %10s\n", "case", "vertices", "holds", "check ms", "cpu ms",
              "floor ms");
  for (const BenchmarkCase& c : cases) {
    double best_wall = 1e300;
    double best_processor = 1e300;
    bool holds = false;
    const polyfrep::Formula formula =
        polyfrep::parse_tokens(c.tokens, static_cast<int>(c.vertices.size())).formula;
    for (int r = 0; r < repetitions; ++r) {
      const auto start = std::chrono::steady_clock::now();
      const double processor_start = processor_seconds();
      const polyfrep::FormulaVerdict verdict = polyfrep::check_formula(c.vertices, formula);
      best_processor = std::min(best_processor, processor_seconds() - processor_start);
      best_wall = std::min(best_wall, seconds_since(start));
      holds = verdict.holds;
      if (!holds && r == 0)
        std::printf("  (%s)\n", verdict.reason.c_str());
    }
    std::printf("%-34s %8zu %6s %10.1f %10.1f %10.1f\n", c.name.c_str(), c.vertices.size(),
                holds ? "yes" : "no", best_wall * 1e3, best_processor * 1e3,
                floor_seconds(c.vertices) * 1e3);
  }
  return 0;
}
