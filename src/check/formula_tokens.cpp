#include "check/formula_tokens.h"

#include "formula/token_list.h"

namespace polyfrep {

namespace {

struct Extraction {
  const ModelSyntax* syntax = nullptr;
  const CompiledModel* model = nullptr;
  FormulaTokens result;
};

bool is_boolean_operation(const SyntaxNode& node) {
  return node.kind == SyntaxKind::Intersect || node.kind == SyntaxKind::Union;
}

void fail(Extraction& extraction, const SyntaxNode& node, const std::string& problem) {
  if (!extraction.result.problem.empty()) return;
  extraction.result.problem = problem;
  extraction.result.where = node.where;
}

bool append_tokens(Extraction& extraction, int node_index);

// An operand that is itself an unparenthesised "&" or "|" chain is wrapped,
// so that the token list does not depend on how the two operators bind.
bool append_operand(Extraction& extraction, int node_index) {
  const SyntaxNode& node = extraction.syntax->nodes[static_cast<std::size_t>(node_index)];
  if (!is_boolean_operation(node)) return append_tokens(extraction, node_index);
  extraction.result.tokens.push_back(TOKEN_OPEN);
  const bool appended = append_tokens(extraction, node_index);
  extraction.result.tokens.push_back(TOKEN_CLOSE);
  return appended;
}

bool append_edge(Extraction& extraction, const SyntaxNode& node) {
  const int edge = edge_of_distance_name(node_name(*extraction.syntax, node));
  if (edge < 0) {
    fail(extraction, node,
         "operand '" + node_name(*extraction.syntax, node) + "' is not an edge distance sN");
    return false;
  }
  if (!extraction.model->edge_slots.contains(edge)) {
    fail(extraction, node,
         "'" + node_name(*extraction.syntax, node) +
             "' is not a distance that depends on the point");
    return false;
  }
  extraction.result.tokens.push_back(edge);
  return true;
}

bool append_tokens(Extraction& extraction, int node_index) {
  const SyntaxNode& node = extraction.syntax->nodes[static_cast<std::size_t>(node_index)];
  switch (node.kind) {
    case SyntaxKind::Name:
      return append_edge(extraction, node);
    case SyntaxKind::Parentheses: {
      extraction.result.tokens.push_back(TOKEN_OPEN);
      const bool appended = append_tokens(extraction, node_operands(*extraction.syntax, node)[0]);
      extraction.result.tokens.push_back(TOKEN_CLOSE);
      return appended;
    }
    case SyntaxKind::Intersect:
    case SyntaxKind::Union: {
      if (!append_operand(extraction, node_operands(*extraction.syntax, node)[0])) return false;
      extraction.result.tokens.push_back(node.kind == SyntaxKind::Intersect ? TOKEN_INTERSECT
                                                                            : TOKEN_UNION);
      return append_operand(extraction, node_operands(*extraction.syntax, node)[1]);
    }
    default:
      fail(extraction, node,
           "the formula holds more than edge distances sN, '&', '|' and parentheses");
      return false;
  }
}

}  // namespace

FormulaTokens extract_formula_tokens(const ModelSyntax& syntax, const CompiledModel& model) {
  Extraction extraction;
  extraction.syntax = &syntax;
  extraction.model = &model;
  extraction.result.complete = append_tokens(extraction, model.formula_syntax);
  if (!extraction.result.complete) extraction.result.tokens.clear();
  return std::move(extraction.result);
}

}  // namespace polyfrep
