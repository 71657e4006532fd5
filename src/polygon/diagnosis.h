#pragma once

#include <span>
#include <vector>

#include "polygon/self_intersection.h"

namespace polyfrep {

// What both programs need to know of an outline before converting or
// checking it, each found once; each program reports it in its own words.
struct PolygonDiagnosis {
  int vertex_count = 0;            // as the input gave it
  long long coordinates_read = 0;  // of the 2 * vertex_count the input should hold
  int orientation = 0;  // sign of the enclosed area, exactly: 1 counter-clockwise, -1 clockwise
  std::vector<int> zero_length_edges;   // edges whose two ends coincide, in order
  std::vector<EdgeCrossing> crossings;  // the first crossing pairs found, if they were sought
};

inline long long expected_coordinates(const PolygonDiagnosis& diagnosis) {
  return 2LL * diagnosis.vertex_count;
}

// Edges from vertex i to vertex (i + 1) mod n whose ends coincide: a
// repeated vertex, including a first vertex repeated at the end.
std::vector<int> zero_length_edges(std::span<const Point> vertices);

// The diagnosis of an outline read from a file that should have held
// 2 * vertices.size() coordinates and gave `coordinates_read` of them. Up to
// `crossings_wanted` crossing pairs are sought with the sweep of
// find_self_intersections (none when 0: the sweep costs n log n).
PolygonDiagnosis diagnose_polygon(std::span<const Point> vertices, long long coordinates_read,
                                  int crossings_wanted);

}  // namespace polyfrep
