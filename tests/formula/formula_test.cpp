#include "formula/formula.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formula/formula_text.h"
#include "formula/token_text.h"

namespace polyfrep {
namespace {

using testing::formula_of;

// Texts in the shape the decomposition writes them read back and print as
// they stand; other groupings print in that shape.
TEST(FormulaText, ReadsAndPrintsTheDecompositionsShape) {
  const struct {
    const char* text;
    const char* printed;
    std::vector<int> nodes;
  } cases[] = {
      {"(1)*(2*0)", "(1)*(2*0)", {TOKEN_INTERSECT, 1, TOKEN_INTERSECT, 2, 0}},
      {"((2+3)*(4))*((5*0)*(1))", "((2+3)*(4))*((5*0)*(1))", {}},
      {"(6)*(((7*8)+((9+10)*(11*0)))*(((1*2)+(3))+(4*5)))",
       "(6)*(((7*8)+((9+10)*(11*0)))*(((1*2)+(3))+(4*5)))",
       {}},
      {"12+7", "12+7", {TOKEN_UNION, 12, 7}},
      {"1*2*0", "(1*2)*(0)", {TOKEN_INTERSECT, TOKEN_INTERSECT, 1, 2, 0}},
      {"((((3))))", "3", {3}},
      {" (1)\n*( 2 * 0 ) ", "(1)*(2*0)", {}},
  };
  for (const auto& c : cases) {
    const Formula formula = formula_of(c.text);
    EXPECT_EQ(compact_text(formula), c.printed) << c.text;
    if (!c.nodes.empty()) {
      EXPECT_EQ(formula.nodes, c.nodes) << c.text;
    }
    EXPECT_EQ(token_count(formula), formula_tokens(formula).size()) << c.text;
    EXPECT_EQ(formula_text(formula_tokens(formula), kModelSpelling),
              formula_text(formula_tokens(formula_of(c.printed)), kModelSpelling));
  }
  const ParsedFormula model_line = parse_formula_text("(s1)&(s2|s0)", 3, kModelSpelling);
  ASSERT_EQ(model_line.error, "");
  EXPECT_EQ(compact_text(model_line.formula), "(1)*(2+0)");
}

TEST(FormulaText, NamesWhereATextStopsBeingAFormula) {
  const struct {
    const char* text;
    const char* message_part;
  } cases[] = {
      {"(0*1", "never closed"},
      {"0*1)", "token 4"},
      {"0*5", "no such edge"},
      {"0*1+2", "mixed"},
      {"0 1", "operand follows an operand"},
      {"(0*1)2", "operand follows an operand"},
      {"(0*1)(2*3)", "operand follows an operand"},
      {"0*", "ends with an operator"},
      {"(*0)", "no left operand"},
      {"()*0", "empty parentheses"},
      {")", "no '(' to close"},
      {"", "empty"},
      {"0*x", "character 3: unexpected 'x'"},
      {"0*99999999999", "out of range"},
  };
  for (const auto& c : cases) {
    const ParsedFormula parsed = parse_formula_text(c.text, 4);
    EXPECT_NE(parsed.error.find(c.message_part), std::string::npos)
        << c.text << ": " << parsed.error;
    EXPECT_TRUE(parsed.formula.nodes.empty()) << c.text;
  }
  EXPECT_NE(parse_tokens(std::vector<int>{0, TOKEN_INTERSECT, -9}, 4).error.find("unknown token"),
            std::string::npos);
}

TEST(FormulaRecord, ProblemsOfHandMadeRecords) {
  const struct {
    std::vector<int> nodes;
    const char* message_part;  // empty for a formula
  } cases[] = {
      {{TOKEN_UNION, 0, TOKEN_INTERSECT, 1, 2}, ""}, {{}, "empty"},
      {{TOKEN_UNION, 0}, "lacks an operand"},        {{0, 1}, "node 2 follows a complete formula"},
      {{TOKEN_OPEN, 0}, "unknown code -1"},          {{TOKEN_UNION, 0, 3}, "no edge 3"},
  };
  for (const auto& c : cases) {
    const std::string problem = formula_problem(Formula{c.nodes}, 3);
    if (*c.message_part == '\0') {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_NE(problem.find(c.message_part), std::string::npos) << problem;
    }
  }
}

// The flat view goes through push_token: a list without room keeps what fits.
TEST(FormulaTokens, AFullListDropsTheRest) {
  TokenList list = make_token_list(4);
  append_tokens(formula_of("(1)*(2*0)"), list);
  ASSERT_EQ(list.count, 4);
  EXPECT_EQ(std::vector<int>(list.items.get(), list.items.get() + 4),
            (std::vector<int>{TOKEN_OPEN, 1, TOKEN_CLOSE, TOKEN_INTERSECT}));
}

// A chain nested a million levels deep is read, measured and flattened
// without recursion.
TEST(FormulaTokens, MillionLevelChain) {
  const int levels = 1000000;
  std::vector<int> tokens(static_cast<std::size_t>(levels), TOKEN_OPEN);
  tokens.push_back(0);
  for (int edge = 1; edge <= levels; ++edge) {
    tokens.push_back(TOKEN_CLOSE);
    tokens.push_back(TOKEN_INTERSECT);
    tokens.push_back(edge);
  }
  const ParsedFormula parsed = parse_tokens(tokens, levels + 1);
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.formula.nodes.size(), 2u * levels + 1);
  EXPECT_EQ(subformula_ends(parsed.formula)[1], 2 * levels);
  EXPECT_EQ(formula_tokens(parsed.formula).size(), token_count(parsed.formula));
}

}  // namespace
}  // namespace polyfrep
