#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/model_syntax.h"
#include "geometry/point.h"

namespace polyfrep {

enum class Operation : std::uint8_t {
  Constant,    // value
  Coordinate,  // the point's coordinate number `index` (0 for x[1], 1 for x[2], ...)
  Variable,    // the point-dependent variable in slot `index`
  // The converter's distance line of written edge `index` (see
  // edge_distance), as one node instead of the tree of its arithmetic.
  EdgeDistance,
  Add,
  Subtract,
  Multiply,
  Divide,
  Negate,      // of left
  SquareRoot,  // of left
  Minimum,     // "&"
  Maximum,     // "|"
};

// The four operations of arithmetic, which take two operands.
inline bool is_arithmetic(Operation operation) {
  return operation == Operation::Add || operation == Operation::Subtract ||
         operation == Operation::Multiply || operation == Operation::Divide;
}

// One node of the compiled expression tree; children are node indices.
struct ExpressionNode {
  Operation operation = Operation::Constant;
  int left = -1;
  int right = -1;
  int index = 0;
  double value = 0;
};

// The edge a distance line was written for: the values p0 and p1 held when
// it was assigned, and the length `as` the converter's line divides by.
struct WrittenEdge {
  Point start{0, 0};
  Point end{0, 0};
  double length = 0;
};

// sqrt((p0[1]-p1[1])*(p0[1]-p1[1])+(p0[2]-p1[2])*(p0[2]-p1[2])), folded
// operation by operation in the order the converter's line writes it, which
// is the order compile_model folds that line in: the same bits.
double written_length(Point start, Point end);

// ((x[1]-p0[1])*(p0[2]-p1[2])+(x[2]-p0[2])*(p1[1]-p0[1]))/as at a point, in
// the order the converter's line writes it, so that it has the bits of the
// same line compiled into a tree (contraction into fused multiply-adds is
// off throughout the build).
inline double edge_distance(const WrittenEdge& edge, Point at) {
  const double across = (at.x - edge.start.x) * (edge.start.y - edge.end.y);
  const double along = (at.y - edge.start.y) * (edge.end.x - edge.start.x);
  return (across + along) / edge.length;
}

// An assignment whose value depends on the point. It is evaluated lazily, at
// most once per point, when a Variable node needs it. A large model has a
// slot per edge, so its name lives in the model's pool of names.
struct VariableSlot {
  int name_begin = 0;  // the name: CompiledModel::slot_names[name_begin ..][.. name_size]
  int name_size = 0;
  int root = -1;
  // The entry of CompiledModel::written_edges for the values of p0 and p1
  // when it was assigned, if both held constant pairs; -1 otherwise.
  int edge = -1;
};

// A distance variable sN visible to the formula: edge N and its slot.
struct EdgeSlot {
  int edge = 0;
  int slot = 0;
};

// Something the model computes that is not a finite number, such as a
// division by zero; the model still compiles.
struct ModelProblem {
  SourcePosition where;
  std::string message;
};

struct CompiledModel {
  std::string object_name;
  int coordinate_count = 0;  // size of the point parameter (3 for x[3])
  std::vector<ExpressionNode> nodes;
  std::vector<VariableSlot> slots;
  std::string slot_names;  // every slot's name, one after another
  std::vector<WrittenEdge> written_edges;
  int root = -1;            // the object's defining function
  int formula_syntax = -1;  // its right side in the syntax tree
  SourcePosition formula_where;
  // The distance variables visible to the formula: every variable named sN
  // (no leading zeros) that holds a point-dependent value, sorted by N.
  std::vector<EdgeSlot> edge_slots;
  std::vector<ModelProblem> problems;
};

inline std::string_view slot_name(const CompiledModel& model, const VariableSlot& slot) {
  return std::string_view(model.slot_names)
      .substr(static_cast<std::size_t>(slot.name_begin), static_cast<std::size_t>(slot.name_size));
}

// The edge a slot was written for, or nullptr.
inline const WrittenEdge* slot_edge(const CompiledModel& model, const VariableSlot& slot) {
  return slot.edge < 0 ? nullptr : &model.written_edges[static_cast<std::size_t>(slot.edge)];
}

// The slot of distance variable s`edge`, or -1 when there is none.
int slot_of_edge(const CompiledModel& model, int edge);

// Compiles the parsed model: statements that do not depend on the point are
// evaluated here, once; what depends on it becomes a tree over the
// coordinates and the lazily evaluated variables. Throws ModelError for
// unknown names or functions, bad indices, misuse of arrays and a missing
// definition of the object.
CompiledModel compile_model(const ModelSyntax& syntax);

// The edge number of a distance variable name: "s12" gives 12; -1 for any
// other name ("s", "s012", "t1").
int edge_of_distance_name(const std::string& name);

// A node whose value is being computed: the first `children_done` of its
// children are, and their values lie on top of the value stack.
struct EvaluationStep {
  int node = -1;
  int children_done = 0;
};

// Evaluates a compiled model at points. Variables are computed on first use
// at the current point and then reused; the stamp marks which are current.
// Their storage is made when the first is computed: a model whose formula
// names distance nodes directly needs none, however many slots it has.
struct PointEvaluator {
  const CompiledModel* model = nullptr;
  Point at{0, 0};
  std::vector<double> slot_values;
  std::vector<std::uint32_t> slot_stamps;
  std::uint32_t stamp = 0;
  // The explicit stacks of node_value and node_inside, kept from point to
  // point so that their storage is reused.
  std::vector<EvaluationStep> steps;
  std::vector<double> values;
  std::vector<int> open_decisions;
};

PointEvaluator make_point_evaluator(const CompiledModel& model);
void move_to(PointEvaluator& evaluator, Point at);

// The value of a node. "&" is the minimum and "|" the maximum of their
// operands, where a value that is not a number counts as minus infinity (an
// empty region), so that the sign below does not depend on operand order.
double node_value(PointEvaluator& evaluator, int node);

// Whether the node's value is positive, stopping at the first operand of "&"
// that is not positive and the first operand of "|" that is.
bool node_inside(PointEvaluator& evaluator, int node);

// Child number `k` of a node: a variable's assigned expression, or an
// operation's left (0) or right (1) operand.
inline int expression_child(const CompiledModel& model, const ExpressionNode& node, int k) {
  if (node.operation == Operation::Variable)
    return model.slots[static_cast<std::size_t>(node.index)].root;
  return k == 0 ? node.left : node.right;
}

// Folds the expression below `root` into one result, children before their
// parent and left before right, with explicit stacks so that any depth fits.
// `needed(node)` says how many of its children (see expression_child) a
// node's result is made from; `finish(node, results)` makes it from theirs,
// in order (none for a node that needs none).
template <typename Result, typename Needed, typename Finish>
Result fold_expression(const CompiledModel& model, int root, Needed needed, Finish finish) {
  struct Step {
    int node;
    int done;  // children whose results lie on top of `results`
    int needed;
  };
  std::vector<Step> steps{{root, 0, -1}};
  std::vector<Result> results;
  while (!steps.empty()) {
    Step& step = steps.back();
    const ExpressionNode& node = model.nodes[static_cast<std::size_t>(step.node)];
    if (step.needed < 0) step.needed = needed(node);
    if (step.done < step.needed) {
      const int child = expression_child(model, node, step.done++);
      steps.push_back({child, 0, -1});
      continue;
    }
    const std::size_t first = results.size() - static_cast<std::size_t>(step.needed);
    const Result result = finish(node, std::span<const Result>(results).subspan(first));
    results.resize(first);
    results.push_back(result);
    steps.pop_back();
  }
  return results.back();
}

// The object's value and sign at one point.
double model_value(const CompiledModel& model, Point at);
bool model_inside(const CompiledModel& model, Point at);

}  // namespace polyfrep
