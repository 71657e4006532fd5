#include "check/region_classifier.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "check/side_thread.h"

namespace polyfrep {

namespace {

// A sign decided from bounds must stand clear of zero by this share of the
// magnitude, far beyond the few rounding errors of an edge's distance line.
constexpr double kDecisionMargin = 1e-9;

// Boxes with at most this many points, or formulas this small, are
// evaluated point by point.
constexpr std::size_t kDirectPointCount = 8;
constexpr std::size_t kDirectTreeSize = 3;
constexpr int kMaxSplitDepth = 60;

Interval unknown() {
  return Interval{};
}

Interval finished(double low, double high, double magnitude) {
  Interval result{low, high, magnitude, true};
  if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(magnitude)) return unknown();
  return result;
}

Interval coordinate_interval(int index, const Box& box) {
  if (index == 0) {
    return finished(box.x_low, box.x_high, std::max(std::fabs(box.x_low), std::fabs(box.x_high)));
  }
  if (index == 1) {
    return finished(box.y_low, box.y_high, std::max(std::fabs(box.y_low), std::fabs(box.y_high)));
  }
  return finished(0, 0, 0);
}

Interval product(const Interval& a, const Interval& b) {
  const double candidates[] = {a.low * b.low, a.low * b.high, a.high * b.low, a.high * b.high};
  return finished(*std::min_element(std::begin(candidates), std::end(candidates)),
                  *std::max_element(std::begin(candidates), std::end(candidates)),
                  a.magnitude * b.magnitude);
}

Interval quotient(const Interval& a, const Interval& b) {
  if (b.low <= 0 && b.high >= 0) return unknown();
  const double candidates[] = {a.low / b.low, a.low / b.high, a.high / b.low, a.high / b.high};
  const double smallest_divisor = std::min(std::fabs(b.low), std::fabs(b.high));
  return finished(*std::min_element(std::begin(candidates), std::end(candidates)),
                  *std::max_element(std::begin(candidates), std::end(candidates)),
                  a.magnitude / smallest_divisor * (1 + b.magnitude / smallest_divisor));
}

Interval combine(Operation operation, const Interval& a, const Interval& b) {
  switch (operation) {
    case Operation::Add:
      return finished(a.low + b.low, a.high + b.high, a.magnitude + b.magnitude);
    case Operation::Subtract:
      return finished(a.low - b.high, a.high - b.low, a.magnitude + b.magnitude);
    case Operation::Multiply:
      return product(a, b);
    case Operation::Divide:
      return quotient(a, b);
    case Operation::Minimum:
      return finished(std::min(a.low, b.low), std::min(a.high, b.high),
                      std::max(a.magnitude, b.magnitude));
    case Operation::Maximum:
      return finished(std::max(a.low, b.low), std::max(a.high, b.high),
                      std::max(a.magnitude, b.magnitude));
    default:
      return unknown();
  }
}

// The formula's "&"/"|" skeleton; anything else is a leaf whose sign is
// found from the compiled expression.
enum class RegionKind { And, Or, Leaf };

struct RegionNode {
  RegionKind kind = RegionKind::Leaf;
  int left = -1;
  int right = -1;
  int expression = -1;
  int leaf = -1;  // the leaf's number, which indexes BoundedModel::forms
};

using RegionTree = std::vector<RegionNode>;

// Results of simplification that are not nodes.
constexpr int kEverywhereInside = -1;
constexpr int kEverywhereOutside = -2;

int add_region_node(RegionTree& tree, RegionNode node) {
  tree.push_back(node);
  return static_cast<int>(tree.size()) - 1;
}

// Builds the skeleton below `expression`; the expressions of its leaves are
// appended to leaf_expressions in leaf order.
int build_region_tree(const CompiledModel& model, int expression, RegionTree& tree,
                      std::vector<int>& leaf_expressions) {
  const ExpressionNode& node = model.nodes[static_cast<std::size_t>(expression)];
  if (node.operation == Operation::Minimum || node.operation == Operation::Maximum) {
    const int left = build_region_tree(model, node.left, tree, leaf_expressions);
    const int right = build_region_tree(model, node.right, tree, leaf_expressions);
    const RegionKind kind = node.operation == Operation::Minimum ? RegionKind::And : RegionKind::Or;
    return add_region_node(tree, {kind, left, right, -1, -1});
  }
  leaf_expressions.push_back(expression);
  return add_region_node(
      tree, {RegionKind::Leaf, -1, -1, expression, static_cast<int>(leaf_expressions.size()) - 1});
}

// The model together with what is found about it once, before any box: the
// affine forms of the skeleton's leaves, by leaf number.
struct BoundedModel {
  const CompiledModel* model = nullptr;
  std::vector<AffineForm> forms;
};

// An edge's distance line is bounded from its affine form in a few
// operations; only other expressions are walked node by node.
Interval leaf_interval(const BoundedModel& bounded, const RegionNode& leaf, const Box& box) {
  const AffineForm& form = bounded.forms[static_cast<std::size_t>(leaf.leaf)];
  return form.affine ? affine_interval(form, box)
                     : node_interval(*bounded.model, leaf.expression, box);
}

int leaf_sign_in_box(const BoundedModel& bounded, const RegionNode& leaf, const Box& box) {
  const ExpressionNode& node = bounded.model->nodes[static_cast<std::size_t>(leaf.expression)];
  if (node.operation == Operation::Constant) {
    return node.value > 0.0 ? kEverywhereInside : kEverywhereOutside;
  }
  const Interval bounds = leaf_interval(bounded, leaf, box);
  if (!bounds.known) return 0;
  const double margin = kDecisionMargin * bounds.magnitude;
  if (bounds.low > margin) return kEverywhereInside;
  if (bounds.high < -margin) return kEverywhereOutside;
  return 0;
}

// Copies the part of `from` below `node` that still matters within the box
// into `to`; returns its root in `to`, or the sign it has throughout.
int simplify(const BoundedModel& model, const RegionTree& from, int node, const Box& box,
             RegionTree& to) {
  const RegionNode& region = from[static_cast<std::size_t>(node)];
  if (region.kind == RegionKind::Leaf) {
    const int sign = leaf_sign_in_box(model, region, box);
    return sign != 0 ? sign : add_region_node(to, region);
  }
  // An "&" is decided by an operand outside everywhere, an "|" by one inside.
  const int deciding = region.kind == RegionKind::And ? kEverywhereOutside : kEverywhereInside;
  const int neutral = region.kind == RegionKind::And ? kEverywhereInside : kEverywhereOutside;
  const int left = simplify(model, from, region.left, box, to);
  if (left == deciding) return deciding;
  const int right = simplify(model, from, region.right, box, to);
  if (right == deciding) return deciding;
  if (left == neutral) return right;
  if (right == neutral) return left;
  return add_region_node(to, {region.kind, left, right, -1, -1});
}

// A leaf's sign at the evaluator's point: from its affine form when that
// decides it (as for a box, a point being a box without extent), otherwise
// by evaluating the expression as written.
bool leaf_inside(const BoundedModel& model, PointEvaluator& evaluator, Point at,
                 const RegionNode& leaf) {
  const int sign = leaf_sign_in_box(model, leaf, Box{at.x, at.x, at.y, at.y});
  if (sign != 0) return sign == kEverywhereInside;
  return node_inside(evaluator, leaf.expression);
}

bool tree_inside(const BoundedModel& model, PointEvaluator& evaluator, Point at,
                 const RegionTree& tree, int node) {
  const RegionNode& region = tree[static_cast<std::size_t>(node)];
  switch (region.kind) {
    case RegionKind::And:
      return tree_inside(model, evaluator, at, tree, region.left) &&
             tree_inside(model, evaluator, at, tree, region.right);
    case RegionKind::Or:
      return tree_inside(model, evaluator, at, tree, region.left) ||
             tree_inside(model, evaluator, at, tree, region.right);
    case RegionKind::Leaf:
      break;
  }
  return leaf_inside(model, evaluator, at, region);
}

// The work of one thread: the model and points are shared, each thread
// writes the answers of its own points only.
struct Classification {
  const BoundedModel* model = nullptr;
  std::span<const Point> points;
  PointEvaluator evaluator;
  std::span<char> inside;
  // The simplified tree of the box being split at each depth, kept so that
  // its storage is reused by the next box of that depth.
  std::vector<RegionTree> trees_by_depth;
};

Box bounding_box(const Classification& work, std::span<const int> ids) {
  const Point& first = work.points[static_cast<std::size_t>(ids[0])];
  Box box{first.x, first.x, first.y, first.y};
  for (const int id : ids) {
    const Point& p = work.points[static_cast<std::size_t>(id)];
    box.x_low = std::min(box.x_low, p.x);
    box.x_high = std::max(box.x_high, p.x);
    box.y_low = std::min(box.y_low, p.y);
    box.y_high = std::max(box.y_high, p.y);
  }
  return box;
}

void classify_directly(Classification& work, const RegionTree& tree, int root,
                       std::span<const int> ids) {
  for (const int id : ids) {
    const Point at = work.points[static_cast<std::size_t>(id)];
    move_to(work.evaluator, at);
    work.inside[static_cast<std::size_t>(id)] =
        tree_inside(*work.model, work.evaluator, at, tree, root) ? 1 : 0;
  }
}

// Halves the box's longer side: moves the ids of the lower half to the
// front and returns how many there are.
std::size_t split_box(const Classification& work, const Box& box, std::span<int> ids) {
  const bool split_x = box.x_high - box.x_low >= box.y_high - box.y_low;
  const double middle =
      split_x ? box.x_low + (box.x_high - box.x_low) / 2 : box.y_low + (box.y_high - box.y_low) / 2;
  const auto lower_end = std::partition(ids.begin(), ids.end(), [&](int id) {
    const Point& p = work.points[static_cast<std::size_t>(id)];
    return (split_x ? p.x : p.y) <= middle;
  });
  return static_cast<std::size_t>(lower_end - ids.begin());
}

void classify_box(Classification& work, const RegionTree& parent, int parent_root,
                  std::span<int> ids, int depth) {
  const Box box = bounding_box(work, ids);
  RegionTree& tree = work.trees_by_depth[static_cast<std::size_t>(depth)];
  tree.clear();
  const int root = simplify(*work.model, parent, parent_root, box, tree);
  if (root < 0) {
    for (const int id : ids)
      work.inside[static_cast<std::size_t>(id)] = root == kEverywhereInside;
    return;
  }
  const bool degenerate = box.x_low == box.x_high && box.y_low == box.y_high;
  if (ids.size() <= kDirectPointCount || tree.size() <= kDirectTreeSize || degenerate ||
      depth >= kMaxSplitDepth) {
    classify_directly(work, tree, root, ids);
    return;
  }
  // Halve the longer side; each half is simplified again on its own points.
  const std::size_t lower_count = split_box(work, box, ids);
  if (lower_count > 0) classify_box(work, tree, root, ids.first(lower_count), depth + 1);
  if (lower_count < ids.size()) classify_box(work, tree, root, ids.subspan(lower_count), depth + 1);
}

}  // namespace

