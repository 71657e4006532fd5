#include "formula/formula.h"

#include <string_view>

namespace polyfrep {

std::vector<int> subformula_ends(const Formula& formula) {
  const std::vector<int>& nodes = formula.nodes;
  std::vector<int> ends(nodes.size());
  // From the back, every operand's end is known before its operator's.
  for (std::size_t i = nodes.size(); i-- > 0;) {
    ends[i] = is_operator(nodes[i]) ? ends[static_cast<std::size_t>(ends[i + 1])]
                                    : static_cast<int>(i) + 1;
  }
  return ends;
}

std::string formula_problem(const Formula& formula, int edge_count) {
  if (formula.nodes.empty()) return "the formula is empty";
  // Operands still missing before the formula is complete.
  long long missing = 1;
  for (std::size_t i = 0; i < formula.nodes.size(); ++i) {
    const int node = formula.nodes[i];
    if (missing == 0) return "node " + std::to_string(i + 1) + " follows a complete formula";
    if (is_operator(node)) {
      ++missing;
    } else if (node < 0) {
      return "node " + std::to_string(i + 1) + ": unknown code " + std::to_string(node);
    } else if (node >= edge_count) {
      return "node " + std::to_string(i + 1) + ": no edge " + std::to_string(node) +
             ", the polygon has " + std::to_string(edge_count) + " edges";
    } else {
      --missing;
    }
  }
  if (missing > 0) return "an operator lacks an operand";
  return {};
}

namespace {

// An operator whose operands are being written out.
struct OpenOperator {
  int code;
  bool parenthesised;  // its operands each stand in parentheses
  bool left_done;
};

bool operands_are_edges(const std::vector<int>& nodes, std::size_t op) {
  return op + 2 < nodes.size() && !is_operator(nodes[op + 1]) && !is_operator(nodes[op + 2]);
}

}  // namespace

void append_tokens(const Formula& formula, TokenList& tokens) {
  const std::vector<int>& nodes = formula.nodes;
  std::vector<OpenOperator> open;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const int node = nodes[i];
    if (is_operator(node)) {
      const bool parenthesised = !operands_are_edges(nodes, i);
      open.push_back({node, parenthesised, false});
      if (parenthesised) push_token(tokens, TOKEN_OPEN);
      continue;
    }
    push_token(tokens, node);
    // The edge completes an operand: the left one of the innermost open
    // operator, or the right one, which completes that operator in turn.
    while (!open.empty()) {
      OpenOperator& top = open.back();
      if (!top.left_done) {
        top.left_done = true;
        if (top.parenthesised) push_token(tokens, TOKEN_CLOSE);
        push_token(tokens, top.code);
        if (top.parenthesised) push_token(tokens, TOKEN_OPEN);
        break;
      }
      if (top.parenthesised) push_token(tokens, TOKEN_CLOSE);
      open.pop_back();
    }
  }
}

std::size_t token_count(const Formula& formula) {
  std::size_t count = formula.nodes.size();
  for (std::size_t i = 0; i < formula.nodes.size(); ++i) {
    if (is_operator(formula.nodes[i]) && !operands_are_edges(formula.nodes, i)) count += 4;
  }
  return count;
}

std::vector<int> formula_tokens(const Formula& formula) {
  TokenList list = make_token_list(static_cast<int>(token_count(formula)));
  append_tokens(formula, list);
  return std::vector<int>(list.items.get(), list.items.get() + list.count);
}

