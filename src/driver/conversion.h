#pragma once

namespace polyfrep {

inline constexpr const char* kDefaultInputName = "polyIn2.txt";

// One conversion: reads the polygon from input_name and writes "poly.plt",
// "List.txt", "Formula.txt" and the model file, each opened, written and
// closed in its own step, in this order. Returns the process exit status.
int run_conversion(const char* input_name, const char* model_name);

// The process entry: prints the argument count, picks the file names from the
// command line and runs one conversion. Returns the process exit status.
int run_command_line(int argument_count, const char* const* arguments);

}  // namespace polyfrep
