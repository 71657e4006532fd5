#include "io/plot_file.h"

namespace polyfrep {

namespace {

void put_point_line(TextOutput& out, const VertexText& vertices, std::size_t vertex) {
  put(out, x_text(vertices, vertex));
  put(out, ' ');
  put(out, y_text(vertices, vertex));
  put(out, '\n');
}

}  // namespace

void write_plot_geometry(const VertexText& vertices, TextOutput& out) {
  const std::size_t vertex_count = point_count(vertices);
  put(out, "GEOMETRY CS = GRID T = LINE ");
  put(out, " ");
  put(out, "\n1\n");
  put_integer(out, static_cast<long long>(vertex_count) + 1);
  put(out, '\n');
  for (std::size_t vertex = 0; vertex < vertex_count; ++vertex)
    put_point_line(out, vertices, vertex);
  // An empty polygon has no first vertex to close the outline with.
  if (vertex_count > 0) put_point_line(out, vertices, 0);
}

}  // namespace polyfrep