Interval node_interval(const CompiledModel& model, int node_index, const Box& box) {
  // The rounding of a root near zero is not bounded by the magnitude: a root
  // is never bounded, and its operand needs no look.
  const auto needed = [](const ExpressionNode& node) {
    switch (node.operation) {
      case Operation::Constant:
      case Operation::Coordinate:
      case Operation::SquareRoot:
        return 0;
      case Operation::Variable:
      case Operation::Negate:
        return 1;
      default:
        return 2;
    }
  };
  const auto finish = [&box](const ExpressionNode& node, std::span<const Interval> operands) {
    switch (node.operation) {
      case Operation::Constant:
        return finished(node.value, node.value, std::fabs(node.value));
      case Operation::Coordinate:
        return coordinate_interval(node.index, box);
      case Operation::Variable:
        return operands[0];
      case Operation::Negate: {
        const Interval& a = operands[0];
        return a.known ? finished(-a.high, -a.low, a.magnitude) : unknown();
      }
      case Operation::SquareRoot:
        return unknown();
      default:
        break;
    }
    if (!operands[0].known || !operands[1].known) return unknown();
    return combine(node.operation, operands[0], operands[1]);
  };
  return fold_expression<Interval>(model, node_index, needed, finish);
}

Classification make_classification(const BoundedModel& model, std::span<const Point> points,
                                   std::span<char> inside) {
  Classification work;
  work.model = &model;
  work.points = points;
  work.evaluator = make_point_evaluator(*model.model);
  work.inside = inside;
  work.trees_by_depth.resize(kMaxSplitDepth + 1);
  return work;
}

