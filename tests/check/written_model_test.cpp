// The converter's models as written, read back by the checker's parser: over
// generated polygons whose coordinates have 7 to 17 significant digits, the
// formula of every model describes the polygon of the model's own edge
// blocks, and a model keeps six-digit coordinates whenever those would do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "check/model_formula.h"
#include "check/model_program.h"
#include "check/model_syntax.h"
#include "check/model_text.h"
#include "formula/formula_check.h"
#include "polygon/diagnosis.h"
#include "support/polygon_generators.h"
#include "support/test_support.h"

namespace polyfrep {
namespace {

using testing::rounded_to_digits;

// The outline shrunk to a size from 0.01 to 100 and moved about 1000 to
// 10000 away from the origin, where six digits blur more or less of its
// details, then given `digits` significant digits.
std::vector<Point> with_digits(const std::vector<Point>& outline, int digits,
                               std::mt19937_64& random) {
  double extent = 0;
  for (const Point& p : outline)
    extent = std::max({extent, std::fabs(p.x), std::fabs(p.y)});
  std::uniform_real_distribution<double> exponent(-2, 2);
  const double scale = std::pow(10.0, exponent(random)) / extent;
  std::uniform_real_distribution<double> shift(1e3, 1e4);
  const double shift_x = shift(random);
  const double shift_y = -shift(random);
  std::vector<Point> moved;
  for (const Point& p : outline) {
    moved.push_back({rounded_to_digits(shift_x + scale * p.x, digits),
                     rounded_to_digits(shift_y + scale * p.y, digits)});
  }
  return moved;
}

bool is_ccw_simple_outline(std::span<const Point> vertices) {
  const PolygonDiagnosis diagnosis = diagnose_polygon(vertices, 2 * (long long)vertices.size(), 1);
  return diagnosis.orientation > 0 && diagnosis.zero_length_edges.empty() &&
         diagnosis.crossings.empty();
}

struct WrittenModel {
  std::vector<Point> vertices;  // p0 of every edge block, as read
  Formula formula;
  bool six_digit = true;  // every p0 is written as %g writes it
};

WrittenModel read_model(const std::string& text, std::span<const Point> input) {
  const ModelSyntax syntax = parse_model(text);
  const CompiledModel model = compile_model(syntax);
  WrittenModel written;
  for (std::size_t edge = 0; edge < input.size(); ++edge) {
    const int slot = slot_of_edge(model, static_cast<int>(edge));
    EXPECT_GE(slot, 0);
    written.vertices.push_back(
        slot_edge(model, model.slots[static_cast<std::size_t>(slot)])->start);
    const std::string line =
        "p0 = [" + testing::g_text(input[edge].x) + ", " + testing::g_text(input[edge].y) + "];";
    written.six_digit = written.six_digit && text.find(line) != std::string::npos;
  }
  written.formula = extract_formula(syntax, model).formula;
  return written;
}

TEST(WrittenModel, DescribesItsOwnPolygonAndKeepsSixDigitsWhenTheyDo) {
  std::mt19937_64 random(1407);
  int widened = 0;
  int kept_though_moved = 0;
  for (const testing::NamedPolygon& polygon : testing::generated_polygons(12, 88)) {
    if (polygon.vertices.size() > 150) continue;
    for (int digits = 7; digits <= 17; digits += 2) {
      const std::vector<Point> input = with_digits(polygon.vertices, digits, random);
      if (!is_ccw_simple_outline(input)) continue;
      SCOPED_TRACE(polygon.name + ", " + std::to_string(digits) + " digits");
      testing::TempDir dir;
      testing::write_file(dir / "in.txt", testing::polygon_text(input));
      const auto run = testing::run_program(testing::converter_path(), {"in.txt"}, dir.path());
      ASSERT_EQ(run.exit_code, 0) << run.standard_error;
      const WrittenModel model = read_model(testing::read_file(dir / "in.hf"), input);
      ASSERT_TRUE(check_formula(model.vertices, model.formula).holds);

      // The six-digit outline, and whether the formula describes it.
      std::vector<Point> six_digit;
      for (const Point& p : input)
        six_digit.push_back({rounded_to_digits(p.x, 6), rounded_to_digits(p.y, 6)});
      const bool six_digits_do =
          is_ccw_simple_outline(six_digit) && check_formula(six_digit, model.formula).holds;
      EXPECT_EQ(model.six_digit, six_digits_do);
      EXPECT_EQ(run.standard_error.find("note: six significant digits") != std::string::npos,
                !six_digits_do);
      widened += !model.six_digit;
      const bool moved = !std::equal(six_digit.begin(), six_digit.end(), input.begin(),
                                     [](Point a, Point b) { return a.x == b.x && a.y == b.y; });
      kept_though_moved += model.six_digit && moved;
    }
  }
  // Both outcomes must have been exercised.
  EXPECT_GT(widened, 10);
  EXPECT_GT(kept_though_moved, 10);
}

}  // namespace
}  // namespace polyfrep
