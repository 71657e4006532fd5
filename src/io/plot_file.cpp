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
  const Ring outline{0, static_cast<int>(point_count(vertices)), 0, false};
  write_plot_geometry(vertices, std::span<const Ring>(&outline, 1), out);
}

void write_plot_geometry(const VertexText& vertices, std::span<const Ring> rings, TextOutput& out) {
  put(out, "GEOMETRY CS = GRID T = LINE ");
  put(out, " ");
  put(out, "\n");
  put_integer(out, static_cast<long long>(rings.size()));
  put(out, '\n');
  for (const Ring& ring : rings) {
    const auto first = static_cast<std::size_t>(ring.first);
    const auto count = static_cast<std::size_t>(ring.count);
    put_integer(out, static_cast<long long>(count) + 1);
    put(out, '\n');
    for (std::size_t vertex = first; vertex < first + count; ++vertex)
      put_point_line(out, vertices, vertex);
    // An empty polygon has no first vertex to close the outline with.
    if (count > 0) put_point_line(out, vertices, first);
  }
}

}  // namespace polyfrep
