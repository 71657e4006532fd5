#pragma once

#include <optional>
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
  // A point the outline winds once around, which proves it simple without a
  // sweep, when crossings were sought and one was found.
  std::optional<Point> star_centre;
};

inline long long expected_coordinates(const PolygonDiagnosis& diagnosis) {
  return 2LL * diagnosis.vertex_count;
}

// Edges from vertex i to vertex (i + 1) mod n whose ends coincide: a
// repeated vertex, including a first vertex repeated at the end.
std::vector<int> zero_length_edges(std::span<const Point> vertices);

// Seeks up to `crossings_wanted` crossing pairs of the outline: none when it
// winds once around a star centre of its own, or, for an outline close to
// another whose star centre is known, around `centre_to_try`; otherwise the
// first pair that a look at nearby edges (with a centre to try) or the sweep
// of sweep_self_intersections finds.
void find_crossings(std::span<const Point> vertices, int crossings_wanted,
                    std::optional<Point> centre_to_try, PolygonDiagnosis& diagnosis);

// The diagnosis of an outline read from a file that should have held
// 2 * vertices.size() coordinates and gave `coordinates_read` of them. Up to
// `crossings_wanted` crossing pairs are sought with the sweep of
// find_self_intersections (none when 0: the sweep costs n log n).
PolygonDiagnosis diagnose_polygon(std::span<const Point> vertices, long long coordinates_read,
                                  int crossings_wanted);

}  // namespace polyfrep
