#include "geometry/vertex_text.h"

#include "geometry/number_format.h"

namespace polyfrep {

namespace {

CoordinateText coordinate_text(double value) {
  char digits[kMaxNumberText];
  const std::size_t length = format_double(value, digits);
  CoordinateText text{};
  for (std::size_t i = 0; i < length && i < sizeof text.characters; ++i) {
    text.characters[i] = digits[i];
  }
  text.length = static_cast<unsigned char>(length);
  return text;
}

}  // namespace

VertexText format_vertex_text(std::span<const Point> points) {
  VertexText text;
  text.coordinates.reserve(2 * points.size());
  for (const Point& point : points) {
    text.coordinates.push_back(coordinate_text(point.x));
    text.coordinates.push_back(coordinate_text(point.y));
  }
  return text;
}

VertexText select_vertex_text(const VertexText& text, std::size_t first, std::size_t count) {
  VertexText selected;
  const std::size_t total = point_count(text);
  if (total == 0) return selected;
  selected.coordinates.reserve(2 * count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t point = (first + k) % total;
    selected.coordinates.push_back(text.coordinates[2 * point]);
    selected.coordinates.push_back(text.coordinates[2 * point + 1]);
  }
  return selected;
}

}  // namespace polyfrep
