#include "driver/conversion.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <future>
#include <new>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "driver/formula_choice.h"
#include "driver/region_conversion.h"
#include "driver/run_steps.h"
#include "driver/written_model.h"
#include "formula/decomposition.h"
#include "formula/formula.h"
#include "formula/token_list.h"
#include "io/formula_file.h"
#include "io/hull_listing.h"
#include "io/model_file.h"
#include "io/model_name.h"
#include "io/plot_file.h"
#include "io/polygon_file.h"
#include "polygon/diagnosis.h"
#include "polygon/self_intersection.h"

namespace polyfrep {

namespace {

// Below this many vertices the whole conversion takes about as long as
// starting a thread, and everything runs on one.
constexpr std::size_t kConcurrentDecompositionSize = 10000;

// Whether the input holds a polygon that may be converted; says why not.
bool polygon_accepted(RunReport& run, const char* input_name, const PolygonInput& input) {
  const std::string count = std::to_string(input.vertex_count);
  switch (input.status) {
    case PolygonFileStatus::kRead:
      return true;
    case PolygonFileStatus::kNoCount:
    case PolygonFileStatus::kTooFewVertices:
      report(run, input_name, "a polygon needs at least 3 vertices, found " + count);
      return false;
    case PolygonFileStatus::kTooManyVertices:
      report(run, input_name,
             "the vertex count " + count + " is too large (at most " +
                 std::to_string(kMaxVertexCount) + " vertices can be converted)");
      return false;
    case PolygonFileStatus::kCountBeyondFile:
      report(run, input_name,
             "the vertex count " + count + " cannot be right: only " +
                 std::to_string(input.bytes_after_count) + " bytes follow it");
      return false;
  }
  return false;
}

// Opens and reads the input; nullopt (with the reason reported) when there is
// nothing that may be converted.
std::optional<PolygonInput> read_input(RunReport& run, const char* input_name,
                                       const char* model_name) {
  PolygonFile file = open_polygon_file(input_name);
  if (file.error != 0) {
    report(run, input_name, std::strerror(file.error));
    std::fprintf(stderr, "%s\n", kUsage);
    return std::nullopt;
  }
  if (output_overwrites_input(run, file.status, model_name)) return std::nullopt;
  PolygonInput input = read_polygon_file(file);
  if (!polygon_accepted(run, input_name, input)) return std::nullopt;
  return input;
}

void report_short_input(RunReport& run, const char* input_name, const PolygonDiagnosis& diagnosis) {
  const long long expected = expected_coordinates(diagnosis);
  if (diagnosis.coordinates_read >= expected) return;
  report(run, input_name,
         "only " + std::to_string(diagnosis.coordinates_read) + " of the " +
             std::to_string(expected) +
             " coordinates could be read (the file ends early or holds something that is not a "
             "number); the missing ones repeat the last values read");
}

void report_clockwise(RunReport& run, const char* input_name, const PolygonDiagnosis& diagnosis) {
  if (diagnosis.orientation >= 0) return;
  report(run, input_name,
         "the outline runs clockwise, so the model describes the edges' left sides rather than "
         "the polygon; reverse the vertex order");
}

// A repeated vertex gives an edge of zero length, whose distance function in
// the model divides zero by zero.
void report_zero_length_edges(RunReport& run, const char* input_name,
                              const PolygonDiagnosis& diagnosis) {
  const std::vector<int>& edges = diagnosis.zero_length_edges;
  if (edges.empty()) return;
  const int first = edges.front();
  // The later vertex repeats the earlier one; for the closing edge that is
  // the last vertex repeating the first.
  const bool closing = first + 1 == diagnosis.vertex_count;
  const int later = closing ? first : first + 1;
  const int earlier = closing ? 0 : first;
  std::string what = "edge " + std::to_string(first) + " has zero length (vertex " +
                     std::to_string(later) + " repeats vertex " + std::to_string(earlier) + ")";
  if (edges.size() == 1) {
    what += ": its distance function divides by zero; remove the repeated vertex";
  } else {
    what += " and " + std::to_string(edges.size() - 1) +
            (edges.size() == 2 ? " more edge has" : " more edges have") +
            " zero length: their distance functions divide by zero; remove the repeated vertices";
  }
  report(run, input_name, what);
}

// A large polygon is decomposed on a thread of its own while the vertex text
// is formatted and the plot file written. Its results are written only after
// these, so the files still appear in the same order; an exception thrown in
// the decomposition reaches the caller when the result is taken.
std::future<Decomposition> start_decomposition(std::span<const Point> vertices,
                                               const PolygonDiagnosis& diagnosis,
                                               std::stop_token stop = {}) {
  const auto decompose = [vertices, diagnosis, stop = std::move(stop)] {
    FormulaPolicy policy;
    policy.stop = stop;
    return choose_polygon_formula(vertices, diagnosis, policy);
  };
  if (vertices.size() >= kConcurrentDecompositionSize) {
    try {
      return std::async(std::launch::async, decompose);
    } catch (const std::system_error&) {
      // No thread to be had: decompose when the result is taken.
    }
  }
  return std::async(std::launch::deferred, decompose);
}

// The decomposition of an outline, started before the outline has been
// swept for crossings on the assumption that it is simple. An outline that
// crosses itself gets the plain formula instead, as a clockwise one does: when
// the sweep finds a crossing, the started decomposition, which checks and
// repairs every cut, is told to stop (its work would be thrown away) and the
// plain one starts at once. The stopped one ends on its own within a few
// hundred chains; its future, which waits for it when let go, is kept
// until then.
class PendingDecomposition {
 public:
  PendingDecomposition(std::span<const Point> vertices, const PolygonDiagnosis& diagnosis)
      : vertices_(vertices),
        started_repairing_(repairs_cuts(diagnosis)),
        pending_(start_decomposition(vertices, diagnosis, stop_.get_token())) {}

