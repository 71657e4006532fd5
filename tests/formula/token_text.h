#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formula/formula_text.h"

namespace polyfrep::testing {

// Tokens of a formula written as in the token file: edge indices in decimal,
// "(", ")", "+" for union and "*" for intersection, nothing between them.
// Blanks are skipped so that tests can separate two edge indices ("1 2"), a
// sequence the token file itself never contains.
inline std::vector<int> formula_tokens(std::string_view text) {
  std::vector<int> tokens;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      int edge = 0;
      for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        edge = edge * 10 + (text[i] - '0');
      tokens.push_back(edge);
      continue;
    }
    switch (c) {
      case '(':
        tokens.push_back(TOKEN_OPEN);
        break;
      case ')':
        tokens.push_back(TOKEN_CLOSE);
        break;
      case '+':
        tokens.push_back(TOKEN_UNION);
        break;
      case '*':
        tokens.push_back(TOKEN_INTERSECT);
        break;
      case ' ':
        break;
      default:
        throw std::invalid_argument("unexpected character in formula text: " + std::string(1, c));
    }
    ++i;
  }
  return tokens;
}

// The formula of a compact text, read by the converter's own parser; a text
// that is no formula fails the test that asks for it.
inline Formula formula_of(std::string_view text, int edge_count = 1 << 30) {
  ParsedFormula parsed = parse_formula_text(text, edge_count);
  if (!parsed.error.empty()) throw std::invalid_argument(parsed.error);
  return std::move(parsed.formula);
}

// "(left)op(right)", built by appending (which also keeps GCC's string
// concatenation warnings away in optimised builds).
inline std::string joined(std::string_view left, char op, std::string_view right) {
  std::string text;
  text.reserve(left.size() + right.size() + 5);
  text += '(';
  text += left;
  text += ')';
  text += op;
  text += '(';
  text += right;
  text += ')';
  return text;
}

}  // namespace polyfrep::testing
