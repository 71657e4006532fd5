#include "check/model_syntax.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "check/model_formula.h"
#include "check/model_program.h"
#include "check/model_text.h"

namespace polyfrep {
namespace {

using testing::kTriangleModel;

TEST(ModelSyntax, ReadsTheTriangleModel) {
  const ModelSyntax syntax = parse_model(kTriangleModel);
  EXPECT_EQ(syntax.object_name, "polygon");
  ASSERT_EQ(syntax.parameters.size(), 2u);
  EXPECT_EQ(syntax.parameters[0].name, "x");
  EXPECT_EQ(syntax.parameters[0].size, 3);
  EXPECT_EQ(syntax.parameters[1].name, "a");
  EXPECT_EQ(syntax.parameters[1].size, 1);
  // The declaration, four assignments per edge and the formula.
  ASSERT_EQ(syntax.statements.size(), 1u + 3 * 4 + 1);
  EXPECT_EQ(syntax.statements[0].declarations.size(), 2u);
  EXPECT_EQ(syntax.statements[4].target, "s0");
  EXPECT_EQ(syntax.statements[4].where.line, 8);
  EXPECT_EQ(syntax.statements.back().target, "polygon");
  EXPECT_EQ(syntax.statements.back().where.line, 20);

  const CompiledModel model = compile_model(syntax);
  EXPECT_TRUE(model.problems.empty());
  ASSERT_EQ(model.edge_slots.size(), 3u);
  const struct {
    int edge;
    Point start, end;
  } edges[] = {{0, {0, 0}, {1, 0}}, {1, {1, 0}, {0, 1}}, {2, {0, 1}, {0, 0}}};
  for (const auto& edge : edges) {
    ASSERT_GE(slot_of_edge(model, edge.edge), 0);
    const VariableSlot& slot =
        model.slots[static_cast<std::size_t>(slot_of_edge(model, edge.edge))];
    EXPECT_EQ(slot_name(model, slot), "s" + std::to_string(edge.edge));
    const WrittenEdge* written = slot_edge(model, slot);
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->start.x, edge.start.x);
    EXPECT_EQ(written->start.y, edge.start.y);
    EXPECT_EQ(written->end.x, edge.end.x);
    EXPECT_EQ(written->end.y, edge.end.y);
  }
  const ModelFormula formula = extract_formula(syntax, model);
  ASSERT_TRUE(formula.complete) << formula.problem;
  EXPECT_EQ(formula.formula.nodes, (std::vector<int>{TOKEN_INTERSECT, 1, TOKEN_INTERSECT, 2, 0}));
  EXPECT_TRUE(model_inside(model, {0.2, 0.2}));
  EXPECT_FALSE(model_inside(model, {0.6, 0.6}));
  EXPECT_FALSE(model_inside(model, {-0.1, 0.5}));
}

// The tree written back with every operation in brackets, so that each
// node's kind, name and operands, in order, show in the text.
std::string written_back(const ModelSyntax& syntax, int index) {
  const SyntaxNode& node = syntax.nodes[static_cast<std::size_t>(index)];
  const std::span<const int> operands = node_operands(syntax, node);
  const auto list = [&](const char* open, const char* close) {
    std::string text = open;
    for (std::size_t k = 0; k < operands.size(); ++k)
      text += (k > 0 ? "," : "") + written_back(syntax, operands[k]);
    return text + close;
  };
  switch (node.kind) {
    case SyntaxKind::Number:
      return std::to_string(static_cast<int>(node.number));
    case SyntaxKind::Name:
      return node_name(syntax, node);
    case SyntaxKind::Element:
      return node_name(syntax, node) + list("[", "]");
    case SyntaxKind::Call:
      return node_name(syntax, node) + list("(", ")");
    case SyntaxKind::Negate:
      return "-" + list("{", "}");
    case SyntaxKind::Parentheses:
      return list("(", ")");
    case SyntaxKind::VectorLiteral:
      return list("[", "]");
    default:
      break;
  }
  const char* symbols[] = {"+", "-", "*", "/", "&", "|"};
  const char* symbol = symbols[static_cast<int>(node.kind) - static_cast<int>(SyntaxKind::Add)];
  return "{" + written_back(syntax, operands[0]) + symbol + written_back(syntax, operands[1]) + "}";
}

TEST(ModelSyntax, TreeHoldsEveryOperandInOrder) {
  const struct {
    const char* value;
    const char* expected;
  } cases[] = {
      {"a - b * c", "{a-{b*c}}"},
      {"(a - b) * -c", "{({a-b})*-{c}}"},
      {"f() + g(a) + h(a, b[2], 3)", "{{f()+g(a)}+h(a,b[2],3)}"},
      {"[a, b + 1, c[a[1]], 4]", "[a,{b+1},c[a[1]],4]"},
      {"s1 & s22 | s1 & (s22)", "{{{s1&s22}|s1}&(s22)}"},
      {"q[h(1, 2, 3)[4]]", ""},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("o(x[2]) { v = ") + c.value + "; }";
    if (*c.expected == '\0') {
      EXPECT_THROW(parse_model(text), ModelError) << c.value;
      continue;
    }
    const ModelSyntax syntax = parse_model(text);
    ASSERT_EQ(syntax.statements.size(), 1u) << c.value;
    EXPECT_EQ(written_back(syntax, syntax.statements[0].value), c.expected) << c.value;
  }
}

TEST(ModelSyntax, ReadsNumbersInEveryGeneralForm) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0.5", 0.5},     {"-2", -2},         {"1.23457e+06", 1.23457e+06},
      {"1e-05", 1e-05}, {"123457", 123457}, {"-0.333333", -0.333333},
      {"2.5E2", 250},   {".25", 0.25},      {"7.", 7},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("o(x[2]) { v = ") + c.text + "; o = x[1] - v; }";
    const CompiledModel model = compile_model(parse_model(text));
    EXPECT_EQ(model_value(model, {0, 0}), -c.value) << c.text;
  }
}

