#pragma once

#include <cstdint>
#include <vector>

#include "formula/decomposition.h"

namespace polyfrep {

// What the repair has learnt about cut vertices whose cut ray crosses an edge:
// such a cut stays unsound in every chain that keeps the vertex inside and the
// edge (unless the chain's interior turns share one strict sign). The memo
// answers for one chain at a time, the focused one, and can list the chain
// positions whose vertex is not ruled out that way without visiting the
// others: a chain winding around itself has most of its vertices ruled out,
// level after level.
//
// Moving the focus to a part of the focused chain costs time in proportion to
// the edges dropped and the vertices they release; any other move costs time
// in proportion to the new chain's length.
class CrossingMemo {
 public:
  explicit CrossingMemo(int vertex_count);

  void focus(IndexChain chain);
  // Notes that the cut ray of `vertex` crosses the edge starting at `edge`.
  void remember(int vertex, int edge);

  // Moves the vertices that remember edge `from` and that keep(vertex)
  // accepts to edge `to`, which must be in focus: they stay ruled out while
  // the focus keeps `to`. The others still remember `from`.
  template <class Keep>
  void move_vertices(int from, int to, Keep&& keep) {
    for (int vertex = first_vertex_of_edge_[static_cast<std::size_t>(from)]; vertex >= 0;) {
      const int next = next_vertex_[static_cast<std::size_t>(vertex)];
      if (keep(vertex)) remember(vertex, to);
      vertex = next;
    }
  }

  // Whether the vertex at this position of the focused chain has a
  // remembered edge that the chain keeps.
  bool ruled_out(int position) const;
  // The first position from `position` up to `last` that is not ruled out,
  // or last + 1. With `also`, a memo over the same vertices with the same
  // focus, a position ruled out by either is passed over.
  int open_at_or_above(int position, int last, const CrossingMemo* also = nullptr) const;
  // The first position from `position` down to 1 that is not ruled out, or 0.
  int open_at_or_below(int position, const CrossingMemo* also = nullptr) const;

 private:
  int vertex_at(int position) const;
  std::uint64_t ruled_out_word(int vertex, const CrossingMemo* also) const;
  bool edge_in_focus(int edge) const;
  void set_ruled_out(int vertex, bool ruled_out);
  void release_edge(int edge);
  void unlink(int vertex);

  int vertex_count_;
  IndexChain focus_{0, 0};
  std::vector<int> edge_of_vertex_;  // remembered edge per vertex, or -1
  // Per edge, a doubly linked list of the vertices that remember it.
  std::vector<int> first_vertex_of_edge_;
  std::vector<int> next_vertex_;
  std::vector<int> previous_vertex_;
  std::vector<std::uint64_t> ruled_out_bits_;  // by vertex; valid inside the focus
};

}  // namespace polyfrep