namespace {

// A formula being read: nodes with their operands' indices, operands before
// the operators that join them; the root is the last node.
struct TreeNode {
  int code;
  int left = -1;
  int right = -1;
};

// One parenthesis level while reading.
struct ParseLevel {
  int operand = -1;        // the node built so far at this level, -1 before the first
  int pending_token = 0;   // an operator waiting for its right operand, or 0
  int operator_token = 0;  // the operator used at this level, 0 while none was seen
};

std::string token_text(int token) {
  switch (token) {
    case TOKEN_OPEN:
      return "'('";
    case TOKEN_CLOSE:
      return "')'";
    case TOKEN_UNION:
      return "'+'";
    case TOKEN_INTERSECT:
      return "'*'";
    default:
      return "edge " + std::to_string(token);
  }
}

std::string token_error(std::size_t position, int token, std::string_view problem) {
  return "token " + std::to_string(position + 1) + " (" + token_text(token) +
         "): " + std::string(problem);
}

// Adds `operand` to the level; false when the level already has an operand
// with no operator after it.
bool attach_operand(ParseLevel& level, int operand, std::vector<TreeNode>& nodes) {
  if (level.operand >= 0 && level.pending_token == 0) return false;
  if (level.operand < 0) {
    level.operand = operand;
    return true;
  }
  nodes.push_back({level.pending_token, level.operand, operand});
  level.operand = static_cast<int>(nodes.size()) - 1;
  level.pending_token = 0;
  return true;
}

// The error of one token at its level, or empty when it was taken in.
std::string read_token(std::vector<ParseLevel>& levels, std::vector<TreeNode>& nodes,
                       std::size_t position, int token, int edge_count) {
  ParseLevel& level = levels.back();
  const bool expects_operator = level.operand >= 0 && level.pending_token == 0;
  if (token >= 0) {
    if (token >= edge_count) {
      return token_error(position, token,
                         "no such edge, the polygon has " + std::to_string(edge_count) + " edges");
    }
    nodes.push_back({token});
    if (!attach_operand(level, static_cast<int>(nodes.size()) - 1, nodes)) {
      return token_error(position, token, "an operand follows an operand");
    }
    return {};
  }
  if (token == TOKEN_OPEN) {
    if (expects_operator) return token_error(position, token, "an operand follows an operand");
    levels.emplace_back();
    return {};
  }
  if (token == TOKEN_CLOSE) {
    if (levels.size() == 1) return token_error(position, token, "no '(' to close");
    if (!expects_operator) {
      return token_error(
          position, token,
          level.operand < 0 ? "empty parentheses" : "an operator has no right operand");
    }
    const int closed = level.operand;
    levels.pop_back();
    attach_operand(levels.back(), closed,
                   nodes);  // cannot fail: the '(' stood where an operand could
    return {};
  }
  if (token == TOKEN_UNION || token == TOKEN_INTERSECT) {
    if (!expects_operator) return token_error(position, token, "an operator has no left operand");
    if (level.operator_token != 0 && level.operator_token != token) {
      return token_error(position, token, "union and intersection are mixed without parentheses");
    }
    level.operator_token = token;
    level.pending_token = token;
    return {};
  }
  return "token " + std::to_string(position + 1) + ": unknown token code " + std::to_string(token);
}

// The tree in prefix order.
Formula prefix_order(const std::vector<TreeNode>& nodes) {
  Formula formula;
  formula.nodes.reserve(nodes.size());
  std::vector<int> pending{static_cast<int>(nodes.size()) - 1};
  while (!pending.empty()) {
    const TreeNode& node = nodes[static_cast<std::size_t>(pending.back())];
    pending.pop_back();
    formula.nodes.push_back(node.code);
    if (is_operator(node.code)) {
      pending.push_back(node.right);
      pending.push_back(node.left);
    }
  }
  return formula;
}

}  // namespace

ParsedFormula parse_tokens(std::span<const int> tokens, int edge_count) {
  ParsedFormula parsed;
  std::vector<TreeNode> nodes;
  std::vector<ParseLevel> levels(1);
  for (std::size_t position = 0; position < tokens.size(); ++position) {
    parsed.error = read_token(levels, nodes, position, tokens[position], edge_count);
    if (!parsed.error.empty()) return parsed;
  }
  if (levels.size() > 1) {
    parsed.error = "a '(' is never closed";
  } else if (levels.back().operand < 0) {
    parsed.error = "the formula is empty";
  } else if (levels.back().pending_token != 0) {
    parsed.error = "the formula ends with an operator";
  } else {
    parsed.formula = prefix_order(nodes);
  }
  return parsed;
}

}  // namespace polyfrep
