// Large polygons are decomposed while the plot file is written, and their
// two top-level chains on two threads. The files must be exactly those of
// doing everything one after the other on one thread.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "driver/formula_choice.h"
#include "formula/formula.h"
#include "formula/token_list.h"
#include "io/formula_file.h"
#include "io/hull_listing.h"
#include "io/model_file.h"
#include "io/plot_file.h"
#include "io/text_output.h"
#include "io/vertex_text.h"
#include "support/polygon_generators.h"
#include "support/test_support.h"

namespace polyfrep {
namespace {

// Seventeen significant digits read back as the same doubles.
std::string polygon_text(const std::vector<Point>& vertices) {
  std::string text = std::to_string(vertices.size()) + "\n";
  char line[64];
  for (const Point& p : vertices) {
    std::snprintf(line, sizeof line, "%.17g %.17g\n", p.x, p.y);
    text += line;
  }
  return text;
}

struct ExpectedFiles {
  std::string formula;
  std::string model;
  std::string listing;
};

// The outputs made one step after the other, with both chains on this thread.
ExpectedFiles sequential_outputs(const std::vector<Point>& vertices, const std::string& dir) {
  FormulaPolicy one_thread;
  one_thread.concurrent_length = INT_MAX;
  const Decomposition decomposition = choose_polygon_formula(
      vertices, diagnose_polygon(vertices, 2 * static_cast<long long>(vertices.size()), 1),
      one_thread);
  EXPECT_TRUE(built(decomposition));
  const LastHull& last = decomposition.last_hull;
  TokenList tokens = make_token_list(10 * static_cast<int>(vertices.size()));
  append_tokens(decomposition.formula, tokens);
  const VertexText text = format_vertex_text(vertices);
  ExpectedFiles expected;
  TextOutput formula;
  write_formula_tokens(tokens, formula);
  expected.formula = std::string(written_text(formula));
  TextOutput model;
  write_model_text(bounding_box_line(vertices, text), text, tokens, model);
  expected.model = std::string(written_text(model));
  const std::string listing_path = dir + "/expected-listing.txt";
  const VertexText chain_text = select_vertex_text(text, static_cast<std::size_t>(last.chain.first),
                                                   static_cast<std::size_t>(last.chain.length));
  EXPECT_EQ(write_hull_listing(chain_text, last.positions, listing_path.c_str()), 0);
  expected.listing = testing::read_file(listing_path);
  return expected;
}

// A comb whose tooth tips past the middle change places: the tooth's two
// sides cross, a small tangle like those of real coastlines.
std::vector<Point> comb_crossing_itself(int teeth) {
  std::vector<Point> vertices = testing::comb_polygon(teeth, 5);
  for (std::size_t i = vertices.size() / 2; i + 1 < vertices.size(); ++i) {
    if (vertices[i].y > 3 && vertices[i + 1].y > 3) {
      std::swap(vertices[i], vertices[i + 1]);
      break;
    }
  }
  return vertices;
}

// The outline that crosses itself is found so only after its decomposition has
// started checking cuts; that one is stopped and the plain one written.
TEST(LargePolygon, ConcurrentConversionWritesTheSequentialFiles) {
  const struct {
    const char* name;
    std::vector<Point> vertices;
    int exit_code;
  } cases[] = {
      {"star", testing::star_polygon(30000, 17), 0},
      {"comb", testing::comb_polygon(6000, 5), 0},
      {"staircase", testing::orthogonal_polygon(12000, 3), 0},
      {"comb crossing itself", comb_crossing_itself(6000), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_GE(c.vertices.size(), 2 * static_cast<std::size_t>(kConcurrentChainLength));
    testing::TempDir run_dir;
    testing::write_file(run_dir / "polyIn2.txt", polygon_text(c.vertices));
    const auto result = testing::run_program(testing::converter_path(), {}, run_dir.path());
    ASSERT_EQ(result.exit_code, c.exit_code) << result.standard_error;
    EXPECT_EQ(result.standard_error.find("crosses itself") != std::string::npos, c.exit_code != 0);
    const ExpectedFiles expected = sequential_outputs(c.vertices, run_dir.path().string());
    // Whole-file comparisons of megabytes: report a mismatch, not the files.
    EXPECT_TRUE(testing::read_file(run_dir / "Formula.txt") == expected.formula);
    EXPECT_TRUE(testing::read_file(run_dir / "poly.hf") == expected.model);
    EXPECT_TRUE(testing::read_file(run_dir / "List.txt") == expected.listing);
  }
}

}  // namespace
}  // namespace polyfrep
