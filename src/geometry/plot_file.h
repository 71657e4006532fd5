#pragma once

#include <span>

#include "geometry/point.h"
#include "geometry/text_output.h"

namespace polyfrep {

inline constexpr const char* kPlotFileName = "poly.plt";

// The outline as one closed polyline of a plot geometry record: the header,
// the point count n + 1, the vertices and vertex 0 again.
void write_plot_geometry(std::span<const Point> vertices, TextOutput& out);

}  // namespace polyfrep
