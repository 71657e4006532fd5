#include "check/region_classifier.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "check/side_thread.h"
#include "formula/formula.h"

namespace polyfrep {

namespace {

// A sign decided from bounds must stand clear of zero by this share of the
// magnitude, far beyond the few rounding errors of an edge's distance line.
constexpr double kDecisionMargin = 1e-9;

// Boxes with at most this many points, or formulas this small, are
// evaluated point by point.
constexpr std::size_t kDirectPointCount = 8;
// Points classified together, one bit each of a mask, when every leaf is a
// distance node: walking the formula once for all of them costs so little
// per point that boxes of this many are split no further.
using LaneMask = std::uint64_t;
constexpr std::size_t kLanes = 64;
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

Interval constant_interval(double value) {
  return finished(value, value, std::fabs(value));
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

// The bounds of an operation on two bounded operands.
Interval arithmetic_interval(Operation operation, const Interval& a, const Interval& b) {
  if (!a.known || !b.known) return unknown();
  return combine(operation, a, b);
}

// The distance line's bounds, made from its operations as from the tree the
// same line compiles to.
Interval edge_distance_interval(const WrittenEdge& edge, const Box& box) {
  const Interval across =
      arithmetic_interval(Operation::Multiply,
                          arithmetic_interval(Operation::Subtract, coordinate_interval(0, box),
                                              constant_interval(edge.start.x)),
                          constant_interval(edge.start.y - edge.end.y));
  const Interval along =
      arithmetic_interval(Operation::Multiply,
                          arithmetic_interval(Operation::Subtract, coordinate_interval(1, box),
                                              constant_interval(edge.start.y)),
                          constant_interval(edge.end.x - edge.start.x));
  return arithmetic_interval(Operation::Divide, arithmetic_interval(Operation::Add, across, along),
                             constant_interval(edge.length));
}

// What a formula, or a part of it, is throughout a box.
enum class BoxSign { Inside, Outside, Mixed };

// A formula with what walking it needs: where each subformula ends.
struct RegionFormula {
  Formula formula;
  std::vector<int> ends;
};

// The formula's "&"/"|" skeleton as a Formula whose leaves are numbered
// leaf expressions: leaf k is the k-th operand, from the left, that is
// neither "&" nor "|". Written in prefix order with a stack of the
// expressions still to be written; their expressions go to
// leaf_expressions by leaf number.
Formula region_skeleton(const CompiledModel& model, std::vector<int>& leaf_expressions) {
  Formula skeleton;
  std::vector<int> pending{model.root};
  while (!pending.empty()) {
    const int expression = pending.back();
    pending.pop_back();
    const ExpressionNode& node = model.nodes[static_cast<std::size_t>(expression)];
    if (node.operation == Operation::Minimum || node.operation == Operation::Maximum) {
      skeleton.nodes.push_back(node.operation == Operation::Minimum ? TOKEN_INTERSECT
                                                                    : TOKEN_UNION);
      pending.push_back(node.right);
      pending.push_back(node.left);
    } else {
      skeleton.nodes.push_back(static_cast<int>(leaf_expressions.size()));
      leaf_expressions.push_back(expression);
    }
  }
  return skeleton;
}

// A leaf expression with what is found about it once, before any box.
struct RegionLeaf {
  AffineForm form;
  int expression = -1;
  BoxSign constant_sign = BoxSign::Mixed;  // the sign of a constant, Mixed for the rest
  const WrittenEdge* distance = nullptr;   // the edge of a distance node
};

// The model and its leaves, by leaf number.
struct BoundedModel {
  const CompiledModel* model = nullptr;
  std::vector<RegionLeaf> leaves;
  bool all_distances = true;  // every leaf is a distance node
};

BoundedModel bind_leaves(const CompiledModel& model, const std::vector<int>& leaf_expressions) {
  BoundedModel bounded;
  bounded.model = &model;
  const std::vector<AffineForm> forms = affine_forms_of(model, leaf_expressions);
  bounded.leaves.reserve(leaf_expressions.size());
  for (std::size_t k = 0; k < leaf_expressions.size(); ++k) {
    const ExpressionNode& node = model.nodes[static_cast<std::size_t>(leaf_expressions[k])];
    BoxSign constant_sign = BoxSign::Mixed;
    if (node.operation == Operation::Constant)
      constant_sign = node.value > 0.0 ? BoxSign::Inside : BoxSign::Outside;
    const WrittenEdge* distance = nullptr;
    if (node.operation == Operation::EdgeDistance)
      distance = &model.written_edges[static_cast<std::size_t>(node.index)];
    bounded.leaves.push_back({forms[k], leaf_expressions[k], constant_sign, distance});
    bounded.all_distances = bounded.all_distances && distance != nullptr;
  }
  return bounded;
}

// An edge's distance line is bounded from its affine form in a few
// operations; only other expressions are walked node by node.
Interval leaf_interval(const BoundedModel& bounded, const RegionLeaf& leaf, const Box& box) {
  return leaf.form.affine ? affine_interval(leaf.form, box)
                          : node_interval(*bounded.model, leaf.expression, box);
}

BoxSign leaf_sign_in_box(const BoundedModel& bounded, int leaf_number, const Box& box) {
  const RegionLeaf& leaf = bounded.leaves[static_cast<std::size_t>(leaf_number)];
  if (leaf.constant_sign != BoxSign::Mixed) return leaf.constant_sign;
  const Interval bounds = leaf_interval(bounded, leaf, box);
  if (!bounds.known) return BoxSign::Mixed;
  const double margin = kDecisionMargin * bounds.magnitude;
  if (bounds.low > margin) return BoxSign::Inside;
  if (bounds.high < -margin) return BoxSign::Outside;
  return BoxSign::Mixed;
}

// An operator of the formula being simplified, written ahead of its
// operands at output_start before they show whether it stays.
struct OpenOperator {
  int position = 0;
  int output_start = 0;
  bool right_started = false;  // its left operand is mixed and written
};

// Marks an operator that turned out to stand for its left operand alone;
// such marks are removed once the whole formula is written.
constexpr int kDroppedOperator = std::numeric_limits<int>::min();

// Hands the sign of a finished operand to the operators it completes an
// operand of. An "&" is decided by an operand outside everywhere, an "|" by
// one inside; an operand of the other sign leaves the operator equal to its
// other operand. Returns where the next operand to simplify starts, or -1
// when the whole formula is finished with `sign`.
int finish_operand(const RegionFormula& from, std::vector<OpenOperator>& open,
                   std::vector<int>& out, bool& dropped, BoxSign& sign) {
  while (!open.empty()) {
    OpenOperator& op = open.back();
    const BoxSign deciding =
        from.formula.nodes[static_cast<std::size_t>(op.position)] == TOKEN_INTERSECT
            ? BoxSign::Outside
            : BoxSign::Inside;
    const int right_operand = from.ends[static_cast<std::size_t>(op.position) + 1];
    if (sign == deciding) {
      out.resize(static_cast<std::size_t>(op.output_start));
      open.pop_back();
    } else if (op.right_started) {
      // The left operand is mixed: the operator stays, or stands for it.
      if (sign != BoxSign::Mixed) {
        out[static_cast<std::size_t>(op.output_start)] = kDroppedOperator;
        dropped = true;
      }
      sign = BoxSign::Mixed;
      open.pop_back();
    } else if (sign == BoxSign::Mixed) {
      op.right_started = true;
      return right_operand;
    } else {
      // The operator is what its right operand is, written in its place.
      out.resize(static_cast<std::size_t>(op.output_start));
      open.pop_back();
      return right_operand;
    }
  }
  return -1;
}

// Writes into `to` the part of `from` that still matters within the box, in
// prefix order, and returns the sign of the whole (`to` is empty when that
// is not mixed). A walk with a stack of the open operators: each is written
// ahead of its operands and taken back when they decide it or leave it
// equal to one of them, and the right operand of an operator its left
// operand decides is never looked at.
BoxSign simplify(const BoundedModel& model, const RegionFormula& from, const Box& box,
                 RegionFormula& to, std::vector<OpenOperator>& open) {
  std::vector<int>& out = to.formula.nodes;
  out.clear();
  open.clear();
  bool dropped = false;
  BoxSign sign = BoxSign::Mixed;
  int position = 0;
  while (position >= 0) {
    int node = from.formula.nodes[static_cast<std::size_t>(position)];
    while (is_operator(node)) {
      open.push_back({position, static_cast<int>(out.size()), false});
      out.push_back(node);
      node = from.formula.nodes[static_cast<std::size_t>(++position)];
    }
    sign = leaf_sign_in_box(model, node, box);
    if (sign == BoxSign::Mixed) out.push_back(node);
    position = finish_operand(from, open, out, dropped, sign);
  }
  if (dropped) std::erase(out, kDroppedOperator);
  if (sign == BoxSign::Mixed) to.ends = subformula_ends(to.formula);
  return sign;
}

// A leaf's sign at the evaluator's point: a distance node's from its value,
// which takes fewer operations than its bounds; any other's from its affine
// form when that decides it (as for a box, a point being a box without
// extent), otherwise by evaluating the expression as written.
bool leaf_inside(const BoundedModel& model, PointEvaluator& evaluator, Point at, int leaf_number) {
  const RegionLeaf& leaf = model.leaves[static_cast<std::size_t>(leaf_number)];
  if (leaf.distance != nullptr) return edge_distance(*leaf.distance, at) > 0.0;
  const BoxSign sign = leaf_sign_in_box(model, leaf_number, Box{at.x, at.x, at.y, at.y});
  if (sign != BoxSign::Mixed) return sign == BoxSign::Inside;
  return node_inside(evaluator, leaf.expression);
}

// An operator of the formula being evaluated at several points at once.
struct LaneStep {
  int position = 0;
  LaneMask active = 0;  // the points it is evaluated at
  LaneMask left = 0;    // where its left operand holds, once known
  bool right_started = false;
};

// The work of one thread: the model and points are shared, each thread
// writes the answers of its own points only.
struct Classification {
  const BoundedModel* model = nullptr;
  std::span<const Point> points;
  PointEvaluator evaluator;
  std::span<char> inside;
  // The simplified formula of the box being split at each depth, kept so
  // that its storage is reused by the next box of that depth.
  std::vector<RegionFormula> formulas_by_depth;
  std::vector<OpenOperator> open_operators;  // simplify's stack
  std::vector<int> deciding;                 // region_inside's stack
  std::vector<LaneStep> lane_steps;          // region_lanes' stack
};

// Whether the formula holds at the point: a walk with a stack of the
// operators whose left operand is being decided. A left operand false for
// "&" or true for "|" decides its operator and the right operand is
// skipped; otherwise the operator is what its right operand is.
bool region_inside(Classification& work, const RegionFormula& region, Point at) {
  const std::vector<int>& nodes = region.formula.nodes;
  std::vector<int>& deciding = work.deciding;
  deciding.clear();
  int position = 0;
  while (true) {
    while (is_operator(nodes[static_cast<std::size_t>(position)]))
      deciding.push_back(position++);
    const bool inside =
        leaf_inside(*work.model, work.evaluator, at, nodes[static_cast<std::size_t>(position)]);
    while (true) {
      if (deciding.empty()) return inside;
      const int op = deciding.back();
      deciding.pop_back();
      if (inside == (nodes[static_cast<std::size_t>(op)] == TOKEN_UNION)) continue;
      position = region.ends[static_cast<std::size_t>(op) + 1];
      break;
    }
  }
}

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

// Where a distance node is positive, among the active points.
LaneMask distance_lanes(const WrittenEdge& edge, const Point* at, LaneMask active) {
  LaneMask inside = 0;
  for (LaneMask rest = active; rest != 0; rest &= rest - 1) {
    const int lane = std::countr_zero(rest);
    if (edge_distance(edge, at[lane]) > 0.0) inside |= LaneMask{1} << lane;
  }
  return inside;
}

// Hands the lanes where a finished operand holds to the operators it
// completes an operand of. An operator's right operand is evaluated only
// where its left one does not decide it (fails "&", holds "|"). Returns
// where the next operand starts, to be evaluated at `active`, or -1 when
// `value` holds the whole formula's lanes.
int finish_lanes(const RegionFormula& region, std::vector<LaneStep>& open, LaneMask& value,
                 LaneMask& active) {
  while (!open.empty()) {
    LaneStep& op = open.back();
    const bool intersect =
        region.formula.nodes[static_cast<std::size_t>(op.position)] == TOKEN_INTERSECT;
    if (!op.right_started) {
      op.left = value;
      const LaneMask undecided = op.active & (intersect ? value : ~value);
      if (undecided != 0) {
        op.right_started = true;
        active = undecided;
        return region.ends[static_cast<std::size_t>(op.position) + 1];
      }
    } else if (!intersect) {
      value |= op.left;
    }
    open.pop_back();
  }
  return -1;
}

// Where the formula holds, at up to kLanes points, with the same short cuts
// as region_inside takes point by point, but one walk for all of them.
LaneMask region_lanes(Classification& work, const RegionFormula& region, const Point* at,
                      LaneMask all) {
  const std::vector<int>& nodes = region.formula.nodes;
  std::vector<LaneStep>& open = work.lane_steps;
  open.clear();
  LaneMask active = all;
  LaneMask value = 0;
  int position = 0;
  while (position >= 0) {
    while (is_operator(nodes[static_cast<std::size_t>(position)]))
      open.push_back({position++, active, 0, false});
    const int leaf = nodes[static_cast<std::size_t>(position)];
    value =
        distance_lanes(*work.model->leaves[static_cast<std::size_t>(leaf)].distance, at, active);
    position = finish_lanes(region, open, value, active);
  }
  return value;
}

// The points kLanes at a time, one lane each.
void classify_in_lanes(Classification& work, const RegionFormula& region,
                       std::span<const int> ids) {
  for (std::size_t first = 0; first < ids.size(); first += kLanes) {
    const std::span<const int> group = ids.subspan(first, std::min(kLanes, ids.size() - first));
    Point at[kLanes];
    for (std::size_t k = 0; k < group.size(); ++k)
      at[k] = work.points[static_cast<std::size_t>(group[k])];
    const LaneMask all = group.size() == kLanes ? ~LaneMask{0} : (LaneMask{1} << group.size()) - 1;
    const LaneMask inside = region_lanes(work, region, at, all);
    for (std::size_t k = 0; k < group.size(); ++k)
      work.inside[static_cast<std::size_t>(group[k])] = ((inside >> k) & 1) != 0 ? 1 : 0;
  }
}

// Point by point when a leaf may be any expression: the evaluator keeps the
// variables computed at one point for the other leaves there.
void classify_directly(Classification& work, const RegionFormula& region,
                       std::span<const int> ids) {
  if (work.model->all_distances) {
    classify_in_lanes(work, region, ids);
    return;
  }
  for (const int id : ids) {
    const Point at = work.points[static_cast<std::size_t>(id)];
    move_to(work.evaluator, at);
    work.inside[static_cast<std::size_t>(id)] = region_inside(work, region, at) ? 1 : 0;
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

void classify_box(Classification& work, const RegionFormula& parent, std::span<int> ids,
                  int depth) {
  const Box box = bounding_box(work, ids);
  RegionFormula& region = work.formulas_by_depth[static_cast<std::size_t>(depth)];
  const BoxSign sign = simplify(*work.model, parent, box, region, work.open_operators);
  if (sign != BoxSign::Mixed) {
    for (const int id : ids)
      work.inside[static_cast<std::size_t>(id)] = sign == BoxSign::Inside ? 1 : 0;
    return;
  }
  const bool degenerate = box.x_low == box.x_high && box.y_low == box.y_high;
  const std::size_t direct_count = work.model->all_distances ? kLanes : kDirectPointCount;
  if (ids.size() <= direct_count || region.formula.nodes.size() <= kDirectTreeSize || degenerate ||
      depth >= kMaxSplitDepth) {
    classify_directly(work, region, ids);
    return;
  }
  // Halve the longer side; each half is simplified again on its own points.
  const std::size_t lower_count = split_box(work, box, ids);
  if (lower_count > 0) classify_box(work, region, ids.first(lower_count), depth + 1);
  if (lower_count < ids.size()) classify_box(work, region, ids.subspan(lower_count), depth + 1);
}

}  // namespace

Interval node_interval(const CompiledModel& model, int node_index, const Box& box) {
  // The rounding of a root near zero is not bounded by the magnitude: a root
  // is never bounded, and its operand needs no look.
  const auto needed = [](const ExpressionNode& node) {
    switch (node.operation) {
      case Operation::Constant:
      case Operation::Coordinate:
      case Operation::EdgeDistance:
      case Operation::SquareRoot:
        return 0;
      case Operation::Variable:
      case Operation::Negate:
        return 1;
      default:
        return 2;
    }
  };
  const auto finish = [&model, &box](const ExpressionNode& node,
                                     std::span<const Interval> operands) {
    switch (node.operation) {
      case Operation::Constant:
        return constant_interval(node.value);
      case Operation::Coordinate:
        return coordinate_interval(node.index, box);
      case Operation::EdgeDistance:
        return edge_distance_interval(model.written_edges[static_cast<std::size_t>(node.index)],
                                      box);
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
    return arithmetic_interval(node.operation, operands[0], operands[1]);
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
  work.formulas_by_depth.resize(kMaxSplitDepth + 1);
  return work;
}

// Many points are split in two halves at the top, each classified on a
// thread of its own.
constexpr std::size_t kPointsForTwoThreads = 20000;

std::vector<char> classify_points(const CompiledModel& model, std::span<const Point> points) {
  std::vector<char> inside(points.size(), 0);
  if (points.empty()) return inside;
  std::vector<int> leaf_expressions;
  RegionFormula whole;
  whole.formula = region_skeleton(model, leaf_expressions);
  whole.ends = subformula_ends(whole.formula);
  const BoundedModel bounded = bind_leaves(model, leaf_expressions);
  std::vector<int> ids(points.size());
  std::iota(ids.begin(), ids.end(), 0);
  Classification work = make_classification(bounded, points, inside);
  if (points.size() < kPointsForTwoThreads) {
    classify_box(work, whole, ids, 0);
    return inside;
  }
  // Both halves start from the whole formula, as every box does from its
  // parent's; the answers do not depend on how the points are grouped.
  const std::span<int> all(ids);
  const std::size_t lower_count = split_box(work, bounding_box(work, all), all);
  Classification upper_work = make_classification(bounded, points, inside);
  run_side_by_side(
      [&] {
        if (lower_count < all.size()) classify_box(upper_work, whole, all.subspan(lower_count), 0);
      },
      [&] {
        if (lower_count > 0) classify_box(work, whole, all.first(lower_count), 0);
      });
  return inside;
}

}  // namespace polyfrep
