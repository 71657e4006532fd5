// The checker on region files: the converter's models of GeoJSON regions are
// proven right, deliberately broken ones refuted with a witness, and files
// without a region refused with one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "check/model_text.h"
#include "support/test_support.h"

namespace polyfrep {
namespace {

using testing::CommandResult;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

CommandResult run_checker(const TempDir& dir, const std::vector<std::string>& arguments) {
  return testing::run_program(POLYFREP_CHECK_EXECUTABLE, arguments, dir.path());
}

CommandResult run_converter(const TempDir& dir, const std::vector<std::string>& arguments) {
  return testing::run_program(testing::converter_path(), arguments, dir.path());
}

bool has_line(const std::string& output, const std::string& start) {
  return output.rfind(start, 0) == 0 || output.find("\n" + start) != std::string::npos;
}

std::string feature(const std::string& type, const std::string& coordinates) {
  return R"({"type":"Feature","properties":{},"geometry":{"type":")" + type +
         R"(","coordinates":)" + coordinates + "}}";
}

std::string collection(const std::vector<std::string>& features) {
  std::string text = R"({"type":"FeatureCollection","features":[)";
  for (std::size_t k = 0; k < features.size(); ++k)
    text += (k > 0 ? "," : "") + features[k];
  return text + "]}\n";
}

// A square of side 4 less a square hole of side 2.
const std::string kSquareWithHole = collection(
    {feature("Polygon", "[[[0,0],[4,0],[4,4],[0,4],[0,0]],[[1,1],[3,1],[3,3],[1,3],[1,1]]]")});

// A square of side 6 with a hole of side 4, and an island of side 2 in the
// hole.
const std::string kIslandInHole =
    collection({feature("MultiPolygon",
                        "[[[[0,0],[6,0],[6,6],[0,6],[0,0]],[[1,1],[5,1],[5,5],[1,5],[1,1]]],"
                        "[[[2,2],[4,2],[4,4],[2,4],[2,2]]]]")});

std::string formula_line(const std::string& model) {
  const std::size_t start = model.find("\npolygon = ") + 11;
  return model.substr(start, model.find(";\n}", start) - start);
}

std::string with_formula(const std::string& model, const std::string& formula) {
  const std::size_t start = model.find("\npolygon = ") + 11;
  return model.substr(0, start) + formula + model.substr(model.find(";\n}", start));
}

// The formula with its operators exchanged: the one that joins its two
// top-level operands, or, with `in_second`, all those of its second operand
// (for the square with a hole, the hole's part, left as for its inside).
std::string exchanged(std::string formula, bool in_second) {
  int depth = 0;
  bool second = false;
  for (char& c : formula) {
    depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    if (c != '&' && c != '|') continue;
    if (depth == 0 && !in_second) {
      c = c == '&' ? '|' : '&';
      break;
    }
    if (second) c = c == '&' ? '|' : '&';
    second = second || depth == 0;
  }
  return formula;
}

TEST(RegionCommandLine, ConverterModelsAreProven) {
  const struct {
    std::string name;
    std::string region;
    std::vector<std::string> lines;
    int rings;
  } cases[] = {
      {"square with a square hole",
       kSquareWithHole,
       {"vertices: 8\n", "rings: 2 (1 exterior, 1 hole)\n", "polygons: 1\n",
        "orientation: exteriors counter-clockwise, holes clockwise\n", "zero-length edges: none\n",
        "self-intersections: none\n",
        "edge functions: s0 to s7, each the signed distance from its edge as written, positive "
        "on its left\n",
        "exact check: proven by the chain certificates of its rings: the formula describes the "
        "region as written\n",
        "sampling: 0 of ", "verdict: proven right\n"},
       2},
      {"island in a hole",
       kIslandInHole,
       {"vertices: 12\n", "rings: 3 (2 exteriors, 1 hole)\n", "polygons: 2\n",
        "exact check: proven by the chain certificates of its rings: ", "verdict: proven right\n"},
       3},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir / "in.geojson", c.region);
    ASSERT_EQ(run_converter(dir, {"in.geojson"}).exit_code, 0) << c.name;
    const CommandResult result = run_checker(dir, {"in.geojson", "--svg", "in.svg"});
    EXPECT_EQ(result.exit_code, 0) << c.name << "\n" << result.standard_output;
    EXPECT_EQ(result.standard_error, "") << c.name;
    for (const std::string& line : c.lines) {
      EXPECT_TRUE(has_line(result.standard_output, line))
          << c.name << ": no line " << line << result.standard_output;
    }
    // Every ring is drawn, holes too.
    const std::string svg = read_file(dir / "in.svg");
    int outlines = 0;
    for (std::size_t at = svg.find("<polygon fill=\"none\""); at != std::string::npos;
         at = svg.find("<polygon fill=\"none\"", at + 1)) {
      ++outlines;
    }
    EXPECT_EQ(outlines, c.rings) << c.name;
  }
}

