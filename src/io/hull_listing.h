#pragma once

#include <span>

#include "geometry/point.h"
#include "io/text_output.h"
#include "io/vertex_text.h"

namespace polyfrep {

inline constexpr const char* kHullListingFileName = "List.txt";

// The count line, then one "x y " line per point.
void write_point_list(TextOutput& out, const VertexText& points);

// Rewrites the hull listing file: the points given to chain_hull (as their
// text) and the positions it returned. Returns 0, or the errno of the failure.
int write_hull_listing(const VertexText& points, std::span<const int> hull_positions,
                       const char* path = kHullListingFileName);

}  // namespace polyfrep
