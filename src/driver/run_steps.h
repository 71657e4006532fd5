#pragma once

#include <sys/stat.h>

#include <span>
#include <string>

#include "formula/decomposition.h"
#include "formula/token_list.h"
#include "geometry/region.h"
#include "io/vertex_text.h"

namespace polyfrep {

// The run's problems, one line each on standard error; any of them makes the
// exit status 1.
struct RunReport {
  bool failed = false;
};

void report(RunReport& run, const std::string& subject, const std::string& what);

// Reports the errno of a failed output, if any.
void report_output_failure(RunReport& run, const char* name, int error_number);

inline int exit_status(const RunReport& run) {
  return run.failed ? 1 : 0;
}

// A remark on standard error that leaves the exit status as it is.
void note(const char* input_name, const std::string& what);

// "six" for 6, up to "seventeen".
std::string digits_in_words(int digits);

// Refuses a run whose outputs would overwrite its own input, before anything
// is written: an output name may be another path to the same file.
bool output_overwrites_input(RunReport& run, const struct stat& input, const char* model_name);

// "poly.plt": the outline, or with `rings` each ring of a region.
void write_plot_file(RunReport& run, const VertexText& vertex_text,
                     std::span<const Ring> rings = {});

// "List.txt": the last hull the decomposition computed, of the points whose
// text is given. Each listing would replace the one before, so only the last
// is written, once, when the decomposition is done.
void write_listing_file(RunReport& run, const VertexText& vertex_text, const LastHull& last);

// Writes "Formula.txt" and the model from the formula's flat view, room for
// ten tokens per vertex as always. The formula itself is let go first: the
// flat view is all the writers need.
void write_formula_and_model(RunReport& run, std::size_t vertex_count,
                             const std::string& bounding_box, const VertexText& block_text,
                             Formula formula, const char* model_name,
                             std::span<const Ring> rings = {});

}  // namespace polyfrep
