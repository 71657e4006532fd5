#include "formula/cut_certificate.h"

#include <optional>
#include <vector>

#include "formula/cut_validity.h"
#include "formula/formula.h"

namespace polyfrep {

namespace {

// Whether the leaves, in order, run once around the outline from some edge:
// then every subformula covers a run of consecutive edges.
bool leaves_run_around(const std::vector<int>& nodes, int edge_count) {
  int expected = -1;
  for (const int node : nodes) {
    if (is_operator(node)) continue;
    if (expected >= 0 && node != expected) return false;
    expected = (node + 1) % edge_count;
  }
  return true;
}

// The first edge of every node's subformula.
std::vector<int> first_edges(const std::vector<int>& nodes) {
  std::vector<int> first(nodes.size());
  for (std::size_t i = nodes.size(); i-- > 0;)
    first[i] = is_operator(nodes[i]) ? first[i + 1] : nodes[i];
  return first;
}

int leaf_count(const std::vector<int>& ends, std::size_t node) {
  return (ends[node] - static_cast<int>(node) + 1) / 2;
}

}  // namespace

CutCertificate check_cut_certificate(std::span<const Point> vertices, const Formula& formula) {
  CutCertificate certificate;
  const int n = static_cast<int>(vertices.size());
  const std::vector<int>& nodes = formula.nodes;
  if (n < 3 || nodes.size() != 2 * vertices.size() - 1 || nodes[0] != TOKEN_INTERSECT ||
      !formula_problem(formula, n).empty() || !leaves_run_around(nodes, n)) {
    return certificate;
  }
  certificate.chain_shaped = true;
  const std::vector<int> ends = subformula_ends(formula);
  const std::vector<int> first = first_edges(nodes);
  const TurnTable turns = make_turn_table(vertices);
  std::optional<HullTree> hulls;
  if (vertices.size() >= kHullTreePolygonSize && !is_strictly_convex(turns)) {
    hulls = make_hull_tree(vertices);
  }
  const HullTree* hull_tree = hulls ? &*hulls : nullptr;

  // The top level joins the chain from a to b and the chain from b to a.
  const int a = first[1];
  const int b = first[static_cast<std::size_t>(ends[1])];
  const IndexChain outline{0, n};
  if (!polygon_cut_is_valid(vertices, turns, a, b,
                            is_strict_extreme_point(vertices, outline, a, hull_tree),
                            is_strict_extreme_point(vertices, outline, b, hull_tree))) {
    certificate.unsound_cut = a;
    certificate.top_level = true;
    certificate.other_vertex = b;
    return certificate;
  }
  for (std::size_t i = 1; i < nodes.size(); ++i) {
    if (!is_operator(nodes[i])) continue;
    const IndexChain chain{first[i], leaf_count(ends, i) + 1};
    const int cut = leaf_count(ends, i + 1);
    if (!chain_cut_is_valid(vertices, turns, chain, cut, nodes[i], nullptr, nullptr, hull_tree)) {
      certificate.unsound_cut = (chain.first + cut) % n;
      return certificate;
    }
  }
  return certificate;
}

}  // namespace polyfrep
