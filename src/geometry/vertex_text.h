#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// One coordinate's "%g" text. Six significant digits never need more than
// 13 characters ("-1.23457e-308"), so the text fits a fixed slot.
struct CoordinateText {
  char characters[15];
  unsigned char length;
};

// The text of every coordinate of a run of points, x then y for each point,
// formatted once so that the plot file, the model file and the hull listing
// all show the same numbers without formatting them again.
struct VertexText {
  std::vector<CoordinateText> coordinates;  // 2 per point
};

VertexText format_vertex_text(std::span<const Point> points);

// The text of points[first], points[first + 1], ... (wrapping after the last
// point), `count` of them: a chain of a polygon, without formatting again.
VertexText select_vertex_text(const VertexText& text, std::size_t first, std::size_t count);

inline std::size_t point_count(const VertexText& text) {
  return text.coordinates.size() / 2;
}

inline std::string_view x_text(const VertexText& text, std::size_t point) {
  const CoordinateText& coordinate = text.coordinates[2 * point];
  return {coordinate.characters, coordinate.length};
}

inline std::string_view y_text(const VertexText& text, std::size_t point) {
  const CoordinateText& coordinate = text.coordinates[2 * point + 1];
  return {coordinate.characters, coordinate.length};
}

}  // namespace polyfrep