// Many points are split in two halves at the top, each classified on a
// thread of its own.
constexpr std::size_t kPointsForTwoThreads = 20000;

std::vector<char> classify_points(const CompiledModel& model, std::span<const Point> points) {
  std::vector<char> inside(points.size(), 0);
  if (points.empty()) return inside;
  BoundedModel bounded;
  bounded.model = &model;
  RegionTree tree;
  std::vector<int> leaf_expressions;
  const int root = build_region_tree(model, model.root, tree, leaf_expressions);
  bounded.forms = affine_forms_of(model, leaf_expressions);
  std::vector<int> ids(points.size());
  std::iota(ids.begin(), ids.end(), 0);
  Classification work = make_classification(bounded, points, inside);
  if (points.size() < kPointsForTwoThreads) {
    classify_box(work, tree, root, ids, 0);
    return inside;
  }
  // Both halves start from the whole formula, as every box does from its
  // parent's; the answers do not depend on how the points are grouped.
  const std::span<int> all(ids);
  const std::size_t lower_count = split_box(work, bounding_box(work, all), all);
  Classification upper_work = make_classification(bounded, points, inside);
  run_side_by_side(
      [&] {
        if (lower_count < all.size())
          classify_box(upper_work, tree, root, all.subspan(lower_count), 0);
      },
      [&] {
        if (lower_count > 0) classify_box(work, tree, root, all.first(lower_count), 0);
      });
  return inside;
}

}  // namespace polyfrep
