#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "check/sampling.h"

namespace polyfrep {

inline constexpr int kDefaultExactLimit = 20000;

struct CheckOptions {
  std::string input_path;
  std::string model_path;  // the model file; derive_model_name(input_path) when empty
  std::string svg_path;    // where to draw the picture; none when empty
  // Sample counts; those not given follow default_sample_settings.
  std::optional<int> grid_per_side;
  std::optional<int> random_samples;
  std::optional<int> midpoint_edges;  // edges sampled beside their midpoints
  // The exact check's time grows with the square of the vertex count; it is
  // skipped for outlines of more vertices than this, and the model is then
  // not proven right.
  int exact_limit = kDefaultExactLimit;
  // Check against the valid region that the converter's --make-valid makes
  // of a vector file's polygons or of an outline that crosses itself.
  bool make_valid = false;
};

// A check that cannot be carried out: an unreadable or malformed file, or an
// input of fewer than three vertices. The message is ready to print.
class CheckError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kExitProvenRight = 0;
inline constexpr int kExitNotRight = 1;
inline constexpr int kExitUsage = 2;

// Checks the model file against the input polygon and appends the findings,
// one per line, to `report`. Returns kExitProvenRight when the formula is
// proven to describe the polygon and nothing else is wrong, kExitNotRight
// otherwise. Throws CheckError when the check cannot be made.
int run_check(const CheckOptions& options, std::string& report);

}  // namespace polyfrep
