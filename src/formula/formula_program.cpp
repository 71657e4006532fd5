#include "formula/formula_program.h"

#include <algorithm>
#include <string_view>

#include "formula/token_list.h"

namespace polyfrep {
namespace {

// ---------------------------------------------------------------------------
// Parsing the tokens into a tree.

enum class Operation : unsigned char { kEdge, kUnion, kIntersection };

struct FormulaNode {
  Operation operation = Operation::kEdge;
  int edge = -1;  // for kEdge
  int left = -1;  // operands of kUnion and kIntersection
  int right = -1;
};

// Nodes are stored operands first, so every node's operands have smaller
// indices; the root is the last node.
struct ParsedFormula {
  std::vector<FormulaNode> nodes;
  std::string error;  // empty when the tokens form a formula
};

// One parenthesis level while parsing.
struct ParseLevel {
  int operand = -1;        // the node built so far at this level, -1 before the first
  int pending_token = 0;   // an operator token waiting for its right operand, or 0
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

// Adds `operand` to the level; returns false when the level already has an
// operand with no operator after it.
bool attach_operand(ParseLevel& level, int operand, std::vector<FormulaNode>& nodes) {
  if (level.operand >= 0 && level.pending_token == 0)
    return false;
  if (level.operand < 0) {
    level.operand = operand;
    return true;
  }
  const Operation operation =
      level.pending_token == TOKEN_UNION ? Operation::kUnion : Operation::kIntersection;
  nodes.push_back({operation, -1, level.operand, operand});
  level.operand = static_cast<int>(nodes.size()) - 1;
  level.pending_token = 0;
  return true;
}

// Parses without recursion, since converter formulas nest about as deep as
// the polygon is long in the worst case.
ParsedFormula parse_formula(std::span<const int> tokens, int edge_count) {
  ParsedFormula formula;
  std::vector<ParseLevel> levels(1);
  for (std::size_t position = 0; position < tokens.size(); ++position) {
    const int token = tokens[position];
    ParseLevel& level = levels.back();
    const bool expects_operator = level.operand >= 0 && level.pending_token == 0;
    if (token >= 0) {
      if (token >= edge_count) {
        formula.error =
            token_error(position, token,
                        "no such edge, the polygon has " + std::to_string(edge_count) + " edges");
        return formula;
      }
      formula.nodes.push_back({Operation::kEdge, token, -1, -1});
      if (!attach_operand(level, static_cast<int>(formula.nodes.size()) - 1, formula.nodes)) {
        formula.error = token_error(position, token, "an operand follows an operand");
        return formula;
      }
    } else if (token == TOKEN_OPEN) {
      if (expects_operator) {
        formula.error = token_error(position, token, "an operand follows an operand");
        return formula;
      }
      levels.emplace_back();
    } else if (token == TOKEN_CLOSE) {
      if (levels.size() == 1) {
        formula.error = token_error(position, token, "no '(' to close");
        return formula;
      }
      if (!expects_operator) {
        formula.error = token_error(
            position, token,
            level.operand < 0 ? "empty parentheses" : "an operator has no right operand");
        return formula;
      }
      const int closed = level.operand;
      levels.pop_back();
      attach_operand(levels.back(), closed,
                     formula.nodes);  // cannot fail: '(' came after an operator
    } else if (token == TOKEN_UNION || token == TOKEN_INTERSECT) {
      if (!expects_operator) {
        formula.error = token_error(position, token, "an operator has no left operand");
        return formula;
      }
      if (level.operator_token != 0 && level.operator_token != token) {
        formula.error =
            token_error(position, token, "union and intersection are mixed without parentheses");
        return formula;
      }
      level.operator_token = token;
      level.pending_token = token;
    } else {
      formula.error =
          "token " + std::to_string(position + 1) + ": unknown token code " + std::to_string(token);
      return formula;
    }
  }
  if (levels.size() > 1) {
    formula.error = "a '(' is never closed";
  } else if (levels.back().operand < 0) {
    formula.error = "the formula is empty";
  } else if (levels.back().pending_token != 0) {
    formula.error = "the formula ends with an operator";
  }
  return formula;
}

// ---------------------------------------------------------------------------
// The formula as a stack program over bitsets.

// Builds the program so that the operand needing more stack is evaluated
// first and a single edge is applied in place; union and intersection
// commute, so this keeps the stack to a few bitsets even for long chains.
FormulaProgram build_program(const ParsedFormula& formula) {
  const std::vector<FormulaNode>& nodes = formula.nodes;
  std::vector<int> depth(nodes.size(), 1);
  std::vector<bool> right_first(nodes.size(), false);
  auto second_cost = [&](int node) {
    return nodes[node].operation == Operation::kEdge ? 1 : 1 + depth[node];
  };
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const FormulaNode& node = nodes[i];
    if (node.operation == Operation::kEdge)
      continue;
    const int left_first = std::max(depth[node.left], second_cost(node.right));
    const int right_first_depth = std::max(depth[node.right], second_cost(node.left));
    right_first[i] = right_first_depth < left_first;
    depth[i] = std::min(left_first, right_first_depth);
  }

