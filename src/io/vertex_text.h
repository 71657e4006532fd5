#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// The text of every coordinate of a run of points, formatted once so that
// the plot file, the model file and the hull listing all show the same
// numbers without formatting them again. The texts lie back to back, x then
// y for each point, which takes about half the room of a fixed slot per
// coordinate (a coordinate takes up to 13 characters, most far fewer).
struct VertexText {
  std::vector<char> characters;
  std::vector<std::size_t> point_start;  // point i's x text starts here; one more entry at the end
  std::vector<unsigned char> x_length;   // the y text follows the x text
};

// How coordinates are written: `digits` significant digits in the "%g"
// style; with `exact`, at least that many and as many more as reading the
// text back as the same double takes.
struct NumberStyle {
  int digits = 6;
  bool exact = false;
};

VertexText format_vertex_text(std::span<const Point> points, NumberStyle style = {});

// The same, the two halves of the points on two threads.
VertexText format_vertex_text_concurrently(std::span<const Point> points, NumberStyle style);

// The points as any reader of their text reads them back: every coordinate
// correctly rounded to a double, and a text beyond the largest double read
// as an infinity.
std::vector<Point> read_back_points(const VertexText& text);

// The text of points[first], points[first + 1], ... (wrapping after the last
// point), `count` of them: a chain of a polygon, without formatting again.
VertexText select_vertex_text(const VertexText& text, std::size_t first, std::size_t count);

inline std::size_t point_count(const VertexText& text) {
  return text.x_length.size();
}

inline std::string_view x_text(const VertexText& text, std::size_t point) {
  return {text.characters.data() + text.point_start[point], text.x_length[point]};
}

inline std::string_view y_text(const VertexText& text, std::size_t point) {
  const std::size_t y_start = text.point_start[point] + text.x_length[point];
  return {text.characters.data() + y_start, text.point_start[point + 1] - y_start};
}

}  // namespace polyfrep
