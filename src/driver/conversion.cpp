#include "driver/conversion.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "io/model_name.h"
#include "formula/decomposition.h"
#include "io/formula_file.h"
#include "io/hull_listing.h"
#include "formula/token_list.h"
#include "io/input_reader.h"
#include "io/plot_file.h"
#include "io/model_file.h"
#include "geometry/area.h"

namespace polyfrep {

namespace {

// Room for ten tokens per vertex: a polygon of n vertices needs at most 6n - 5.
constexpr int kTokensPerVertex = 10;
// The largest count whose token capacity still fits a signed 32-bit int.
constexpr int kMaxVertexCount = std::numeric_limits<int>::max() / kTokensPerVertex;

// Below this many vertices the whole conversion takes about as long as
// starting a thread, and everything runs on one.
constexpr std::size_t kConcurrentDecompositionSize = 10000;

constexpr const char* kUsage = "usage: polyfrep [INPUT [MODEL]]";

// The run's problems, one line each on standard error; any of them makes the
// exit status 1.
struct RunReport {
  bool failed = false;
};

void report(RunReport& run, const std::string& subject, const std::string& what) {
  run.failed = true;
  std::fprintf(stderr, "polyfrep: %s: %s\n", subject.c_str(), what.c_str());
}

void report_output_failure(RunReport& run, const char* name, int error_number) {
  if (error_number != 0) report(run, name, std::strerror(error_number));
}

int exit_status(const RunReport& run) {
  return run.failed ? 1 : 0;
}

// Refuses a run whose outputs would overwrite its own input, before anything
// is written: an output name may be another path to the same file.
bool output_overwrites_input(RunReport& run, const struct stat& input, const char* model_name) {
  for (const char* name : {model_name, kPlotFileName, kHullListingFileName, kFormulaFileName}) {
    struct stat output;
    if (::stat(name, &output) == 0 && output.st_dev == input.st_dev &&
        output.st_ino == input.st_ino) {
      report(run, name,
             "is the input file; nothing was written (choose another model name or "
             "move the input out of the output directory)");
      return true;
    }
  }
  return false;
}

struct InputPolygon {
  Polygon polygon;
  long long coordinates_read = 0;
};

// Checks the count against what can be converted and what the file can hold,
// before anything is allocated for it.
bool vertex_count_is_plausible(RunReport& run, const char* input_name, const struct stat& input,
                               const NumberScanner& scanner, int vertex_count) {
  if (vertex_count < 3) {
    report(run, input_name,
           "a polygon needs at least 3 vertices, found " + std::to_string(vertex_count));
    return false;
  }
  if (vertex_count > kMaxVertexCount) {
    report(run, input_name,
           "the vertex count " + std::to_string(vertex_count) + " is too large (at most " +
               std::to_string(kMaxVertexCount) + " vertices can be converted)");
    return false;
  }
  const long long bytes_left = static_cast<long long>(input.st_size) - scanner.consumed;
  if (S_ISREG(input.st_mode) && bytes_left < vertex_count) {
    report(run, input_name,
           "the vertex count " + std::to_string(vertex_count) + " cannot be right: only " +
               std::to_string(bytes_left) + " bytes follow it");
    return false;
  }
  return true;
}

// Opens and reads the input; nullopt (with the reason reported) when there is
// nothing that may be converted.
std::optional<InputPolygon> read_input(RunReport& run, const char* input_name,
                                       const char* model_name) {
  struct stat input_status;
  std::ifstream input;
  int open_error = 0;
  if (::stat(input_name, &input_status) != 0) {
    open_error = errno;
  } else if (S_ISDIR(input_status.st_mode)) {
    open_error = EISDIR;
  } else {
    input.open(input_name, std::ios::binary);
    if (!input.is_open()) open_error = errno != 0 ? errno : EACCES;
  }
  if (open_error != 0) {
    report(run, input_name, std::strerror(open_error));
    std::fprintf(stderr, "%s\n", kUsage);
    return std::nullopt;
  }
  if (output_overwrites_input(run, input_status, model_name)) return std::nullopt;

  InputPolygon result;
  NumberScanner scanner = make_number_scanner(input);
  read_vertex_count(scanner, result.polygon.vertex_count);
  if (!vertex_count_is_plausible(run, input_name, input_status, scanner,
                                 result.polygon.vertex_count)) {
    return std::nullopt;
  }
  result.coordinates_read =
      read_vertices(scanner, result.polygon.vertex_count, result.polygon.vertices);
  return result;
}

void write_plot_file(RunReport& run, const VertexText& vertex_text) {
  TextOutput out;
  if (open_text_output(out, kPlotFileName)) write_plot_geometry(vertex_text, out);
  close_text_output(out);
  report_output_failure(run, kPlotFileName, out.error);
}

void write_formula_file(RunReport& run, const TokenList& tokens) {
  TextOutput out;
  if (open_text_output(out, kFormulaFileName)) write_formula_tokens(tokens, out);
  close_text_output(out);
  report_output_failure(run, kFormulaFileName, out.error);
}

// The last hull the decomposition computed. Each listing would replace the one
// before, so only the last is written, once, when the decomposition is done.
void write_listing_file(RunReport& run, const VertexText& vertex_text, const LastHull& last) {
  const VertexText chain_text =
      select_vertex_text(vertex_text, static_cast<std::size_t>(last.chain.first),
                         static_cast<std::size_t>(last.chain.length));
  report_output_failure(run, kHullListingFileName, write_hull_listing(chain_text, last.positions));
}

void report_short_input(RunReport& run, const char* input_name, const InputPolygon& input) {
  const long long expected = 2LL * input.polygon.vertex_count;
  if (input.coordinates_read >= expected) return;
  report(run, input_name,
         "only " + std::to_string(input.coordinates_read) + " of the " + std::to_string(expected) +
             " coordinates could be read (the file ends early or holds something that is not a "
             "number); the missing ones repeat the last values read");
}

void report_clockwise(RunReport& run, const char* input_name, std::span<const Point> vertices) {
  if (signed_area_sign(vertices) >= 0) return;
  report(run, input_name,
         "the outline runs clockwise, so the model describes the edges' left sides rather than "
         "the polygon; reverse the vertex order");
}

// A repeated vertex gives an edge of zero length, whose distance function in
// the model divides zero by zero.
void report_zero_length_edges(RunReport& run, const char* input_name,
                              std::span<const Point> vertices) {
  const std::size_t n = vertices.size();
  std::size_t first = n;
  std::size_t count = 0;
  for (std::size_t edge = 0; edge < n; ++edge) {
    const Point& start = vertices[edge];
    const Point& end = vertices[(edge + 1) % n];
    if (start.x != end.x || start.y != end.y) continue;
    if (count++ == 0) first = edge;
  }
  if (count == 0) return;
  // The later vertex repeats the earlier one; for the closing edge that is
  // the last vertex repeating the first.
  const std::size_t later = first + 1 < n ? first + 1 : first;
  const std::size_t earlier = first + 1 < n ? first : 0;
  std::string what = "edge " + std::to_string(first) + " has zero length (vertex " +
                     std::to_string(later) + " repeats vertex " + std::to_string(earlier) + ")";
  if (count == 1) {
    what += ": its distance function divides by zero; remove the repeated vertex";
  } else {
    what += " and " + std::to_string(count - 1) +
            (count == 2 ? " more edge has" : " more edges have") +
            " zero length: their distance functions divide by zero; remove the repeated vertices";
  }
  report(run, input_name, what);
}

// The polygon's formula and the last hull of its decomposition.
struct Decomposition {
  TokenList tokens;
  LastHull last_hull;
  bool built = false;
};

Decomposition decompose(std::span<const Point> vertices, int vertex_count) {
  Decomposition result;
  result.tokens = make_token_list(kTokensPerVertex * vertex_count);
  result.built = build_correct_polygon_formula(vertices, result.tokens, &result.last_hull);
  return result;
}

// A large polygon is decomposed on a thread of its own while the vertex text
// is formatted and the plot file written. Its results are written only after
// both, so the files still appear in the same order; an exception thrown in
// the decomposition reaches the caller when the result is taken.
std::future<Decomposition> start_decomposition(std::span<const Point> vertices, int vertex_count) {
  if (vertices.size() >= kConcurrentDecompositionSize) {
    try {
      return std::async(std::launch::async, decompose, vertices, vertex_count);
    } catch (const std::system_error&) {
      // No thread to be had: decompose when the result is taken.
    }
  }
  return std::async(std::launch::deferred, decompose, vertices, vertex_count);
}

int convert(const char* input_name, const char* model_name) {
  RunReport run;
  const std::optional<InputPolygon> input = read_input(run, input_name, model_name);
  if (!input) return exit_status(run);
  const std::span<const Point> vertices = input->polygon.vertices;

  std::future<Decomposition> pending_decomposition =
      start_decomposition(vertices, input->polygon.vertex_count);
  const VertexText vertex_text = format_vertex_text(vertices);
  write_plot_file(run, vertex_text);

  const Decomposition decomposition = pending_decomposition.get();
  const TokenList& tokens = decomposition.tokens;
  const bool built = decomposition.built;
  write_listing_file(run, vertex_text, decomposition.last_hull);
  if (!built) {
    report(run, input_name,
           "the outline never turns left; it may run clockwise or be degenerate, so no formula "
           "and no model were written");
  } else {
    write_formula_file(run, tokens);
    report_output_failure(run, model_name, write_model(vertices, vertex_text, tokens, model_name));
  }
  report_short_input(run, input_name, *input);
  if (built) report_clockwise(run, input_name, vertices);
  report_zero_length_edges(run, input_name, vertices);
  return exit_status(run);
}

}  // namespace

int run_conversion(const char* input_name, const char* model_name) {
  try {
    return convert(input_name, model_name);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "polyfrep: out of memory\n");
    return 1;
  } catch (const std::length_error&) {
    std::fprintf(stderr, "polyfrep: out of memory\n");
    return 1;
  }
}

int run_command_line(int argument_count, const char* const* arguments) {
  std::printf("%d\n", argument_count);
  std::fflush(stdout);
  if (argument_count >= 3) return run_conversion(arguments[1], arguments[2]);
  if (argument_count == 2) {
    const std::string model_name = derive_model_name(arguments[1]);
    return run_conversion(arguments[1], model_name.c_str());
  }
  return run_conversion(kDefaultInputName, kDefaultModelName);
}

}  // namespace polyfrep
