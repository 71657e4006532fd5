#include "check/affine_bounds.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace polyfrep {

namespace {

// Largest error of one rounding to nearest, relative and, below the normal
// range, absolute.
constexpr double kUnitRoundoff = std::numeric_limits<double>::epsilon() / 2;
constexpr double kSmallestStep = std::numeric_limits<double>::denorm_min();
constexpr double kSmallestNormal = std::numeric_limits<double>::min();

// Roundings spent by affine_interval itself: the two products, two sums and
// the magnitude, with room to spare.
constexpr int kBoundSteps = 6;

AffineForm not_affine() {
  return AffineForm{};
}

AffineForm checked(AffineForm form) {
  const double parts[] = {form.x_scale, form.y_scale,     form.offset,   form.x_size,
                          form.y_size,  form.offset_size, form.underflow};
  for (const double part : parts) {
    if (!std::isfinite(part)) return not_affine();
  }
  form.affine = true;
  return form;
}

AffineForm constant_form(double value) {
  return checked({true, 0, 0, value, 0, 0, std::fabs(value), 0, 0});
}

AffineForm coordinate_form(int index) {
  if (index == 0) return checked({true, 1, 0, 0, 1, 0, 0, 0, 0});
  if (index == 1) return checked({true, 0, 1, 0, 0, 1, 0, 0, 0});
  // The object is the same along every axis beyond the plane.
  return constant_form(0);
}

bool independent_of_point(const AffineForm& form) {
  return form.x_size == 0 && form.y_size == 0;
}

AffineForm sum(const AffineForm& a, const AffineForm& b, double sign) {
  return checked({true, a.x_scale + sign * b.x_scale, a.y_scale + sign * b.y_scale,
                  a.offset + sign * b.offset, a.x_size + b.x_size, a.y_size + b.y_size,
                  a.offset_size + b.offset_size, a.underflow + b.underflow,
                  a.rounding_steps + b.rounding_steps + 1});
}

// A point-dependent form times one that is not: the factor may itself carry
// rounding, which the sizes of both account for.
AffineForm scaled(const AffineForm& form, const AffineForm& factor) {
  const double k = factor.offset;
  const double k_size = factor.offset_size;
  const double form_size = form.x_size + form.y_size + form.offset_size;
  return checked({true, form.x_scale * k, form.y_scale * k, form.offset * k, form.x_size * k_size,
                  form.y_size * k_size, form.offset_size * k_size,
                  form.underflow * k_size + factor.underflow * form_size + kSmallestStep,
                  form.rounding_steps + factor.rounding_steps + 1});
}

// Only an exact divisor keeps the relative error of the quotient bounded.
AffineForm divided(const AffineForm& form, const AffineForm& divisor) {
  if (!independent_of_point(divisor) || divisor.rounding_steps != 0 || divisor.underflow != 0 ||
      divisor.offset == 0)
    return not_affine();
  const double d = divisor.offset;
  const double d_size = std::fabs(d);
  return checked({true, form.x_scale / d, form.y_scale / d, form.offset / d, form.x_size / d_size,
                  form.y_size / d_size, form.offset_size / d_size,
                  form.underflow / d_size + kSmallestStep, form.rounding_steps + 1});
}

AffineForm product(const AffineForm& a, const AffineForm& b) {
  if (independent_of_point(b)) return scaled(a, b);
  if (independent_of_point(a)) return scaled(b, a);
  return not_affine();
}

// The form of an arithmetic node from its operands' forms.
AffineForm arithmetic_form(Operation operation, const AffineForm& a, const AffineForm& b) {
  if (!a.affine || !b.affine) return not_affine();
  switch (operation) {
    case Operation::Add:
      return sum(a, b, 1);
    case Operation::Subtract:
      return sum(a, b, -1);
    case Operation::Multiply:
      return product(a, b);
    case Operation::Divide:
      return divided(a, b);
    default:
      return not_affine();
  }
}

// The distance line's form, made from its operations as from the tree the
// same line compiles to, so that its bounds and their error allowance are
// the same.
AffineForm edge_distance_form(const WrittenEdge& edge) {
  const AffineForm across = arithmetic_form(
      Operation::Multiply,
      arithmetic_form(Operation::Subtract, coordinate_form(0), constant_form(edge.start.x)),
      constant_form(edge.start.y - edge.end.y));
  const AffineForm along = arithmetic_form(
      Operation::Multiply,
      arithmetic_form(Operation::Subtract, coordinate_form(1), constant_form(edge.start.y)),
      constant_form(edge.end.x - edge.start.x));
  return arithmetic_form(Operation::Divide, arithmetic_form(Operation::Add, across, along),
                         constant_form(edge.length));
}

// The form of one node from those of its children, which `found` gives
// (nullptr when not affine or not yet found).
template <typename Found>
AffineForm form_of(const CompiledModel& model, std::size_t node_index, Found found) {
  const ExpressionNode& node = model.nodes[node_index];
  // Children are compiled before their parents; anything else is left alone.
  const auto ready = [&](int child) -> const AffineForm* {
    if (child < 0 || static_cast<std::size_t>(child) >= node_index) return nullptr;
    const AffineForm* form = found(static_cast<std::size_t>(child));
    return form != nullptr && form->affine ? form : nullptr;
  };
  switch (node.operation) {
    case Operation::Constant:
      return constant_form(node.value);
    case Operation::Coordinate:
      return coordinate_form(node.index);
    case Operation::Variable: {
      const AffineForm* value = ready(model.slots[static_cast<std::size_t>(node.index)].root);
      return value ? *value : not_affine();
    }
    case Operation::Negate: {
      const AffineForm* value = ready(node.left);
      if (!value) return not_affine();
      AffineForm negated = *value;
      negated.x_scale = -negated.x_scale;
      negated.y_scale = -negated.y_scale;
      negated.offset = -negated.offset;
      return negated;
    }
    case Operation::EdgeDistance:
      return edge_distance_form(model.written_edges[static_cast<std::size_t>(node.index)]);
    default:
      break;
  }
  if (!is_arithmetic(node.operation)) return not_affine();
  const AffineForm* a = ready(node.left);
  const AffineForm* b = ready(node.right);
  if (!a || !b) return not_affine();
  return arithmetic_form(node.operation, *a, *b);
}

}  // namespace

