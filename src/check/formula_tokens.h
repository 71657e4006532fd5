#pragma once

#include <string>
#include <vector>

#include "check/model_program.h"
#include "check/model_syntax.h"

namespace polyfrep {

// The object's formula as edge tokens: sN gives N, "(" and ")" give -1 and
// -2, "|" gives -3 and "&" gives -4. The grouping of the text is kept; where
// the text leaves it to precedence (s0&s1|s2), parentheses are added so that
// the list reads the same under any precedence rule.
struct FormulaTokens {
  bool complete = false;  // false when the formula holds anything else
  std::vector<int> tokens;
  std::string problem;  // why it could not be turned into tokens
  SourcePosition where;
};

FormulaTokens extract_formula_tokens(const ModelSyntax& syntax, const CompiledModel& model);

}  // namespace polyfrep
