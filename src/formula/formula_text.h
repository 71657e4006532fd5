#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "formula/formula.h"

namespace polyfrep {

// How a formula's tokens are spelled: in "Formula.txt" an edge is its index
// and the operators are "+" and "*"; in the model file's formula line an edge
// is its distance function sN and the operators are the modelling language's
// "|" and "&". Parentheses are the same in both.
struct FormulaSpelling {
  std::string_view edge_prefix;
  char union_sign;
  char intersection_sign;
};

inline constexpr FormulaSpelling kCompactSpelling{"", '+', '*'};
inline constexpr FormulaSpelling kModelSpelling{"s", '|', '&'};

// Room for the longest token text: a prefix and an int's digits.
inline constexpr std::size_t kMaxTokenText = 24;

// Writes one token's text to `out`; returns how many characters it took.
std::size_t spell_token(int token, const FormulaSpelling& spelling, char* out);

// The tokens' text, one after another with nothing between them.
std::string formula_text(std::span<const int> tokens,
                         const FormulaSpelling& spelling = kCompactSpelling);

// Reads a formula from its text in the given spelling; blanks and line
// breaks between tokens are skipped. The error names the character or the
// token where the text stops being a formula over edges 0 .. edge_count - 1.
ParsedFormula parse_formula_text(std::string_view text, int edge_count,
                                 const FormulaSpelling& spelling = kCompactSpelling);

}  // namespace polyfrep
