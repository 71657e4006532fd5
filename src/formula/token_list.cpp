#include "formula/token_list.h"

namespace polyfrep {

TokenList make_token_list(int capacity) {
  TokenList list;
  if (capacity > 0) {
    // for_overwrite keeps untouched pages out of memory for large polygons.
    list.items = std::make_unique_for_overwrite<int[]>(static_cast<std::size_t>(capacity));
    list.capacity = capacity;
  }
  return list;
}

void write_formula_tokens(const TokenList& list, TextOutput& out) {
  for (int i = 0; i < list.count; ++i) {
    const int token = list.items[i];
    switch (token) {
      case TOKEN_OPEN:
        put(out, '(');
        break;
      case TOKEN_CLOSE:
        put(out, ')');
        break;
      case TOKEN_UNION:
        put(out, '+');
        break;
      case TOKEN_INTERSECT:
        put(out, '*');
        break;
      default:
        put_integer(out, token);
        break;
    }
  }
}

}  // namespace polyfrep