std::vector<AffineForm> affine_forms(const CompiledModel& model) {
  std::vector<AffineForm> forms(model.nodes.size());
  std::vector<char> done(model.nodes.size(), 0);
  for (std::size_t i = 0; i < model.nodes.size(); ++i) {
    forms[i] =
        form_of(model, i, [&](std::size_t child) { return done[child] ? &forms[child] : nullptr; });
    done[i] = 1;
  }
  return forms;
}

namespace {

// Marks the wanted nodes and every node their values depend on.
std::vector<char> needed_nodes(const CompiledModel& model, std::span<const int> wanted) {
  std::vector<char> needed(model.nodes.size(), 0);
  std::vector<int> pending(wanted.begin(), wanted.end());
  while (!pending.empty()) {
    const int index = pending.back();
    pending.pop_back();
    if (index < 0 || static_cast<std::size_t>(index) >= model.nodes.size() ||
        needed[static_cast<std::size_t>(index)])
      continue;
    needed[static_cast<std::size_t>(index)] = 1;
    const ExpressionNode& node = model.nodes[static_cast<std::size_t>(index)];
    if (node.operation == Operation::Variable) {
      pending.push_back(model.slots[static_cast<std::size_t>(node.index)].root);
    } else if (node.operation != Operation::Constant && node.operation != Operation::Coordinate &&
               node.operation != Operation::EdgeDistance) {
      pending.push_back(node.left);
      pending.push_back(node.right);
    }
  }
  return needed;
}

}  // namespace

std::vector<AffineForm> affine_forms_of(const CompiledModel& model, std::span<const int> wanted) {
  const std::vector<char> needed = needed_nodes(model, wanted);
  // The forms found so far, by node: position[i] indexes found_forms.
  std::vector<int> position(model.nodes.size(), -1);
  std::vector<AffineForm> found_forms;
  for (std::size_t i = 0; i < model.nodes.size(); ++i) {
    if (!needed[i]) continue;
    const AffineForm form = form_of(model, i, [&](std::size_t child) -> const AffineForm* {
      const int at = position[child];
      return at < 0 ? nullptr : &found_forms[static_cast<std::size_t>(at)];
    });
    position[i] = static_cast<int>(found_forms.size());
    found_forms.push_back(form);
  }
  std::vector<AffineForm> forms;
  forms.reserve(wanted.size());
  for (const int node : wanted) {
    const bool known = node >= 0 && static_cast<std::size_t>(node) < model.nodes.size();
    forms.push_back(
        known ? found_forms[static_cast<std::size_t>(position[static_cast<std::size_t>(node)])]
              : AffineForm{});
  }
  return forms;
}

Interval affine_interval(const AffineForm& form, const Box& box) {
  if (!form.affine) return Interval{};
  const double x_reach = std::max(std::fabs(box.x_low), std::fabs(box.x_high));
  const double y_reach = std::max(std::fabs(box.y_low), std::fabs(box.y_high));
  const double magnitude = form.x_size * x_reach + form.y_size * y_reach + form.offset_size;
  // Each rounding of the evaluation, of the scales and of this bound moves
  // the value by at most one unit roundoff of the magnitude; twice the count
  // leaves room for the rounding of the count's own arithmetic. Underflow
  // adds 4 * underflow and a smallest step per rounding here, which
  // 8 * max(underflow, smallest normal) covers: arithmetic on subnormal
  // numbers, as underflow often is, takes a hundred times as long, and
  // classifying points calls this for every edge near every box.
  const double steps = 2.0 * (form.rounding_steps + kBoundSteps);
  const double error =
      steps * kUnitRoundoff * magnitude * 2 + 8 * std::max(form.underflow, kSmallestNormal);
  const double x_low = std::min(form.x_scale * box.x_low, form.x_scale * box.x_high);
  const double x_high = std::max(form.x_scale * box.x_low, form.x_scale * box.x_high);
  const double y_low = std::min(form.y_scale * box.y_low, form.y_scale * box.y_high);
  const double y_high = std::max(form.y_scale * box.y_low, form.y_scale * box.y_high);
  const Interval result{form.offset + x_low + y_low - error, form.offset + x_high + y_high + error,
                        magnitude, true};
  if (!std::isfinite(result.low) || !std::isfinite(result.high) || !std::isfinite(magnitude))
    return Interval{};
  return result;
}

}  // namespace polyfrep
