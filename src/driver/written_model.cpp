#include "driver/written_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "driver/formula_choice.h"
#include "formula/cut_certificate.h"
#include "formula/formula_check.h"
#include "geometry/segments.h"

namespace polyfrep {

namespace {

bool same_points(std::span<const Point> a, std::span<const Point> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), same_point);
}

// Why the written outline itself cannot be described: it lost an edge,
// crosses itself or turned round. Empty when none of these.
std::string outline_problem(const PolygonDiagnosis& written, const OutlineNumbers& numbers) {
  if (!written.zero_length_edges.empty()) {
    const int edge = written.zero_length_edges.front();
    const int next = edge + 1 == written.vertex_count ? 0 : edge + 1;
    return "vertices " + std::to_string(numbers.vertex(edge)) + " and " +
           std::to_string(numbers.vertex(next)) + " would coincide";
  }
  if (!written.crossings.empty()) {
    const int first = numbers.edge(written.crossings.front().first_edge);
    const int second = numbers.edge(written.crossings.front().second_edge);
    return "edges " + std::to_string(std::min(first, second)) + " and " +
           std::to_string(std::max(first, second)) + " would cross";
  }
  if (written.orientation < 0) return "the outline would run clockwise";
  if (written.orientation == 0) return "the outline would enclose no area";
  return {};
}

std::string cut_problem(const CutCertificate& certificate, const OutlineNumbers& numbers) {
  if (!certificate.chain_shaped) return "the formula would not describe it";
  if (certificate.top_level) {
    return "the cut at vertices " + std::to_string(numbers.vertex(certificate.unsound_cut)) +
           " and " + std::to_string(numbers.vertex(certificate.other_vertex)) + " would be unsound";
  }
  return "the cut at vertex " + std::to_string(numbers.vertex(certificate.unsound_cut)) +
         " would be unsound";
}

// The written outline's problem when one of its edges has zero length: the
// first such edge names it, unless a coordinate reads back as an infinity.
std::string lost_edge_problem(const PolygonDiagnosis& diagnosis, int first_lost_edge,
                              bool all_finite) {
  if (!all_finite) return "a coordinate would exceed the largest number";
  PolygonDiagnosis lost;
  lost.vertex_count = diagnosis.vertex_count;
  lost.zero_length_edges = {first_lost_edge};
  return outline_problem(lost, {});
}

}  // namespace

WrittenPolygon read_written_polygon(std::span<const Point> vertices, const VertexText& text,
                                    const PolygonDiagnosis& diagnosis) {
  if (diagnosis.orientation <= 0 || !diagnosis.zero_length_edges.empty() ||
      !diagnosis.crossings.empty()) {
    return {};
  }
  // Read back point by point. Once a written edge has zero length that
  // alone is the problem, and the points read back (16 MB for a million) are
  // let go at once: only whether the rest read back finite still counts.
  const std::size_t n = vertices.size();
  std::vector<Point> read_back;
  read_back.reserve(n);  // its pages are touched as it fills
  int first_lost_edge = -1;
  bool all_finite = true;
  Point previous{};
  for (std::size_t k = 0; k < n; ++k) {
    const Point point = read_back_point(text, k);
    all_finite = all_finite && is_finite(point);
    if (first_lost_edge < 0) {
      if (k > 0 && same_point(point, previous)) {
        first_lost_edge = static_cast<int>(k - 1);
        read_back = std::vector<Point>();
      } else {
        read_back.push_back(point);
      }
    }
    previous = point;
  }
  if (first_lost_edge < 0 && n > 1 && same_point(read_back[n - 1], read_back[0])) {
    first_lost_edge = static_cast<int>(n - 1);
  }
  if (first_lost_edge < 0) return written_polygon(vertices, std::move(read_back), diagnosis);
  WrittenPolygon written;
  written.differs = true;  // the input has no zero-length edge
  written.problem = lost_edge_problem(diagnosis, first_lost_edge, all_finite);
  return written;
}

WrittenPolygon written_polygon(std::span<const Point> vertices, std::vector<Point> read_back,
                               const PolygonDiagnosis& diagnosis, const OutlineNumbers& numbers) {
  WrittenPolygon written;
  if (diagnosis.orientation <= 0 || !diagnosis.zero_length_edges.empty() ||
      !diagnosis.crossings.empty()) {
    return written;
  }
  written.vertices = std::move(read_back);
  written.differs = !same_points(written.vertices, vertices);
  if (!written.differs) {
    written.vertices = {};
    return written;
  }
  if (!std::all_of(written.vertices.begin(), written.vertices.end(), is_finite)) {
    written.problem = "a coordinate would exceed the largest number";
    return written;
  }
  // Lost edges first: they are found in one pass, crossings take a sweep.
  PolygonDiagnosis written_diagnosis =
      diagnose_polygon(written.vertices, expected_coordinates(diagnosis), 0);
  if (written_diagnosis.zero_length_edges.empty()) {
    // Rounding moves the vertices so little that the input's star centre
    // usually serves the written outline too.
    find_crossings(written.vertices, 1, diagnosis.star_centre, written_diagnosis);
  }
  written.problem = outline_problem(written_diagnosis, numbers);
  // The points serve only the formula's check, which a problem makes moot;
  // the decomposition may still be running, and they take 16 bytes apiece.
  if (!written.problem.empty()) written.vertices = std::vector<Point>();
  return written;
}

std::string written_formula_problem(const WrittenPolygon& written, const Formula& formula,
                                    const OutlineNumbers& numbers) {
  if (!written.differs) return {};
  if (!written.problem.empty()) return written.problem;
  const CutCertificate certificate = check_cut_certificate(written.vertices, formula);
  if (certifies(certificate)) return {};
  // A formula whose cuts are not all sound may describe the polygon all the
  // same; small polygons can afford the exact check.
  if (written.vertices.size() <= static_cast<std::size_t>(kExactCheckLimit) &&
      check_formula(written.vertices, formula).holds) {
    return {};
  }
  return cut_problem(certificate, numbers);
}

}  // namespace polyfrep
