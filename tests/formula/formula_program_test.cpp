#include "formula/formula_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "formula/token_text.h"

namespace polyfrep {
namespace {

using testing::formula_tokens;

// Straightforward recursive evaluation of the formula text at one bit.
class BitEvaluator {
 public:
  BitEvaluator(const std::vector<int>& tokens, const std::vector<IntervalRange>& ranges, int bit)
      : tokens_(tokens), ranges_(ranges), bit_(bit) {}

  bool evaluate() { return expression(); }

 private:
  bool expression() {
    bool value = term();
    while (next_ < tokens_.size() &&
           (tokens_[next_] == TOKEN_UNION || tokens_[next_] == TOKEN_INTERSECT)) {
      const bool is_union = tokens_[next_++] == TOKEN_UNION;
      const bool operand = term();
      value = is_union ? (value || operand) : (value && operand);
    }
    return value;
  }

  bool term() {
    if (tokens_[next_] == TOKEN_OPEN) {
      ++next_;
      const bool value = expression();
      ++next_;
      return value;
    }
    const IntervalRange range = ranges_[tokens_[next_++]];
    return range.begin <= bit_ && bit_ < range.end;
  }

  const std::vector<int>& tokens_;
  const std::vector<IntervalRange>& ranges_;
  int bit_;
  std::size_t next_ = 0;
};

// A random tree over edges[begin .. end - 1].
std::string random_formula(std::mt19937_64& random, const std::vector<int>& edges, int begin,
                           int end) {
  if (end - begin == 1) return std::to_string(edges[begin]);
  const int split = std::uniform_int_distribution<int>(begin + 1, end - 1)(random);
  const char op = std::bernoulli_distribution(0.5)(random) ? '+' : '*';
  const std::string left_text = random_formula(random, edges, begin, split);
  const std::string right_text = random_formula(random, edges, split, end);
  return testing::joined(left_text, op, right_text);
}

// Random formulas on random ranges, over bitsets that span several words and
// end inside a word: every bit must match the recursive evaluation, and the
// bits beyond the end must stay clear.
TEST(FormulaProgram, MatchesRecursiveEvaluationBitByBit) {
  std::mt19937_64 random(4);
  std::vector<Word> stack;
  for (int round = 0; round < 300; ++round) {
    const int edge_count = std::uniform_int_distribution<int>(1, 12)(random);
    const int bit_count = std::uniform_int_distribution<int>(1, 200)(random);
    const int word_count = (bit_count + kWordBits - 1) / kWordBits;
    std::uniform_int_distribution<int> position(0, bit_count);
    std::vector<IntervalRange> ranges;
    for (int e = 0; e < edge_count; ++e) {
      const int a = position(random), b = position(random);
      switch (e % 3) {  // prefixes, suffixes and arbitrary ranges (possibly empty)
        case 0:
          ranges.push_back({0, a});
          break;
        case 1:
          ranges.push_back({a, bit_count});
          break;
        default:
          ranges.push_back({std::min(a, b), std::max(a, b)});
          break;
      }
    }
    // Edges in shuffled order, some of them twice, so that token order and
    // edge order differ.
    std::vector<int> edges;
    for (int e = 0; e < edge_count; ++e)
      edges.push_back(e);
    for (int e = 0; e < edge_count / 3; ++e)
      edges.push_back(e);
    std::shuffle(edges.begin(), edges.end(), random);
    const std::string formula = random_formula(random, edges, 0, static_cast<int>(edges.size()));
    const std::vector<int> tokens = formula_tokens(formula);
    FormulaProgram program;
    std::string error;
    ASSERT_TRUE(compile_formula(testing::formula_of(formula), edge_count, program, error))
        << formula << ": " << error;
    run_program(program, ranges, word_count, stack);
    for (int bit = 0; bit < word_count * kWordBits; ++bit) {
      const bool expected = bit < bit_count && BitEvaluator(tokens, ranges, bit).evaluate();
      const bool actual = (stack[bit / kWordBits] >> (bit % kWordBits)) & 1;
      ASSERT_EQ(actual, expected) << formula << " bit " << bit;
    }
  }
}

// Chains nested to the left or to the right, as long decompositions give,
// need only two bitsets; balanced trees need about log2 of their size.
TEST(FormulaProgram, KeepsTheStackShallow) {
  const int edge_count = 4096;
  std::string left_deep = "0";
  for (int i = 1; i < edge_count; ++i)
    left_deep = testing::joined(left_deep, '+', std::to_string(i));
  std::string right_deep = std::to_string(edge_count - 1);
  for (int i = edge_count - 2; i >= 0; --i)
    right_deep = testing::joined(std::to_string(i), '*', right_deep);
  std::vector<std::string> level;
  for (int i = 0; i < edge_count; ++i)
    level.push_back(std::to_string(i));
  while (level.size() > 1) {
    std::vector<std::string> next;
    for (std::size_t i = 0; i < level.size(); i += 2) {
      next.push_back(testing::joined(level[i], '*', level[i + 1]));
    }
    level = next;
  }
  const struct {
    const char* name;
    std::string formula;
    int max_depth;
  } cases[] = {
      {"left deep", left_deep, 2}, {"right deep", right_deep, 2}, {"balanced", level[0], 13}};
  for (const auto& c : cases) {
    FormulaProgram program;
    std::string error;
    ASSERT_TRUE(compile_formula(testing::formula_of(c.formula), edge_count, program, error))
        << error;
    EXPECT_LE(program.stack_depth, c.max_depth) << c.name;
    // The steps themselves must stay within the depth the program declares.
    int height = 0;
    int highest = 0;
    int edges_used = 0;
    for (const ProgramStep& step : program.steps) {
      if (step.kind == StepKind::kLoad) ++height;
      if (step.kind == StepKind::kIntersect || step.kind == StepKind::kUnite) --height;
      if (step.edge >= 0) ++edges_used;
      highest = std::max(highest, height);
      ASSERT_GE(height, 1) << c.name;
    }
    EXPECT_EQ(height, 1) << c.name;
    EXPECT_LE(highest, program.stack_depth) << c.name;
    EXPECT_EQ(edges_used, edge_count) << c.name;
  }
}

}  // namespace
}  // namespace polyfrep
