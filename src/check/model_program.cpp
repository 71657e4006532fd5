#include "check/model_program.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <span>
#include <utility>

namespace polyfrep {

namespace {

enum class BindingKind { Scalar, Array, Point, Parameter };

// What a name stands for at one moment of the compilation. Scalars and array
// elements hold node indices; -1 marks an element never assigned.
struct Binding {
  BindingKind kind = BindingKind::Scalar;
  std::vector<int> elements;
};

// A syntax node being compiled: the first `operands_done` of its operands
// are, and their results lie on top of the result stack.
struct CompileStep {
  int syntax = -1;
  int operands_done = 0;
  int operand_count = 0;
};

struct Compiler {
  const ModelSyntax* syntax = nullptr;
  CompiledModel model;
  std::map<std::string, Binding> names;
  std::string statement_target;  // for messages about computed values
  std::vector<CompileStep> steps;
  std::vector<int> results;
};

const SyntaxNode& syntax_node(const Compiler& compiler, int node) {
  return compiler.syntax->nodes[static_cast<std::size_t>(node)];
}

const std::string& name_of(const Compiler& compiler, const SyntaxNode& node) {
  return node_name(*compiler.syntax, node);
}

std::span<const int> operands_of(const Compiler& compiler, const SyntaxNode& node) {
  return node_operands(*compiler.syntax, node);
}

int add_node(Compiler& compiler, ExpressionNode node) {
  compiler.model.nodes.push_back(node);
  return static_cast<int>(compiler.model.nodes.size()) - 1;
}

int add_constant(Compiler& compiler, double value) {
  ExpressionNode node;
  node.value = value;
  return add_node(compiler, node);
}

bool is_constant(const Compiler& compiler, int node) {
  return compiler.model.nodes[static_cast<std::size_t>(node)].operation == Operation::Constant;
}

double constant_of(const Compiler& compiler, int node) {
  return compiler.model.nodes[static_cast<std::size_t>(node)].value;
}

double not_a_number_as_lowest(double value) {
  return std::isnan(value) ? -std::numeric_limits<double>::infinity() : value;
}

// The one place where operations are carried out, at compile time for
// constants and at evaluation time for the rest, so both give the same bits.
double apply(Operation operation, double left, double right) {
  switch (operation) {
    case Operation::Add:
      return left + right;
    case Operation::Subtract:
      return left - right;
    case Operation::Multiply:
      return left * right;
    case Operation::Divide:
      return left / right;
    case Operation::Negate:
      return -left;
    case Operation::SquareRoot:
      return std::sqrt(left);
    case Operation::Minimum:
      return std::min(not_a_number_as_lowest(left), not_a_number_as_lowest(right));
    case Operation::Maximum:
      return std::max(not_a_number_as_lowest(left), not_a_number_as_lowest(right));
    case Operation::Constant:
    case Operation::Coordinate:
    case Operation::Variable:
    case Operation::EdgeDistance:
      break;
  }
  return std::numeric_limits<double>::quiet_NaN();
}

void note_problem(Compiler& compiler, SourcePosition where, const std::string& what) {
  std::string message = what;
  if (!compiler.statement_target.empty())
    message += " in the value of " + compiler.statement_target;
  compiler.model.problems.push_back({where, message});
}

// Builds an operation node, or its value when every operand is a constant.
int make_operation(Compiler& compiler, Operation operation, SourcePosition where, int left,
                   int right = -1) {
  const bool right_is_zero =
      right >= 0 && is_constant(compiler, right) && constant_of(compiler, right) == 0.0;
  const bool foldable = is_constant(compiler, left) && (right < 0 || is_constant(compiler, right));
  if (!foldable) {
    if (operation == Operation::Divide && right_is_zero)
      note_problem(compiler, where, "division by zero");
    ExpressionNode node;
    node.operation = operation;
    node.left = left;
    node.right = right;
    return add_node(compiler, node);
  }
  const double left_value = constant_of(compiler, left);
  const double right_value = right < 0 ? 0.0 : constant_of(compiler, right);
  const double result = apply(operation, left_value, right_value);
  if (!std::isfinite(result) && std::isfinite(left_value) && std::isfinite(right_value)) {
    if (operation == Operation::Divide && right_is_zero) {
      note_problem(compiler, where, "division by zero");
    } else if (operation == Operation::SquareRoot) {
      note_problem(compiler, where, "square root of a negative number");
    } else {
      note_problem(compiler, where, "a result that is not a finite number");
    }
  }
  return add_constant(compiler, result);
}

// The position an index expression's value names in an array: it must be a
// whole number from 1 to the array's size.
int position_of_index(const Compiler& compiler, const std::string& name, int size, int index_syntax,
                      int index) {
  const SourcePosition where = syntax_node(compiler, index_syntax).where;
  if (!is_constant(compiler, index)) {
    throw ModelError(where, "the index of " + name + " must not depend on the point");
  }
  const double value = constant_of(compiler, index);
  if (!(value >= 1 && value <= size) || value != std::floor(value)) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    throw ModelError(where, "index " + std::string(text) + " is out of range for " + name + "[" +
                                std::to_string(size) + "] (indices run from 1)");
  }
  return static_cast<int>(value) - 1;
}

// What an element's name must be before its index is compiled: an array.
const Binding& indexed_array(const Compiler& compiler, const SyntaxNode& node) {
  const auto found = compiler.names.find(name_of(compiler, node));
  if (found == compiler.names.end()) {
    throw ModelError(node.where, "unknown variable '" + name_of(compiler, node) + "'");
  }
  if (found->second.kind == BindingKind::Scalar) {
    throw ModelError(node.where, "'" + name_of(compiler, node) + "' is a number, not an array");
  }
  return found->second;
}

// The element's value, once its index is compiled.
int compile_element(const Compiler& compiler, const SyntaxNode& node, int index) {
  const Binding& binding = indexed_array(compiler, node);
  const int position = position_of_index(compiler, name_of(compiler, node),
                                         static_cast<int>(binding.elements.size()),
                                         operands_of(compiler, node)[0], index);
  if (binding.kind == BindingKind::Parameter) {
    throw ModelError(node.where,
                     name_of(compiler, node) + "[" + std::to_string(position + 1) +
                         "] is a parameter of the object and has no value to check with");
  }
  const int element = binding.elements[static_cast<std::size_t>(position)];
  if (element < 0) {
    throw ModelError(node.where, name_of(compiler, node) + "[" + std::to_string(position + 1) +
                                     "] is used before it is assigned");
  }
  return element;
}

int compile_name(Compiler& compiler, const SyntaxNode& node) {
  const auto found = compiler.names.find(name_of(compiler, node));
  if (found == compiler.names.end()) {
    throw ModelError(node.where, "unknown variable '" + name_of(compiler, node) + "'");
  }
  if (found->second.kind != BindingKind::Scalar) {
    throw ModelError(node.where,
                     "'" + name_of(compiler, node) + "' is an array; name one of its elements");
  }
  return found->second.elements[0];
}

// What a call must be before its argument is compiled: sqrt of one value.
void check_call(const Compiler& compiler, const SyntaxNode& node) {
  if (name_of(compiler, node) != "sqrt")
    throw ModelError(node.where, "unknown function '" + name_of(compiler, node) + "'");
  if (operands_of(compiler, node).size() != 1) {
    throw ModelError(node.where, "sqrt takes one argument, not " +
                                     std::to_string(operands_of(compiler, node).size()));
  }
}

Operation binary_operation(SyntaxKind kind) {
  switch (kind) {
    case SyntaxKind::Add:
      return Operation::Add;
    case SyntaxKind::Subtract:
      return Operation::Subtract;
    case SyntaxKind::Multiply:
      return Operation::Multiply;
    case SyntaxKind::Divide:
      return Operation::Divide;
    case SyntaxKind::Intersect:
      return Operation::Minimum;
    default:
      return Operation::Maximum;
  }
}

// How many of a syntax node's operands are compiled before the node itself;
// checks that must come before its operands are made here.
int operands_to_compile(const Compiler& compiler, const SyntaxNode& node) {
  switch (node.kind) {
    case SyntaxKind::Number:
    case SyntaxKind::Name:
      return 0;
    case SyntaxKind::Element:
      indexed_array(compiler, node);
      return 1;
    case SyntaxKind::Call:
      check_call(compiler, node);
      return 1;
    case SyntaxKind::VectorLiteral:
      throw ModelError(node.where, "a bracketed vector can only be assigned to an array");
    default:
      return static_cast<int>(operands_of(compiler, node).size());
  }
}

int pop_result(Compiler& compiler) {
  const int result = compiler.results.back();
  compiler.results.pop_back();
  return result;
}

// The compiled node of a syntax node whose operands' results are on top of
// the result stack, which it takes.
int finish_node(Compiler& compiler, const SyntaxNode& node) {
  switch (node.kind) {
    case SyntaxKind::Number:
      return add_constant(compiler, node.number);
    case SyntaxKind::Name:
      return compile_name(compiler, node);
    case SyntaxKind::Element:
      return compile_element(compiler, node, pop_result(compiler));
    case SyntaxKind::Call:
      return make_operation(compiler, Operation::SquareRoot, node.where, pop_result(compiler));
    case SyntaxKind::Negate:
      return make_operation(compiler, Operation::Negate, node.where, pop_result(compiler));
    default:
      break;
  }
  const int right = pop_result(compiler);
  const int left = pop_result(compiler);
  return make_operation(compiler, binary_operation(node.kind), node.where, left, right);
}

// Compiles operands left to right before the node that joins them, as a
// walk with an explicit stack so that any nesting depth fits.
int compile_expression(Compiler& compiler, int syntax_index) {
  const std::size_t outermost = compiler.steps.size();
  compiler.steps.push_back({syntax_index, 0});
  while (compiler.steps.size() > outermost) {
    CompileStep& step = compiler.steps.back();
    if (step.operands_done == 0) {
      // Parentheses only group: their operand stands in their place.
      while (syntax_node(compiler, step.syntax).kind == SyntaxKind::Parentheses)
        step.syntax = operands_of(compiler, syntax_node(compiler, step.syntax))[0];
      step.operand_count = operands_to_compile(compiler, syntax_node(compiler, step.syntax));
    }
    const SyntaxNode& node = syntax_node(compiler, step.syntax);
    if (step.operands_done < step.operand_count) {
      const int operand =
          operands_of(compiler, node)[static_cast<std::size_t>(step.operands_done++)];
      compiler.steps.push_back({operand, 0});
      continue;
    }
    compiler.steps.pop_back();
    compiler.results.push_back(finish_node(compiler, node));
  }
  return pop_result(compiler);
}

// The element of an array named by an index expression.
int element_position(Compiler& compiler, const std::string& name, int size, int index_syntax) {
  const int index = compile_expression(compiler, index_syntax);
  return position_of_index(compiler, name, size, index_syntax, index);
}

void declare_parameters(Compiler& compiler) {
  const ModelSyntax& syntax = *compiler.syntax;
  for (std::size_t i = 0; i < syntax.parameters.size(); ++i) {
    const ArrayDeclaration& parameter = syntax.parameters[i];
    Binding binding;
    binding.kind = i == 0 ? BindingKind::Point : BindingKind::Parameter;
    for (int k = 0; k < parameter.size; ++k) {
      if (i == 0) {
        ExpressionNode coordinate;
        coordinate.operation = Operation::Coordinate;
        coordinate.index = k;
        binding.elements.push_back(add_node(compiler, coordinate));
      } else {
        binding.elements.push_back(-1);
      }
    }
    compiler.names[parameter.name] = std::move(binding);
  }
  if (syntax.parameters.empty() || syntax.parameters[0].size < 2) {
    throw ModelError(syntax.object_where,
                     "the object's first parameter must be the point with at least two "
                     "coordinates, such as x[3]");
  }
  compiler.model.coordinate_count = syntax.parameters[0].size;
}

Binding* assignable_binding(Compiler& compiler, const Statement& statement) {
  const auto found = compiler.names.find(statement.target);
  if (found == compiler.names.end()) return nullptr;
  if (found->second.kind == BindingKind::Point || found->second.kind == BindingKind::Parameter) {
    throw ModelError(statement.where, "'" + statement.target +
                                          "' is a parameter of the object and cannot be assigned");
  }
  return &found->second;
}

// The two end points a distance line refers to, when p0 and p1 hold
// constant pairs at the time of the assignment.
void record_edge(Compiler& compiler, VariableSlot& slot) {
  Point ends[2];
  const char* names[2] = {"p0", "p1"};
  for (int e = 0; e < 2; ++e) {
    const auto found = compiler.names.find(names[e]);
    if (found == compiler.names.end() || found->second.kind != BindingKind::Array ||
        found->second.elements.size() != 2) {
      return;
    }
    for (int k = 0; k < 2; ++k) {
      const int element = found->second.elements[static_cast<std::size_t>(k)];
      if (element < 0 || !is_constant(compiler, element)) return;
    }
    ends[e] = {constant_of(compiler, found->second.elements[0]),
               constant_of(compiler, found->second.elements[1])};
  }
  std::vector<WrittenEdge>& edges = compiler.model.written_edges;
  slot.edge = static_cast<int>(edges.size());
  edges.push_back({ends[0], ends[1], written_length(ends[0], ends[1])});
}

// A value that depends on the point goes into a slot of its own, so that
// the formula refers to it and it is computed at most once per point.
int bind_scalar_value(Compiler& compiler, const Statement& statement, int value) {
  if (is_constant(compiler, value)) return value;
  VariableSlot slot;
  slot.name_begin = static_cast<int>(compiler.model.slot_names.size());
  slot.name_size = static_cast<int>(statement.target.size());
  compiler.model.slot_names += statement.target;
  slot.root = value;
  record_edge(compiler, slot);
  compiler.model.slots.push_back(slot);
  ExpressionNode variable;
  variable.operation = Operation::Variable;
  variable.index = static_cast<int>(compiler.model.slots.size()) - 1;
  return add_node(compiler, variable);
}

void compile_vector_assignment(Compiler& compiler, const Statement& statement) {
  const SyntaxNode& literal = syntax_node(compiler, statement.value);
  Binding* existing = assignable_binding(compiler, statement);
  if (existing != nullptr && existing->kind == BindingKind::Array &&
      existing->elements.size() != operands_of(compiler, literal).size()) {
    throw ModelError(literal.where, "'" + statement.target + "' has " +
                                        std::to_string(existing->elements.size()) +
                                        " elements but is given " +
                                        std::to_string(operands_of(compiler, literal).size()));
  }
  Binding binding;
  binding.kind = BindingKind::Array;
  for (const int element : operands_of(compiler, literal)) {
    binding.elements.push_back(compile_expression(compiler, element));
  }
  compiler.names[statement.target] = std::move(binding);
}

void compile_element_assignment(Compiler& compiler, const Statement& statement) {
  Binding* existing = assignable_binding(compiler, statement);
  if (existing == nullptr) {
    throw ModelError(statement.where, "unknown array '" + statement.target + "'");
  }
  if (existing->kind != BindingKind::Array) {
    throw ModelError(statement.where, "'" + statement.target + "' is a number, not an array");
  }
  const int position =
      element_position(compiler, statement.target, static_cast<int>(existing->elements.size()),
                       statement.target_index);
  const int value = compile_expression(compiler, statement.value);
  compiler.names.at(statement.target).elements[static_cast<std::size_t>(position)] = value;
}

void compile_object_definition(Compiler& compiler, const Statement& statement) {
  CompiledModel& model = compiler.model;
  model.root = compile_expression(compiler, statement.value);
  model.formula_syntax = statement.value;
  model.formula_where = statement.where;
  model.edge_slots.clear();
  for (const auto& [name, binding] : compiler.names) {
    const int edge = edge_of_distance_name(name);
    if (edge < 0 || binding.kind != BindingKind::Scalar) continue;
    const ExpressionNode& node = model.nodes[static_cast<std::size_t>(binding.elements[0])];
    if (node.operation == Operation::Variable) model.edge_slots.push_back({edge, node.index});
  }
  // The names come in the order of their text: "s10" before "s9".
  std::sort(model.edge_slots.begin(), model.edge_slots.end(),
            [](const EdgeSlot& a, const EdgeSlot& b) { return a.edge < b.edge; });
}

void compile_statement(Compiler& compiler, const Statement& statement) {
  if (statement.value < 0) {
    for (const ArrayDeclaration& declaration : statement.declarations) {
      if (compiler.names.contains(declaration.name) &&
          compiler.names[declaration.name].kind != BindingKind::Array &&
          compiler.names[declaration.name].kind != BindingKind::Scalar) {
        throw ModelError(declaration.where, "'" + declaration.name +
                                                "' is a parameter of the object and cannot be "
                                                "declared again");
      }
      Binding binding;
      binding.kind = BindingKind::Array;
      binding.elements.assign(static_cast<std::size_t>(declaration.size), -1);
      compiler.names[declaration.name] = std::move(binding);
    }
    return;
  }
  compiler.statement_target = statement.target;
  if (statement.target == compiler.syntax->object_name && statement.target_index < 0) {
    compile_object_definition(compiler, statement);
  } else if (statement.target_index >= 0) {
    compile_element_assignment(compiler, statement);
  } else if (syntax_node(compiler, statement.value).kind == SyntaxKind::VectorLiteral) {
    compile_vector_assignment(compiler, statement);
  } else {
    Binding* existing = assignable_binding(compiler, statement);
    if (existing != nullptr && existing->kind == BindingKind::Array) {
      throw ModelError(statement.where,
                       "'" + statement.target + "' is an array; assign it a bracketed vector");
    }
    const int value = compile_expression(compiler, statement.value);
    Binding binding;
    binding.elements.push_back(bind_scalar_value(compiler, statement, value));
    compiler.names[statement.target] = std::move(binding);
  }
  compiler.statement_target.clear();
}

}  // namespace

