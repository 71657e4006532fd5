#include "io/hull_listing.h"

namespace polyfrep {

void write_point_list(TextOutput& out, const VertexText& points) {
  const std::size_t count = point_count(points);
  put_integer(out, static_cast<long long>(count));
  put(out, '\n');
  // Every point line ends with a blank before the newline.
  for (std::size_t point = 0; point < count; ++point) {
    put(out, x_text(points, point));
    put(out, ' ');
    put(out, y_text(points, point));
    put(out, " \n");
  }
}

int write_hull_listing(const VertexText& points, std::span<const int> hull_positions,
                       const char* path) {
  // A file that cannot be opened leaves the output failed: every write below
  // does nothing and an existing file keeps its content.
  TextOutput out;
  open_text_output(out, path);
  put(out, "polygon\n");
  write_point_list(out, points);
  put(out, "hull\n");
  put_integer(out, static_cast<long long>(hull_positions.size()));
  put(out, '\n');
  for (const int position : hull_positions) {
    put_integer(out, position);
    put(out, ' ');
  }
  put(out, '\n');
  close_text_output(out);
  return out.error;
}

}  // namespace polyfrep
