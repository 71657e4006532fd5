#include "formula/formula_text.h"

#include <charconv>
#include <cstring>

#include "formula/token_list.h"

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

}  // namespace polyfrep
