#include "polygon_families.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "io/input_reader.h"
#include "support/polygon_generators.h"
#include "support/test_support.h"

namespace polyfrep::bench {
namespace {

// Exact orientation of c relative to the line a -> b: 1 left, -1 right, 0 on it.
// Coordinates stay within kCoordinateLimit, so the products fit easily.
int orientation(GridPoint a, GridPoint b, GridPoint c) {
  const std::int64_t turn = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
  return (turn > 0) - (turn < 0);
}

bool same_point(GridPoint a, GridPoint b) {
  return a.x == b.x && a.y == b.y;
}

// The shared exact simplicity test; the coordinates stay within
// kCoordinateLimit (2^24), where it is exact.
bool is_simple(const std::vector<GridPoint>& polygon) {
  std::vector<Point> points;
  for (const GridPoint& p : polygon)
    points.push_back({static_cast<double>(p.x), static_cast<double>(p.y)});
  return testing::is_simple(points);
}

// Twice the signed area: positive for a counter-clockwise outline.
std::int64_t twice_signed_area(const std::vector<GridPoint>& polygon) {
  std::int64_t sum = 0;
  for (std::size_t i = 0; i < polygon.size(); ++i) {
    const GridPoint a = polygon[i];
    const GridPoint b = polygon[(i + 1) % polygon.size()];
    sum += a.x * b.y - a.y * b.x;
  }
  return sum;
}

bool within_coordinate_limit(const std::vector<GridPoint>& polygon) {
  for (const GridPoint& p : polygon) {
    if (std::abs(p.x) > kCoordinateLimit || std::abs(p.y) > kCoordinateLimit) return false;
  }
  return true;
}

struct CheckerCase {
  const char* name;
  std::vector<GridPoint> polygon;
  bool simple;
};

// The checker itself must catch every way an outline can fail to be simple,
// or the family tests below would prove nothing.
TEST(SimplicityChecker, TellsSimpleFromNonSimpleOutlines) {
  const std::vector<CheckerCase> cases = {
      {"triangle", {{0, 0}, {4, 0}, {0, 3}}, true},
      {"clockwise square", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, true},
      {"L shape", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, true},
      {"vertex on a straight edge", {{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}, true},
      {"flat triangle", {{0, 0}, {1, 1}, {2, 2}}, false},
      {"bow tie", {{0, 0}, {2, 2}, {2, 0}, {0, 2}}, false},
      {"repeated vertex", {{0, 0}, {1, 0}, {1, 0}, {1, 1}}, false},
      {"spike folding back", {{0, 0}, {4, 0}, {2, 0}, {2, 3}}, false},
      {"spike at the first vertex", {{3, 0}, {1, 0}, {1, 3}, {0, 0}}, false},
      {"vertex touching a far edge", {{0, 0}, {4, 0}, {4, 4}, {2, 0}, {0, 4}}, false},
      {"two vertices at one place", {{0, 0}, {4, 0}, {2, 2}, {4, 4}, {0, 4}, {2, 2}}, false},
      {"overlapping far edges", {{0, 0}, {6, 0}, {6, 2}, {4, 0}, {2, 0}, {0, 2}}, false},
      {"crossing edges", {{0, 0}, {4, 4}, {4, 0}, {2, -1}, {0, 4}}, false},
  };
  for (const CheckerCase& c : cases)
    EXPECT_EQ(is_simple(c.polygon), c.simple) << c.name;
}

TEST(SimplicityChecker, SignedAreaGivesOrientation) {
  EXPECT_EQ(twice_signed_area({{0, 0}, {2, 0}, {2, 3}, {0, 3}}), 12);
  EXPECT_EQ(twice_signed_area({{0, 0}, {0, 3}, {2, 3}, {2, 0}}), -12);
}

std::vector<int> sizes_to_check(Family family) {
  const int minimum = minimum_vertex_count(family);
  // Every remainder the comb and staircase split their counts by, a few
  // middling sizes, and sizes at which the spiral winds several times.
  return {minimum,      minimum + 1, minimum + 2, minimum + 3, 11,  64,
          minimum + 97, 500,         1001,        2000,        5000};
}

std::vector<Family> simple_families() {
  std::vector<Family> families;
  for (const Family family : all_families()) {
    if (family != Family::collinear) families.push_back(family);
  }
  return families;
}

TEST(PolygonFamilies, SimpleCounterClockwiseAndExactSize) {
  for (const Family family : simple_families()) {
    for (const int size : sizes_to_check(family)) {
      for (const std::uint64_t seed : {kBenchmarkSeed, std::uint64_t{7}}) {
        const std::vector<GridPoint> polygon = generate_polygon(family, size, seed);
        const std::string label = std::string(family_name(family)) + " n=" + std::to_string(size) +
                                  " seed=" + std::to_string(seed);
        ASSERT_EQ(polygon.size(), static_cast<std::size_t>(size)) << label;
        EXPECT_TRUE(within_coordinate_limit(polygon)) << label;
        EXPECT_TRUE(is_simple(polygon)) << label;
        EXPECT_GT(twice_signed_area(polygon), 0) << label;
      }
    }
  }
}

// At benchmark sizes the quadratic check is out of reach; what can be checked
// in linear time still holds there.
TEST(PolygonFamilies, LargeSizesKeepSizeLimitAndOrientation) {
  for (const Family family : simple_families()) {
    constexpr int kSize = 200'001;
    const std::vector<GridPoint> polygon = generate_polygon(family, kSize, kBenchmarkSeed);
    const std::string name(family_name(family));
    ASSERT_EQ(polygon.size(), static_cast<std::size_t>(kSize)) << name;
    EXPECT_TRUE(within_coordinate_limit(polygon)) << name;
    EXPECT_GT(twice_signed_area(polygon), 0) << name;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      const GridPoint a = polygon[i];
      const GridPoint b = polygon[(i + 1) % polygon.size()];
      ASSERT_FALSE(same_point(a, b)) << name << " repeats vertex " << i;
    }
  }
}

TEST(PolygonFamilies, RandomStarIsStarShapedAroundTheOrigin) {
  const std::vector<GridPoint> star = generate_polygon(Family::random_star, 100'000, 3);
  const GridPoint origin{0, 0};
  for (std::size_t i = 0; i < star.size(); ++i)
    ASSERT_EQ(orientation(origin, star[i], star[(i + 1) % star.size()]), 1) << i;
}

TEST(PolygonFamilies, CollinearVerticesAreDistinctAndOnOneLine) {
  for (const int size : {3, 4, 10, 1000, 20'000}) {
    const std::vector<GridPoint> line = generate_polygon(Family::collinear, size, kBenchmarkSeed);
    ASSERT_EQ(line.size(), static_cast<std::size_t>(size));
    std::set<std::pair<std::int64_t, std::int64_t>> distinct;
    for (const GridPoint& p : line) {
      EXPECT_EQ(orientation(line[0], line[1], p), 0) << size;
      distinct.insert({p.x, p.y});
    }
    EXPECT_EQ(distinct.size(), line.size()) << size;
    EXPECT_FALSE(is_simple(line)) << size;
  }
}

TEST(PolygonFamilies, SameSeedSameOutlineOtherSeedOther) {
  for (const Family family : all_families()) {
    const std::string name(family_name(family));
    const auto first = format_polygon(generate_polygon(family, 3000, 11));
    EXPECT_EQ(first, format_polygon(generate_polygon(family, 3000, 11))) << name;
    const auto other = format_polygon(generate_polygon(family, 3000, 12));
    // Only the families drawn at random depend on the seed.
    const bool random_family =
        family == Family::random_star || family == Family::comb || family == Family::staircase;
    EXPECT_EQ(first != other, random_family) << name;
  }
}

TEST(PolygonFamilies, BelowMinimumSizeIsRefused) {
  for (const Family family : all_families()) {
    EXPECT_THROW(generate_polygon(family, minimum_vertex_count(family) - 1, 1),
                 std::invalid_argument)
        << family_name(family);
  }
}

TEST(PolygonFamilies, NamesParseBack) {
  for (const Family family : all_families())
    EXPECT_EQ(parse_family(family_name(family)), family);
  EXPECT_EQ(parse_family("random_star"), std::nullopt);
  EXPECT_EQ(parse_family(""), std::nullopt);
  EXPECT_EQ(all_families().size(), 5u);
}

TEST(PolygonFile, FormatIsCountThenOneLinePerVertex) {
  const std::vector<GridPoint> vertices = {{0, 0}, {-16777216, 5}, {16777216, -1}};
  EXPECT_EQ(format_polygon(vertices), "3\n0 0\n-16777216 5\n16777216 -1\n");
  EXPECT_EQ(format_polygon({}), "0\n");
}

// The converter's own reader must get back exactly the generated vertices.
TEST(PolygonFile, ConverterReadsGeneratedCoordinatesExactly) {
  for (const Family family : all_families()) {
    const std::vector<GridPoint> polygon = generate_polygon(family, 4001, kBenchmarkSeed);
    std::istringstream text(format_polygon(polygon));
    int vertex_count = 0;
    std::vector<Point> vertices;
    read_polygon(text, vertex_count, vertices);
    ASSERT_EQ(vertex_count, 4001) << family_name(family);
    ASSERT_EQ(vertices.size(), polygon.size());
    for (std::size_t i = 0; i < polygon.size(); ++i) {
      ASSERT_EQ(vertices[i].x, static_cast<double>(polygon[i].x)) << family_name(family) << i;
      ASSERT_EQ(vertices[i].y, static_cast<double>(polygon[i].y)) << family_name(family) << i;
    }
  }
}

TEST(GeneratorCommand, WritesTheLibrarysPolygonAndRejectsBadArguments) {
  testing::TempDir directory;
  const auto generator = std::filesystem::path(POLYFREP_GENERATE_EXECUTABLE);
  const auto written =
      testing::run_program(generator, {"spiral", "1234", "spiral.txt"}, directory.path());
  ASSERT_EQ(written.exit_code, 0) << written.standard_error;
  EXPECT_EQ(testing::read_file(directory / "spiral.txt"),
            format_polygon(generate_polygon(Family::spiral, 1234, kBenchmarkSeed)));

  const auto seeded =
      testing::run_program(generator, {"comb", "99", "-", "--seed", "5"}, directory.path());
  ASSERT_EQ(seeded.exit_code, 0);
  EXPECT_EQ(seeded.standard_output, format_polygon(generate_polygon(Family::comb, 99, 5)));

  const std::vector<std::vector<std::string>> refused = {
      {"hexagon", "100", "x.txt"},        {"comb", "7", "x.txt"},
      {"comb", "ten", "x.txt"},           {"comb", "100"},
      {"comb", "100", "x.txt", "--seed"},
  };
  for (const auto& arguments : refused) {
    const auto result = testing::run_program(generator, arguments, directory.path());
    EXPECT_EQ(result.exit_code, 2) << arguments[0] << " " << arguments[1];
  }
  EXPECT_FALSE(std::filesystem::exists(directory / "x.txt"));
}

}  // namespace
}  // namespace polyfrep::bench
