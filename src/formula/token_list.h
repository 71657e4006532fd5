#pragma once

#include <memory>

#include "geometry/point.h"

namespace polyfrep {

// The formula as a flat infix sequence with explicit parentheses: the view of
// a Formula that the converter writes. The token codes are those of the
// formula's operators, with TOKEN_OPEN and TOKEN_CLOSE for the parentheses.
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

}  // namespace polyfrep
