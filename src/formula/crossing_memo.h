#pragma once

#include <absl/container/btree_set.h>

#include <cstdint>
#include <span>
#include <vector>

#include "formula/cut_validity.h"
#include "formula/decomposition.h"
#include "geometry/point.h"

namespace polyfrep {

// Per vertex of a run's chain, one bit: whether the vertex is ruled out in
// the focused chain; and per word of those, whether the whole word is. Two
// memos over the same vertices share the layout, so that a search can pass
// over the positions either rules out, many words at a time: in a chain
// winding around itself nearly every position is ruled out.
class RuledOutBits {
 public:
  explicit RuledOutBits(int vertex_count);

  void set(int vertex, bool ruled_out);
  bool test(int vertex) const;
  // The word of the bits of vertices 64 w to 64 w + 63, with `also`'s merged in.
  std::uint64_t word(int w, const RuledOutBits* also) const;
  // How many words from w upwards (or downwards), at most `limit`, are whole
  // here or in `also`.
  int whole_words_up(int w, int limit, const RuledOutBits* also) const;
  int whole_words_down(int w, int limit, const RuledOutBits* also) const;

 private:
  std::uint64_t whole(std::size_t index, const RuledOutBits* also) const;

  std::vector<std::uint64_t> words_;
  std::vector<std::uint64_t> whole_words_;
};

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
  // Notes that the cut ray of `vertex` crosses the edge starting at `edge`:
  // its outgoing ray, or its incoming one.
  void remember(int vertex, int edge, bool outgoing_ray = false);

  // Calls visit(vertex, outgoing_ray) for each vertex that remembers `edge`.
  template <class Visit>
  void visit_vertices_of(int edge, Visit&& visit) const {
    for (int vertex = first_vertex_of_edge_[static_cast<std::size_t>(edge)]; vertex >= 0;
         vertex = next_vertex_[static_cast<std::size_t>(vertex)]) {
      visit(vertex, outgoing_ray_[static_cast<std::size_t>(vertex)] != 0);
    }
  }

  // Whether the vertex at this position of the focused chain has a
  // remembered edge that the chain keeps.
  bool ruled_out(int position) const;
  // The first position from `position` up to `last` that is not ruled out,
  // or last + 1. With `also`, the bits of a memo over the same vertices with
  // the same focus, a position ruled out by either is passed over.
  int open_at_or_above(int position, int last, const RuledOutBits* also = nullptr) const;
  // The first position from `position` down to 1 that is not ruled out, or 0.
  int open_at_or_below(int position, const RuledOutBits* also = nullptr) const;
  const RuledOutBits& ruled_out_bits() const { return ruled_out_; }

 private:
  void release_edge(int edge);
  void unlink(int vertex);

  int vertex_count_;
  IndexChain focus_{0, 0};
  std::vector<int> edge_of_vertex_;  // remembered edge per vertex, or -1
  // Per edge, a doubly linked list of the vertices that remember it.
  std::vector<int> first_vertex_of_edge_;
  std::vector<int> next_vertex_;
  std::vector<int> previous_vertex_;
  std::vector<unsigned char> outgoing_ray_;
  RuledOutBits ruled_out_;  // valid inside the focus
};

// The same for cut vertices whose cut ray crosses an end ray, remembered with
// the end's edge, and with which of the vertex's two cut rays crosses. Each
// edge's vertices are kept in the order of their crossing rays' directions:
// when the chain loses its end vertex, the rejections the new end ray keeps
// (those whose direction lies outside the shortening wedge's) are all but an
// interval of that order, so the others are found without visiting them.
class EndCrossingMemo {
 public:
  // Vertex k of the memo is vertices[(first + k) mod n].
  EndCrossingMemo(std::span<const Point> vertices, IndexChain domain);
  // Its lists' order refers back to it.
  EndCrossingMemo(const EndCrossingMemo&) = delete;
  EndCrossingMemo& operator=(const EndCrossingMemo&) = delete;

  void focus(IndexChain chain);
  void remember(int vertex, int edge, bool outgoing_ray);
  // The end edge `from` becomes `to`, one vertex shorter at that end: the
  // vertices that remember `from` and whose cut ray crosses the new end ray
  // too (shown by `wedge` or found exactly) remember `to` from now on. The
  // others are forgotten: no later chain keeps `from`, which only the part
  // cut off has.
  void carry_over_shortening(int from, int to, const ShorteningWedge& wedge);
  // The same for a vertex not ruled out here whose cut ray crosses the
  // dropped end edge itself (another memo's record): that edge lies on the
  // ray from the new end vertex through the dropped one, which is all the
  // shortening needs.
  void carry_edge_crossing(int vertex, bool outgoing_ray, int to, const ShorteningWedge& wedge);

  const RuledOutBits& ruled_out_bits() const { return ruled_out_; }
  bool ruled_out(int position) const;
  int remembered_edge(int vertex) const;  // or -1

  // The ray a vertex's crossing came from: from `back` through `origin`,
  // with a key that grows with its direction's angle, as computed in
  // doubles where it is wanted (make_ray).
  struct Ray {
    Point back;
    Point origin;
    std::uint32_t angle_key = 0;
  };
  static Ray make_ray(Point back, Point origin);

 private:
  // A remembered vertex with its ray's angle key as make_ray computes it:
  // 8 bytes, for lists that hold most of a million vertices.
  struct Entry {
    std::uint32_t angle_key;
    int vertex;
  };
  // Orders entries by the direction of their rays, counter-clockwise from
  // the positive x axis, and by vertex among equal directions; exact, with
  // the angles deciding where they are far enough apart.
  struct ByDirection {
    using is_transparent = void;
    const EndCrossingMemo* memo;
    bool operator()(const Entry& a, const Entry& b) const;
    bool operator()(const Entry& entry, const Ray& ray) const;
    bool operator()(const Ray& ray, const Entry& entry) const;
  };
  // A B-tree: the lists of a winding chain's ends hold most of its vertices,
  // and a few of them change at every level.
  using EdgeVertices = absl::btree_set<Entry, ByDirection>;
  struct EdgeList {
    int edge = -1;
    EdgeVertices vertices;
  };

  Ray ray_of(int vertex) const {
    return ray_of(vertex, outgoing_ray_[static_cast<std::size_t>(vertex)] != 0);
  }
  Ray ray_of(int vertex, bool outgoing_ray) const;
  Entry entry_of(int vertex) const {
    const Ray ray = ray_of(vertex);
    return {make_ray(ray.back, ray.origin).angle_key, vertex};
  }
  void forget_lost_crossings(EdgeVertices& list, const ShorteningWedge& wedge);
  int list_of_edge(int edge);
  void file(int vertex, int list);
  void relabel(int list, int edge);
  void unlink(int vertex);
  void free_list(int list);
  void forget(int vertex);
  void release_edge(int edge);

  std::span<const Point> vertices_;
  IndexChain domain_;
  IndexChain focus_{0, 0};
  std::vector<int> list_of_vertex_;  // index into lists_, or -1
  std::vector<int> list_of_edge_;    // index into lists_, or -1
  std::vector<unsigned char> outgoing_ray_;
  std::vector<EdgeList> lists_;
  std::vector<int> free_lists_;
  RuledOutBits ruled_out_;
};

}  // namespace polyfrep