// Each malformed text must be refused with its line, column and reason.
TEST(ModelSyntax, RefusesMalformedText) {
  const std::string triangle(kTriangleModel);
  std::string missing_semicolon = triangle;
  missing_semicolon.erase(missing_semicolon.find("];\np1 = [1, 0]") + 1, 1);
  std::string unknown_function = triangle;
  unknown_function.replace(unknown_function.find("sqrt"), 4, "sqr");
  std::string unbalanced = triangle;
  unbalanced.replace(unbalanced.find("(s1)&(s2&s0)"), 12, "(s1)&(s2&s0");
  std::string extra_close = triangle;
  extra_close.replace(extra_close.find("(s1)&(s2&s0)"), 12, "(s1))&(s2&s0)");
  std::string garbage = triangle;
  garbage.insert(garbage.find("p1 = [0, 1]"), "\x01\xff");

  const struct {
    std::string name;
    std::string text;
    int line, column;
    std::string message;
  } cases[] = {
      {"truncated in a block", triangle.substr(0, triangle.find("s1 = ") + 9), 13, 10,
       "expected a number, a name or '(', found end of file"},
      {"truncated before the closing brace", triangle.substr(0, triangle.size() - 2), 21, 1,
       "expected '}' to end the object, found end of file"},
      {"empty file", "", 1, 1, "expected the object's name, found end of file"},
      {"missing semicolon", missing_semicolon, 6, 1, "expected ';', found 'p1'"},
      {"unbalanced parentheses", unbalanced, 20, 22,
       "expected ')' to close the '(' at 20:16, found ';'"},
      {"extra closing parenthesis", extra_close, 20, 15, "expected ';', found ')'"},
      {"garbage bytes", garbage, 11, 1, "unexpected character '\\x01'"},
      {"exponent without digits", "o(x[2]) { o = 1e+; }", 1, 15,
       "malformed number: exponent without digits"},
      {"number out of range", "o(x[2]) { o = 1e999; }", 1, 15, "number 1e999 is out of range"},
      {"text after the object", "o(x[2]) { o = x[1]; } o", 1, 23,
       "expected end of file after '}', found 'o'"},
      {"statement without assignment", "o(x[2]) { o x[1]; }", 1, 13, "expected '=', found 'x'"},
      {"array without size", "o(x[2]) { array p[]; o = 1; }", 1, 19,
       "expected a whole array size of at least 1, found ']'"},
  };
  for (const auto& c : cases) {
    try {
      parse_model(c.text);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const ModelError& error) {
      EXPECT_EQ(error.where.line, c.line) << c.name;
      EXPECT_EQ(error.where.column, c.column) << c.name;
      EXPECT_EQ(error.what(), c.message) << c.name;
    }
  }
}

