#include "io/vertex_text.h"

#include "io/number_format.h"

namespace polyfrep {

namespace {

// Six significant digits never need more than "-1.23457e-308". Reserving
// room for the longest text costs address space only: the pages are touched
// as the text is written.
constexpr std::size_t kLongestCoordinate = 13;

void start_points(VertexText& text, std::size_t point_count, std::size_t expected_characters) {
  text.characters.reserve(expected_characters);
  text.point_start.reserve(point_count + 1);
  text.x_length.reserve(point_count);
  text.point_start.push_back(0);
}

void append_point(VertexText& text, std::string_view x, std::string_view y) {
  text.characters.insert(text.characters.end(), x.begin(), x.end());
  text.characters.insert(text.characters.end(), y.begin(), y.end());
  text.x_length.push_back(static_cast<unsigned char>(x.size()));
  text.point_start.push_back(text.characters.size());
}

}  // namespace

VertexText format_vertex_text(std::span<const Point> points) {
  VertexText text;
  start_points(text, points.size(), 2 * kLongestCoordinate * points.size());
  char x[kMaxNumberText];
  char y[kMaxNumberText];
  for (const Point& point : points) {
    const std::size_t x_size = format_double(point.x, x);
    const std::size_t y_size = format_double(point.y, y);
    append_point(text, {x, x_size}, {y, y_size});
  }
  return text;
}

VertexText select_vertex_text(const VertexText& text, std::size_t first, std::size_t count) {
  VertexText selected;
  const std::size_t total = point_count(text);
  if (total == 0) return selected;
  start_points(selected, count, 2 * kLongestCoordinate * count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t point = (first + k) % total;
    append_point(selected, x_text(text, point), y_text(text, point));
  }
  return selected;
}

}  // namespace polyfrep
