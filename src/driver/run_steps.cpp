#include "driver/run_steps.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <system_error>
#include <utility>

#include "formula/formula.h"
#include "io/formula_file.h"
#include "io/hull_listing.h"
#include "io/model_file.h"
#include "io/plot_file.h"
#include "io/polygon_file.h"

namespace polyfrep {

void report(RunReport& run, const std::string& subject, const std::string& what) {
  run.failed = true;
  std::fprintf(stderr, "polyfrep: %s: %s\n", subject.c_str(), what.c_str());
}

void report_output_failure(RunReport& run, const char* name, int error_number) {
  if (error_number != 0) report(run, name, std::strerror(error_number));
}

void note(const char* input_name, const std::string& what) {
  std::fprintf(stderr, "polyfrep: %s: note: %s\n", input_name, what.c_str());
}

std::string digits_in_words(int digits) {
  static constexpr const char* kWords[] = {"six",      "seven",   "eight",   "nine",
                                           "ten",      "eleven",  "twelve",  "thirteen",
                                           "fourteen", "fifteen", "sixteen", "seventeen"};
  return digits >= 6 && digits <= 17 ? kWords[digits - 6] : std::to_string(digits);
}

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

void write_plot_file(RunReport& run, const VertexText& vertex_text, std::span<const Ring> rings) {
  TextOutput out;
  if (open_text_output(out, kPlotFileName)) {
    if (rings.empty()) {
      write_plot_geometry(vertex_text, out);
    } else {
      write_plot_geometry(vertex_text, rings, out);
    }
  }
  close_text_output(out);
  report_output_failure(run, kPlotFileName, out.error);
}

void write_listing_file(RunReport& run, const VertexText& vertex_text, const LastHull& last) {
  const VertexText chain_text =
      select_vertex_text(vertex_text, static_cast<std::size_t>(last.chain.first),
                         static_cast<std::size_t>(last.chain.length));
  report_output_failure(run, kHullListingFileName, write_hull_listing(chain_text, last.positions));
}

namespace {

// Writes the tokens into the opened "Formula.txt" and closes it.
void finish_formula_file(RunReport& run, TextOutput& out, const TokenList& tokens) {
  write_formula_tokens(tokens, out);
  close_text_output(out);
  report_output_failure(run, kFormulaFileName, out.error);
}

// The model written on a thread of its own, which asks for the tokens once
// its edge blocks are written; an invalid future when no thread can be had.
std::future<int> start_model(const std::string& bounding_box, const VertexText& block_text,
                             const std::function<const TokenList&()>& tokens_when_needed,
                             const char* model_name, std::span<const Ring> rings) {
  try {
    return std::async(
        std::launch::async, [&bounding_box, &block_text, &tokens_when_needed, model_name, rings] {
          return write_model(bounding_box, block_text, tokens_when_needed, model_name, rings);
        });
  } catch (const std::system_error&) {
    return {};
  }
}

}  // namespace

void write_formula_and_model(RunReport& run, std::size_t vertex_count,
                             const std::string& bounding_box, const VertexText& block_text,
                             Formula formula, const char* model_name, std::span<const Ring> rings) {
  TextOutput formula_out;
  open_text_output(formula_out, kFormulaFileName);
  // The model's edge blocks, the bulk of its text, need only the vertex
  // text: they are written while the formula becomes tokens and goes to
  // "Formula.txt". Not when the model's name is that file's, which must end
  // up holding the model alone.
  TokenList tokens;
  std::promise<void> tokens_made;
  std::future<void> tokens_ready = tokens_made.get_future();
  const std::function<const TokenList&()> tokens_when_needed = [&]() -> const TokenList& {
    tokens_ready.get();
    return tokens;
  };
  std::future<int> model_written;
  if (!writes_to_file(formula_out, model_name)) {
    model_written = start_model(bounding_box, block_text, tokens_when_needed, model_name, rings);
  }
  try {
    tokens = make_token_list(kTokensPerVertex * static_cast<int>(vertex_count));
    append_tokens(formula, tokens);
  } catch (...) {
    // The model's thread must not wait for tokens that will never come.
    tokens_made.set_exception(std::current_exception());
    throw;
  }
  tokens_made.set_value();
  formula = Formula{};
  finish_formula_file(run, formula_out, tokens);
  const int model_error = model_written.valid()
                              ? model_written.get()
                              : write_model(bounding_box, block_text, tokens, model_name, rings);
  report_output_failure(run, model_name, model_error);
}

}  // namespace polyfrep
