#pragma once

#include <memory>

#include "geometry/text_output.h"

namespace polyfrep {

// Token codes: an edge index (0 or more) stands for that edge's half-plane.
inline constexpr int TOKEN_OPEN = -1;
inline constexpr int TOKEN_CLOSE = -2;
inline constexpr int TOKEN_UNION = -3;
inline constexpr int TOKEN_INTERSECT = -4;

// The formula as a flat infix sequence with explicit parentheses.
struct TokenList {
  std::unique_ptr<int[]> items;
  int capacity = 0;
  int count = 0;
};

// A list with room for capacity tokens; the storage is left uninitialised
// since slots at or beyond count are never read.
TokenList make_token_list(int capacity);

// Appends token, or drops it silently when the list is full.
inline void push_token(TokenList& list, int token) {
  if (list.count < list.capacity) list.items[list.count++] = token;
}

// Writes the tokens without separators: edges in decimal, "(", ")", "+", "*".
void write_formula_tokens(const TokenList& list, TextOutput& out);

}  // namespace polyfrep
