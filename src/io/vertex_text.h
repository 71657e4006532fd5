#pragma once

#include <cstddef>
#include <cstdint>
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
//
// Point i's x text starts at block_start[i / kPointsPerTextBlock] +
// start_offset[i], with one more entry at the end for the end of the text: a
// block's texts take a few megabytes at most, so an offset within it fits in
// 32 bits, and the starts cost 4 bytes a point instead of 8.
inline constexpr std::size_t kTextBlockShift = 16;
inline constexpr std::size_t kPointsPerTextBlock = std::size_t{1} << kTextBlockShift;

struct VertexText {
  std::vector<char> characters;
  std::vector<std::size_t> block_start;
  std::vector<std::uint32_t> start_offset;
  std::vector<unsigned char> x_length;  // the y text follows the x text
};

inline std::size_t text_start(const VertexText& text, std::size_t point) {
  return text.block_start[point >> kTextBlockShift] + text.start_offset[point];
}

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

// One of those points.
Point read_back_point(const VertexText& text, std::size_t point);

// The text of points[first], points[first + 1], ... (wrapping after the last
// point), `count` of them: a chain of a polygon, without formatting again.
VertexText select_vertex_text(const VertexText& text, std::size_t first, std::size_t count);

inline std::size_t point_count(const VertexText& text) {
  return text.x_length.size();
}

inline std::string_view x_text(const VertexText& text, std::size_t point) {
  return {text.characters.data() + text_start(text, point), text.x_length[point]};
}

inline std::string_view y_text(const VertexText& text, std::size_t point) {
  const std::size_t y_start = text_start(text, point) + text.x_length[point];
  return {text.characters.data() + y_start, text_start(text, point + 1) - y_start};
}

}  // namespace polyfrep