// Mistakes that parse but cannot be compiled into a function of the point.
TEST(ModelSyntax, RefusesMeaninglessModels) {
  const std::string triangle(kTriangleModel);
  std::string unknown_function = triangle;
  unknown_function.replace(unknown_function.find("sqrt"), 4, "sqr");
  std::string wrong_index = triangle;
  wrong_index.replace(wrong_index.find("p0[1]))/as;"), 5, "p0[3]");
  std::string unknown_variable = triangle;
  unknown_variable.replace(unknown_variable.find("&s0)"), 3, "&s9");

  const struct {
    std::string name;
    std::string text;
    int line, column;
    std::string message;
  } cases[] = {
      {"unknown function", unknown_function, 7, 4, "unknown function 'sqr'"},
      {"index out of range", wrong_index, 8, 57,
       "index 3 is out of range for p0[2] (indices run from 1)"},
      {"unknown variable", unknown_variable, 20, 20, "unknown variable 's9'"},
      {"object never defined", "o(x[2]) { t = x[1]; }", 1, 1,
       "the object 'o' is never given a value (expected 'o = ...;')"},
      {"element used before it is set", "o(x[2]) { array p[2]; o = p[1]; }", 1, 27,
       "p[1] is used before it is assigned"},
      {"array used as a number", "o(x[2]) { p = [1, 2]; o = p; }", 1, 27,
       "'p' is an array; name one of its elements"},
      {"vector of the wrong size", "o(x[2]) { array p[2]; p = [1, 2, 3]; o = 1; }", 1, 27,
       "'p' has 2 elements but is given 3"},
      {"parameter used", "o(x[2], a[1]) { o = x[1] - a[1]; }", 1, 28,
       "a[1] is a parameter of the object and has no value to check with"},
      {"index depending on the point", "o(x[2]) { o = x[x[1]]; }", 1, 17,
       "the index of x must not depend on the point"},
      {"point assigned", "o(x[2]) { x = 1; o = 1; }", 1, 11,
       "'x' is a parameter of the object and cannot be assigned"},
      {"one coordinate", "o(x[1]) { o = 1; }", 1, 1,
       "the object's first parameter must be the point with at least two coordinates, such as "
       "x[3]"},
      {"sqrt with two arguments", "o(x[2]) { o = sqrt(1, 2); }", 1, 15,
       "sqrt takes one argument, not 2"},
  };
  for (const auto& c : cases) {
    try {
      compile_model(parse_model(c.text));
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const ModelError& error) {
      EXPECT_EQ(error.where.line, c.line) << c.name;
      EXPECT_EQ(error.where.column, c.column) << c.name;
      EXPECT_EQ(error.what(), c.message) << c.name;
    }
  }
}

TEST(ModelSyntax, RefusesNestingBeyondTheLimit) {
  const std::string nested =
      "o(x[2]) { o = " + std::string(30, '(') + "x[1]" + std::string(30, ')') + "; }";
  EXPECT_NO_THROW(parse_model(nested, 40));
  try {
    parse_model(nested, 20);
    ADD_FAILURE() << "accepted";
  } catch (const ModelError& error) {
    EXPECT_STREQ(error.what(), "expression nested more than 20 levels deep");
  }
  EXPECT_THROW(parse_model("o(x[2]) { o = " + std::string(50, '-') + "1; }", 20), ModelError);
}

// Random byte soup must be refused cleanly, never crash or hang.
TEST(ModelSyntax, SurvivesRandomBytes) {
  std::uint64_t state = 12345;
  const std::string alphabet = "()[]{},;=+-*/&|.e0123456789xsp \n-\x01";
  const std::string triangle(kTriangleModel);
  for (int round = 0; round < 2000; ++round) {
    std::string text = triangle;
    for (int edit = 0; edit < 3; ++edit) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      const std::size_t at = (state >> 33) % text.size();
      text[at] = alphabet[(state >> 13) % alphabet.size()];
    }
    try {
      const ModelSyntax syntax = parse_model(text);
      const CompiledModel model = compile_model(syntax);
      extract_formula(syntax, model);
      model_inside(model, {0.25, 0.25});
    } catch (const ModelError& error) {
      EXPECT_GE(error.where.line, 1);
      EXPECT_GE(error.where.column, 1);
    }
  }
}

}  // namespace
}  // namespace polyfrep
