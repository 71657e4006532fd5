#include "check/check_run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "check/edge_functions.h"
#include "check/model_formula.h"
#include "check/model_loading.h"
#include "check/model_program.h"
#include "check/model_proof.h"
#include "check/model_syntax.h"
#include "check/report_text.h"
#include "check/svg_picture.h"
#include "formula/formula.h"
#include "formula/region_formula.h"
#include "geometry/segments.h"
#include "io/model_name.h"
#include "io/number_format.h"
#include "io/polygon_file.h"
#include "io/region_file.h"
#include "io/text_output.h"
#include "polygon/diagnosis.h"
#include "polygon/region_validity.h"

namespace polyfrep {

namespace {

// Lists of problems show this many entries.
constexpr std::size_t kListed = 5;

// A full exact check expected to take this long is announced.
constexpr double kSecondsWorthAnnouncing = 3;

// Sample points are skipped within this share of the outline's size of it,
// and at least twice the largest rounding shift of a vertex.
constexpr double kToleranceShare = 1e-9;

struct Findings {
  std::string* report = nullptr;
  std::vector<std::string> failed;   // names of the findings that fail
  bool exact_check_skipped = false;  // then nothing is proven, though nothing may fail
};

void add_line(Findings& findings, const std::string& name, const std::string& text) {
  *findings.report += name + ": " + text + "\n";
}

void add_failure(Findings& findings, const std::string& name, const std::string& text) {
  add_line(findings, name, text);
  if (std::find(findings.failed.begin(), findings.failed.end(), name) == findings.failed.end()) {
    findings.failed.push_back(name);
  }
}

std::string system_reason() {
  return std::strerror(errno);
}

// The polygon, refused with the reason when there is none to check.
PolygonInput read_input(const std::string& path) {
  PolygonFile file = open_polygon_file(path.c_str());
  if (file.error != 0) throw CheckError("cannot open " + path + ": " + std::strerror(file.error));
  PolygonInput input = read_polygon_file(file);
  const std::string count = std::to_string(input.vertex_count);
  switch (input.status) {
    case PolygonFileStatus::kRead:
      break;
    case PolygonFileStatus::kNoCount:
      throw CheckError(path + ": the file does not begin with a vertex count");
    case PolygonFileStatus::kTooFewVertices:
      throw CheckError(path + ": " + count + " vertices; a polygon needs at least 3");
    case PolygonFileStatus::kTooManyVertices:
      throw CheckError(path + ": the vertex count " + count + " is too large (at most " +
                       std::to_string(kMaxVertexCount) + ")");
    case PolygonFileStatus::kCountBeyondFile:
      throw CheckError(path + ": the vertex count " + count + " cannot be right: only " +
                       std::to_string(input.bytes_after_count) + " bytes follow it");
  }
  if (input.read_error) throw CheckError("cannot read " + path);
  return input;
}

void report_short_input(Findings& findings, const PolygonDiagnosis& diagnosis) {
  const long long expected = expected_coordinates(diagnosis);
  if (diagnosis.coordinates_read >= expected) return;
  add_failure(findings, "input",
              "only " + std::to_string(diagnosis.coordinates_read) + " of " +
                  std::to_string(expected) + " coordinates could be read; vertex " +
                  std::to_string(diagnosis.coordinates_read / 2) +
                  " and later repeat the last values read, as the converter takes them");
}

// Read in large blocks straight into the string, reserved at the file's
// size when it has one: a model of hundreds of megabytes is then held once,
// not twice as through a string stream.
std::string read_text_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CheckError("cannot open " + path + ": " + system_reason());
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  std::string text;
  std::error_code size_error;
  const std::uintmax_t size = std::filesystem::file_size(path, size_error);
  if (!size_error) text.reserve(static_cast<std::size_t>(size) + kBlock);
  std::size_t length = 0;
  while (in) {
    text.resize(length + kBlock);
    in.read(text.data() + length, static_cast<std::streamsize>(kBlock));
    length += static_cast<std::size_t>(in.gcount());
  }
  if (in.bad()) throw CheckError("cannot read " + path);
  text.resize(length);
  return text;
}

std::string position_text(const std::string& path, SourcePosition where) {
  return path + ":" + std::to_string(where.line) + ":" + std::to_string(where.column);
}

LoadedModel load_model(const std::string& path) {
  const std::string text = read_text_file(path);
  try {
    return load_model_text(text);
  } catch (const ModelError& error) {
    throw CheckError(position_text(path, error.where) + ": " + error.what());
  }
}

void report_orientation(Findings& findings, const PolygonDiagnosis& diagnosis) {
  if (diagnosis.orientation > 0) {
    add_line(findings, "orientation", "counter-clockwise");
  } else if (diagnosis.orientation < 0) {
    add_failure(findings, "orientation",
                "clockwise: the model describes the edges' left sides, which lie outside the "
                "polygon; reverse the vertex order of the input");
  } else {
    add_failure(findings, "orientation", "none: the outline encloses no area");
  }
}

// `ends` holds the vertex where each of the listed edges ends.
void report_zero_length_edges(Findings& findings, const std::vector<int>& edges,
                              const std::vector<int>& ends) {
  if (edges.empty()) {
    add_line(findings, "zero-length edges", "none");
    return;
  }
  std::string text = std::to_string(edges.size()) + " (";
  for (std::size_t k = 0; k < edges.size() && k < kListed; ++k) {
    if (k > 0) text += ", ";
    text += "edge " + std::to_string(edges[k]) + " from vertex " + std::to_string(edges[k]) +
            " to vertex " + std::to_string(ends[k]);
  }
  if (edges.size() > kListed) text += ", ...";
  text +=
      "): a repeated vertex; the edge's distance function divides by zero; remove the repeated "
      "vertex from the input";
  add_failure(findings, "zero-length edges", text);
}

void report_zero_length_edges(Findings& findings, const PolygonDiagnosis& diagnosis) {
  std::vector<int> ends;
  for (std::size_t k = 0; k < diagnosis.zero_length_edges.size() && k < kListed; ++k)
    ends.push_back((diagnosis.zero_length_edges[k] + 1) % diagnosis.vertex_count);
  report_zero_length_edges(findings, diagnosis.zero_length_edges, ends);
}

void report_self_intersections(Findings& findings, const PolygonDiagnosis& diagnosis) {
  const std::vector<EdgeCrossing>& crossings = diagnosis.crossings;
  if (crossings.empty()) {
    add_line(findings, "self-intersections", "none");
    return;
  }
  std::string text;
  for (const EdgeCrossing& crossing : crossings) {
    if (!text.empty()) text += ", ";
    text += "edges " + std::to_string(crossing.first_edge) + " and " +
            std::to_string(crossing.second_edge);
  }
  if (crossings.size() >= kListed) text += ", ... (first found)";
  add_failure(findings, "self-intersections", text);
}

void report_model_problems(Findings& findings, const CompiledModel& model,
                           const std::string& model_path) {
  for (std::size_t k = 0; k < model.problems.size() && k < kListed; ++k) {
    const ModelProblem& problem = model.problems[k];
    add_failure(findings, "model",
                position_text(model_path, problem.where) + ": " + problem.message);
  }
  if (model.problems.size() > kListed) {
    add_failure(findings, "model",
                std::to_string(model.problems.size() - kListed) + " more values are not numbers");
  }
}

// Checks the distance functions and returns the largest rounding shift.
double report_edge_functions(Findings& findings, const CompiledModel& model,
                             std::span<const Point> vertices, std::span<const Ring> rings = {}) {
  const EdgeFunctionReport edges = check_edge_functions(model, vertices, kListed, rings);
  const int count = static_cast<int>(vertices.size());
  if (edges.problem_count == 0) {
    add_line(findings, "edge functions",
             "s0 to s" + std::to_string(count - 1) +
                 ", each the signed distance from its edge as written, positive on its left");
  }
  for (const std::string& problem : edges.problems)
    add_failure(findings, "edge functions", problem);
  if (edges.problem_count > static_cast<int>(edges.problems.size())) {
    add_failure(findings, "edge functions",
                std::to_string(edges.problem_count - static_cast<int>(edges.problems.size())) +
                    " more problems");
  }
  if (edges.vertices_moved == 0) {
    add_line(findings, "precision",
             "no vertex moved: " + std::to_string(edges.vertices_compared) + " of " +
                 std::to_string(count) + " vertices are written exactly");
  } else {
    add_line(findings, "precision",
             "largest shift " + text_of(edges.largest_shift) + " (vertex " +
                 std::to_string(edges.largest_shift_vertex) + "); " +
                 std::to_string(edges.vertices_moved) + " of " + std::to_string(count) +
                 " vertices moved by rounding to six significant digits");
  }
  return edges.largest_shift;
}

struct ExactOutcome {
  bool holds = false;
  bool has_point = false;
  Point point{0, 0};
};

std::string method_text(FormulaProof::Method method) {
  switch (method) {
    case FormulaProof::Method::kCertificate:
      return "the chain certificate";
    case FormulaProof::Method::kRingCertificates:
      return "the chain certificates of its rings";
    default:
      return "the full exact check";
  }
}

// What is checked: one outline (no rings), or a region's rings over the
// vertices.
struct CheckedShape {
  std::span<const Point> vertices;
  std::span<const Ring> rings;
  std::optional<Point> centre_hint;  // of a single outline, when known
};

const char* shape_noun(const CheckedShape& shape) {
  return shape.rings.empty() ? "polygon" : "region";
}

FormulaProof prove_shape(const CheckedShape& shape, std::span<const Point> vertices,
                         const Formula& formula, const ProofOptions& options) {
  if (shape.rings.empty()) return prove_formula(vertices, formula, options);
  const Region region{std::vector<Point>(vertices.begin(), vertices.end()),
                      std::vector<Ring>(shape.rings.begin(), shape.rings.end())};
  return prove_region_formula(region, formula, options);
}

// Says, on standard error, how long a long full check will take, and shows
// how far it is when standard error is a terminal.
ProofOptions proof_options(const CheckOptions& options, std::optional<Point> centre_hint) {
  ProofOptions proof;
  proof.exact_limit = options.exact_limit;
  proof.centre_hint = centre_hint;
  proof.announce = [](double seconds) {
    if (seconds < kSecondsWorthAnnouncing) return;
    std::fprintf(stderr, "polyfrep-check: the full exact check will take about %.0f s\n", seconds);
  };
  if (isatty(STDERR_FILENO) != 0) {
    proof.progress = [](int done, int total) {
      std::fprintf(stderr, "\rpolyfrep-check: exact check %d%%", 100 * done / total);
      if (done == total) std::fprintf(stderr, "\n");
    };
  }
  return proof;
}

// The formula on the input's own coordinates, when the model's differ: one
// line that tells, without counting against the model.
void report_input_coordinates(Findings& findings, const CheckedShape& shape,
                              std::span<const Point> written, const Formula& formula,
                              const ProofOptions& options) {
  const std::span<const Point> vertices = shape.vertices;
  if (std::equal(vertices.begin(), vertices.end(), written.begin(), written.end(), same_point)) {
    return;
  }
  ProofOptions quiet = options;
  quiet.announce = {};
  quiet.progress = {};
  const FormulaProof proof = prove_shape(shape, vertices, formula, quiet);
  const std::string own = std::string("the input's own ") + shape_noun(shape);
  if (proof.outcome == FormulaProof::Outcome::kProven) {
    add_line(findings, "on the input",
             "the formula describes " + own + " too (proven by " + method_text(proof.method) + ")");
  } else if (proof.outcome == FormulaProof::Outcome::kRefuted) {
    add_line(findings, "on the input",
             "the formula does not describe " + own + ": " + proof.reason);
  } else {
    add_line(findings, "on the input",
             "not proven that the formula describes " + own + ": " + proof.reason);
  }
}

// The exact verdict on the model as written: whether the formula describes
// the polygon (or region) of the model's own edge blocks.
ExactOutcome report_exact_check(Findings& findings, const LoadedModel& loaded,
                                const CheckOptions& options, const std::string& model_path,
                                const CheckedShape& shape) {
  const std::span<const Point> vertices = shape.vertices;
  ExactOutcome outcome;
  const ModelFormula& formula = loaded.formula;
  if (!formula.complete) {
    add_failure(
        findings, "exact check",
        "not possible: " + formula.problem + " (" + position_text(model_path, formula.where) + ")");
    return outcome;
  }
  const int count = static_cast<int>(vertices.size());
  for (const int node : formula.formula.nodes) {
    if (!is_operator(node) && node >= count) {
      add_failure(findings, "exact check",
                  "not possible: the formula uses s" + std::to_string(node) +
                      " but the input has only " + std::to_string(count) + " edges");
      return outcome;
    }
  }
  const WrittenOutline written = written_outline(loaded.model, count, shape.rings);
  if (written.vertices.empty()) {
    add_failure(findings, "exact check",
                "not possible: the edge blocks give no outline: " + written.problem);
    return outcome;
  }
  const ProofOptions proof_settings = proof_options(options, shape.centre_hint);
  const FormulaProof proof = prove_shape(shape, written.vertices, formula.formula, proof_settings);
  const std::string as_written = std::string("the ") + shape_noun(shape) + " as written";
  switch (proof.outcome) {
    case FormulaProof::Outcome::kProven:
      add_line(findings, "exact check",
               "proven by " + method_text(proof.method) + ": the formula describes " + as_written);
      outcome.holds = true;
      break;
    case FormulaProof::Outcome::kNotProven:
      add_line(findings, "exact check", "not proven: " + proof.reason);
      findings.exact_check_skipped = true;
      break;
    case FormulaProof::Outcome::kRefuted:
      add_failure(findings, "exact check",
                  "the formula does not describe " + as_written + ": " + proof.reason +
                      (proof.witness ? "; first failure at " + text_of(*proof.witness) : ""));
      outcome.has_point = proof.witness.has_value();
      outcome.point = proof.witness.value_or(Point{0, 0});
      break;
  }
  report_input_coordinates(findings, shape, written.vertices, formula.formula, proof_settings);
  return outcome;
}

double outline_size(std::span<const Point> vertices) {
  const Box box = sampling_box(vertices);
  return std::hypot(box.x_high - box.x_low, box.y_high - box.y_low);
}

SamplingResult report_sampling(Findings& findings, const CompiledModel& model,
                               std::span<const Point> vertices, const CheckOptions& options,
                               double largest_shift, std::span<const Ring> rings = {}) {
  SampleSettings settings = default_sample_settings(vertices.size());
  settings.grid_per_side = options.grid_per_side.value_or(settings.grid_per_side);
  settings.random_count = options.random_samples.value_or(settings.random_count);
  settings.midpoint_edges = options.midpoint_edges.value_or(settings.midpoint_edges);
  settings.max_listed = kListed;
  const double tolerance = std::max(2 * largest_shift, kToleranceShare * outline_size(vertices));
  SamplingResult result = compare_samples(model, vertices, settings, tolerance, rings);
  const std::size_t sampled_edges = sampled_edge_count(vertices.size(), settings);
  const std::string midpoints = sampled_edges == vertices.size()
                                    ? "2 beside each edge's midpoint"
                                    : "2 beside the midpoints of " + std::to_string(sampled_edges) +
                                          " of the " + std::to_string(vertices.size()) +
                                          " edges, evenly spread";
  const std::string text =
      std::to_string(result.disagreeing) + " of " + std::to_string(result.compared) +
      " points disagree (grid " + std::to_string(settings.grid_per_side) + "x" +
      std::to_string(settings.grid_per_side) + ", " + std::to_string(settings.random_count) +
      " random, " + midpoints + "; " + std::to_string(result.skipped) + " skipped within " +
      text_of(tolerance) + " of the outline)";
  if (result.disagreeing == 0) {
    add_line(findings, "sampling", text);
    return result;
  }
  add_failure(findings, "sampling", text);
  for (const SampleDisagreement& sample : result.first) {
    add_failure(
        findings, "sampling",
        "at " + text_of(sample.at) + (rings.empty() ? " the polygon is " : " the region is ") +
            (sample.polygon_inside ? "inside, the model outside" : "outside, the model inside"));
  }
  return result;
}

bool proven_right(const Findings& findings) {
  return findings.failed.empty() && !findings.exact_check_skipped;
}

std::string verdict_text(const Findings& findings) {
  if (proven_right(findings)) return "proven right";
  if (findings.failed.empty()) return "not proven (no exact proof; see the exact check)";
  std::string text = "not right (";
  for (std::size_t k = 0; k < findings.failed.size(); ++k) {
    if (k > 0) text += ", ";
    text += findings.failed[k];
  }
  return text + ")";
}

void write_picture(const CheckOptions& options, const std::string& model_path,
                   const CheckedShape& shape, const CompiledModel& model,
                   const SamplingResult& sampling, const ExactOutcome& exact,
                   const Findings& findings) {
  PictureContent content;
  content.vertices = shape.vertices;
  content.rings = shape.rings;
  content.model = &model;
  content.disagreements = sampling.spread;
  content.disagreeing = sampling.disagreeing;
  content.has_failure_point = exact.has_point;
  content.failure_point = exact.point;
  content.title = model_path + " against " + options.input_path;
  content.verdict = "verdict: " + verdict_text(findings);
  content.right = proven_right(findings);
  TextOutput out;
  if (open_text_output(out, options.svg_path.c_str())) put(out, svg_picture(content));
  if (!close_text_output(out)) {
    throw CheckError("cannot write " + options.svg_path + ": " + std::strerror(out.error));
  }
}

// ---------------------------------------------------------------------------
// Regions: the rings of a vector file, or of an outline made valid.

// The region of a vector file, refused with the reason when there is none.
RegionInput read_region_input(const std::string& path, bool make_valid) {
  RegionInput input = read_region_file(path.c_str(), make_valid);
  // The reader's reason may run over several lines; the first says it.
  const std::string reason = input.reason.substr(0, input.reason.find('\n'));
  switch (input.status) {
    case RegionFileStatus::kRead:
      break;
    case RegionFileStatus::kCannotOpen:
      throw CheckError("cannot open " + path + ": " + reason);
    case RegionFileStatus::kNoPolygon:
    case RegionFileStatus::kNotFinite:
      throw CheckError(path + ": " + reason);
  }
  return input;
}

std::string counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// What reading left out, which the converter leaves out too.
void report_left_out(Findings& findings, const RegionInput& input) {
  if (input.skipped_geometries > 0) {
    add_line(findings, "input",
             counted(static_cast<std::size_t>(input.skipped_geometries), "geometry", "geometries") +
                 " that " + (input.skipped_geometries == 1 ? "is" : "are") +
                 " not a polygon left out, as the converter leaves them out");
  }
  if (input.dropped_rings > 0) {
    add_line(findings, "input",
             counted(static_cast<std::size_t>(input.dropped_rings), "ring", "rings") +
                 " of fewer than three distinct vertices left out, as the converter leaves them "
                 "out");
  }
}

void report_region_counts(Findings& findings, const Region& region) {
  std::size_t holes = 0;
  for (const Ring& ring : region.rings)
    holes += ring.hole ? 1 : 0;
  add_line(findings, "vertices", std::to_string(region.vertices.size()));
  add_line(findings, "rings",
           std::to_string(region.rings.size()) + " (" +
               counted(region.rings.size() - holes, "exterior", "exteriors") + ", " +
               counted(holes, "hole", "holes") + ")");
  add_line(findings, "polygons", std::to_string(polygon_count(region)));
}

// Each ring's diagnosis, on its counter-clockwise points: a hole's copy
// runs the other way, so that every ring should turn counter-clockwise.
std::vector<PolygonDiagnosis> diagnose_rings(const Region& region) {
  std::vector<PolygonDiagnosis> diagnoses;
  diagnoses.reserve(region.rings.size());
  for (const Ring& ring : region.rings) {
    diagnoses.push_back(diagnose_polygon(counter_clockwise_points(region, ring), 2LL * ring.count,
                                         static_cast<int>(kListed)));
  }
  return diagnoses;
}

void report_ring_orientations(Findings& findings, const Region& region,
                              const std::vector<PolygonDiagnosis>& diagnoses) {
  std::string wrong;
  for (std::size_t r = 0; r < diagnoses.size(); ++r) {
    const int orientation = diagnoses[r].orientation;
    if (orientation > 0) continue;
    if (!wrong.empty()) wrong += ", ";
    wrong += ring_name(region, static_cast<int>(r));
    if (orientation == 0) {
      wrong += " encloses no area";
    } else {
      wrong += region.rings[r].hole ? " runs counter-clockwise" : " runs clockwise";
    }
  }
  if (wrong.empty()) {
    add_line(findings, "orientation", "exteriors counter-clockwise, holes clockwise");
  } else {
    add_failure(findings, "orientation",
                wrong +
                    ": the model describes the edges' left sides, which lie inside a region's "
                    "exteriors and outside its holes");
  }
}

void report_ring_zero_length_edges(Findings& findings, const Region& region,
                                   const std::vector<PolygonDiagnosis>& diagnoses) {
  std::vector<int> edges;
  for (std::size_t r = 0; r < diagnoses.size(); ++r) {
    for (const int local : diagnoses[r].zero_length_edges)
      edges.push_back(region_edge(region.rings[r], local));
  }
  std::sort(edges.begin(), edges.end());
  std::vector<int> ends;
  for (std::size_t k = 0; k < edges.size() && k < kListed; ++k) {
    const int edge = edges[k];
    const auto ring = std::find_if(region.rings.begin(), region.rings.end(), [edge](const Ring& r) {
      return edge >= r.first && edge < r.first + r.count;
    });
    ends.push_back(ring_successor(*ring, edge));
  }
  report_zero_length_edges(findings, edges, ends);
}

void report_ring_self_intersections(Findings& findings, const Region& region,
                                    const std::vector<PolygonDiagnosis>& diagnoses) {
  std::string text;
  std::size_t listed = 0;
  bool more = false;
  for (std::size_t r = 0; r < diagnoses.size(); ++r) {
    const std::vector<EdgeCrossing>& crossings = diagnoses[r].crossings;
    more = more || crossings.size() >= kListed;
    for (const EdgeCrossing& crossing : crossings) {
      if (listed == kListed) {
        more = true;
        break;
      }
      const int first = region_edge(region.rings[r], crossing.first_edge);
      const int second = region_edge(region.rings[r], crossing.second_edge);
      if (!text.empty()) text += ", ";
      text += "edges " + std::to_string(std::min(first, second)) + " and " +
              std::to_string(std::max(first, second)) + " (" +
              ring_name(region, static_cast<int>(r)) + ")";
      ++listed;
    }
  }
  if (text.empty()) {
    add_line(findings, "self-intersections", "none");
    return;
  }
  if (more) text += ", ... (first found)";
  add_failure(findings, "self-intersections", text);
}

// How the rings lie together: crossing each other, holes outside their
// exterior, nested holes and overlapping polygons. A ring's problems of its
// own have lines of their own above.
void report_region_layout(Findings& findings, const Region& region) {
  const RegionProblem problem = first_region_problem(region);
  switch (problem.kind) {
    case RegionProblemKind::kNone:
      add_line(findings, "layout", "valid: no rings cross, holes lie inside their exteriors");
      return;
    case RegionProblemKind::kRingsCross:
    case RegionProblemKind::kHoleOutsideExterior:
    case RegionProblemKind::kHolesOverlap:
    case RegionProblemKind::kPolygonsOverlap:
      add_failure(findings, "layout", "not valid: " + region_problem_text(problem));
      return;
    default:
      add_line(findings, "layout", "not looked at: a ring is not simple");
  }
}

int run_region_check(const CheckOptions& options, const std::string& model_path,
                     const RegionInput& input, Findings& findings) {
  const Region& region = input.region;
  LoadedModel loaded = load_model(model_path);
  report_left_out(findings, input);
  report_region_counts(findings, region);
  const std::vector<PolygonDiagnosis> diagnoses = diagnose_rings(region);
  report_ring_orientations(findings, region, diagnoses);
  report_ring_zero_length_edges(findings, region, diagnoses);
  report_ring_self_intersections(findings, region, diagnoses);
  report_region_layout(findings, region);
  report_model_problems(findings, loaded.model, model_path);
  const double largest_shift =
      report_edge_functions(findings, loaded.model, region.vertices, region.rings);
  const CheckedShape shape{region.vertices, region.rings, std::nullopt};
  const ExactOutcome exact = report_exact_check(findings, loaded, options, model_path, shape);
  const SamplingResult sampling = report_sampling(findings, loaded.model, region.vertices, options,
                                                  largest_shift, region.rings);
  add_line(findings, "verdict", verdict_text(findings));
  if (!options.svg_path.empty()) {
    write_picture(options, model_path, shape, loaded.model, sampling, exact, findings);
  }
  return proven_right(findings) ? kExitProvenRight : kExitNotRight;
}

// With --make-valid, an outline that crosses itself is checked as the
// valid region it encloses, as the converter converts it.
int run_made_valid_check(const CheckOptions& options, const std::string& model_path,
                         std::span<const Point> vertices, const PolygonDiagnosis& diagnosis,
                         Findings& findings) {
  const EdgeCrossing& crossing = diagnosis.crossings.front();
  const std::string crossing_text = "the outline crosses itself (edges " +
                                    std::to_string(crossing.first_edge) + " and " +
                                    std::to_string(crossing.second_edge) + ")";
  const RegionInput input = make_valid_outline(vertices);
  if (input.status != RegionFileStatus::kRead) {
    throw CheckError(options.input_path + ": " + crossing_text +
                     " and encloses no area once made valid");
  }
  add_line(findings, "input",
           crossing_text + "; the valid region it encloses, " +
               counted(input.region.rings.size(), "ring", "rings") + ", is checked");
  return run_region_check(options, model_path, input, findings);
}

}  // namespace