double written_length(Point start, Point end) {
  const double x_difference = start.x - end.x;
  const double y_difference = start.y - end.y;
  return std::sqrt(x_difference * x_difference + y_difference * y_difference);
}

int slot_of_edge(const CompiledModel& model, int edge) {
  const auto found =
      std::lower_bound(model.edge_slots.begin(), model.edge_slots.end(), edge,
                       [](const EdgeSlot& entry, int wanted) { return entry.edge < wanted; });
  return found != model.edge_slots.end() && found->edge == edge ? found->slot : -1;
}

int edge_of_distance_name(const std::string& name) {
  if (name.size() < 2 || name[0] != 's' || name.size() > 11) return -1;
  if (name[1] == '0' && name.size() > 2) return -1;
  long long edge = 0;
  for (std::size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    edge = edge * 10 + (name[i] - '0');
  }
  return edge > std::numeric_limits<int>::max() ? -1 : static_cast<int>(edge);
}

CompiledModel compile_model(const ModelSyntax& syntax) {
  Compiler compiler;
  compiler.syntax = &syntax;
  compiler.model.object_name = syntax.object_name;
  // Compiling makes at most about one node per syntax node.
  compiler.model.nodes.reserve(syntax.nodes.size());
  declare_parameters(compiler);
  for (const Statement& statement : syntax.statements)
    compile_statement(compiler, statement);
  if (compiler.model.root < 0) {
    throw ModelError(syntax.object_where, "the object '" + syntax.object_name +
                                              "' is never given a value (expected '" +
                                              syntax.object_name + " = ...;')");
  }
  return std::move(compiler.model);
}

