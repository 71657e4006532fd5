#pragma once

namespace polyfrep {

// The first of first .. last - 1 where `holds` is false, or last, for a
// predicate true on a prefix of the range; for any other predicate some
// index in the range.
template <class Index, class Holds>
Index first_failing(Index first, Index last, Holds&& holds) {
  while (first < last) {
    const Index middle = first + (last - first) / 2;
    if (holds(middle)) {
      first = middle + 1;
    } else {
      last = middle;
    }
  }
  return first;
}

}  // namespace polyfrep
