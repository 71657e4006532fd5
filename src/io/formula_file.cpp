#include "io/formula_file.h"

namespace polyfrep {

void put_formula_tokens(std::span<const int> tokens, const FormulaSpelling& spelling,
                        TextOutput& out) {
  char text[kMaxTokenText];
  for (const int token : tokens)
    put(out, std::string_view(text, spell_token(token, spelling, text)));
}

void write_formula_tokens(const TokenList& list, TextOutput& out) {
  put_formula_tokens(std::span<const int>(list.items.get(), static_cast<std::size_t>(list.count)),
                     kCompactSpelling, out);
}

}  // namespace polyfrep
