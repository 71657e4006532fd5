#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "formula/token_list.h"
#include "polyfrep/polyfrep.h"

namespace polyfrep {

// Helpers over Formula, the one formula type (declared with the library's
// shared records): nodes in prefix order, an operator followed by its two
// operands.

inline bool is_operator(int node) {
  return node == TOKEN_INTERSECT || node == TOKEN_UNION;
}

// For every node of a well-formed formula, one past the last node of the
// subformula it starts: the left operand of an operator at i starts at
// i + 1, its right operand at ends[i + 1].
std::vector<int> subformula_ends(const Formula& formula);

// What makes the record no formula over edges 0 .. edge_count - 1 (a code
// that is neither an edge nor an operator, an edge out of range, an operator
// short of operands, nodes left over, no nodes at all), or empty when it is
// one. Formulas made here are always well formed; records built elsewhere may
// not be.
std::string formula_problem(const Formula& formula, int edge_count);

// The flat view: the formula as infix tokens with parentheses, an operator's
// two operands each in parentheses unless both are edges ("(1)*(2*0)",
// "((2+3)*(4))*((5*0)*(1))"). Appended with push_token, so a list without
// room drops the rest silently.
void append_tokens(const Formula& formula, TokenList& tokens);

// How many tokens the flat view takes.
std::size_t token_count(const Formula& formula);

// The flat view as a vector.
std::vector<int> formula_tokens(const Formula& formula);

struct ParsedFormula {
  Formula formula;
  std::string error;  // empty when the tokens form a formula
};

// Reads infix tokens into a formula. Parentheses group as written; a run of
// one operator without parentheses ("1*2*0") groups from the left; mixing
// union and intersection at one level without parentheses is an error, as
// are unbalanced parentheses, missing operands or operators, unknown codes
// and edges outside 0 .. edge_count - 1. The error names the token.
ParsedFormula parse_tokens(std::span<const int> tokens, int edge_count);

}  // namespace polyfrep
