#include "formula/crossing_memo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace polyfrep {
namespace {

// The memo's answers against a plain record of the remembered edges, checked
// position by position, over random sequences of focus moves (most to a part
// of the focused chain, as the repair makes them, some anywhere) and
// remembered crossings, on polygons small enough to wrap often and large
// enough to span several words of bits.
struct Reference {
  int vertex_count;
  IndexChain focus;
  std::vector<int> edge_of_vertex;

  int vertex_at(int position) const { return (focus.first + position) % vertex_count; }
  bool ruled_out(int position) const {
    const int edge = edge_of_vertex[static_cast<std::size_t>(vertex_at(position))];
    return edge >= 0 && (edge - focus.first + vertex_count) % vertex_count <= focus.length - 2;
  }
};

int random_between(std::mt19937_64& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

IndexChain next_focus(std::mt19937_64& random, IndexChain focus, int vertex_count) {
  if (focus.length >= 4 && random_between(random, 0, 4) != 0) {
    const int dropped_in_front = random_between(random, 0, 2);
    const int dropped_at_end = random_between(random, 0, 2);
    const int length = focus.length - dropped_in_front - dropped_at_end;
    if (length >= 3) return {(focus.first + dropped_in_front) % vertex_count, length};
  }
  return {random_between(random, 0, vertex_count - 1), random_between(random, 3, vertex_count)};
}

TEST(CrossingMemo, AgreesWithAPlainRecordOfTheRememberedEdges) {
  std::mt19937_64 random(11);
  for (const int vertex_count : {5, 63, 64, 65, 200}) {
    CrossingMemo memo(vertex_count);
    Reference reference{vertex_count,
                        {0, vertex_count},
                        std::vector<int>(static_cast<std::size_t>(vertex_count), -1)};
    memo.focus(reference.focus);
    for (int step = 0; step < 3000; ++step) {
      const IndexChain focus = next_focus(random, reference.focus, vertex_count);
      memo.focus(focus);
      reference.focus = focus;
      const int last = focus.length - 2;
      for (int k = random_between(random, 0, 3); k > 0; --k) {
        const int vertex = reference.vertex_at(random_between(random, 1, last));
        const int edge = random_between(random, 0, vertex_count - 1);
        memo.remember(vertex, edge);
        reference.edge_of_vertex[static_cast<std::size_t>(vertex)] = edge;
      }
      for (int position = 1; position <= last; ++position) {
        ASSERT_EQ(memo.ruled_out(position), reference.ruled_out(position))
            << "n " << vertex_count << " step " << step << " position " << position;
        int above = position;
        while (above <= last && reference.ruled_out(above))
          ++above;
        int below = position;
        while (below >= 1 && reference.ruled_out(below))
          --below;
        ASSERT_EQ(memo.open_at_or_above(position, last), above)
            << "n " << vertex_count << " step " << step << " position " << position;
        ASSERT_EQ(memo.open_at_or_below(position), below)
            << "n " << vertex_count << " step " << step << " position " << position;
      }
    }
  }
}

}  // namespace
}  // namespace polyfrep
