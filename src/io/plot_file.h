#pragma once

#include <span>

#include "geometry/point.h"
#include "geometry/region.h"
#include "io/text_output.h"
#include "io/vertex_text.h"

namespace polyfrep {

inline constexpr const char* kPlotFileName = "poly.plt";

// The outline as one closed polyline of a plot geometry record: the header,
// the point count n + 1, the vertices and vertex 0 again.
// `vertices` is the text of the polygon's vertices.
void write_plot_geometry(const VertexText& vertices, TextOutput& out);

// A region's outline: the ring count in place of the 1, then one closed
// polyline per ring, each its point count, its vertices and its first
// vertex again.
void write_plot_geometry(const VertexText& vertices, std::span<const Ring> rings, TextOutput& out);

}  // namespace polyfrep
