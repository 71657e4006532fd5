#include "check/model_proof.h"

#include <cmath>

#include "formula/cut_certificate.h"
#include "formula/formula_check.h"
#include "geometry/segments.h"
#include "polygon/diagnosis.h"

namespace polyfrep {

namespace {

// Seconds per n^2 log2 n of the full exact check, measured on outlines of
// 2,000 to 20,000 vertices here.
constexpr double kFullCheckSecondsPerStep = 1.7e-8;

std::string edge_name(int edge) {
  return "s" + std::to_string(edge);
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

}  // namespace

WrittenOutline written_outline(const CompiledModel& model, int edge_count) {
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
  for (int edge = 0; edge < edge_count; ++edge) {
    const int next = edge + 1 == edge_count ? 0 : edge + 1;
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
            why_no_certificate + ", and the full exact check is skipped above " +
                std::to_string(options.exact_limit) +
                " vertices (its time grows with the square of the vertex count; --exact-limit N "
                "raises the limit)",
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

}  // namespace polyfrep
