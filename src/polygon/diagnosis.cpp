#include "polygon/diagnosis.h"

#include "geometry/segments.h"
#include "polygon/area.h"

namespace polyfrep {

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
  if (crossings_wanted > 0)
    diagnosis.crossings = find_self_intersections(vertices, crossings_wanted);
  return diagnosis;
}

}  // namespace polyfrep
