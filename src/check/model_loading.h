#pragma once

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
// the first syntax or compilation error.
LoadedModel load_model_text(std::string_view text);

}  // namespace polyfrep