PointEvaluator make_point_evaluator(const CompiledModel& model) {
  PointEvaluator evaluator;
  evaluator.model = &model;
  return evaluator;
}

void move_to(PointEvaluator& evaluator, Point at) {
  evaluator.at = at;
  if (++evaluator.stamp == 0) {
    std::fill(evaluator.slot_stamps.begin(), evaluator.slot_stamps.end(), 0);
    evaluator.stamp = 1;
  }
}

namespace {

// A point-independent value, or one that is current at this point.
bool value_at_hand(const PointEvaluator& evaluator, const ExpressionNode& node, double& value) {
  switch (node.operation) {
    case Operation::Constant:
      value = node.value;
      return true;
    case Operation::Coordinate:
      // The object is the same along every axis beyond the plane.
      value = node.index == 0 ? evaluator.at.x : node.index == 1 ? evaluator.at.y : 0.0;
      return true;
    case Operation::Variable: {
      const auto slot = static_cast<std::size_t>(node.index);
      if (slot >= evaluator.slot_stamps.size() || evaluator.slot_stamps[slot] != evaluator.stamp)
        return false;
      value = evaluator.slot_values[slot];
      return true;
    }
    case Operation::EdgeDistance:
      value = edge_distance(evaluator.model->written_edges[static_cast<std::size_t>(node.index)],
                            evaluator.at);
      return true;
    default:
      return false;
  }
}

double pop_value(PointEvaluator& evaluator) {
  const double value = evaluator.values.back();
  evaluator.values.pop_back();
  return value;
}

// The children a node's value is computed from, in order: a variable's
// assigned expression, or the operands of an operation.
int child_count(const ExpressionNode& node) {
  switch (node.operation) {
    case Operation::Variable:
    case Operation::Negate:
    case Operation::SquareRoot:
      return 1;
    default:
      return 2;
  }
}

int child(const PointEvaluator& evaluator, const ExpressionNode& node, int number) {
  if (node.operation == Operation::Variable)
    return evaluator.model->slots[static_cast<std::size_t>(node.index)].root;
  return number == 0 ? node.left : node.right;
}

// The node's value from its children's, which lie on top of the value stack.
double finish_value(PointEvaluator& evaluator, const ExpressionNode& node) {
  if (node.operation == Operation::Variable) {
    const auto slot = static_cast<std::size_t>(node.index);
    if (evaluator.slot_stamps.empty()) {
      evaluator.slot_values.assign(evaluator.model->slots.size(), 0.0);
      evaluator.slot_stamps.assign(evaluator.model->slots.size(), 0);
    }
    evaluator.slot_values[slot] = pop_value(evaluator);
    evaluator.slot_stamps[slot] = evaluator.stamp;
    return evaluator.slot_values[slot];
  }
  if (child_count(node) == 1) return apply(node.operation, pop_value(evaluator), 0.0);
  const double right = pop_value(evaluator);
  const double left = pop_value(evaluator);
  return apply(node.operation, left, right);
}

}  // namespace

