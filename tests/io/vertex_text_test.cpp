#include "io/vertex_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "io/number_format.h"

namespace polyfrep {
namespace {

std::string formatted(double value, NumberStyle style) {
  char text[kMaxNumberText];
  return std::string(text, style.exact ? format_exact_double(value, style.digits, text)
                                       : format_double(value, style.digits, text));
}

// Enough points for the starts to cross several blocks, with texts of every
// length, so that a start kept relative to the wrong block shows.
std::vector<Point> varied_points(std::size_t count) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  std::uniform_int_distribution<int> exponent(-30, 30);
  std::vector<Point> points(count);
  for (Point& p : points) {
    p = {std::ldexp(mantissa(random), exponent(random)),
         random() % 4 == 0 ? 0.0 : mantissa(random)};
  }
  return points;
}

// Every coordinate's text is its own formatting, whether the text was made
// on one thread or two, and a selection that wraps past the last point holds
// the same texts.
TEST(VertexText, EveryPointKeepsItsTextAcrossBlocks) {
  const std::vector<Point> points = varied_points(3 * kPointsPerTextBlock + 123);
  for (const NumberStyle style : {NumberStyle{6, false}, NumberStyle{6, true}}) {
    const VertexText sequential = format_vertex_text(points, style);
    const VertexText concurrent = format_vertex_text_concurrently(points, style);
    ASSERT_EQ(point_count(sequential), points.size());
    ASSERT_EQ(point_count(concurrent), points.size());
    for (std::size_t k = 0; k < points.size(); ++k) {
      const std::string x = formatted(points[k].x, style);
      const std::string y = formatted(points[k].y, style);
      ASSERT_EQ(x_text(sequential, k), x) << k;
      ASSERT_EQ(y_text(sequential, k), y) << k;
      ASSERT_EQ(x_text(concurrent, k), x) << k;
      ASSERT_EQ(y_text(concurrent, k), y) << k;
    }
    const std::size_t first = points.size() - kPointsPerTextBlock / 2;
    const VertexText selected = select_vertex_text(sequential, first, 2 * kPointsPerTextBlock);
    for (std::size_t k = 0; k < point_count(selected); ++k) {
      const std::size_t point = (first + k) % points.size();
      ASSERT_EQ(x_text(selected, k), x_text(sequential, point)) << k;
      ASSERT_EQ(y_text(selected, k), y_text(sequential, point)) << k;
    }
  }
}

}  // namespace
}  // namespace polyfrep
