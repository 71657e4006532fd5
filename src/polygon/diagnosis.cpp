#include "polygon/diagnosis.h"

#include "geometry/segments.h"
#include "polygon/area.h"
#include "polygon/kernel.h"

namespace polyfrep {

namespace {

// How far along the outline a small tangle is looked for.
constexpr int kNearbyReach = 8;

}  // namespace

std::vector<int> zero_length_edges(std::span<const Point> vertices) {
  std::vector<int> edges;
  for (std::size_t edge = 0; edge < vertices.size(); ++edge) {
    if (same_point(vertices[edge], vertices[(edge + 1) % vertices.size()])) {
      edges.push_back(static_cast<int>(edge));
    }
  }
  return edges;
}

PolygonDiagnosis diagnose_polygon(std::span<const Point> vertices, long long coordinates_read,
                                  int crossings_wanted) {
  PolygonDiagnosis diagnosis;
  diagnosis.vertex_count = static_cast<int>(vertices.size());
  diagnosis.coordinates_read = coordinates_read;
  diagnosis.orientation = signed_area_sign(vertices);
  diagnosis.zero_length_edges = zero_length_edges(vertices);
  if (crossings_wanted > 0) find_crossings(vertices, crossings_wanted, std::nullopt, diagnosis);
  return diagnosis;
}

void find_crossings(std::span<const Point> vertices, int crossings_wanted,
                    std::optional<Point> centre_to_try, PolygonDiagnosis& diagnosis) {
  if (centre_to_try) {
    diagnosis.star_centre =
        winds_once_around(vertices, *centre_to_try) ? centre_to_try : std::nullopt;
  } else {
    diagnosis.star_centre = star_centre(vertices);
  }
  diagnosis.crossings.clear();
  if (diagnosis.star_centre) return;
  // An outline close to a simple one crosses itself, if at all, mostly in
  // small tangles, which a look at nearby edges finds without a sweep.
  if (centre_to_try) {
    if (const std::optional<EdgeCrossing> nearby = nearby_crossing(vertices, kNearbyReach)) {
      diagnosis.crossings.push_back(*nearby);
      return;
    }
  }
  diagnosis.crossings = sweep_self_intersections(vertices, crossings_wanted);
}

}  // namespace polyfrep