int run_check(const CheckOptions& options, std::string& report) {
  Findings findings{&report, {}};
  const std::string model_path =
      options.model_path.empty() ? derive_model_name(options.input_path) : options.model_path;
  if (is_region_file_name(options.input_path)) {
    return run_region_check(options, model_path,
                            read_region_input(options.input_path, options.make_valid), findings);
  }
  const PolygonInput input = read_input(options.input_path);
  const std::span<const Point> vertices = input.vertices;
  const PolygonDiagnosis diagnosis =
      diagnose_polygon(vertices, input.coordinates_read, static_cast<int>(kListed));
  report_short_input(findings, diagnosis);
  if (options.make_valid && !diagnosis.crossings.empty()) {
    return run_made_valid_check(options, model_path, vertices, diagnosis, findings);
  }
  LoadedModel loaded = load_model(model_path);

  add_line(findings, "vertices", std::to_string(vertices.size()));
  report_orientation(findings, diagnosis);
  report_zero_length_edges(findings, diagnosis);
  report_self_intersections(findings, diagnosis);
  report_model_problems(findings, loaded.model, model_path);
  const double largest_shift = report_edge_functions(findings, loaded.model, vertices);
  const CheckedShape shape{vertices, {}, diagnosis.star_centre};
  const ExactOutcome exact = report_exact_check(findings, loaded, options, model_path, shape);
  const SamplingResult sampling =
      report_sampling(findings, loaded.model, vertices, options, largest_shift);
  add_line(findings, "verdict", verdict_text(findings));
  if (!options.svg_path.empty()) {
    write_picture(options, model_path, shape, loaded.model, sampling, exact, findings);
  }
  return proven_right(findings) ? kExitProvenRight : kExitNotRight;
}

}  // namespace polyfrep
