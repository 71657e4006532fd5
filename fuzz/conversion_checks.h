#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace polyfrep::fuzzing {

// Inputs whose count is above this are not converted. Under the sanitizers
// the cut check of a 2000-vertex outline with a long straight side takes
// seconds (the exact formula check costs about n^2 log n, and the fuzzer
// also forces the repair); at 500 vertices every input stays around half a
// second. The fuzzer is after faults, not slowness.
inline constexpr int kMaxConversionVertexCount = 500;

// File names of one fuzzed conversion, in the current directory.
inline constexpr const char* kFuzzInputName = "input.txt";
inline constexpr const char* kFuzzModelName = "model.hf";

// False for an input whose count is above kMaxConversionVertexCount.
bool conversion_input_accepted(std::string_view text);

// The broken rules of a compact formula for a polygon of vertex_count
// vertices: only edge numbers, "(", ")", "+" and "*"; operands and operators
// alternating; parentheses balanced; every edge 0 to vertex_count - 1 exactly
// once. Empty when it is well formed.
std::vector<std::string> formula_violations(std::string_view formula, int vertex_count);

// Writes `text` as the input file in the current directory, removes the
// outputs of any earlier run, runs one conversion and returns the broken
// invariants of what it left: an exit status of 0 or 1, a plot file after a
// successful run, and a model file and a well-formed formula whenever the
// formula file is written.
std::vector<std::string> check_conversion(std::string_view text);

}  // namespace polyfrep::fuzzing