// Children before their parent, left before right, with an explicit stack:
// a variable not yet current at this point is computed and remembered on
// the way.
double node_value(PointEvaluator& evaluator, int node_index) {
  std::vector<EvaluationStep>& steps = evaluator.steps;
  const std::size_t outermost = steps.size();
  steps.push_back({node_index, 0});
  while (steps.size() > outermost) {
    EvaluationStep& step = steps.back();
    const ExpressionNode& node = evaluator.model->nodes[static_cast<std::size_t>(step.node)];
    double value = 0;
    if (step.children_done == 0 && value_at_hand(evaluator, node, value)) {
      steps.pop_back();
      evaluator.values.push_back(value);
      continue;
    }
    if (step.children_done < child_count(node)) {
      const int next = child(evaluator, node, step.children_done++);
      steps.push_back({next, 0});
      continue;
    }
    steps.pop_back();
    evaluator.values.push_back(finish_value(evaluator, node));
  }
  return pop_value(evaluator);
}

// Walks the "&"/"|" nodes with a stack of those whose left operand is being
// decided. An operand that decides its node (false for "&", true for "|")
// decides it without the right operand; otherwise the node is what its right
// operand is, and its place on the stack goes to that operand.
bool node_inside(PointEvaluator& evaluator, int node_index) {
  std::vector<int>& deciding = evaluator.open_decisions;
  const std::size_t outermost = deciding.size();
  int current = node_index;
  while (true) {
    const ExpressionNode* node = &evaluator.model->nodes[static_cast<std::size_t>(current)];
    while (node->operation == Operation::Minimum || node->operation == Operation::Maximum) {
      deciding.push_back(current);
      current = node->left;
      node = &evaluator.model->nodes[static_cast<std::size_t>(current)];
    }
    const bool inside = node_value(evaluator, current) > 0.0;
    while (true) {
      if (deciding.size() == outermost) return inside;
      const ExpressionNode& open =
          evaluator.model->nodes[static_cast<std::size_t>(deciding.back())];
      deciding.pop_back();
      if (inside == (open.operation == Operation::Maximum)) continue;
      current = open.right;
      break;
    }
  }
}

double model_value(const CompiledModel& model, Point at) {
  PointEvaluator evaluator = make_point_evaluator(model);
  move_to(evaluator, at);
  return node_value(evaluator, model.root);
}

bool model_inside(const CompiledModel& model, Point at) {
  PointEvaluator evaluator = make_point_evaluator(model);
  move_to(evaluator, at);
  return node_inside(evaluator, model.root);
}

}  // namespace polyfrep
