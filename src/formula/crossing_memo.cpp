#include "formula/crossing_memo.h"

#include <algorithm>
#include <bit>
#include <cstddef>

namespace polyfrep {

namespace {

constexpr int kWordBits = 64;

std::size_t to_index(int value) {
  return static_cast<std::size_t>(value);
}

}  // namespace

CrossingMemo::CrossingMemo(int vertex_count)
    : vertex_count_(vertex_count),
      edge_of_vertex_(to_index(vertex_count), -1),
      first_vertex_of_edge_(to_index(vertex_count), -1),
      next_vertex_(to_index(vertex_count), -1),
      previous_vertex_(to_index(vertex_count), -1),
      ruled_out_bits_(to_index((vertex_count + kWordBits - 1) / kWordBits), 0) {}

int CrossingMemo::vertex_at(int position) const {
  const long long index = static_cast<long long>(focus_.first) + position;
  return static_cast<int>(index % vertex_count_);
}

bool CrossingMemo::edge_in_focus(int edge) const {
  const long long offset =
      (static_cast<long long>(edge) - focus_.first + vertex_count_) % vertex_count_;
  return offset <= focus_.length - 2;
}

void CrossingMemo::set_ruled_out(int vertex, bool ruled_out) {
  const std::uint64_t bit = std::uint64_t{1} << (vertex % kWordBits);
  std::uint64_t& word = ruled_out_bits_[to_index(vertex / kWordBits)];
  word = ruled_out ? (word | bit) : (word & ~bit);
}

bool CrossingMemo::ruled_out(int position) const {
  const int vertex = vertex_at(position);
  return ((ruled_out_bits_[to_index(vertex / kWordBits)] >> (vertex % kWordBits)) & 1U) != 0;
}

void CrossingMemo::unlink(int vertex) {
  const int edge = edge_of_vertex_[to_index(vertex)];
  if (edge < 0) return;
  const int next = next_vertex_[to_index(vertex)];
  const int previous = previous_vertex_[to_index(vertex)];
  if (previous >= 0) {
    next_vertex_[to_index(previous)] = next;
  } else {
    first_vertex_of_edge_[to_index(edge)] = next;
  }
  if (next >= 0) previous_vertex_[to_index(next)] = previous;
}

void CrossingMemo::remember(int vertex, int edge) {
  unlink(vertex);
  edge_of_vertex_[to_index(vertex)] = edge;
  const int head = first_vertex_of_edge_[to_index(edge)];
  next_vertex_[to_index(vertex)] = head;
  previous_vertex_[to_index(vertex)] = -1;
  if (head >= 0) previous_vertex_[to_index(head)] = vertex;
  first_vertex_of_edge_[to_index(edge)] = vertex;
  set_ruled_out(vertex, edge_in_focus(edge));
}

// The vertices that remember an edge the focus no longer keeps are open again.
void CrossingMemo::release_edge(int edge) {
  for (int vertex = first_vertex_of_edge_[to_index(edge)]; vertex >= 0;
       vertex = next_vertex_[to_index(vertex)]) {
    set_ruled_out(vertex, false);
  }
}

void CrossingMemo::focus(IndexChain chain) {
  const long long shift =
      (static_cast<long long>(chain.first) - focus_.first + vertex_count_) % vertex_count_;
  const bool part_of_focus = focus_.length > 0 && shift + chain.length <= focus_.length;
  if (part_of_focus) {
    // The edges before the part, and those after its last edge.
    const int dropped_in_front = static_cast<int>(shift);
    for (int offset = 0; offset < dropped_in_front; ++offset) {
      release_edge(vertex_at(offset));
    }
    for (int offset = dropped_in_front + chain.length - 1; offset <= focus_.length - 2; ++offset) {
      release_edge(vertex_at(offset));
    }
    focus_ = chain;
    return;
  }
  focus_ = chain;
  for (int position = 0; position < chain.length; ++position) {
    const int vertex = vertex_at(position);
    const int edge = edge_of_vertex_[to_index(vertex)];
    set_ruled_out(vertex, edge >= 0 && edge_in_focus(edge));
  }
}

// The word of ruled-out bits that holds the vertex, with `also`'s merged in.
std::uint64_t CrossingMemo::ruled_out_word(int vertex, const CrossingMemo* also) const {
  const std::size_t word = to_index(vertex / kWordBits);
  return ruled_out_bits_[word] | (also != nullptr ? also->ruled_out_bits_[word] : 0);
}

int CrossingMemo::open_at_or_above(int position, int last, const CrossingMemo* also) const {
  while (position <= last) {
    const int vertex = vertex_at(position);
    // The rest of this word, up to the polygon's last vertex (where the
    // chain may wrap) and the chain's last position.
    const int bit = vertex % kWordBits;
    const int span = std::min({kWordBits - bit, vertex_count_ - vertex, last - position + 1});
    std::uint64_t open = ~ruled_out_word(vertex, also) >> bit;
    if (span < kWordBits) open &= (std::uint64_t{1} << span) - 1;
    if (open != 0) return position + std::countr_zero(open);
    position += span;
  }
  return last + 1;
}

int CrossingMemo::open_at_or_below(int position, const CrossingMemo* also) const {
  while (position >= 1) {
    const int vertex = vertex_at(position);
    // This word down to its first bit, the polygon's vertex 0 (where the
    // chain may wrap) and the chain's position 1.
    const int bit = vertex % kWordBits;
    const int span = std::min({bit + 1, vertex + 1, position});
    std::uint64_t open = ~ruled_out_word(vertex, also) << (kWordBits - 1 - bit);
    if (span < kWordBits) open &= ~((~std::uint64_t{0}) >> span);
    if (open != 0) return position - std::countl_zero(open);
    position -= span;
  }
  return 0;
}

}  // namespace polyfrep
