#pragma once

#include <span>

#include "geometry/point.h"
#include "io/text_output.h"
#include "io/vertex_text.h"

namespace polyfrep {

inline constexpr const char* kPlotFileName = "poly.plt";

// The outline as one closed polyline of a plot geometry record: the header,
// the point count n + 1, the vertices and vertex 0 again.
// `vertices` is the text of the polygon's vertices.
void write_plot_geometry(const VertexText& vertices, TextOutput& out);

}  // namespace polyfrep
