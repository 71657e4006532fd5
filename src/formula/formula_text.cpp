#include "formula/formula_text.h"

#include <charconv>
#include <cstring>

namespace polyfrep {

std::size_t spell_token(int token, const FormulaSpelling& spelling, char* out) {
  switch (token) {
    case TOKEN_OPEN:
      *out = '(';
      return 1;
    case TOKEN_CLOSE:
      *out = ')';
      return 1;
    case TOKEN_UNION:
      *out = spelling.union_sign;
      return 1;
    case TOKEN_INTERSECT:
      *out = spelling.intersection_sign;
      return 1;
    default:
      break;
  }
  std::memcpy(out, spelling.edge_prefix.data(), spelling.edge_prefix.size());
  char* digits = out + spelling.edge_prefix.size();
  return static_cast<std::size_t>(std::to_chars(digits, out + kMaxTokenText, token).ptr - out);
}

std::string formula_text(std::span<const int> tokens, const FormulaSpelling& spelling) {
  std::string text;
  char token_text[kMaxTokenText];
  for (const int token : tokens)
    text.append(token_text, spell_token(token, spelling, token_text));
  return text;
}

std::string compact_text(const Formula& formula) {
  return formula_text(formula_tokens(formula));
}

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The code of a one-character token, or 0.
int sign_token(char c, const FormulaSpelling& spelling) {
  if (c == '(') return TOKEN_OPEN;
  if (c == ')') return TOKEN_CLOSE;
  if (c == spelling.union_sign) return TOKEN_UNION;
  if (c == spelling.intersection_sign) return TOKEN_INTERSECT;
  return 0;
}

}  // namespace

ParsedFormula parse_formula_text(std::string_view text, int edge_count,
                                 const FormulaSpelling& spelling) {
  std::vector<int> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    if (is_blank(text[i])) {
      ++i;
    } else if (const int sign = sign_token(text[i], spelling); sign != 0) {
      tokens.push_back(sign);
      ++i;
    } else if (text.substr(i).starts_with(spelling.edge_prefix) &&
               i + spelling.edge_prefix.size() < text.size() &&
               is_digit(text[i + spelling.edge_prefix.size()])) {
      const char* first = text.data() + i + spelling.edge_prefix.size();
      int edge = 0;
      const auto [end, error] = std::from_chars(first, text.data() + text.size(), edge);
      if (error != std::errc()) {
        return {{}, "character " + std::to_string(i + 1) + ": edge number out of range"};
      }
      tokens.push_back(edge);
      i = static_cast<std::size_t>(end - text.data());
    } else {
      return {
          {},
          "character " + std::to_string(i + 1) + ": unexpected '" + std::string(1, text[i]) + "'"};
    }
  }
  return parse_tokens(tokens, edge_count);
}

}  // namespace polyfrep
