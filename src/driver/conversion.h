#pragma once

#include "polyfrep/polyfrep.h"

namespace polyfrep {

inline constexpr const char* kDefaultInputName = "polyIn2.txt";

// One conversion: reads the polygon from input_name and writes "poly.plt",
// "List.txt", "Formula.txt" and the model file, each opened, written and
// closed in its own step, in this order. Returns the process exit status.
int run_conversion(const char* input_name, const char* model_name);

}  // namespace polyfrep
