#include "formula/crossing_memo.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "geometry/exact.h"

namespace polyfrep {

namespace {

constexpr int kWordBits = 64;

std::size_t to_index(int value) {
  return static_cast<std::size_t>(value);
}

int vertex_at(IndexChain focus, int vertex_count, int position) {
  const long long index = static_cast<long long>(focus.first) + position;
  return static_cast<int>(index % vertex_count);
}

bool edge_in_focus(IndexChain focus, int vertex_count, int edge) {
  const long long offset =
      (static_cast<long long>(edge) - focus.first + vertex_count) % vertex_count;
  return offset <= focus.length - 2;
}

// Moves a memo's focus from `before` to `chain`. When the chain is a part of
// the old focus, release(edge) is called for each edge the part drops and
// true returned; otherwise the caller works the chain's bits out afresh.
template <class Release>
bool focus_on_part(IndexChain before, IndexChain chain, int vertex_count, Release&& release) {
  const long long shift =
      (static_cast<long long>(chain.first) - before.first + vertex_count) % vertex_count;
  if (before.length == 0 || shift + chain.length > before.length) return false;
  // The edges before the part, and those after its last edge.
  const int dropped_in_front = static_cast<int>(shift);
  for (int offset = 0; offset < dropped_in_front; ++offset) {
    release(vertex_at(before, vertex_count, offset));
  }
  for (int offset = dropped_in_front + chain.length - 1; offset <= before.length - 2; ++offset) {
    release(vertex_at(before, vertex_count, offset));
  }
  return true;
}

// Lower half-plane directions (and the negative x axis) come after upper ones.
int direction_half(const EndCrossingMemo::Ray& ray) {
  const bool upper =
      ray.origin.y > ray.back.y || (ray.origin.y == ray.back.y && ray.origin.x > ray.back.x);
  return upper ? 0 : 1;
}

// A ray's angle here is its direction's diamond angle: 0 along the positive x
// axis, 1, 2 and 3 along the positive y, negative x and negative y axes,
// and in between |dy| / (|dx| + |dy|) of the way; it grows strictly with the
// true angle. Computed from the rounded coordinate differences (which round
// to the same half-plane and axis), it is within a few units in the last
// place of 4 of the exact value. It is kept as a 32-bit key, 2^30 steps a
// quarter turn, rounded down: within one step of the exact angle's key, so
// keys more than two steps apart are in the exact order. An angle that is not
// a number (a difference that overflowed) has no key and decides nothing.
constexpr std::uint32_t kNoAngleKey = UINT32_MAX;
constexpr std::uint32_t kAngleKeySlack = 2;

std::uint32_t angle_key(double angle) {
  if (std::isnan(angle)) return kNoAngleKey;
  constexpr double kLargestKey = static_cast<double>(kNoAngleKey - 1);
  return static_cast<std::uint32_t>(std::min(angle * 0x1p30, kLargestKey));
}

bool keys_decide(std::uint32_t a, std::uint32_t b) {
  if (a == kNoAngleKey || b == kNoAngleKey) return false;
  return (a > b ? a - b : b - a) > kAngleKeySlack;
}

// Whether a's direction comes strictly before b's, counter-clockwise from
// the positive x axis; exact, from the points alone.
bool direction_before(const EndCrossingMemo::Ray& a, const EndCrossingMemo::Ray& b) {
  const int half_a = direction_half(a);
  const int half_b = direction_half(b);
  if (half_a != half_b) return half_a < half_b;
  return cross_sign(a.back, a.origin, b.back, b.origin) > 0;
}

bool survives(const ShorteningWedge& wedge, const EndCrossingMemo::Ray& ray) {
  return end_crossing_survives_shortening(wedge, ray.back, ray.origin);
}

bool crosses_new_end(const ShorteningWedge& wedge, const EndCrossingMemo::Ray& ray) {
  return crosses_shortened_end_ray(wedge, ray.back, ray.origin);
}

}  // namespace

RuledOutBits::RuledOutBits(int vertex_count)
    : words_(to_index((vertex_count + kWordBits - 1) / kWordBits), 0),
      whole_words_((words_.size() + kWordBits - 1) / kWordBits, 0) {}

void RuledOutBits::set(int vertex, bool ruled_out) {
  const std::size_t index = to_index(vertex / kWordBits);
  const std::uint64_t bit = std::uint64_t{1} << (vertex % kWordBits);
  std::uint64_t& word = words_[index];
  word = ruled_out ? (word | bit) : (word & ~bit);
  const std::uint64_t whole_bit = std::uint64_t{1} << (index % kWordBits);
  std::uint64_t& whole = whole_words_[index / kWordBits];
  whole = word == ~std::uint64_t{0} ? (whole | whole_bit) : (whole & ~whole_bit);
}

bool RuledOutBits::test(int vertex) const {
  return ((words_[to_index(vertex / kWordBits)] >> (vertex % kWordBits)) & 1U) != 0;
}

std::uint64_t RuledOutBits::word(int w, const RuledOutBits* also) const {
  return words_[to_index(w)] | (also != nullptr ? also->words_[to_index(w)] : 0);
}

std::uint64_t RuledOutBits::whole(std::size_t index, const RuledOutBits* also) const {
  return whole_words_[index] | (also != nullptr ? also->whole_words_[index] : 0);
}

int RuledOutBits::whole_words_up(int w, int limit, const RuledOutBits* also) const {
  int count = 0;
  while (count < limit && to_index(w) < words_.size()) {
    const int bit = w % kWordBits;
    const int ones = std::countr_one(whole(to_index(w / kWordBits), also) >> bit);
    count += ones;
    w += ones;
    if (ones < kWordBits - bit) break;
  }
  return std::min(count, limit);
}

int RuledOutBits::whole_words_down(int w, int limit, const RuledOutBits* also) const {
  int count = 0;
  while (count < limit && w >= 0) {
    const int bit = w % kWordBits;
    const int ones = std::countl_one(whole(to_index(w / kWordBits), also) << (kWordBits - 1 - bit));
    count += ones;
    w -= ones;
    if (ones < bit + 1) break;
  }
  return std::min(count, limit);
}

CrossingMemo::CrossingMemo(int vertex_count)
    : vertex_count_(vertex_count),
      edge_of_vertex_(to_index(vertex_count), -1),
      first_vertex_of_edge_(to_index(vertex_count), -1),
      next_vertex_(to_index(vertex_count), -1),
      previous_vertex_(to_index(vertex_count), -1),
      outgoing_ray_(to_index(vertex_count), 0),
      ruled_out_(vertex_count) {}

bool CrossingMemo::ruled_out(int position) const {
  return ruled_out_.test(vertex_at(focus_, vertex_count_, position));
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

void CrossingMemo::remember(int vertex, int edge, bool outgoing_ray) {
  unlink(vertex);
  edge_of_vertex_[to_index(vertex)] = edge;
  outgoing_ray_[to_index(vertex)] = outgoing_ray ? 1 : 0;
  const int head = first_vertex_of_edge_[to_index(edge)];
  next_vertex_[to_index(vertex)] = head;
  previous_vertex_[to_index(vertex)] = -1;
  if (head >= 0) previous_vertex_[to_index(head)] = vertex;
  first_vertex_of_edge_[to_index(edge)] = vertex;
  ruled_out_.set(vertex, edge_in_focus(focus_, vertex_count_, edge));
}

// The vertices that remember an edge the focus no longer keeps are open again.
void CrossingMemo::release_edge(int edge) {
  for (int vertex = first_vertex_of_edge_[to_index(edge)]; vertex >= 0;
       vertex = next_vertex_[to_index(vertex)]) {
    ruled_out_.set(vertex, false);
  }
}

void CrossingMemo::focus(IndexChain chain) {
  const IndexChain before = focus_;
  focus_ = chain;
  if (focus_on_part(before, chain, vertex_count_, [this](int edge) { release_edge(edge); })) {
    return;
  }
  for (int position = 0; position < chain.length; ++position) {
    const int vertex = vertex_at(chain, vertex_count_, position);
    const int edge = edge_of_vertex_[to_index(vertex)];
    ruled_out_.set(vertex, edge >= 0 && edge_in_focus(chain, vertex_count_, edge));
  }
}

int CrossingMemo::open_at_or_above(int position, int last, const RuledOutBits* also) const {
  while (position <= last) {
    const int vertex = vertex_at(focus_, vertex_count_, position);
    const int bit = vertex % kWordBits;
    // Whole words ruled out are passed over together; they never reach past
    // the polygon's last vertex, where the chain may wrap.
    if (bit == 0) {
      const int remaining = last - position + 1;
      const int whole = ruled_out_.whole_words_up(vertex / kWordBits,
                                                  (remaining + kWordBits - 1) / kWordBits, also);
      if (whole > 0) {
        position += whole * kWordBits;
        continue;
      }
    }
    // The rest of this word, up to the polygon's last vertex and the
    // chain's last position.
    const int span = std::min({kWordBits - bit, vertex_count_ - vertex, last - position + 1});
    std::uint64_t open = ~ruled_out_.word(vertex / kWordBits, also) >> bit;
    if (span < kWordBits) open &= (std::uint64_t{1} << span) - 1;
    if (open != 0) return position + std::countr_zero(open);
    position += span;
  }
  return last + 1;
}

int CrossingMemo::open_at_or_below(int position, const RuledOutBits* also) const {
  while (position >= 1) {
    const int vertex = vertex_at(focus_, vertex_count_, position);
    const int bit = vertex % kWordBits;
    if (bit == kWordBits - 1) {
      const int whole = ruled_out_.whole_words_down(vertex / kWordBits,
                                                    (position + kWordBits - 1) / kWordBits, also);
      if (whole > 0) {
        position -= whole * kWordBits;
        continue;
      }
    }
    // This word down to its first bit, the polygon's vertex 0 (where the
    // chain may wrap) and the chain's position 1.
    const int span = std::min({bit + 1, vertex + 1, position});
    std::uint64_t open = ~ruled_out_.word(vertex / kWordBits, also) << (kWordBits - 1 - bit);
    if (span < kWordBits) open &= ~((~std::uint64_t{0}) >> span);
    if (open != 0) return position - std::countl_zero(open);
    position -= span;
  }
  return 0;
}

EndCrossingMemo::EndCrossingMemo(std::span<const Point> vertices, IndexChain domain)
    : vertices_(vertices),
      domain_(domain),
      list_of_vertex_(to_index(domain.length), -1),
      list_of_edge_(to_index(domain.length), -1),
      outgoing_ray_(to_index(domain.length), 0),
      ruled_out_(domain.length) {}

// The angle keys decide where they are far enough apart.
bool EndCrossingMemo::ByDirection::operator()(const Entry& a, const Entry& b) const {
  if (keys_decide(a.angle_key, b.angle_key)) return a.angle_key < b.angle_key;
  const Ray ray_a = memo->ray_of(a.vertex);
  const Ray ray_b = memo->ray_of(b.vertex);
  if (direction_before(ray_a, ray_b)) return true;
  return !direction_before(ray_b, ray_a) && a.vertex < b.vertex;
}

bool EndCrossingMemo::ByDirection::operator()(const Entry& entry, const Ray& ray) const {
  if (keys_decide(entry.angle_key, ray.angle_key)) return entry.angle_key < ray.angle_key;
  return direction_before(memo->ray_of(entry.vertex), ray);
}

bool EndCrossingMemo::ByDirection::operator()(const Ray& ray, const Entry& entry) const {
  if (keys_decide(entry.angle_key, ray.angle_key)) return ray.angle_key < entry.angle_key;
  return direction_before(ray, memo->ray_of(entry.vertex));
}

EndCrossingMemo::Ray EndCrossingMemo::make_ray(Point back, Point origin) {
  const double dx = origin.x - back.x;
  const double dy = origin.y - back.y;
  if (!std::isfinite(dx) || !std::isfinite(dy)) return {back, origin, kNoAngleKey};
  // dx and dy are not both 0; halved where their sum would overflow, which
  // keeps the share within a few units in the last place.
  const double sum = std::fabs(dx) + std::fabs(dy);
  const double share = std::isfinite(sum)
                           ? std::fabs(dy) / sum
                           : 0.5 * std::fabs(dy) / (0.5 * std::fabs(dx) + 0.5 * std::fabs(dy));
  double angle = 0.0;
  if (dy > 0.0 || (dy == 0.0 && dx > 0.0)) {
    angle = dx >= 0.0 ? share : 2.0 - share;
  } else {
    angle = dx < 0.0 ? 2.0 + share : 4.0 - share;
  }
  return {back, origin, angle_key(angle)};
}

EndCrossingMemo::Ray EndCrossingMemo::ray_of(int vertex, bool outgoing_ray) const {
  const std::size_t count = vertices_.size();
  const std::size_t index = (to_index(domain_.first) + to_index(vertex)) % count;
  // The incoming edge's ray continues it beyond the vertex; the outgoing
  // edge's continues it backwards.
  const std::size_t back = outgoing_ray ? (index + 1) % count : (index + count - 1) % count;
  return {vertices_[back], vertices_[index]};
}

bool EndCrossingMemo::ruled_out(int position) const {
  return ruled_out_.test(vertex_at(focus_, domain_.length, position));
}

int EndCrossingMemo::remembered_edge(int vertex) const {
  const int list = list_of_vertex_[to_index(vertex)];
  return list < 0 ? -1 : lists_[to_index(list)].edge;
}

int EndCrossingMemo::list_of_edge(int edge) {
  int& list = list_of_edge_[to_index(edge)];
  if (list >= 0) return list;
  if (free_lists_.empty()) {
    list = static_cast<int>(lists_.size());
    lists_.push_back({edge, EdgeVertices(ByDirection{this})});
  } else {
    list = free_lists_.back();
    free_lists_.pop_back();
    lists_[to_index(list)].edge = edge;
  }
  return list;
}

void EndCrossingMemo::file(int vertex, int list) {
  lists_[to_index(list)].vertices.insert(entry_of(vertex));
  list_of_vertex_[to_index(vertex)] = list;
}

void EndCrossingMemo::relabel(int list, int edge) {
  list_of_edge_[to_index(lists_[to_index(list)].edge)] = -1;
  lists_[to_index(list)].edge = edge;
  list_of_edge_[to_index(edge)] = list;
}

void EndCrossingMemo::unlink(int vertex) {
  int& list = list_of_vertex_[to_index(vertex)];
  if (list < 0) return;
  EdgeList& edge_list = lists_[to_index(list)];
  edge_list.vertices.erase(entry_of(vertex));
  if (edge_list.vertices.empty()) free_list(list);
  list = -1;
}

// An emptied list goes back for reuse; its edge has none.
void EndCrossingMemo::free_list(int list) {
  list_of_edge_[to_index(lists_[to_index(list)].edge)] = -1;
  free_lists_.push_back(list);
}

// A vertex taken out of its list (by the caller) remembers nothing.
void EndCrossingMemo::forget(int vertex) {
  list_of_vertex_[to_index(vertex)] = -1;
  ruled_out_.set(vertex, false);
}

void EndCrossingMemo::remember(int vertex, int edge, bool outgoing_ray) {
  // The vertex leaves its list while its ray, by which the list is ordered,
  // is still the one it was filed under.
  unlink(vertex);
  outgoing_ray_[to_index(vertex)] = outgoing_ray ? 1 : 0;
  file(vertex, list_of_edge(edge));
  ruled_out_.set(vertex, edge_in_focus(focus_, domain_.length, edge));
}

// Forgets the vertices of a list whose crossing does not carry over to the
// new end ray. Those whose direction shows it have directions strictly
// inside one cone of less than half a turn, bounded by the new end ray's
// direction (exclusive): for a left wedge the cone ends there, for a right
// one it starts there. So the others are the vertices from that direction
// onwards (left) or backwards (right), in the list's order, up to the first
// that the direction shows; each of them is kept if its ray crosses the new
// end ray all the same. In a chain winding around itself most of them do,
// level after level, and would otherwise be tried and filed again.
void EndCrossingMemo::forget_lost_crossings(EdgeVertices& list, const ShorteningWedge& wedge) {
  const Ray new_end = make_ray(wedge.inward, wedge.apex);
  // Kept vertices are passed over; once each has been seen, none shows it.
  std::size_t unseen = list.size();
  if (wedge.sign > 0) {
    auto at = list.lower_bound(new_end);
    for (; unseen > 0; --unseen) {
      if (at == list.end()) at = list.begin();
      if (survives(wedge, ray_of(at->vertex))) break;
      if (crosses_new_end(wedge, ray_of(at->vertex))) {
        ++at;
        continue;
      }
      forget(at->vertex);
      at = list.erase(at);
    }
  } else {
    auto at = list.upper_bound(new_end);
    for (; unseen > 0; --unseen) {
      if (at == list.begin()) at = list.end();
      --at;
      if (survives(wedge, ray_of(at->vertex))) break;
      if (crosses_new_end(wedge, ray_of(at->vertex))) continue;
      forget(at->vertex);
      at = list.erase(at);
    }
  }
}

void EndCrossingMemo::carry_over_shortening(int from, int to, const ShorteningWedge& wedge) {
  const int list = list_of_edge_[to_index(from)];
  if (list < 0) return;
  if (wedge.sign == 0) {
    // No direction shows a crossing: each is tried.
    EdgeVertices& vertices = lists_[to_index(list)].vertices;
    for (auto at = vertices.begin(); at != vertices.end();) {
      if (crosses_new_end(wedge, ray_of(at->vertex))) {
        ++at;
      } else {
        forget(at->vertex);
        at = vertices.erase(at);
      }
    }
  } else {
    forget_lost_crossings(lists_[to_index(list)].vertices, wedge);
  }
  // The survivors, the rest of the list, now remember `to`: joined with the
  // vertices that remember it already, the smaller list into the larger.
  int target = list;
  if (const int existing = list_of_edge_[to_index(to)]; existing >= 0) {
    const bool into_existing =
        lists_[to_index(existing)].vertices.size() > lists_[to_index(list)].vertices.size();
    target = into_existing ? existing : list;
    const int smaller = into_existing ? list : existing;
    for (const Entry& entry : lists_[to_index(smaller)].vertices)
      file(entry.vertex, target);
    lists_[to_index(smaller)].vertices.clear();
    free_list(smaller);
  }
  if (lists_[to_index(target)].vertices.empty()) {
    free_list(target);
  } else {
    relabel(target, to);
  }
}

void EndCrossingMemo::carry_edge_crossing(int vertex, bool outgoing_ray, int to,
                                          const ShorteningWedge& wedge) {
  if (ruled_out_.test(vertex)) return;
  const Ray ray = ray_of(vertex, outgoing_ray);
  if (!survives(wedge, ray) && !crosses_new_end(wedge, ray)) return;
  remember(vertex, to, outgoing_ray);
}

void EndCrossingMemo::release_edge(int edge) {
  const int list = list_of_edge_[to_index(edge)];
  if (list < 0) return;
  for (const Entry& entry : lists_[to_index(list)].vertices)
    ruled_out_.set(entry.vertex, false);
}

void EndCrossingMemo::focus(IndexChain chain) {
  const IndexChain before = focus_;
  focus_ = chain;
  if (focus_on_part(before, chain, domain_.length, [this](int edge) { release_edge(edge); })) {
    return;
  }
  for (int position = 0; position < chain.length; ++position) {
    const int vertex = vertex_at(chain, domain_.length, position);
    const int edge = remembered_edge(vertex);
    ruled_out_.set(vertex, edge >= 0 && edge_in_focus(chain, domain_.length, edge));
  }
}

}  // namespace polyfrep
