#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "check/model_program.h"
#include "check/model_syntax.h"
#include "check/model_text.h"
#include "support/polygon_generators.h"
#include "support/test_support.h"

namespace polyfrep {
namespace {

using testing::CommandResult;
using testing::kTriangleModel;
using testing::model_text;
using testing::polygon_text;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::filesystem::path checker_path() {
  return POLYFREP_CHECK_EXECUTABLE;
}

CommandResult run_checker(const TempDir& dir, const std::vector<std::string>& arguments) {
  return testing::run_program(checker_path(), arguments, dir.path());
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The pentagon (0,0) (3,0) (1,3) (1,1) (2,1) and the L-shaped hexagon.
const std::vector<Point> kPentagon = {{0, 0}, {3, 0}, {1, 3}, {1, 1}, {2, 1}};
const std::vector<Point> kHexagon = {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};

// A square whose top has a dent of 1e-8 at its middle: the dent rounds away
// in six digits, so the model as written is a plain square, and a formula
// that intersects at the dent is wrong only in slivers 1e-8 thin.
const std::vector<Point> kDentedSquare = {{0, 0}, {1, 0}, {1, 1}, {0.5, 0.99999999}, {0, 1}};

// The unit square closed by repeating its first vertex at the end.
const std::vector<Point> kSquareClosed = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}};

// A U whose pocket walls lean towards each other: their lines cross at
// (2, -26), far below the outline, and the region left of both lies there.
const std::vector<Point> kLeaningU = {{0, 0},   {4, 0},   {4, 4}, {3, 4},
                                      {2.9, 1}, {1.1, 1}, {1, 4}, {0, 4}};
constexpr const char* kLeaningUFormula = "((s3|s4)|(s5&s6))&((s7&s0)&(s1&s2))";

struct CliCase {
  std::string name;
  std::vector<Point> vertices;
  std::string formula;
  std::vector<std::string> extra_arguments;
  int exit_code;
  std::vector<std::string> expected_lines;  // each must appear as a whole line or line start
  std::vector<std::string> absent;
};

bool has_line_starting(const std::string& output, const std::string& start) {
  return output.rfind(start, 0) == 0 || contains(output, "\n" + start);
}

// Each case writes the outline and a model of it with the given formula and
// checks the exit status and the findings.
TEST(CheckerCommandLine, Findings) {
  std::vector<Point> clockwise = testing::triangle_vertices();
  std::reverse(clockwise.begin(), clockwise.end());
  const CliCase cases[] = {
      {"right triangle",
       testing::triangle_vertices(),
       "(s1)&(s2&s0)",
       {},
       0,
       {"vertices: 3\n", "orientation: counter-clockwise\n", "zero-length edges: none\n",
        "self-intersections: none\n",
        "edge functions: s0 to s2, each the signed distance from its edge as written, positive "
        "on its left\n",
        "precision: no vertex moved: 3 of 3 vertices are written exactly\n",
        "exact check: proven by the chain certificate: the formula describes the polygon as "
        "written\n",
        "sampling: 0 of ", "verdict: proven right\n"},
       {}},
      {"pentagon with a wrong grouping",
       kPentagon,
       "(s1)&((s2)&((s3|s4)&(s0)))",
       {},
       1,
       {"orientation: counter-clockwise\n", "self-intersections: none\n",
        "exact check: the formula does not describe the polygon as written: ",
        "verdict: not right (exact check, sampling)\n"},
       {"sampling: 0 of "}},
      {"hexagon",
       kHexagon,
       "((s2|s3)&(s4))&((s5&s0)&(s1))",
       {},
       0,
       {"verdict: proven right\n"},
       {}},
      {"hexagon with its reflex corner intersected",
       kHexagon,
       "((s2&s3)&(s4))&((s5&s0)&(s1))",
       {},
       1,
       {"exact check: the formula does not describe the polygon as written: ", "sampling: at (",
        "verdict: not right (exact check, sampling)\n"},
       {}},
      {"hexagon with a convex corner united",
       kHexagon,
       "((s2|s3)&(s4))&((s5|s0)&(s1))",
       {},
       1,
       {"exact check: the formula does not describe the polygon as written: "},
       {"verdict: proven right"}},
      {"dented square",
       kDentedSquare,
       "((s0&s1)&(s2|s3))&(s4)",
       {},
       0,
       {"precision: largest shift 1e-08 (vertex 3); 1 of 5 vertices moved by rounding to six "
        "significant digits\n",
        "verdict: proven right\n"},
       {}},
      // Six digits straighten the dent: the model as written describes its
      // own polygon, and says that the input's is another matter.
      {"dented square wrong in thin slivers only",
       kDentedSquare,
       "((s0&s1)&(s2&s3))&(s4)",
       {},
       0,
       {"exact check: proven by the chain certificate: ",
        "on the input: the formula does not describe the input's own polygon: ",
        "verdict: proven right\n"},
       {}},
      {"leaning U", kLeaningU, kLeaningUFormula, {}, 0, {"verdict: proven right\n"}, {}},
      {"leaning U wrong only far outside",
       kLeaningU,
       std::string("(") + kLeaningUFormula + ")|(s3&s5)",
       {"--samples", "100000"},
       1,
       {"exact check: the formula does not describe the polygon as written: ", "sampling: 0 of ",
        "verdict: not right (exact check)\n"},
       {}},
      {"clockwise triangle",
       clockwise,
       "(s0&s1)&s2",
       {},
       1,
       {"orientation: clockwise: the model describes the edges' left sides, which lie outside the "
        "polygon; reverse the vertex order of the input\n"},
       {}},
      {"repeated vertex",
       {{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}},
       "((s0|s1)&(s2))&((s3)&(s4))",
       {},
       1,
       {"zero-length edges: 1 (edge 1 from vertex 1 to vertex 2): a repeated vertex; the edge's "
        "distance function divides by zero; remove the repeated vertex from the input\n",
        "model: poly.hf:13:61: division by zero in the value of s1\n",
        "exact check: proven by the full exact check: the formula describes the polygon as "
        "written\n"},
       {}},
      // The last edge runs from the repeated vertex back to the first one.
      // Its half-plane is empty: a union with it changes nothing, while an
      // intersection with it empties the region.
      {"square with its first vertex repeated at the end, empty edge united",
       kSquareClosed,
       "((s0&s1)&(s2&s3))|s4",
       {},
       1,
       {"zero-length edges: 1 (edge 4 from vertex 4 to vertex 0): a repeated vertex; the edge's "
        "distance function divides by zero; remove the repeated vertex from the input\n",
        "model: poly.hf:28:61: division by zero in the value of s4\n",
        "exact check: proven by the full exact check: ",
        "verdict: not right (zero-length edges, model)\n"},
       {}},
      {"square with its first vertex repeated at the end, empty edge intersected",
       kSquareClosed,
       "((s0&s1)&(s2&s3))&s4",
       {},
       1,
       {"zero-length edges: 1 (edge 4 from vertex 4 to vertex 0): ",
        "exact check: the formula does not describe the polygon as written: ",
        "verdict: not right (zero-length edges, model, exact check, sampling)\n"},
       {}},
      {"midpoints of some edges",
       kLeaningU,
       kLeaningUFormula,
       {"--midpoints", "3"},
       0,
       {"sampling: 0 of 60006 points disagree (grid 200x200, 20000 random, 2 beside the midpoints "
        "of 3 of the 8 edges, evenly spread; 0 skipped within "},
       {}},
      {"bow tie",
       {{0, 0}, {2, 2}, {2, 0}, {0, 2}},
       "(s0&s1)&(s2&s3)",
       {},
       1,
       {"self-intersections: edges 0 and 2\n"},
       {}},
  };
  for (const CliCase& c : cases) {
    TempDir dir;
    write_file(dir / "in.txt", polygon_text(c.vertices));
    write_file(dir / "poly.hf", model_text(c.vertices, c.formula));
    std::vector<std::string> arguments = {"in.txt", "poly.hf"};
    arguments.insert(arguments.end(), c.extra_arguments.begin(), c.extra_arguments.end());
    const CommandResult result = run_checker(dir, arguments);
    EXPECT_EQ(result.exit_code, c.exit_code) << c.name << "\n" << result.standard_output;
    EXPECT_EQ(result.standard_error, "") << c.name;
    for (const std::string& line : c.expected_lines) {
      EXPECT_TRUE(has_line_starting(result.standard_output, line))
          << c.name << ": no line " << line << "\n"
          << result.standard_output;
    }
    for (const std::string& line : c.absent) {
      EXPECT_FALSE(contains(result.standard_output, line)) << c.name << ": " << line;
    }
  }
}

TEST(CheckerCommandLine, PentagonModelIsNegativeInside) {
  const CompiledModel model =
      compile_model(parse_model(model_text(kPentagon, "(s1)&((s2)&((s3|s4)&(s0)))")));
  EXPECT_LT(model_value(model, {0.8, 0.1}), 0);
  EXPECT_FALSE(model_inside(model, {0.8, 0.1}));
}

TEST(CheckerCommandLine, HandWrittenTriangleModelIsProvenRight) {
  TempDir dir;
  write_file(dir / "tri.txt", "3\n0 0\n1 0\n0 1\n");
  write_file(dir / "tri.hf", std::string(kTriangleModel));
  // The model name comes from the input name when it is not given.
  const CommandResult result = run_checker(dir, {"tri.txt"});
  EXPECT_EQ(result.exit_code, 0) << result.standard_output << result.standard_error;
  EXPECT_TRUE(
      has_line_starting(result.standard_output, "exact check: proven by the chain certificate: "));
}

TEST(CheckerCommandLine, ModelForAnotherPolygon) {
  TempDir dir;
  write_file(dir / "in.txt", polygon_text(kHexagon));
  std::vector<Point> other = kHexagon;
  other[3] = {1.5, 1.5};
  write_file(dir / "poly.hf", model_text(other, "((s2|s3)&(s4))&((s5&s0)&(s1))"));
  const CommandResult result = run_checker(dir, {"in.txt", "poly.hf"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_TRUE(has_line_starting(result.standard_output,
                                "edge functions: s2 is written for the edge (2, 1) to (1.5, 1.5), "
                                "but edge 2 of the input runs from (2, 1) to (1, 1)\n"))
      << result.standard_output;
}

TEST(CheckerCommandLine, ShortInputIsReported) {
  TempDir dir;
  write_file(dir / "in.txt", "4\n0 0\n1 0\n1 1\n");
  const std::vector<Point> as_read = {{0, 0}, {1, 0}, {1, 1}, {1, 1}};
  write_file(dir / "poly.hf", model_text(as_read, "((s0&s1)&(s2|s3))"));
  const CommandResult result = run_checker(dir, {"in.txt", "poly.hf"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_TRUE(has_line_starting(result.standard_output,
                                "input: only 6 of 8 coordinates could be read; vertex 3 and later "
                                "repeat the last values read, as the converter takes them\n"))
      << result.standard_output;
}

// Problems that stop the check: exit status 2, one message on stderr and
// nothing on stdout.
TEST(CheckerCommandLine, UsageAndFileErrors) {
  std::string missing_semicolon(kTriangleModel);
  missing_semicolon.erase(missing_semicolon.find("];\np1 = [1, 0]") + 1, 1);
  const std::string triangle(kTriangleModel);
  const std::size_t formula_line = triangle.find("polygon = ");
  const std::string no_formula_line =
      triangle.substr(0, formula_line) + triangle.substr(triangle.find("}", formula_line));
  const std::string empty_formula = triangle.substr(0, formula_line) + "polygon = ;\n}\n";
  const struct {
    std::string name;
    std::vector<std::string> arguments;
    std::string model;
    std::string message;
  } cases[] = {
      {"no arguments", {}, "", "polyfrep-check: the input file is missing\n"},
      {"unknown option",
       {"tri.txt", "--colour"},
       "",
       "polyfrep-check: unknown option '--colour'\n"},
      {"samples not a number",
       {"tri.txt", "--samples", "many"},
       "",
       "polyfrep-check: --samples needs a whole number from 0 to 100000000, not 'many'\n"},
      {"svg without a file", {"tri.txt", "--svg"}, "", "polyfrep-check: --svg needs a value\n"},
      {"three file names",
       {"tri.txt", "a.hf", "b.hf"},
       "",
       "polyfrep-check: too many file names\n"},
      {"missing input",
       {"absent.txt", "tri.hf"},
       std::string(kTriangleModel),
       "polyfrep-check: cannot open absent.txt: No such file or directory\n"},
      {"missing model",
       {"tri.txt", "absent.hf"},
       "",
       "polyfrep-check: cannot open absent.hf: No such file or directory\n"},
      {"syntax error",
       {"tri.txt", "tri.hf"},
       missing_semicolon,
       "polyfrep-check: tri.hf:6:1: expected ';', found 'p1'\n"},
      {"too few vertices",
       {"two.txt", "tri.hf"},
       std::string(kTriangleModel),
       "polyfrep-check: two.txt: 2 vertices; a polygon needs at least 3\n"},
      {"no count",
       {"empty.txt", "tri.hf"},
       std::string(kTriangleModel),
       "polyfrep-check: empty.txt: the file does not begin with a vertex count\n"},
      {"no formula line",
       {"tri.txt", "tri.hf"},
       no_formula_line,
       "polyfrep-check: tri.hf:2:1: the object 'polygon' is never given a value"},
      {"empty formula",
       {"tri.txt", "tri.hf"},
       empty_formula,
       "polyfrep-check: tri.hf:20:11: expected a number, a name or '('"},
      {"too many vertices",
       {"huge.txt", "tri.hf"},
       std::string(kTriangleModel),
       "polyfrep-check: huge.txt: the vertex count 999999999 is too large"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir / "tri.txt", "3\n0 0\n1 0\n0 1\n");
    write_file(dir / "two.txt", "2\n0 0\n1 0\n");
    write_file(dir / "empty.txt", "");
    write_file(dir / "huge.txt", "999999999\n0 0\n");
    if (!c.model.empty()) write_file(dir / "tri.hf", c.model);
    const CommandResult result = run_checker(dir, c.arguments);
    EXPECT_EQ(result.exit_code, 2) << c.name;
    EXPECT_EQ(result.standard_output, "") << c.name;
    EXPECT_EQ(result.standard_error.substr(0, c.message.size()), c.message) << c.name;
  }
}

// Nesting beyond the limit is refused, with the place.
TEST(CheckerCommandLine, TooDeepNestingIsRefused) {
  TempDir dir;
  write_file(dir / "tri.txt", "3\n0 0\n1 0\n0 1\n");
  const std::size_t depth = kMaxModelNesting + 1;
  write_file(dir / "tri.hf",
             model_text(testing::triangle_vertices(),
                        std::string(depth, '(') + "s0&s1&s2" + std::string(depth, ')')));
  const CommandResult result = run_checker(dir, {"tri.txt", "tri.hf"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.standard_output, "");
  EXPECT_EQ(result.standard_error,
            "polyfrep-check: tri.hf:20:10000011: expression nested more "
            "than 10000000 levels deep\n");
}

// A formula a million levels deep twice over: its first edge in a million
// parentheses, then a million intersections, each in parentheses with the
// next edge: "((((...(s0)...)&s1)&s2)&s3)&s1)...". The polygon is a triangle
// with one corner cut off by a short edge, which the chain repeats: only the
// boxes at that corner keep many of its leaves, so sampling stays quick. The
// formula is read, compiled, proven exactly and sampled.
TEST(CheckerCommandLine, DeeplyNestedFormula) {
  const std::size_t depth = 1000000;
  const std::vector<Point> cut_triangle = {{0, 0}, {99999, 0}, {99999, 1}, {0, 100000}};
  std::string formula = std::string(depth, '(') + std::string(depth, '(') + "s0";
  formula += std::string(depth, ')') + "&s1)&s2)&s3)";
  for (std::size_t level = 4; level <= depth; ++level)
    formula += "&s1)";
  TempDir dir;
  write_file(dir / "in.txt", polygon_text(cut_triangle));
  write_file(dir / "in.hf", model_text(cut_triangle, formula));
  const CommandResult result = run_checker(dir, {"in.txt", "in.hf", "--samples", "100"});
  EXPECT_EQ(result.exit_code, 0) << result.standard_output << result.standard_error;
  // Its leaves repeat s1, so only the full check can prove it.
  EXPECT_TRUE(
      has_line_starting(result.standard_output, "exact check: proven by the full exact check: "));
  EXPECT_TRUE(has_line_starting(result.standard_output, "sampling: 0 of "));
}

TEST(CheckerCommandLine, DrawsThePicture) {
  TempDir dir;
  write_file(dir / "in.txt", polygon_text(kHexagon));
  write_file(dir / "poly.hf", model_text(kHexagon, "((s2&s3)&(s4))&((s5&s0)&(s1))"));
  const CommandResult result = run_checker(dir, {"in.txt", "poly.hf", "--svg", "out.svg"});
  EXPECT_EQ(result.exit_code, 1);
  const std::string svg = read_file(dir / "out.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_TRUE(contains(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\""));
  EXPECT_TRUE(contains(svg, "verdict: not right (exact check, sampling)"));
  EXPECT_TRUE(contains(svg, "poly.hf against in.txt"));
  EXPECT_TRUE(contains(svg, "<polygon fill=\"none\""));
  EXPECT_TRUE(contains(svg, "<rect x="));           // the model's region
  EXPECT_TRUE(contains(svg, "<circle r=\"3.5\""));  // a disagreeing sample
  EXPECT_TRUE(contains(svg, "</svg>\n"));

  const CommandResult unwritable =
      run_checker(dir, {"in.txt", "poly.hf", "--svg", "no/such/dir/out.svg"});
  EXPECT_EQ(unwritable.exit_code, 2);
  EXPECT_EQ(unwritable.standard_error,
            "polyfrep-check: cannot write no/such/dir/out.svg: No such file or directory\n");
}

// The converter's models of generated outlines: convex and orthogonal ones
// are proven right; a repeated vertex is reported; and whatever the outline,
// a model that sampling finds a disagreement for is never proven right.
bool has_zero_length_edge(const std::vector<Point>& vertices) {
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Point a = vertices[i];
    const Point b = vertices[(i + 1) % vertices.size()];
    if (a.x == b.x && a.y == b.y) return true;
  }
  return false;
}

TEST(CheckerCommandLine, ConverterModels) {
  int proven = 0;
  int repeated = 0;
  for (const testing::NamedPolygon& polygon : testing::generated_polygons(3, 77)) {
    TempDir dir;
    write_file(dir / "in.txt", polygon_text(polygon.vertices));
    // The converter writes its model for an outline with a repeated vertex
    // too, but exits with 1 after flagging the zero-length edge.
    const bool zero_length = has_zero_length_edge(polygon.vertices);
    const CommandResult converted =
        testing::run_program(testing::converter_path(), {"in.txt", "in.hf"}, dir.path());
    ASSERT_EQ(converted.exit_code, zero_length ? 1 : 0) << polygon.name;
    const CommandResult result = run_checker(dir, {"in.txt", "--samples", "2000"});
    const std::string& output = result.standard_output;
    if (polygon.name == "convex" || polygon.name == "orthogonal") {
      EXPECT_EQ(result.exit_code, 0) << polygon.name << "\n" << output;
    }
    if (zero_length) {
      ++repeated;
      EXPECT_EQ(result.exit_code, 1) << output;
      EXPECT_TRUE(contains(output, "zero-length edges: ")) << output;
      EXPECT_FALSE(contains(output, "zero-length edges: none\n")) << output;
    }
    if (!contains(output, "\nsampling: 0 of ")) {
      EXPECT_FALSE(contains(output, "exact check: proven by ")) << output;
      EXPECT_EQ(result.exit_code, 1);
    }
    if (result.exit_code == 0) ++proven;
  }
  EXPECT_GE(proven, 6);
  EXPECT_GE(repeated, 1);
}

}  // namespace
}  // namespace polyfrep
