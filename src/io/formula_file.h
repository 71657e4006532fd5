#pragma once

#include <span>

#include "formula/formula_text.h"
#include "formula/token_list.h"
#include "io/text_output.h"

namespace polyfrep {

inline constexpr const char* kFormulaFileName = "Formula.txt";

// Writes the tokens' text, one after another with nothing between them.
void put_formula_tokens(std::span<const int> tokens, const FormulaSpelling& spelling,
                        TextOutput& out);

// The text of "Formula.txt": edges in decimal, "(", ")", "+", "*".
void write_formula_tokens(const TokenList& list, TextOutput& out);

}  // namespace polyfrep
