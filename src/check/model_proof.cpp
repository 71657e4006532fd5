#include "check/model_proof.h"

#include <cmath>

#include "formula/cut_certificate.h"
#include "formula/formula_check.h"
#include "formula/region_certificate.h"
#include "formula/region_formula.h"
#include "geometry/segments.h"
#include "polygon/diagnosis.h"
#include "polygon/region_validity.h"

namespace polyfrep {

namespace {

// Seconds per n^2 log2 n of the full exact check, measured on outlines of
// 2,000 to 20,000 vertices here.
constexpr double kFullCheckSecondsPerStep = 1.7e-8;

// Appended rather than written "s" + std::to_string(edge): g++ 12 at -O3
// warns, wrongly, that the prefix's insertion may overlap (-Wrestrict), which
// breaks a Release build with warnings as errors.
std::string edge_name(int edge) {
  std::string name = "s";
  name += std::to_string(edge);
  return name;
}

FormulaProof refuted(std::string reason, std::optional<Point> witness = std::nullopt) {
  return {FormulaProof::Outcome::kRefuted, FormulaProof::Method::kNone, std::move(reason), witness};
}

// Why the outline itself can have no formula describing it, or empty. An
// edge of zero length is no such reason: its half-plane is empty (its
// distance function is not a number, which "&" and "|" take as the lowest
// value), and the full check deals with that.
std::string outline_problem(std::span<const Point> vertices,
                            const std::optional<Point>& centre_hint) {
  PolygonDiagnosis diagnosis = diagnose_polygon(vertices, 2 * (long long)vertices.size(), 0);
  find_crossings(vertices, 1, centre_hint, diagnosis);
  if (!diagnosis.crossings.empty()) {
    return "it crosses itself (edges " + std::to_string(diagnosis.crossings.front().first_edge) +
           " and " + std::to_string(diagnosis.crossings.front().second_edge) +
           "), so it has no inside";
  }
  if (diagnosis.orientation < 0) return "it runs clockwise, so the edges' left sides are outside";
  if (diagnosis.orientation == 0) return "it encloses no area";
  return {};
}

std::string certificate_failure(const CutCertificate& certificate) {
  if (!certificate.chain_shaped) {
    return "the formula is not shaped as the converter's decompositions are";
  }
  if (certificate.top_level) {
    return "the top-level cut at vertices " + std::to_string(certificate.unsound_cut) + " and " +
           std::to_string(certificate.other_vertex) + " is not sound";
  }
  return "the cut at vertex " + std::to_string(certificate.unsound_cut) + " is not sound";
}

// Why a ring of the region can have no inside, or empty: as outline_problem
// on its counter-clockwise points, with the region's edge numbers.
std::string ring_problem(const Region& region, int r) {
  const Ring& ring = region.rings[static_cast<std::size_t>(r)];
  const std::vector<Point> points = counter_clockwise_points(region, ring);
  PolygonDiagnosis diagnosis = diagnose_polygon(points, 2 * (long long)points.size(), 0);
  find_crossings(points, 1, std::nullopt, diagnosis);
  const std::string name = ring_name(region, r);
  if (!diagnosis.crossings.empty()) {
    const EdgeCrossing crossing = diagnosis.crossings.front();
    const int first = region_edge(ring, crossing.first_edge);
    const int second = region_edge(ring, crossing.second_edge);
    return name + " crosses itself (edges " + std::to_string(std::min(first, second)) + " and " +
           std::to_string(std::max(first, second)) + "), so it has no inside";
  }
  if (diagnosis.orientation < 0) {
    return name + (ring.hole ? " runs counter-clockwise, so its edges' left sides are inside it"
                             : " runs clockwise, so its edges' left sides are outside it");
  }
  if (diagnosis.orientation == 0) return name + " encloses no area";
  return {};
}

std::string region_certificate_failure(const Region& region, const RegionCertificate& certificate) {
  if (!certificate.region_shaped) {
    return "the formula does not join the rings as the converter does (" +
           certificate.shape_problem + ")";
  }
  return ring_name(region, certificate.failed_ring) +
         "'s subformula is not certified: " + certificate_failure(certificate.ring_certificate);
}

// The region's edges, each from its vertex to its ring's next one.
std::vector<EdgeSegment> region_segments(const Region& region) {
  std::vector<EdgeSegment> segments;
  segments.reserve(region.vertices.size());
  for (const Ring& ring : region.rings) {
    for (int edge = ring.first; edge < ring.first + ring.count; ++edge) {
      segments.push_back({region.vertices[static_cast<std::size_t>(edge)],
                          region.vertices[static_cast<std::size_t>(ring_successor(ring, edge))]});
    }
  }
  return segments;
}

FormulaProof not_proven(std::string reason) {
  return {FormulaProof::Outcome::kNotProven, FormulaProof::Method::kNone, std::move(reason), {}};
}

std::string exact_limit_text(int exact_limit) {
  return "the full exact check is skipped above " + std::to_string(exact_limit) +
         " vertices (its time grows with the square of the vertex count; --exact-limit N "
         "raises the limit)";
}

}  // namespace

WrittenOutline written_outline(const CompiledModel& model, int edge_count,
                               std::span<const Ring> rings) {
  WrittenOutline outline;
  std::vector<Point> ends;
  for (int edge = 0; edge < edge_count; ++edge) {
    const int slot = slot_of_edge(model, edge);
    const WrittenEdge* written =
        slot < 0 ? nullptr : slot_edge(model, model.slots[static_cast<std::size_t>(slot)]);
    if (written == nullptr) {
      outline.problem = edge_name(edge) + " is not written for an edge";
      return outline;
    }
    outline.vertices.push_back(written->start);
    ends.push_back(written->end);
  }
  const std::vector<int> successors = edge_successors(static_cast<std::size_t>(edge_count), rings);
  for (int edge = 0; edge < edge_count; ++edge) {
    const int next = successors[static_cast<std::size_t>(edge)];
    if (!same_point(ends[static_cast<std::size_t>(edge)],
                    outline.vertices[static_cast<std::size_t>(next)])) {
      outline.problem = edge_name(edge) + " does not end where " + edge_name(next) + " starts";
      outline.vertices.clear();
      return outline;
    }
  }
  return outline;
}

double full_check_seconds(std::size_t edge_count) {
  const auto n = static_cast<double>(edge_count);
  return kFullCheckSecondsPerStep * n * n * std::log2(std::max(n, 2.0));
}

FormulaProof prove_formula(std::span<const Point> vertices, const Formula& formula,
                           const ProofOptions& options) {
  if (std::string problem = outline_problem(vertices, options.centre_hint); !problem.empty()) {
    return refuted("no formula describes the outline: " + problem);
  }
  const CutCertificate certificate = check_cut_certificate(vertices, formula);
  if (certifies(certificate)) {
    return {FormulaProof::Outcome::kProven, FormulaProof::Method::kCertificate, {}, {}};
  }
  // A failed certificate does not make the formula wrong; the full check
  // decides, where it can be afforded.
  const std::string why_no_certificate = certificate_failure(certificate);
  if (vertices.size() > static_cast<std::size_t>(options.exact_limit)) {
    return {FormulaProof::Outcome::kNotProven,
            FormulaProof::Method::kNone,
            why_no_certificate + ", and " + exact_limit_text(options.exact_limit),
            {}};
  }
  if (options.announce) options.announce(full_check_seconds(vertices.size()));
  const FormulaVerdict verdict = check_formula(vertices, formula, options.progress);
  if (verdict.holds) {
    return {FormulaProof::Outcome::kProven, FormulaProof::Method::kFullCheck, {}, {}};
  }
  std::string reason = verdict.reason;
  if (verdict.edge >= 0) reason += " (edge " + std::to_string(verdict.edge) + ")";
  return refuted(std::move(reason), verdict.witness);
}

FormulaProof prove_region_formula(const Region& region, const Formula& formula,
                                  const ProofOptions& options) {
  bool certifiable = true;
  int zero_length_ring = -1;
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    if (std::string problem = ring_problem(region, r); !problem.empty()) {
      return refuted("no formula describes the region: " + problem);
    }
    // A zero-length edge leaves the ring to the full check, which takes
    // its half-plane as empty.
    if (certifiable && !zero_length_edges(counter_clockwise_points(
                                              region, region.rings[static_cast<std::size_t>(r)]))
                            .empty()) {
      certifiable = false;
      zero_length_ring = r;
    }
  }
  std::string why_no_certificate;
  if (certifiable) {
    const RegionCertificate certificate = check_region_certificate(region, formula);
    if (certifies(certificate)) {
      return {FormulaProof::Outcome::kProven, FormulaProof::Method::kRingCertificates, {}, {}};
    }
    why_no_certificate = region_certificate_failure(region, certificate);
  } else {
    why_no_certificate = ring_name(region, zero_length_ring) + " has an edge of zero length";
  }
  if (region.vertices.size() > static_cast<std::size_t>(options.exact_limit)) {
    return not_proven(why_no_certificate + ", and " + exact_limit_text(options.exact_limit));
  }
  // The full check compares the formula with what the edges bound: the
  // points where the rings' winding numbers (+1 inside an exterior, -1
  // inside a hole) add up to 1. That is the region, up to the points where
  // rings touch, exactly when the region is valid: no rings crossing, every
  // hole inside its exterior, no nested holes, no overlapping polygons.
  if (const RegionProblem problem = first_region_problem(region);
      problem.kind != RegionProblemKind::kNone) {
    return not_proven(why_no_certificate +
                      ", and the full exact check cannot stand in for it: the region is not "
                      "valid: " +
                      region_problem_text(problem));
  }
  if (options.announce) options.announce(full_check_seconds(region.vertices.size()));
  const FormulaVerdict verdict =
      check_region_formula(region_segments(region), formula, options.progress);
  if (verdict.holds) {
    return {FormulaProof::Outcome::kProven, FormulaProof::Method::kFullCheck, {}, {}};
  }
  std::string reason = verdict.reason;
  if (verdict.edge >= 0) reason += " (edge " + std::to_string(verdict.edge) + ")";
  return refuted(std::move(reason), verdict.witness);
}

}  // namespace polyfrep
