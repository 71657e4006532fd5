#include "check/model_formula.h"

#include <vector>

namespace polyfrep {

namespace {

ModelFormula refused(const SyntaxNode& node, const std::string& problem) {
  ModelFormula result;
  result.problem = problem;
  result.where = node.where;
  return result;
}

// Why a name in the formula is no edge distance, or empty when it is one.
std::string edge_problem(const ModelSyntax& syntax, const CompiledModel& model,
                         const SyntaxNode& node, int edge) {
  if (edge < 0) return "operand '" + node_name(syntax, node) + "' is not an edge distance sN";
  if (slot_of_edge(model, edge) < 0) {
    return "'" + node_name(syntax, node) + "' is not a distance that depends on the point";
  }
  return {};
}

}  // namespace

// Writes the syntax tree in prefix order with a stack of the nodes still to
// be written, the next on top: an operator goes before its left operand,
// which goes before its right one. The first part that is not an edge, "&",
// "|" or parentheses in that order, which is the order of the text, stops it.
ModelFormula extract_formula(const ModelSyntax& syntax, const CompiledModel& model) {
  ModelFormula result;
  std::vector<int> pending{model.formula_syntax};
  while (!pending.empty()) {
    const SyntaxNode& node = syntax.nodes[static_cast<std::size_t>(pending.back())];
    pending.pop_back();
    const std::span<const int> operands = node_operands(syntax, node);
    switch (node.kind) {
      case SyntaxKind::Parentheses:
        pending.push_back(operands[0]);
        break;
      case SyntaxKind::Intersect:
      case SyntaxKind::Union:
        result.formula.nodes.push_back(node.kind == SyntaxKind::Intersect ? TOKEN_INTERSECT
                                                                          : TOKEN_UNION);
        pending.push_back(operands[1]);
        pending.push_back(operands[0]);
        break;
      case SyntaxKind::Name: {
        const int edge = edge_of_distance_name(node_name(syntax, node));
        const std::string problem = edge_problem(syntax, model, node, edge);
        if (!problem.empty()) return refused(node, problem);
        result.formula.nodes.push_back(edge);
        break;
      }
      default:
        return refused(node,
                       "the formula holds more than edge distances sN, '&', '|' and parentheses");
    }
  }
  result.complete = true;
  return result;
}

}  // namespace polyfrep
