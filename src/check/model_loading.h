#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "check/model_formula.h"
#include "check/model_program.h"

namespace polyfrep {

// A model file made ready for checking: compiled for evaluation at points,
// and its object's formula as a formula over edges.
struct LoadedModel {
  CompiledModel model;
  ModelFormula formula;
};

// Reads and compiles a model text; throws ModelError naming the position of
// the first syntax or compilation error. A text laid out exactly as the
// converter writes it is read by load_converter_layout, any other by
// compile_model_text; both give a model of the same meaning.
LoadedModel load_model_text(std::string_view text);

// Reads any model text through its syntax tree.
LoadedModel compile_model_text(std::string_view text);

// Reads a text laid out exactly as the converter writes it (its first line a
// "--" comment, then the object head, one distance block per edge numbered
// from 0, the formula line and the closing brace) straight into a compiled
// model: one EdgeDistance node and one slot per edge, the formula's nodes
// over them. Nothing when the text departs from that layout in any byte, or
// when the model would have a problem to report (a number out of range, an
// edge of zero length): those are left to compile_model_text.
std::optional<LoadedModel> load_converter_layout(std::string_view text);

}  // namespace polyfrep
