#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace polyfrep::bench {

// One vertex of a generated polygon. Coordinates are integers so that the file
// reads back exactly and every orientation of the generated outline can be
// decided exactly, by the generator's tests and by the converter alike.
struct GridPoint {
  std::int64_t x;
  std::int64_t y;
};

// No generated coordinate exceeds this in magnitude: coordinate differences
// then stay below 2^25 and their products below 2^50, so the converter's
// double-precision cross products on these polygons are exact.
constexpr std::int64_t kCoordinateLimit = std::int64_t{1} << 24;

// The seed the benchmark uses, so that every run measures the same polygons.
constexpr std::uint64_t kBenchmarkSeed = 20240611;

enum class Family {
  random_star,  // random directions sorted by angle, random radii
  comb,         // a base with many thin teeth of random width and height
  spiral,       // a thick band winding outward
  staircase,    // an orthogonal staircase closed by two long sides
  collinear,    // every vertex on one line: degenerate on purpose
};

// Every family in benchmark order, and the names used on command lines.
std::span<const Family> all_families();
std::string_view family_name(Family family);
std::optional<Family> parse_family(std::string_view name);

// The smallest vertex count a family can be built with.
int minimum_vertex_count(Family family);

// Exactly vertex_count vertices of the family, counter-clockwise and simple
// (except collinear), the same for the same arguments on every platform: the
// generators use only the standard's fixed random engine, integer arithmetic
// and basic double operations, never distributions or library trigonometry.
// Throws std::invalid_argument below the family's minimum count.
std::vector<GridPoint> generate_polygon(Family family, int vertex_count, std::uint64_t seed);

// The converter's input format: the count on the first line, then one "x y"
// line per vertex.
std::string format_polygon(std::span<const GridPoint> vertices);

}  // namespace polyfrep::bench
