#include "check/edge_functions.h"

#include <cmath>

#include "check/report_text.h"
#include "io/number_format.h"

namespace polyfrep {

namespace {

// Rounding to six significant digits moves a value by at most half a unit
// in the sixth digit, 5e-6 of its size; the rest covers reading it back.
constexpr double kRoundingShare = 5.000001e-6;

// Values below this share of their terms' size count as zero on the line.
constexpr double kOnLineShare = 1e-9;

std::string distance_name(int edge) {
  std::string name = "s";
  name += std::to_string(edge);
  return name;
}

LinearForm scaled(LinearForm form, double factor) {
  form.constant *= factor;
  form.x *= factor;
  form.y *= factor;
  return form;
}

bool is_constant_form(const LinearForm& form) {
  return form.x == 0 && form.y == 0;
}

bool vanishes_at(const LinearForm& form, Point p) {
  const double value = form.constant + form.x * p.x + form.y * p.y;
  const double size = std::fabs(form.constant) + std::fabs(form.x * p.x) + std::fabs(form.y * p.y);
  return std::fabs(value) <= kOnLineShare * size;
}

struct EdgeCheck {
  const CompiledModel* model = nullptr;
  std::span<const Point> vertices;
  std::vector<int> successors;  // the vertex each edge ends at
  std::size_t max_listed = 0;
  EdgeFunctionReport report;
};

void add_problem(EdgeCheck& check, const std::string& problem) {
  ++check.report.problem_count;
  if (check.report.problems.size() < check.max_listed) check.report.problems.push_back(problem);
}

bool point_within_rounding(Point written, Point exact) {
  return within_rounding(written.x, exact.x) && within_rounding(written.y, exact.y);
}

void note_vertex_shift(EdgeCheck& check, int vertex, Point written) {
  const Point exact = check.vertices[static_cast<std::size_t>(vertex)];
  ++check.report.vertices_compared;
  if (written.x == exact.x && written.y == exact.y) return;
  ++check.report.vertices_moved;
  const double shift = std::hypot(written.x - exact.x, written.y - exact.y);
  if (shift > check.report.largest_shift) {
    check.report.largest_shift = shift;
    check.report.largest_shift_vertex = vertex;
  }
}

void check_edge(EdgeCheck& check, int edge, const VariableSlot& slot) {
  const Point start = check.vertices[static_cast<std::size_t>(edge)];
  const Point end =
      check.vertices[static_cast<std::size_t>(check.successors[static_cast<std::size_t>(edge)])];
  const std::string name(slot_name(*check.model, slot));
  const WrittenEdge* written = slot_edge(*check.model, slot);
  if (written == nullptr) {
    add_problem(check, name + " is not written for an edge (no p0 and p1 pairs before it)");
    return;
  }
  const Point a = written->start;
  const Point b = written->end;
  if (!point_within_rounding(a, start) || !point_within_rounding(b, end)) {
    add_problem(check, name + " is written for the edge " + text_of(a) + " to " + text_of(b) +
                           ", but edge " + std::to_string(edge) + " of the input runs from " +
                           text_of(start) + " to " + text_of(end));
    return;
  }
  note_vertex_shift(check, edge, a);
  if (a.x == b.x && a.y == b.y) return;  // zero length as written: reported as a division
  const LinearForm form = linear_form(*check.model, slot.root);
  if (!form.linear) {
    add_problem(check, name + " is not a linear function of the point");
    return;
  }
  // The left normal of a -> b must point to where the function grows.
  const double growth = form.x * -(b.y - a.y) + form.y * (b.x - a.x);
  if (!vanishes_at(form, a) || !vanishes_at(form, b) || !(growth > 0)) {
    add_problem(check, name + " is not zero on the line through " + text_of(a) + " and " +
                           text_of(b) + " and positive on its left");
  }
}

}  // namespace

bool within_rounding(double written, double exact) {
  return std::fabs(written - exact) <= kRoundingShare * std::fabs(exact);
}

namespace {

// The form of an arithmetic node from its operands' forms.
LinearForm arithmetic_form(Operation operation, const LinearForm& left, const LinearForm& right) {
  const LinearForm not_linear;
  if (!left.linear || !right.linear) return not_linear;
  switch (operation) {
    case Operation::Add:
    case Operation::Subtract: {
      const LinearForm added = operation == Operation::Subtract ? scaled(right, -1) : right;
      return LinearForm{true, left.constant + added.constant, left.x + added.x, left.y + added.y};
    }
    case Operation::Multiply:
      if (is_constant_form(left)) return scaled(right, left.constant);
      if (is_constant_form(right)) return scaled(left, right.constant);
      return not_linear;
    case Operation::Divide:
      if (!is_constant_form(right) || right.constant == 0) return not_linear;
      return scaled(left, 1 / right.constant);
    default:
      return not_linear;
  }
}

LinearForm constant_form(double value) {
  return LinearForm{std::isfinite(value), value, 0, 0};
}

// The distance line's form, made from its operations as from the tree the
// same line compiles to, so that both give the same coefficients.
LinearForm edge_distance_form(const WrittenEdge& edge) {
  const LinearForm x{true, 0, 1, 0};
  const LinearForm y{true, 0, 0, 1};
  const LinearForm across = arithmetic_form(
      Operation::Multiply, arithmetic_form(Operation::Subtract, x, constant_form(edge.start.x)),
      constant_form(edge.start.y - edge.end.y));
  const LinearForm along = arithmetic_form(
      Operation::Multiply, arithmetic_form(Operation::Subtract, y, constant_form(edge.start.y)),
      constant_form(edge.end.x - edge.start.x));
  return arithmetic_form(Operation::Divide, arithmetic_form(Operation::Add, across, along),
                         constant_form(edge.length));
}

}  // namespace

LinearForm linear_form(const CompiledModel& model, int node_index) {
  // Roots, "&" and "|" are never linear; their operands need no look.
  const auto needed = [](const ExpressionNode& node) {
    switch (node.operation) {
      case Operation::Variable:
      case Operation::Negate:
        return 1;
      case Operation::Add:
      case Operation::Subtract:
      case Operation::Multiply:
      case Operation::Divide:
        return 2;
      default:
        return 0;
    }
  };
  const auto finish = [&model](const ExpressionNode& node, std::span<const LinearForm> operands) {
    switch (node.operation) {
      case Operation::Constant:
        return constant_form(node.value);
      case Operation::Coordinate:
        return LinearForm{true, 0, node.index == 0 ? 1.0 : 0.0, node.index == 1 ? 1.0 : 0.0};
      case Operation::Variable:
        return operands[0];
      case Operation::Negate:
        return scaled(operands[0], -1);
      case Operation::EdgeDistance:
        return edge_distance_form(model.written_edges[static_cast<std::size_t>(node.index)]);
      default:
        break;
    }
    if (!is_arithmetic(node.operation)) return LinearForm{};
    return arithmetic_form(node.operation, operands[0], operands[1]);
  };
  return fold_expression<LinearForm>(model, node_index, needed, finish);
}

EdgeFunctionReport check_edge_functions(const CompiledModel& model, std::span<const Point> vertices,
                                        std::size_t max_listed, std::span<const Ring> rings) {
  EdgeCheck check{&model, vertices, edge_successors(vertices.size(), rings), max_listed, {}};
  const int edge_count = static_cast<int>(vertices.size());
  // The distance variables are sorted by edge: one pass meets each edge's.
  auto next = model.edge_slots.begin();
  for (int edge = 0; edge < edge_count; ++edge) {
    if (next == model.edge_slots.end() || next->edge != edge) {
      add_problem(check, distance_name(edge) + " is missing: the input has " +
                             std::to_string(edge_count) + " edges");
      continue;
    }
    check_edge(check, edge, model.slots[static_cast<std::size_t>(next->slot)]);
    ++next;
  }
  for (; next != model.edge_slots.end(); ++next) {
    add_problem(check, distance_name(next->edge) + " has no edge in the input, which has " +
                           std::to_string(edge_count));
  }
  return check.report;
}

}  // namespace polyfrep
