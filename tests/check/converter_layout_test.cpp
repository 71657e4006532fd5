// Models laid out as the converter writes them are loaded without a syntax
// tree; however a text is loaded, it must mean what the syntax tree makes of
// it, bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "check/edge_functions.h"
#include "check/model_loading.h"
#include "check/model_text.h"
#include "check/region_classifier.h"
#include "check/sampling.h"
#include "formula/formula_text.h"
#include "support/polygon_generators.h"
#include "support/test_support.h"

namespace polyfrep {
namespace {

using testing::Digits;

// Doubles by their bits, so that two texts are equal only when every value
// is the same double.
std::string bits(std::initializer_list<double> values) {
  std::string text;
  for (const double value : values)
    text += " " + std::to_string(std::bit_cast<std::uint64_t>(value));
  return text;
}

// Points around the outline and just beside its edges' lines, where signs
// are decided by rounding.
std::vector<Point> probe_points(std::span<const Point> vertices, std::mt19937_64& random) {
  const Box box = sampling_box(vertices);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<Point> points;
  for (int k = 0; k < 40; ++k) {
    const Point a = vertices[random() % vertices.size()];
    const Point b = vertices[random() % vertices.size()];
    const double t = unit(random), nudge = (unit(random) - 0.5) * 1e-12;
    points.push_back({box.x_low + unit(random) * (box.x_high - box.x_low),
                      box.y_low + unit(random) * (box.y_high - box.y_low)});
    points.push_back({a.x + t * (b.x - a.x) + nudge * a.x, a.y + t * (b.y - a.y) - nudge * b.y});
  }
  return points;
}

// Everything the check reads from a loaded model, a line per part: its
// formula, its distance slots, every distance's and the object's value and
// bounds near the points, their affine forms, the classification of the
// points, the edge functions' findings and the model's problems.
std::vector<std::string> meaning(const LoadedModel& loaded, std::span<const Point> vertices,
                                 std::span<const Point> points) {
  const CompiledModel& model = loaded.model;
  std::vector<std::string> lines{compact_text(loaded.formula.formula) + loaded.formula.problem};
  std::vector<int> roots;
  for (const EdgeSlot& entry : model.edge_slots) {
    const VariableSlot& slot = model.slots[static_cast<std::size_t>(entry.slot)];
    const WrittenEdge* edge = slot_edge(model, slot);
    lines.push_back(std::to_string(entry.edge) + " " + std::string(slot_name(model, slot)) +
                    (edge ? bits({edge->start.x, edge->start.y, edge->end.x, edge->end.y}) : ""));
    roots.push_back(slot.root);
  }
  roots.push_back(model.root);
  PointEvaluator evaluator = make_point_evaluator(model);
  for (const Point p : points) {
    move_to(evaluator, p);
    const Box box{p.x - 1e-3 * std::fabs(p.x), p.x, p.y, p.y + 1e-3 * std::fabs(p.y)};
    for (const int root : roots) {
      const Interval bounds = node_interval(model, root, box);
      lines.push_back(bits({node_value(evaluator, root), bounds.low, bounds.high, bounds.magnitude,
                            bounds.known ? 1.0 : 0.0}));
    }
  }
  for (const AffineForm& form : affine_forms_of(model, roots)) {
    lines.push_back(
        bits({form.x_scale, form.y_scale, form.offset, form.x_size, form.y_size, form.offset_size,
              form.underflow, 1.0 * form.rounding_steps, form.affine ? 1.0 : 0.0}));
  }
  const std::vector<char> inside = classify_points(model, points);
  lines.emplace_back(inside.begin(), inside.end());
  const EdgeFunctionReport report = check_edge_functions(model, vertices, 3);
  lines.push_back(
      bits({1.0 * report.problem_count, 1.0 * report.vertices_compared, 1.0 * report.vertices_moved,
            report.largest_shift, 1.0 * report.largest_shift_vertex}));
  lines.insert(lines.end(), report.problems.begin(), report.problems.end());
  for (const ModelProblem& problem : model.problems)
    lines.push_back(std::to_string(problem.where.line) + ": " + problem.message);
  return lines;
}

// The first line where two meanings differ, or nothing.
std::string first_difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  for (std::size_t k = 0; k < std::max(a.size(), b.size()); ++k) {
    const std::string left = k < a.size() ? a[k] : "(none)";
    const std::string right = k < b.size() ? b[k] : "(none)";
    if (left != right) return "line " + std::to_string(k) + ":\n" + left + "\n" + right;
  }
  return {};
}

// The outline moved and scaled so that its coordinates need from one to
// seventeen digits, with exponents and signs.
std::vector<Point> rescaled(const std::vector<Point>& outline, std::mt19937_64& random) {
  std::uniform_real_distribution<double> exponent(-7, 9), shift(-1e4, 1e4);
  const double scale = std::pow(10.0, exponent(random));
  const Point offset{shift(random) * scale, shift(random) * scale};
  std::vector<Point> moved;
  for (const Point& p : outline)
    moved.push_back({offset.x + scale * p.x / 3, offset.y + scale * p.y / 7});
  return moved;
}

// Over generated outlines, their coordinates as generated and rescaled, and
// written with six digits, seventeen and widened: the layout is read
// straight whenever the model has no problem to report, and means what the
// syntax tree means.
TEST(ConverterLayout, MeansWhatTheSyntaxTreeMeans) {
  std::mt19937_64 random(2024);
  int laid_out = 0, with_problems = 0;
  for (const testing::NamedPolygon& polygon : testing::generated_polygons(6, 61)) {
    for (const bool moved : {false, true}) {
      const std::vector<Point> input =
          moved ? rescaled(polygon.vertices, random) : polygon.vertices;
      const std::string formula =
          formula_text(formula_tokens(polygon_formula(polygon.vertices)), kModelSpelling);
      for (const Digits digits : {Digits::Six, Digits::Seventeen, Digits::Widened}) {
        SCOPED_TRACE(polygon.name + (moved ? " rescaled" : "") + " digits " +
                     std::to_string(static_cast<int>(digits)));
        const std::string text = testing::model_text(input, formula, digits);
        const std::optional<LoadedModel> fast = load_converter_layout(text);
        const LoadedModel general = compile_model_text(text);
        ASSERT_EQ(fast.has_value(), general.model.problems.empty());
        with_problems += !fast;
        if (!fast) continue;
        ++laid_out;
        const std::vector<Point> points = probe_points(input, random);
        EXPECT_EQ(first_difference(meaning(*fast, input, points), meaning(general, input, points)),
                  "");
      }
    }
  }
  EXPECT_GT(laid_out, 100);
  EXPECT_GT(with_problems, 0);  // some generated outlines repeat a vertex
}

// The converter's own models, six-digit and widened, take the straight way.
TEST(ConverterLayout, ReadsWhatTheConverterWrites) {
  const std::vector<Point> six_digit = testing::triangle_vertices();
  // Six digits would merge the first two vertices: the model is widened.
  const std::vector<Point> widened = {{1000000, 0}, {1000001, 0}, {1000001, 1000000}};
  for (const std::vector<Point>& input : {six_digit, widened}) {
    testing::TempDir dir;
    testing::write_file(dir / "in.txt", testing::polygon_text(input));
    testing::run_program(testing::converter_path(), {"in.txt"}, dir.path());
    EXPECT_TRUE(load_converter_layout(testing::read_file(dir / "in.hf")).has_value());
  }
}

// The outcome of loading a text about the triangle: its error, or its
// meaning.
std::vector<std::string> outcome(const std::string& text, LoadedModel (*load)(std::string_view)) {
  std::mt19937_64 random(9);
  const std::vector<Point>& triangle = testing::triangle_vertices();
  try {
    return meaning(load(text), triangle, probe_points(triangle, random));
  } catch (const ModelError& error) {
    return {std::to_string(error.where.line) + ":" + std::to_string(error.where.column) + " " +
            error.what()};
  }
}

// Texts one step from the converter's layout are left to the syntax tree,
// which decides what they mean as it always has; texts the layout allows in
// less usual spellings are read straight and mean the same.
TEST(ConverterLayout, LeavesEverythingElseToTheSyntaxTree) {
  const std::string model(testing::kTriangleModel);
  const std::size_t second = model.find("p0 = [1, 0]");
  const std::string second_block = model.substr(second, model.find("p0 = [", second + 1) - second);
  const struct {
    const char* name;
    std::string from, to;
    bool straight;
  } cases[] = {
      {"no comment line", "--bounding box: xmin = 0, xmax = 1; ymin = 0, ymax = 1;\n", "", false},
      {"nothing but a comment", model, "--bounding box: empty", false},
      {"blank before the head", "\npolygon(x[3]", "\n polygon(x[3]", false},
      {"plus sign", "p0 = [0, 0]", "p0 = [+0, 0]", false},
      {"sign apart from its number", "p1 = [0, 1]", "p1 = [0, - 1]", false},
      {"number out of range", "p1 = [1, 0]", "p1 = [1, 1e999]", false},
      {"exponent without digits", "p1 = [1, 0]", "p1 = [1e, 0]", false},
      {"another operator in a distance", "+(x[2]", "-(x[2]", false},
      {"length line without its blank", "); \ns0", ");\ns0", false},
      {"a block for another edge", "s1 = ", "s2 = ", false},
      {"a missing block", second_block, "", false},
      {"formula edge with a leading zero", "(s2&s0)", "(s2&s00)", false},
      {"operators mixed without brackets", "(s1)&(s2&s0)", "s1&s2|s0", false},
      {"zero-length edge", "p1 = [1, 0]", "p1 = [0, 0]", false},
      {"length that overflows", "p1 = [1, 0]", "p1 = [1e200, 0]", false},
      {"formula line without its semicolon", ";\n}\n", "\n}\n\n", false},
      {"no line break at the end", "\n}\n", "\n}", false},
      {"numbers spelled unusually", "p1 = [1, 0]", "p1 = [1.E0, -.0e-0]", true},
      {"formula with blanks", "(s1)&(s2&s0)", "( s1 ) & (s2\n&s0)", true},
      {"comment of any text", "bounding box", "-\t\x01 anything", true},
  };
  for (const auto& c : cases) {
    std::string text = model;
    ASSERT_NE(text.find(c.from), std::string::npos) << c.name;
    text.replace(text.find(c.from), c.from.size(), c.to);
    EXPECT_EQ(load_converter_layout(text).has_value(), c.straight) << c.name;
    EXPECT_EQ(first_difference(outcome(text, load_model_text), outcome(text, compile_model_text)),
              "")
        << c.name;
  }
}

// A formula nested as deeply as the syntax tree's limit is refused there,
// and so is not read straight either.
TEST(ConverterLayout, LeavesTheDeepestFormulasToTheSyntaxTree) {
  std::string model(testing::kTriangleModel);
  const std::size_t formula = model.find("(s1)&(s2&s0)");
  model.replace(
      formula, 12,
      std::string(kMaxModelNesting, '(') + "s1)&(s2&s0" + std::string(kMaxModelNesting, ')'));
  EXPECT_FALSE(load_converter_layout(model).has_value());
  EXPECT_THROW(load_model_text(model), ModelError);
}

}  // namespace
}  // namespace polyfrep
