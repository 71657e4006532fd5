#pragma once

#include <string>

#include "check/model_program.h"
#include "check/model_syntax.h"
#include "polyfrep/polyfrep.h"

namespace polyfrep {

// The object's formula as a formula over edges: sN is edge N, "&" an
// intersection and "|" a union, grouped as the text groups them (by its
// parentheses, else from the left).
struct ModelFormula {
  bool complete = false;  // false when the formula holds anything else
  Formula formula;        // empty unless complete
  std::string problem;    // why it is no formula over edges
  SourcePosition where;   // of the first part that is not
};

ModelFormula extract_formula(const ModelSyntax& syntax, const CompiledModel& model);

}  // namespace polyfrep