TEST(RegionCommandLine, BrokenModelsAreRefuted) {
  const struct {
    std::string name;
    std::string region;
    bool in_second;
  } cases[] = {
      {"hole not dualised", kSquareWithHole, true},
      {"two polygons joined by intersection", kIslandInHole, false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir / "in.geojson", c.region);
    ASSERT_EQ(run_converter(dir, {"in.geojson"}).exit_code, 0) << c.name;
    const std::string model = read_file(dir / "in.hf");
    const std::string formula = exchanged(formula_line(model), c.in_second);
    ASSERT_NE(formula, formula_line(model)) << c.name;
    write_file(dir / "in.hf", with_formula(model, formula));
    const CommandResult result = run_checker(dir, {"in.geojson"});
    EXPECT_EQ(result.exit_code, 1) << c.name << "\n" << result.standard_output;
    EXPECT_TRUE(has_line(result.standard_output,
                         "exact check: the formula does not describe the region as written: "))
        << c.name << "\n"
        << result.standard_output;
    EXPECT_NE(result.standard_output.find("; first failure at ("), std::string::npos) << c.name;
    EXPECT_TRUE(has_line(result.standard_output, "verdict: not right (exact check, sampling)\n"))
        << c.name << "\n"
        << result.standard_output;
  }
}

// A single ring read from GeoJSON is the same polygon as its text twin: the
// two models are the same, and each is proven against either input.
TEST(RegionCommandLine, SingleRingMatchesItsTextTwin) {
  TempDir dir;
  write_file(dir / "shape.geojson",
             collection({feature("Polygon", "[[[0,0],[3,0],[1,3],[1,1],[2,1],[0,0]]]")}));
  write_file(dir / "twin.txt", "5\n0 0\n3 0\n1 3\n1 1\n2 1\n");
  ASSERT_EQ(run_converter(dir, {"shape.geojson"}).exit_code, 0);
  ASSERT_EQ(run_converter(dir, {"twin.txt"}).exit_code, 0);
  EXPECT_EQ(read_file(dir / "shape.hf"), read_file(dir / "twin.hf"));
  for (const std::string input : {"shape.geojson", "twin.txt"}) {
    const CommandResult result = run_checker(dir, {input});
    EXPECT_EQ(result.exit_code, 0) << input << "\n" << result.standard_output;
  }
  EXPECT_TRUE(has_line(run_checker(dir, {"shape.geojson"}).standard_output,
                       "rings: 1 (1 exterior, 0 holes)\n"));
}

// With --make-valid, an outline that crosses itself is checked as the
// region the converter made of it; without, as the outline it is.
TEST(RegionCommandLine, MadeValidOutline) {
  TempDir dir;
  write_file(dir / "bow.txt", "4\n0 0\n2 2\n2 0\n0 2\n");
  ASSERT_EQ(run_converter(dir, {"--make-valid", "bow.txt"}).exit_code, 0);
  const CommandResult made_valid = run_checker(dir, {"bow.txt", "--make-valid"});
  EXPECT_EQ(made_valid.exit_code, 0) << made_valid.standard_output << made_valid.standard_error;
  EXPECT_TRUE(has_line(made_valid.standard_output,
                       "input: the outline crosses itself (edges 0 and 2); the valid region it "
                       "encloses, 2 rings, is checked\n"))
      << made_valid.standard_output;
  EXPECT_TRUE(has_line(made_valid.standard_output, "polygons: 2\n"));
  const CommandResult as_is = run_checker(dir, {"bow.txt"});
  EXPECT_EQ(as_is.exit_code, 1) << as_is.standard_output;
  EXPECT_TRUE(has_line(as_is.standard_output, "self-intersections: edges 0 and 2\n"));
}

// Files that hold no region: exit status 2 and one line on standard error.
TEST(RegionCommandLine, Refusals) {
  TempDir dir;
  write_file(dir / "line.geojson", collection({feature("LineString", "[[0,0],[1,1]]")}));
  write_file(dir / "in.hf", std::string(testing::kTriangleModel));
  const struct {
    std::string input;
    std::string message;
  } cases[] = {
      {"line.geojson", "polyfrep-check: line.geojson: the file holds no polygon with an area\n"},
      {"absent.geojson", "polyfrep-check: cannot open absent.geojson: "},
  };
  for (const auto& c : cases) {
    const CommandResult result = run_checker(dir, {c.input, "in.hf"});
    EXPECT_EQ(result.exit_code, 2) << c.input;
    EXPECT_EQ(result.standard_output, "") << c.input;
    EXPECT_EQ(result.standard_error.substr(0, c.message.size()), c.message) << c.input;
    EXPECT_EQ(std::count(result.standard_error.begin(), result.standard_error.end(), '\n'), 1)
        << result.standard_error;
  }
}

// A real coastline of 18 parts: six digits would break a ring's cuts, so the
// model gets exact coordinates, and the checker proves the model as written.
TEST(RegionCommandLine, ProvesARealCoastlineAsWritten) {
  TempDir dir;
  std::filesystem::copy_file(testing::test_data_dir() / "coastlines" / "faroe_islands.geojson",
                             dir / "faroe.geojson");
  const CommandResult converted = run_converter(dir, {"faroe.geojson"});
  EXPECT_EQ(converted.exit_code, 0) << converted.standard_error;
  EXPECT_NE(converted.standard_error.find("note: six significant digits"), std::string::npos);
  const CommandResult checked = run_checker(dir, {"faroe.geojson"});
  EXPECT_EQ(checked.exit_code, 0) << checked.standard_output;
  EXPECT_TRUE(has_line(checked.standard_output, "rings: 18 (18 exteriors, 0 holes)"));
  EXPECT_TRUE(has_line(checked.standard_output, "verdict: proven right"));
}

}  // namespace
}  // namespace polyfrep
