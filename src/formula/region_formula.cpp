#include "formula/region_formula.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace polyfrep {

namespace {

// Appends the ring's formula with its edges renumbered as the region's; a
// hole's with its operators exchanged.
void append_ring_formula(const Ring& ring, const Formula& formula, std::vector<int>& nodes) {
  for (const int node : formula.nodes) {
    if (node >= 0) {
      nodes.push_back(region_edge(ring, node));
    } else if (ring.hole) {
      nodes.push_back(node == TOKEN_INTERSECT ? TOKEN_UNION : TOKEN_INTERSECT);
    } else {
      nodes.push_back(node);
    }
  }
}

// Joins operands [0, count) by `join` in a balanced tree, in prefix order:
// an explicit stack of the ranges still to write, left range on top.
// `append_operand(k)` writes operand k.
template <typename AppendOperand>
void append_balanced(int count, int join, std::vector<int>& nodes, AppendOperand append_operand) {
  std::vector<std::pair<int, int>> ranges{{0, count}};
  while (!ranges.empty()) {
    const auto [begin, end] = ranges.back();
    ranges.pop_back();
    if (end - begin == 1) {
      append_operand(begin);
      continue;
    }
    const int middle = begin + (end - begin) / 2;
    nodes.push_back(join);
    ranges.emplace_back(middle, end);
    ranges.emplace_back(begin, middle);
  }
}

// The rings of each polygon: [polygon_start[p], polygon_start[p + 1]).
std::vector<int> polygon_starts(const Region& region) {
  std::vector<int> starts;
  for (int r = 0; r < static_cast<int>(region.rings.size()); ++r) {
    if (r == 0 || region.rings[r].polygon != region.rings[r - 1].polygon) starts.push_back(r);
  }
  starts.push_back(static_cast<int>(region.rings.size()));
  return starts;
}

}  // namespace

std::vector<Point> counter_clockwise_points(const Region& region, const Ring& ring) {
  const auto first = region.vertices.begin() + ring.first;
  std::vector<Point> points(first, first + ring.count);
  if (ring.hole && ring.count > 1) std::reverse(points.begin() + 1, points.end());
  return points;
}

int region_vertex(const Ring& ring, int local) {
  return ring.first + (ring.hole && local > 0 ? ring.count - local : local);
}

int region_edge(const Ring& ring, int local) {
  return ring.first + (ring.hole ? ring.count - 1 - local : local);
}

Formula region_formula(const Region& region, std::span<const Formula> ring_formulas) {
  Formula joined;
  if (region.rings.empty() || ring_formulas.size() != region.rings.size()) return joined;
  std::size_t node_count = 0;
  for (const Formula& formula : ring_formulas) {
    if (formula.nodes.empty()) return joined;
    node_count += formula.nodes.size() + 1;
  }
  joined.nodes.reserve(node_count);
  const std::vector<int> starts = polygon_starts(region);
  const int polygons = static_cast<int>(starts.size()) - 1;
  append_balanced(polygons, TOKEN_UNION, joined.nodes, [&](int polygon) {
    const int first_ring = starts[polygon];
    append_balanced(starts[polygon + 1] - first_ring, TOKEN_INTERSECT, joined.nodes, [&](int k) {
      const int r = first_ring + k;
      append_ring_formula(region.rings[r], ring_formulas[r], joined.nodes);
    });
  });
  return joined;
}

}  // namespace polyfrep
