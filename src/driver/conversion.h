#pragma once

#include "polyfrep/polyfrep.h"

namespace polyfrep {

inline constexpr const char* kDefaultInputName = "polyIn2.txt";
inline constexpr const char* kUsage =
    "usage: polyfrep [--digits N] [--make-valid] [--help] [--version] [INPUT [MODEL]]";

struct ConversionOptions {
  int digits = 6;  // significant digits of every number written
  // Repair an outline that crosses itself, or the polygons of a vector file,
  // into a valid region before converting.
  bool make_valid = false;
};

// One conversion: reads the polygon from input_name and writes "poly.plt",
// "List.txt", "Formula.txt" and the model file, each opened, written and
// closed in its own step, in this order. Returns the process exit status.
int run_conversion(const char* input_name, const char* model_name,
                   const ConversionOptions& options = {});

}  // namespace polyfrep
