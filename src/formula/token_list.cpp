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

}  // namespace polyfrep
