// The written outline read back point by point, which lets the points go
// once a written edge has zero length, against reading every point back
// first and judging them all together.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/written_model.h"

namespace polyfrep {
namespace {

struct WrittenCase {
  const char* name;
  std::vector<Point> polygon;  // counter-clockwise and simple
  int digits;
};

PolygonDiagnosis swept(const std::vector<Point>& polygon) {
  PolygonDiagnosis diagnosis =
      diagnose_polygon(polygon, 2 * static_cast<long long>(polygon.size()), 0);
  find_crossings(polygon, 1, std::nullopt, diagnosis);
  return diagnosis;
}

TEST(WrittenPolygon, ReadPointByPointAsWhenEveryPointIsReadFirst) {
  const std::vector<WrittenCase> cases = {
      {"unchanged", {{0, 0}, {4, 0}, {4, 3}, {0, 3}}, 6},
      {"moved without losing an edge", {{0, 0}, {4.0000001, 0}, {4, 3}, {0, 3}}, 6},
      {"first edge lost",
       {{100000, 0}, {100000.4, 0}, {200000, 0}, {200000, 50000}, {100000, 50000}},
       6},
      {"two edges lost: the first counts",
       {{0, 0}, {100000, 0}, {100000.4, 0}, {100000.4, 50000}, {100000.1, 50000}, {0, 50000}},
       6},
      {"the closing edge lost",
       {{100000.4, 0}, {200000, 0}, {200000, 50000}, {100000, 50000}, {100000, 0}},
       6},
      {"an edge lost and a coordinate too large",
       {{0, 0}, {1.7976931348623155e308, 0}, {1.7976931348623157e308, 0}, {0, 1e308}},
       10},
      {"a coordinate too large and no edge lost",
       {{0, 0}, {1.7976931348623157e308, 0}, {0, 1e308}},
       10},
  };
  for (const WrittenCase& c : cases) {
    SCOPED_TRACE(c.name);
    const PolygonDiagnosis diagnosis = swept(c.polygon);
    ASSERT_TRUE(diagnosis.crossings.empty() && diagnosis.zero_length_edges.empty());
    const VertexText text = format_vertex_text(c.polygon, NumberStyle{c.digits, false});
    const WrittenPolygon streamed = read_written_polygon(c.polygon, text, diagnosis);
    const WrittenPolygon whole = written_polygon(c.polygon, read_back_points(text), diagnosis);
    EXPECT_EQ(streamed.differs, whole.differs);
    EXPECT_EQ(streamed.problem, whole.problem);
    // The points themselves matter only while there is no problem yet.
    if (whole.problem.empty()) {
      EXPECT_EQ(streamed.vertices.size(), whole.vertices.size());
    }
  }
}

}  // namespace
}  // namespace polyfrep
