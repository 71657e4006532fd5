// The decomposition oracle of the conversion fuzzer: the simplicity test it
// relies on, the formula spelling it compares with the formula file, and the
// whole oracle over generated outlines, which must all pass it.
#include "fuzz/formula_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/polygon_generators.h"

namespace polyfrep::fuzzing {
namespace {

struct OutlineCase {
  std::string name;
  std::vector<Point> vertices;
  bool simple;
};

TEST(IsSimpleOutline, TellsSimpleOutlinesFromTouchingAndCrossingOnes) {
  const std::vector<OutlineCase> cases = {
      {"square", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, true},
      {"clockwise square", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, true},
      {"straight corner", {{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}, true},
      {"notch", {{0, 0}, {4, 0}, {4, 4}, {2, 1}, {0, 4}}, true},
      {"bow tie", {{0, 0}, {1, 1}, {1, 0}, {0, 1}}, false},
      {"vertex on a far edge", {{0, 0}, {4, 0}, {4, 4}, {2, 0}, {0, 4}}, false},
      {"repeated vertex", {{0, 0}, {1, 0}, {1, 0}, {0, 1}}, false},
      {"folds back", {{0, 0}, {2, 0}, {1, 0}, {1, 1}}, false},
      {"first and last fold", {{1, 0}, {2, 2}, {0, 2}, {0, 0}, {2, 0}}, false},
      {"flat triangle", {{0, 0}, {1, 0}, {2, 0}}, false},
      {"two vertices", {{0, 0}, {1, 0}}, false},
      {"figure eight through a vertex", {{0, 0}, {2, 2}, {4, 0}, {4, 4}, {2, 2}, {0, 4}}, false},
  };
  for (const OutlineCase& c : cases)
    EXPECT_EQ(is_simple_outline(c.vertices), c.simple) << c.name;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += "\n  " + line;
  return text;
}

TEST(CorrectFormulaViolations, HoldOnGeneratedOutlinesBothWaysRound) {
  for (const testing::NamedPolygon& polygon : testing::generated_polygons(4, 7319)) {
    EXPECT_EQ(joined(correct_formula_violations(polygon.vertices)), "") << polygon.name;
    std::vector<Point> reversed = polygon.vertices;
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(joined(correct_formula_violations(reversed)), "") << polygon.name << " reversed";
  }
}

TEST(CorrectFormulaViolations, HoldOnOutlinesWithoutAFormula) {
  const std::vector<std::vector<Point>> outlines = {
      {}, {{0, 0}}, {{0, 0}, {1, 0}}, {{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {0, 0}, {0, 0}}};
  for (const std::vector<Point>& outline : outlines)
    EXPECT_TRUE(correct_formula_violations(outline).empty()) << outline.size() << " vertices";
}

}  // namespace
}  // namespace polyfrep::fuzzing
