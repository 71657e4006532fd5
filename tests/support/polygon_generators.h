#pragma once

#include <cstdint>
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

struct NamedPolygon {
  std::string name;
  std::vector<Point> vertices;
};

// A mix of every family above at sizes from 3 to a few hundred.
std::vector<NamedPolygon> generated_polygons(int per_family, std::uint64_t seed);

}  // namespace polyfrep::testing