  // The diagnosis now holds the crossings the sweep found, if any.
  void sweep_done(const PolygonDiagnosis& diagnosis) {
    if (!started_repairing_ || repairs_cuts(diagnosis)) return;
    stop_.request_stop();
    stopped_ = std::move(pending_);
    pending_ = start_decomposition(vertices_, diagnosis);
  }

  // The result; a stopped decomposition is done by then too, so that the
  // vertices may be let go.
  Decomposition take() {
    Decomposition result = pending_.get();
    if (stopped_.valid()) stopped_.wait();
    return result;
  }

 private:
  std::span<const Point> vertices_;
  bool started_repairing_;
  std::stop_source stop_;
  std::future<Decomposition> pending_;
  std::future<Decomposition> stopped_;
};

void report_crossing(RunReport& run, const char* input_name, const PolygonDiagnosis& diagnosis) {
  if (diagnosis.crossings.empty()) return;
  const EdgeCrossing& crossing = diagnosis.crossings.front();
  report(run, input_name,
         "the outline crosses itself (edges " + std::to_string(crossing.first_edge) + " and " +
             std::to_string(crossing.second_edge) +
             "): it has no inside, so no model can describe one; --make-valid converts the "
             "valid region it encloses");
}

// Writes "Formula.txt" and the model. The model keeps the coordinates of
// `vertex_text` when the formula describes the polygon they give; otherwise
// it gets exact ones. Returns why it did not keep them, or nothing.
// The vertices are let go once their text is made: the files need only the
// text, and a million vertices take 16 MB while the model is written.
std::string write_formula_and_model_as_written(RunReport& run, std::vector<Point> vertices,
                                               VertexText& vertex_text, WrittenPolygon& written,
                                               Formula formula, const char* model_name,
                                               int digits) {
  if (written.differs && written.problem.empty()) written.vertices = read_back_points(vertex_text);
  std::string problem = written_formula_problem(written, formula);
  written = WrittenPolygon{};
  const std::string bounding_box = bounding_box_line(vertices, vertex_text);
  if (!problem.empty()) {
    // Everything that needs the usual text is written by now.
    vertex_text = VertexText{};
    vertex_text = format_vertex_text_concurrently(vertices, NumberStyle{digits, true});
  }
  const std::size_t vertex_count = vertices.size();
  vertices = std::vector<Point>();
  write_formula_and_model(run, vertex_count, bounding_box, vertex_text, std::move(formula),
                          model_name);
  return problem;
}

// A vector file: its region, or why there is none to convert.
int convert_region_file(const char* input_name, const char* model_name,
                        const ConversionOptions& options) {
  RunReport run;
  struct stat status;
  if (::stat(input_name, &status) != 0) {
    report(run, input_name, std::strerror(errno));
    std::fprintf(stderr, "%s\n", kUsage);
    return exit_status(run);
  }
  if (output_overwrites_input(run, status, model_name)) return exit_status(run);
  const RegionInput input = read_region_file(input_name, options.make_valid);
  if (input.status != RegionFileStatus::kRead) {
    report(run, input_name, input.reason + "; nothing was written");
    return exit_status(run);
  }
  return convert_region(input_name, model_name, options, input);
}

// With --make-valid, an outline that crosses itself becomes the valid region
// it encloses, converted as a region; nullopt for any other outline, which
// is converted as it stands.
std::optional<int> convert_made_valid(const char* input_name, const char* model_name,
                                      const ConversionOptions& options,
                                      std::span<const Point> vertices,
                                      const PolygonDiagnosis& diagnosis) {
  if (!options.make_valid || diagnosis.crossings.empty()) return std::nullopt;
  const RegionInput input = make_valid_outline(vertices);
  const EdgeCrossing& crossing = diagnosis.crossings.front();
  if (input.status != RegionFileStatus::kRead) {
    RunReport run;
    report(run, input_name,
           "the outline crosses itself (edges " + std::to_string(crossing.first_edge) + " and " +
               std::to_string(crossing.second_edge) +
               ") and encloses no area once made valid; nothing was written");
    return exit_status(run);
  }
  note(input_name,
       "the outline crosses itself (edges " + std::to_string(crossing.first_edge) + " and " +
           std::to_string(crossing.second_edge) + "); the valid region it encloses, " +
           std::to_string(input.region.rings.size()) +
           (input.region.rings.size() == 1 ? " ring" : " rings") + ", is converted instead");
  return convert_region(input_name, model_name, options, input);
}

int convert(const char* input_name, const char* model_name, const ConversionOptions& options) {
  if (is_region_file_name(input_name)) {
    return convert_region_file(input_name, model_name, options);
  }
  RunReport run;
  std::optional<PolygonInput> input = read_input(run, input_name, model_name);
  if (!input) return exit_status(run);
  const std::span<const Point> vertices = input->vertices;
  PolygonDiagnosis diagnosis = diagnose_polygon(vertices, input->coordinates_read, 0);
  if (options.make_valid) {
    find_crossings(vertices, 1, std::nullopt, diagnosis);
    if (const std::optional<int> status =
            convert_made_valid(input_name, model_name, options, vertices, diagnosis)) {
      return *status;
    }
  }

  // The sweep comes first: when it finds a crossing, the less of the started
  // decomposition has been done in vain. An outline that turns straight back
  // at a vertex crosses itself there, as the sweep will find, so its
  // decomposition is the plain one from the start; the crossing reported is
  // still the sweep's.
  PolygonDiagnosis known_before_sweep = diagnosis;
  if (repairs_cuts(diagnosis)) {
    if (const std::optional<EdgeCrossing> turn_back = turn_back_crossing(vertices)) {
      known_before_sweep.crossings.push_back(*turn_back);
    }
  }
  PendingDecomposition pending_decomposition(vertices, known_before_sweep);
  find_crossings(vertices, 1, std::nullopt, diagnosis);
  pending_decomposition.sweep_done(diagnosis);
  VertexText vertex_text = format_vertex_text(vertices, NumberStyle{options.digits, false});
  write_plot_file(run, vertex_text);
  WrittenPolygon written = read_written_polygon(vertices, vertex_text, diagnosis);
  // The points read back serve only the formula's check, once the
  // decomposition is done: they are read back again then rather than held
  // while it takes its memory (16 MB for a million).
  written.vertices = std::vector<Point>();

  Decomposition decomposition = pending_decomposition.take();
  write_listing_file(run, vertex_text, decomposition.last_hull);
  const bool formula_built = built(decomposition);
  std::string written_problem;
  if (!formula_built) {
    report(run, input_name,
           "the outline never turns left; it may run clockwise or be degenerate, so no formula "
           "and no model were written");
  } else {
    // Nothing after this reads the vertices: the decompositions are done.
    written_problem = write_formula_and_model_as_written(
        run, std::move(input->vertices), vertex_text, written, std::move(decomposition.formula),
        model_name, options.digits);
  }
  report_short_input(run, input_name, diagnosis);
  if (formula_built) {
    report_clockwise(run, input_name, diagnosis);
    report_crossing(run, input_name, diagnosis);
  }
  report_zero_length_edges(run, input_name, diagnosis);
  if (!written_problem.empty()) {
    note(input_name, digits_in_words(options.digits) +
                         " significant digits would make the model wrong (" + written_problem +
                         "); its coordinates are written with up to 17 digits");
  }
  return exit_status(run);
}

}  // namespace

int run_conversion(const char* input_name, const char* model_name,
                   const ConversionOptions& options) {
  try {
    return convert(input_name, model_name, options);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "polyfrep: out of memory\n");
    return 1;
  } catch (const std::length_error&) {
    std::fprintf(stderr, "polyfrep: out of memory\n");
    return 1;
  }
}

}  // namespace polyfrep
