#include "formula/formula_program.h"

#include <algorithm>

#include "formula/formula.h"

namespace polyfrep {
namespace {

// ---------------------------------------------------------------------------
// The formula as a stack program over bitsets.

// Builds the program so that the operand needing more stack is evaluated
// first and a single edge is applied in place; union and intersection
// commute, so this keeps the stack to a few bitsets even for long chains.
FormulaProgram build_program(const Formula& formula) {
  const std::vector<int>& nodes = formula.nodes;
  const std::vector<int> ends = subformula_ends(formula);
  const auto left_of = [](std::size_t op) { return op + 1; };
  const auto right_of = [&](std::size_t op) { return static_cast<std::size_t>(ends[op + 1]); };
  std::vector<int> depth(nodes.size(), 1);
  std::vector<bool> right_first(nodes.size(), false);
  const auto second_cost = [&](std::size_t node) {
    return is_operator(nodes[node]) ? 1 + depth[node] : 1;
  };
  // From the back, operands before their operators.
  for (std::size_t i = nodes.size(); i-- > 0;) {
    if (!is_operator(nodes[i])) continue;
    const std::size_t left = left_of(i);
    const std::size_t right = right_of(i);
    const int left_first = std::max(depth[left], second_cost(right));
    const int right_first_depth = std::max(depth[right], second_cost(left));
    right_first[i] = right_first_depth < left_first;
    depth[i] = std::min(left_first, right_first_depth);
  }

  FormulaProgram program;
  program.stack_depth = depth.front();
  struct Pending {
    std::size_t node;
    bool operands_done;
  };
  std::vector<Pending> pending{{0, false}};
  while (!pending.empty()) {
    const Pending current = pending.back();
    pending.pop_back();
    const int code = nodes[current.node];
    if (!is_operator(code)) {
      program.steps.push_back({StepKind::kLoad, code});
      continue;
    }
    const bool is_union = code == TOKEN_UNION;
    const std::size_t first =
        right_first[current.node] ? right_of(current.node) : left_of(current.node);
    const std::size_t second =
        right_first[current.node] ? left_of(current.node) : right_of(current.node);
    if (!is_operator(nodes[second])) {
      if (current.operands_done) {
        program.steps.push_back(
            {is_union ? StepKind::kUniteEdge : StepKind::kIntersectEdge, nodes[second]});
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
  if (range.begin >= range.end) return;
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

bool compile_formula(const Formula& formula, int edge_count, FormulaProgram& program,
                     std::string& error) {
  error = formula_problem(formula, edge_count);
  if (!error.empty()) return false;
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
