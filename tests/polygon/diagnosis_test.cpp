#include "polygon/diagnosis.h"

#include <gtest/gtest.h>

#include <vector>

namespace polyfrep {
namespace {

TEST(DiagnosePolygon, FindsOrientationRepeatsAndCrossings) {
  const struct {
    const char* name;
    std::vector<Point> vertices;
    int orientation;
    std::vector<int> zero_length_edges;
    bool crosses;
  } cases[] = {
      {"square", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 1, {}, false},
      {"clockwise square", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, -1, {}, false},
      {"first vertex repeated at the end", {{0, 0}, {1, 0}, {0, 1}, {0, 0}}, 1, {3}, false},
      {"two repeats", {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {1, 1}, {0, 1}}, 1, {1, 3}, false},
      {"bow tie", {{0, 0}, {2, 2}, {2, 0}, {0, 2}}, 0, {}, true},
      {"all on one line", {{0, 0}, {1, 0}, {2, 0}}, 0, {}, true},
      // Twice the area is (1 + 2^-30)^2 - (1 + 2^-29) = 2^-60, which
      // products rounded to doubles make 0.
      {"sliver", {{0, 0}, {1 + 0x1p-30, 1}, {1 + 0x1p-29, 1 + 0x1p-30}}, 1, {}, false},
      // Coordinates near the largest double: a mean of them overflows.
      {"huge", {{1.7976931348623157e308, 0}, {1e30, 0}, {1e30, 0}}, 0, {1}, true},
  };
  for (const auto& c : cases) {
    const PolygonDiagnosis swept = diagnose_polygon(c.vertices, 2 * 3, 1);
    EXPECT_EQ(swept.orientation, c.orientation) << c.name;
    EXPECT_EQ(swept.zero_length_edges, c.zero_length_edges) << c.name;
    EXPECT_EQ(!swept.crossings.empty(), c.crosses) << c.name;
    EXPECT_LE(swept.crossings.size(), 1u) << c.name;
    EXPECT_TRUE(diagnose_polygon(c.vertices, 0, 0).crossings.empty()) << c.name;
  }
}

TEST(DiagnosePolygon, CountsTheCoordinatesRead) {
  const std::vector<Point> triangle = {{0, 0}, {1, 0}, {0, 1}};
  const PolygonDiagnosis shortened = diagnose_polygon(triangle, 5, 0);
  EXPECT_EQ(shortened.vertex_count, 3);
  EXPECT_EQ(expected_coordinates(shortened), 6);
  EXPECT_EQ(shortened.coordinates_read, 5);
}

}  // namespace
}  // namespace polyfrep
