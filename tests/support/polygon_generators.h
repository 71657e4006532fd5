#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "geometry/point.h"

namespace polyfrep::testing {

// Generated outlines for property tests. All are simple and counter-clockwise
// unless their name says otherwise, with integer coordinates so that every
// orientation is exact in double arithmetic.
std::vector<Point> convex_polygon(int vertex_count, std::uint64_t seed);
std::vector<Point> star_polygon(int vertex_count, std::uint64_t seed);
std::vector<Point> orthogonal_polygon(int steps, std::uint64_t seed);
// A star polygon with extra vertices on its edges and some vertices doubled.
std::vector<Point> star_with_collinear_and_repeated(int vertex_count, std::uint64_t seed);

// Random points joined in random order, then untangled by reversing the
// stretch between crossing edges until no two edges cross.
std::vector<Point> untangled_polygon(int vertex_count, std::uint64_t seed);
// A bar with teeth of random width, height and slanted tops along its top.
std::vector<Point> comb_polygon(int teeth, std::uint64_t seed);
// A strip that winds outwards around a centre about `turns` times.
std::vector<Point> spiral_polygon(int vertex_count, double turns, std::uint64_t seed);

// Vertices drawn from a small integer grid: collinear edges, vertices on
// edges, repeated vertices and fold-backs are common.
std::vector<Point> grid_outline(std::mt19937_64& random, int count, int grid);
// A star-shaped outline around the origin with random radii from 0.2 to 1:
// simple, with many reflex corners.
std::vector<Point> unit_star_outline(std::mt19937_64& random, int count);

// Exact tests on outlines with integer coordinates below 2^25 in magnitude:
// no repeated vertex, no two edges meeting except neighbours at their shared
// vertex, and no edge folding back over the one before it.
bool is_simple(const std::vector<Point>& polygon);
// Twice the signed area.
double twice_signed_area(const std::vector<Point>& polygon);

struct NamedPolygon {
  std::string name;
  std::vector<Point> vertices;
};

// A mix of every family above at sizes from 3 to a few hundred.
std::vector<NamedPolygon> generated_polygons(int per_family, std::uint64_t seed);

}  // namespace polyfrep::testing
