#include "formula/region_certificate.h"

#include <cstddef>
#include <vector>

#include "formula/formula.h"
#include "formula/region_formula.h"

// Why a formula that passes proves the region. Above the polygons' terms
// there are only unions, and each polygon has exactly one term: the formula
// is the union over polygons of their terms. Within a polygon's term there
// are only intersections above its rings' subformulas, each ring once: the
// term is the intersection of its rings' subformulas. An exterior's
// subformula, certified on the exterior's points, describes its inside. A
// hole's subformula, dualised and renumbered to its counter-clockwise copy,
// is certified to describe the hole's inside with the copy's open
// half-planes; the copy's edge j is the hole's edge region_edge(ring, j)
// reversed, whose open half-plane is the complement of the copy's closed
// one. By De Morgan the hole's own subformula, on the hole's half-planes,
// is then the complement of the hole's inside, up to the hole's lines. So
// the formula describes the union over polygons of each exterior less its
// holes, everywhere off the edges' supporting lines.

namespace polyfrep {

namespace {

// No single ring or polygon below a node.
constexpr int kMixed = -1;

// For every node, the label that all the leaves below it share, or kMixed.
std::vector<int> node_labels(const std::vector<int>& nodes, const std::vector<int>& ends,
                             const std::vector<int>& label_of_edge) {
  std::vector<int> labels(nodes.size(), kMixed);
  for (std::size_t i = nodes.size(); i-- > 0;) {
    if (!is_operator(nodes[i])) {
      labels[i] = label_of_edge[static_cast<std::size_t>(nodes[i])];
      continue;
    }
    const int left = labels[i + 1];
    const int right = labels[static_cast<std::size_t>(ends[i + 1])];
    labels[i] = left == right ? left : kMixed;
  }
  return labels;
}

// Every node's parent; -1 for the root.
std::vector<int> node_parents(const std::vector<int>& nodes, const std::vector<int>& ends) {
  std::vector<int> parents(nodes.size(), -1);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (!is_operator(nodes[i])) continue;
    parents[i + 1] = static_cast<int>(i);
    parents[static_cast<std::size_t>(ends[i + 1])] = static_cast<int>(i);
  }
  return parents;
}

// The node of each label's single largest subtree with that label alone,
// or why there is not exactly one per label.
std::string find_terms(const std::vector<int>& labels, const std::vector<int>& parents,
                       const char* what, std::vector<int>& term_of) {
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const int label = labels[i];
    if (label == kMixed) continue;
    const int parent = parents[i];
    if (parent >= 0 && labels[static_cast<std::size_t>(parent)] != kMixed) continue;
    if (term_of[static_cast<std::size_t>(label)] >= 0) {
      return std::string(what) + " " + std::to_string(label) + " stands in two places";
    }
    term_of[static_cast<std::size_t>(label)] = static_cast<int>(i);
  }
  for (std::size_t label = 0; label < term_of.size(); ++label) {
    if (term_of[label] < 0) return std::string(what) + " " + std::to_string(label) + " is missing";
  }
  return {};
}

// The joins above the terms: unions between polygons, intersections
// between the rings of one polygon.
std::string join_problem(const std::vector<int>& nodes, const std::vector<int>& ring_labels,
                         const std::vector<int>& polygon_labels) {
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (polygon_labels[i] == kMixed && nodes[i] != TOKEN_UNION) {
      return "an intersection joins two polygons";
    }
    if (polygon_labels[i] != kMixed && ring_labels[i] == kMixed && nodes[i] != TOKEN_INTERSECT) {
      return "a union joins two rings of polygon " + std::to_string(polygon_labels[i]);
    }
  }
  return {};
}

}  // namespace

Formula ring_local_formula(const Ring& ring, const Formula& formula, int first_node, int end_node) {
  Formula local;
  local.nodes.reserve(static_cast<std::size_t>(end_node - first_node));
  for (int i = first_node; i < end_node; ++i) {
    const int node = formula.nodes[static_cast<std::size_t>(i)];
    if (!is_operator(node)) {
      const int offset = node - ring.first;
      local.nodes.push_back(ring.hole ? ring.count - 1 - offset : offset);
    } else if (ring.hole) {
      local.nodes.push_back(node == TOKEN_INTERSECT ? TOKEN_UNION : TOKEN_INTERSECT);
    } else {
      local.nodes.push_back(node);
    }
  }
  return local;
}

RegionCertificate check_region_certificate(const Region& region, const Formula& formula) {
  RegionCertificate certificate;
  const int edge_count = static_cast<int>(region.vertices.size());
  if (region.rings.empty()) {
    certificate.shape_problem = "the region has no ring";
    return certificate;
  }
  if (std::string problem = formula_problem(formula, edge_count); !problem.empty()) {
    certificate.shape_problem = problem;
    return certificate;
  }
  std::vector<int> ring_of_edge(static_cast<std::size_t>(edge_count), kMixed);
  std::vector<int> polygon_of_edge(static_cast<std::size_t>(edge_count), kMixed);
  for (std::size_t r = 0; r < region.rings.size(); ++r) {
    const Ring& ring = region.rings[r];
    for (int edge = ring.first; edge < ring.first + ring.count; ++edge) {
      ring_of_edge[static_cast<std::size_t>(edge)] = static_cast<int>(r);
      polygon_of_edge[static_cast<std::size_t>(edge)] = ring.polygon;
    }
  }
  const std::vector<int>& nodes = formula.nodes;
  const std::vector<int> ends = subformula_ends(formula);
  const std::vector<int> parents = node_parents(nodes, ends);
  const std::vector<int> ring_labels = node_labels(nodes, ends, ring_of_edge);
  const std::vector<int> polygon_labels = node_labels(nodes, ends, polygon_of_edge);
  std::vector<int> ring_term(region.rings.size(), -1);
  std::vector<int> polygon_term(static_cast<std::size_t>(polygon_count(region)), -1);
  certificate.shape_problem = find_terms(ring_labels, parents, "ring", ring_term);
  if (certificate.shape_problem.empty()) {
    certificate.shape_problem = find_terms(polygon_labels, parents, "polygon", polygon_term);
  }
  if (certificate.shape_problem.empty()) {
    certificate.shape_problem = join_problem(nodes, ring_labels, polygon_labels);
  }
  if (!certificate.shape_problem.empty()) return certificate;
  certificate.region_shaped = true;

  for (std::size_t r = 0; r < region.rings.size(); ++r) {
    const Ring& ring = region.rings[r];
    const int term = ring_term[r];
    const Formula local =
        ring_local_formula(ring, formula, term, ends[static_cast<std::size_t>(term)]);
    const CutCertificate ring_certificate =
        check_cut_certificate(counter_clockwise_points(region, ring), local);
    if (!certifies(ring_certificate)) {
      certificate.failed_ring = static_cast<int>(r);
      certificate.ring_certificate = ring_certificate;
      return certificate;
    }
  }
  return certificate;
}

}  // namespace polyfrep