  FormulaProgram program;
  program.stack_depth = depth.back();
  struct Pending {
    int node;
    bool operands_done;
  };
  std::vector<Pending> pending{{static_cast<int>(nodes.size()) - 1, false}};
  while (!pending.empty()) {
    const Pending current = pending.back();
    pending.pop_back();
    const FormulaNode& node = nodes[current.node];
    if (node.operation == Operation::kEdge) {
      program.steps.push_back({StepKind::kLoad, node.edge});
      continue;
    }
    const bool is_union = node.operation == Operation::kUnion;
    const int first = right_first[current.node] ? node.right : node.left;
    const int second = right_first[current.node] ? node.left : node.right;
    if (nodes[second].operation == Operation::kEdge) {
      if (current.operands_done) {
        program.steps.push_back(
            {is_union ? StepKind::kUniteEdge : StepKind::kIntersectEdge, nodes[second].edge});
      } else {
        pending.push_back({current.node, true});
        pending.push_back({first, false});
      }
      continue;
    }
    if (current.operands_done) {
      program.steps.push_back({is_union ? StepKind::kUnite : StepKind::kIntersect, -1});
    } else {
      pending.push_back({current.node, true});
      pending.push_back({second, false});
      pending.push_back({first, false});
    }
  }
  return program;
}

// ---------------------------------------------------------------------------
// Bitsets over the intervals of one line.

Word low_mask(int bits) {
  return bits >= kWordBits ? ~Word{0} : (Word{1} << bits) - 1;
}

void unite_range(std::span<Word> words, IntervalRange range) {
  if (range.begin >= range.end)
    return;
  const int first_word = range.begin / kWordBits;
  const int last_word = (range.end - 1) / kWordBits;
  const Word first_mask = ~low_mask(range.begin % kWordBits);
  const Word last_mask = low_mask((range.end - 1) % kWordBits + 1);
  if (first_word == last_word) {
    words[first_word] |= first_mask & last_mask;
    return;
  }
  words[first_word] |= first_mask;
  for (int w = first_word + 1; w < last_word; ++w)
    words[w] = ~Word{0};
  words[last_word] |= last_mask;
}

void intersect_range(std::span<Word> words, IntervalRange range) {
  if (range.begin >= range.end) {
    std::fill(words.begin(), words.end(), Word{0});
    return;
  }
  const int first_word = range.begin / kWordBits;
  const int last_word = (range.end - 1) / kWordBits;
  std::fill(words.begin(), words.begin() + first_word, Word{0});
  std::fill(words.begin() + last_word + 1, words.end(), Word{0});
  words[first_word] &= ~low_mask(range.begin % kWordBits);
  words[last_word] &= low_mask((range.end - 1) % kWordBits + 1);
}

}  // namespace

bool compile_formula(std::span<const int> tokens, int edge_count, FormulaProgram& program,
                     std::string& error) {
  ParsedFormula formula = parse_formula(tokens, edge_count);
  if (!formula.error.empty()) {
    error = std::move(formula.error);
    return false;
  }
  program = build_program(formula);
  return true;
}

void run_program(const FormulaProgram& program, std::span<const IntervalRange> edge_ranges,
                 int word_count, std::vector<Word>& stack) {
  stack.assign(static_cast<std::size_t>(program.stack_depth) * word_count, Word{0});
  int top = -1;  // index of the topmost bitset
  auto bitset = [&](int index) {
    return std::span<Word>(stack.data() + static_cast<std::size_t>(index) * word_count,
                           static_cast<std::size_t>(word_count));
  };
  for (const ProgramStep& step : program.steps) {
    switch (step.kind) {
      case StepKind::kLoad: {
        const std::span<Word> words = bitset(++top);
        std::fill(words.begin(), words.end(), Word{0});
        unite_range(words, edge_ranges[step.edge]);
        break;
      }
      case StepKind::kIntersectEdge:
        intersect_range(bitset(top), edge_ranges[step.edge]);
        break;
      case StepKind::kUniteEdge:
        unite_range(bitset(top), edge_ranges[step.edge]);
        break;
      case StepKind::kIntersect:
      case StepKind::kUnite: {
        const std::span<Word> operand = bitset(top--);
        const std::span<Word> result = bitset(top);
        if (step.kind == StepKind::kIntersect) {
          for (int w = 0; w < word_count; ++w)
            result[w] &= operand[w];
        } else {
          for (int w = 0; w < word_count; ++w)
            result[w] |= operand[w];
        }
        break;
      }
    }
  }
}

}  // namespace polyfrep
