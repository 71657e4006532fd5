#include "check/model_program.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "check/edge_functions.h"
#include "check/model_formula.h"
#include "check/model_loading.h"
#include "check/model_text.h"
#include "check/region_classifier.h"

namespace polyfrep {
namespace {

using testing::model_text;

CompiledModel compile_text(const std::string& text) {
  return compile_model(parse_model(text));
}

// The signed distance of q from the line through a and b, positive on the
// left, computed another way than the model does.
double signed_distance(Point a, Point b, Point q) {
  const double length = std::hypot(b.x - a.x, b.y - a.y);
  return ((b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x)) / length;
}

std::vector<Point> random_outline(std::mt19937_64& random, int count, double spread) {
  std::uniform_real_distribution<double> coordinate(-spread, spread);
  std::vector<Point> vertices;
  for (int i = 0; i < count; ++i)
    vertices.push_back({coordinate(random), coordinate(random)});
  return vertices;
}

TEST(ModelProgram, EdgeFunctionsAreSignedDistances) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> coordinate(-50, 50);
  for (int round = 0; round < 200; ++round) {
    const std::vector<Point> edge = random_outline(random, 2, 1000);
    const std::string text = model_text(edge, "s0");
    const CompiledModel model = compile_text(text);
    // The model holds the edge rounded to six digits, as written.
    const Point start = slot_edge(model, model.slots[0])->start;
    const Point end = slot_edge(model, model.slots[0])->end;
    EXPECT_NEAR(start.x, edge[0].x, 1e-5 * std::fabs(edge[0].x) + 1e-300);
    for (int k = 0; k < 20; ++k) {
      const Point q{coordinate(random), coordinate(random)};
      const double expected = signed_distance(start, end, q);
      EXPECT_NEAR(model_value(model, q), expected, 1e-9 * (1 + std::fabs(expected)));
    }
  }
}

TEST(ModelProgram, IntersectionIsMinimumAndUnionMaximum) {
  const std::vector<Point> square = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  const CompiledModel all = compile_text(model_text(square, "(s0&s1)&(s2&s3)"));
  const CompiledModel any = compile_text(model_text(square, "s0|s1|s2|s3"));
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> coordinate(-2, 6);
  for (int k = 0; k < 500; ++k) {
    const Point q{coordinate(random), coordinate(random)};
    double smallest = INFINITY, largest = -INFINITY;
    for (int i = 0; i < 4; ++i) {
      const double distance = signed_distance(square[i], square[(i + 1) % 4], q);
      smallest = std::min(smallest, distance);
      largest = std::max(largest, distance);
    }
    EXPECT_NEAR(model_value(all, q), smallest, 1e-12);
    EXPECT_NEAR(model_value(any, q), largest, 1e-12);
    EXPECT_EQ(model_inside(all, q), model_value(all, q) > 0);
    EXPECT_EQ(model_inside(any, q), model_value(any, q) > 0);
  }
}

// Arithmetic follows the usual precedence and gives the same bits as C++
// evaluating the same operations in the same order.
TEST(ModelProgram, EvaluatesArithmeticExactly) {
  const std::string text =
      "f(x[3]) {\n"
      "  array v[2];\n"
      "  v = [1.5e-1, -2];\n"
      "  v[2] = v[2] * 3 - 1;\n"
      "  k = sqrt(v[1] * v[1] + 2) / 7;\n"
      "  t = -x[1] * k + x[2] / v[2] - (x[1] - 2e+1) * (x[2] + .5);\n"
      "  f = t - -x[3] + 3 * 2 - 8 / 4 / 2;\n"
      "}\n";
  const CompiledModel model = compile_text(text);
  EXPECT_TRUE(model.problems.empty());
  const double v1 = 1.5e-1, v2 = -2.0 * 3 - 1;
  const double k = std::sqrt(v1 * v1 + 2) / 7;
  for (const Point q : {Point{0.3, -7.25}, Point{1e6, 3e-7}, Point{-2, 2}}) {
    const double t = -q.x * k + q.y / v2 - (q.x - 2e+1) * (q.y + .5);
    const double expected = t - -0.0 + 3 * 2 - 8.0 / 4 / 2;
    EXPECT_EQ(model_value(model, q), expected);
  }
}

// Only the parts that depend on the point stay in the tree; a variable
// that does not is folded into a constant.
TEST(ModelProgram, FoldsWhatDoesNotDependOnThePoint) {
  const CompiledModel model =
      compile_text(model_text(testing::triangle_vertices(), "(s1)&(s2&s0)"));
  EXPECT_EQ(model.slots.size(), 3u);
  int coordinates = 0, roots = 0;
  for (const ExpressionNode& node : model.nodes) {
    if (node.operation == Operation::Coordinate) ++coordinates;
    if (node.operation == Operation::SquareRoot) ++roots;
  }
  EXPECT_EQ(roots, 0);
  EXPECT_EQ(coordinates, 3);  // x[1], x[2], x[3] declared once each
}

TEST(ModelProgram, ReportsValuesThatAreNotNumbers) {
  const struct {
    const char* text;
    const char* message;
    bool inside_at_origin;
  } cases[] = {
      {"o(x[2]) { as = 0; o = x[1] / as; }", "division by zero in the value of o", false},
      {"o(x[2]) { as = 1 / 0; o = x[1] - as; }", "division by zero in the value of as", false},
      {"o(x[2]) { r = sqrt(-1); o = r + x[1]; }",
       "square root of a negative number in the value of r", false},
      {"o(x[2]) { big = 1e300 * 1e300; o = x[1] - 1; }",
       "a result that is not a finite number in the value of big", false},
  };
  for (const auto& c : cases) {
    const CompiledModel model = compile_text(c.text);
    ASSERT_EQ(model.problems.size(), 1u) << c.text;
    EXPECT_EQ(model.problems[0].message, c.message);
    EXPECT_EQ(model_inside(model, {0, 0}), c.inside_at_origin) << c.text;
  }
}

// A half-plane that is not a number is empty: it never makes "&" true and
// never stops "|" from being true.
TEST(ModelProgram, NotANumberCountsAsEmpty) {
  const std::vector<Point> with_repeat = {{0, 0}, {4, 0}, {4, 0}, {0, 4}};
  const CompiledModel model = compile_text(model_text(with_repeat, "(s0&s1)&(s2&s3)"));
  EXPECT_EQ(model.problems.size(), 1u);
  EXPECT_FALSE(model_inside(model, {1, 1}));
  EXPECT_EQ(model_value(model, {1, 1}), -INFINITY);
  const CompiledModel either = compile_text(model_text(with_repeat, "(s1|s0)&(s2&s3)"));
  EXPECT_TRUE(model_inside(either, {1, 1}));
  EXPECT_GT(model_value(either, {1, 1}), 0);
}

// A random expression as the model text writes it, with only the
// parentheses that binding needs and a few more, and its value at one point
// computed here by C++ with the same operations in the same order.
struct WrittenExpression {
  std::string text;
  int level = 3;  // how loosely it binds: 0 "&" and "|", 1 "+" "-", 2 "*" "/", 3 an operand
  double value = 0;
};

double lowest_if_not_a_number(double value) {
  return std::isnan(value) ? -INFINITY : value;
}

WrittenExpression in_parentheses(WrittenExpression expression) {
  expression.text = "(" + expression.text + ")";
  expression.level = 3;
  return expression;
}

WrittenExpression random_expression(std::mt19937_64& random, Point at, int depth) {
  const auto operand = [&](int tighter_than) {
    WrittenExpression written = random_expression(random, at, depth - 1);
    return written.level <= tighter_than || random() % 6 == 0 ? in_parentheses(written) : written;
  };
  switch (depth == 0 ? random() % 4 : random() % 14) {
    case 0:
    case 1: {
      const double number = static_cast<double>(random() % 41) / 4;
      return {testing::g_text(number), 3, number};
    }
    case 2:
      return {"x[1]", 3, at.x};
    case 3:
      return random() % 2 ? WrittenExpression{"x[2]", 3, at.y} : WrittenExpression{"x[3]", 3, 0};
    case 4: {
      // A space keeps "- -" from reading as a comment.
      const WrittenExpression negated = operand(2);
      return {"- " + negated.text, 3, -negated.value};
    }
    case 5: {
      const WrittenExpression kept = operand(2);
      return {"+" + kept.text, 3, kept.value};
    }
    case 6: {
      const WrittenExpression argument = random_expression(random, at, depth - 1);
      return {"sqrt(" + argument.text + ")", 3, std::sqrt(argument.value)};
    }
    default:
      break;
  }
  const char symbol = "+-*/&|"[random() % 6];
  const int level = symbol == '&' || symbol == '|' ? 0 : symbol == '+' || symbol == '-' ? 1 : 2;
  // Operators of one level group from the left: a right operand of the same
  // level needs parentheses.
  const WrittenExpression left = operand(level - 1);
  const WrittenExpression right = operand(level);
  const double a = left.value, b = right.value;
  const double value = symbol == '+'   ? a + b
                       : symbol == '-' ? a - b
                       : symbol == '*' ? a * b
                       : symbol == '/' ? a / b
                       : symbol == '&'
                           ? std::min(lowest_if_not_a_number(a), lowest_if_not_a_number(b))
                           : std::max(lowest_if_not_a_number(a), lowest_if_not_a_number(b));
  return {left.text + " " + symbol + " " + right.text, level, value};
}

// Reading, compiling and evaluating follow the text's binding and give the
// bits C++ gives; the sign agrees with the value.
TEST(ModelProgram, EvaluatesRandomExpressionsAsWritten) {
  std::mt19937_64 random(19);
  std::uniform_real_distribution<double> coordinate(-3, 3);
  for (int round = 0; round < 3000; ++round) {
    const Point at{coordinate(random), coordinate(random)};
    const WrittenExpression expression = random_expression(random, at, 1 + round % 6);
    const CompiledModel model = compile_text("o(x[3]) {\n  o = " + expression.text + ";\n}\n");
    const double value = model_value(model, at);
    EXPECT_TRUE(value == expression.value || (std::isnan(value) && std::isnan(expression.value)))
        << expression.text << " gives " << value << ", not " << expression.value;
    EXPECT_EQ(model_inside(model, at), expression.value > 0) << expression.text;
  }
}

// Expressions nested far deeper than a call stack could follow: a sum that
// grows to the left, signs before signs, parentheses in parentheses and
// indices of indices, each a million levels deep.
TEST(ModelProgram, FollowsExpressionsOfAnyDepth) {
  const int depth = 1000000;
  const Point at{0.75, -2.5};
  std::string sum = "x[1]";
  double sum_value = at.x, sum_constant = 0;
  for (int i = 0; i < depth; ++i) {
    sum += i % 2 == 0 ? " + 0.25" : " - 0.5";
    sum_value += i % 2 == 0 ? 0.25 : -0.5;
    sum_constant += i % 2 == 0 ? 0.25 : -0.5;
  }
  std::string signs;
  for (int i = 0; i <= depth; ++i)
    signs += "- ";
  std::string indices = "x[2] - ";
  for (int i = 0; i < depth; ++i)
    indices += "v[";
  // v[1] is 2 and v[2] is 1: an even number of indices comes back to 1.
  indices += "1" + std::string(depth, ']');
  const struct {
    std::string name;
    std::string value;
    double expected;
    LinearForm form;
  } cases[] = {
      {"sum", sum, sum_value, {true, sum_constant, 1, 0}},
      {"signs", signs + "x[1]", -at.x, {true, 0, -1, 0}},
      {"parentheses",
       std::string(depth, '(') + "x[2]" + std::string(depth, ')'),
       at.y,
       {true, 0, 0, 1}},
      {"indices", indices, at.y - 1, {true, -1, 0, 1}},
  };
  for (const auto& c : cases) {
    const std::string text = "o(x[3]) {\n  array v[2];\n  v = [2, 1];\n  o = " + c.value + ";\n}\n";
    const CompiledModel model = compile_model(parse_model(text, 2 * depth));
    EXPECT_EQ(model_value(model, at), c.expected) << c.name;
    EXPECT_EQ(model_inside(model, at), c.expected > 0) << c.name;
    const LinearForm form = linear_form(model, model.root);
    EXPECT_TRUE(form.linear) << c.name;
    EXPECT_EQ(form.constant, c.form.constant) << c.name;
    EXPECT_EQ(form.x, c.form.x) << c.name;
    EXPECT_EQ(form.y, c.form.y) << c.name;
    const Interval bounds = node_interval(model, model.root, Box{at.x, at.x, at.y, at.y});
    ASSERT_TRUE(bounds.known) << c.name;
    EXPECT_EQ(bounds.low, c.expected) << c.name;
    EXPECT_EQ(bounds.high, c.expected) << c.name;
  }
}

TEST(ModelProgram, DistanceNamesGiveEdgeNumbers) {
  const struct {
    const char* name;
    int edge;
  } cases[] = {{"s0", 0},  {"s7", 7},          {"s12", 12}, {"s2147483647", 2147483647},
               {"s", -1},  {"s01", -1},        {"t1", -1},  {"s1a", -1},
               {"S1", -1}, {"s2147483648", -1}};
  for (const auto& c : cases)
    EXPECT_EQ(edge_of_distance_name(c.name), c.edge) << c.name;
}

TEST(ModelFormula, FollowsTheGroupingOfTheText) {
  const struct {
    const char* formula;
    const char* compact;
  } cases[] = {
      {"(s1)&(s2&s0)", "(1)*(2*0)"}, {"(s2)&((s3&s0)&(s1))", "(2)*((3*0)*(1))"}, {"s0|s1", "0+1"},
      {"s0&s1|s2", "(0*1)+(2)"},     {"s0&(s1|s2)&s3", "((0)*(1+2))*(3)"},       {"((s3))", "3"},
  };
  const std::vector<Point> square = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (const auto& c : cases) {
    const ModelSyntax syntax = parse_model(model_text(square, c.formula));
    const ModelFormula formula = extract_formula(syntax, compile_model(syntax));
    ASSERT_TRUE(formula.complete) << c.formula << ": " << formula.problem;
    EXPECT_EQ(compact_text(formula.formula), c.compact) << c.formula;
  }
}

TEST(ModelFormula, RefusesWhatIsNotAnEdgeFormula) {
  const struct {
    const char* formula;
    const char* problem;
    int column;
  } cases[] = {
      {"s0&-s1", "the formula holds more than edge distances sN, '&', '|' and parentheses", 14},
      {"s0&as", "operand 'as' is not an edge distance sN", 14},
      {"(s0&s1)+s2", "the formula holds more than edge distances sN, '&', '|' and parentheses", 18},
      {"s0|s9", "'s9' is not a distance that depends on the point", 14},
  };
  const std::vector<Point> square = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (const auto& c : cases) {
    std::string text = model_text(square, c.formula);
    text.insert(text.find("polygon = "), "s9 = 1;\n");
    const ModelSyntax syntax = parse_model(text);
    const ModelFormula formula = extract_formula(syntax, compile_model(syntax));
    EXPECT_FALSE(formula.complete) << c.formula;
    EXPECT_TRUE(formula.formula.nodes.empty());
    EXPECT_EQ(formula.problem, c.problem) << c.formula;
    EXPECT_EQ(formula.where.column, c.column) << c.formula;
  }
}

// A random "&"/"|" formula over the given edges, each used once.
std::string random_formula(std::mt19937_64& random, std::vector<int> edges) {
  std::string formula = "s";
  if (edges.size() == 1) return formula + std::to_string(edges[0]);
  std::shuffle(edges.begin(), edges.end(), random);
  const std::size_t split = 1 + random() % (edges.size() - 1);
  const std::vector<int> left(edges.begin(), edges.begin() + static_cast<long>(split));
  const std::vector<int> right(edges.begin() + static_cast<long>(split), edges.end());
  formula = "(";
  formula += random_formula(random, left);
  formula += random() % 2 ? ")&(" : ")|(";
  formula += random_formula(random, right);
  formula += ")";
  return formula;
}

// The box-by-box classification must agree with evaluating every point on
// its own, also right next to the edges where the sign is decided by
// rounding, whether a leaf's sign comes from its bounds or its value, for
// the model compiled from its syntax tree and for the one read straight
// from the converter's layout, whose distance nodes are evaluated at many
// points at once.
TEST(RegionClassifier, AgreesWithPointwiseEvaluation) {
  std::mt19937_64 random(11);
  for (int round = 0; round < 60; ++round) {
    const int count = 3 + static_cast<int>(random() % 40);
    const double spread = round % 3 == 0 ? 1e-3 : round % 3 == 1 ? 10 : 1e5;
    const std::vector<Point> outline = random_outline(random, count, spread);
    std::vector<int> edges(static_cast<std::size_t>(count));
    std::iota(edges.begin(), edges.end(), 0);
    const std::string text = model_text(outline, random_formula(random, edges));
    const CompiledModel model = compile_text(text);
    const std::optional<LoadedModel> laid_out = load_converter_layout(text);
    ASSERT_TRUE(laid_out.has_value());
    // Every tenth round has enough points to be classified on two threads.
    std::vector<Point> points =
        random_outline(random, round % 10 == 0 ? 23000 : 3000, spread * 1.2);
    std::uniform_real_distribution<double> along(0, 1);
    for (int i = 0; i < 2000; ++i) {
      const WrittenEdge& edge = model.written_edges[random() % model.written_edges.size()];
      const double t = along(random);
      const double off = (along(random) - 0.5) * spread * 1e-12;
      points.push_back({edge.start.x + t * (edge.end.x - edge.start.x) + off,
                        edge.start.y + t * (edge.end.y - edge.start.y) - off});
    }
    for (const CompiledModel* classified : {&model, &laid_out->model}) {
      const std::vector<char> inside = classify_points(*classified, points);
      int mismatches = 0;
      for (std::size_t i = 0; i < points.size(); ++i) {
        if ((inside[i] != 0) != model_inside(*classified, points[i])) ++mismatches;
      }
      EXPECT_EQ(mismatches, 0) << "round " << round;
    }
  }
}

TEST(RegionClassifier, BoundsContainEveryValueInTheBox) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int round = 0; round < 200; ++round) {
    const std::vector<Point> edge = random_outline(random, 2, 100);
    const CompiledModel model = compile_text(model_text(edge, "s0"));
    const Box box{-unit(random) * 80, unit(random) * 80, -unit(random) * 80, unit(random) * 80};
    const Interval bounds = node_interval(model, model.root, box);
    ASSERT_TRUE(bounds.known);
    for (int k = 0; k < 50; ++k) {
      const Point q{box.x_low + unit(random) * (box.x_high - box.x_low),
                    box.y_low + unit(random) * (box.y_high - box.y_low)};
      const double value = model_value(model, q);
      const double slack = 1e-12 * bounds.magnitude;
      EXPECT_GE(value, bounds.low - slack);
      EXPECT_LE(value, bounds.high + slack);
    }
  }
}

}  // namespace
}  // namespace polyfrep
