#include "geometry/plot_file.h"

namespace polyfrep {

namespace {

void put_point_line(TextOutput& out, Point point) {
  put_double(out, point.x);
  put(out, ' ');
  put_double(out, point.y);
  put(out, '\n');
}

}  // namespace

void write_plot_geometry(std::span<const Point> vertices, TextOutput& out) {
  put(out, "GEOMETRY CS = GRID T = LINE ");
  put(out, " ");
  put(out, "\n1\n");
  put_integer(out, static_cast<long long>(vertices.size()) + 1);
  put(out, '\n');
  for (const Point& vertex : vertices)
    put_point_line(out, vertex);
  // An empty polygon has no first vertex to close the outline with.
  if (!vertices.empty())
    put_point_line(out, vertices.front());
}

}  // namespace polyfrep
