// The exact proof of a model as written never proves a wrong formula: over
// generated polygons, the converter's models and mutants of them (an
// operator flipped, two neighbouring leaves swapped, the two top-level parts
// swapped, a vertex of the model moved) are proven or refuted, and every
// proof is confirmed by the full exact check on the written polygon, whose
// simplicity is confirmed by testing every pair of edges.
#include "check/model_proof.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "check/model_loading.h"
#include "check/model_text.h"
#include "formula/decomposition.h"
#include "formula/formula.h"
#include "formula/formula_check.h"
#include "formula/formula_text.h"
#include "polygon/area.h"
#include "polygon/self_intersection.h"
#include "support/polygon_generators.h"
#include "support/test_support.h"

namespace polyfrep {
namespace {

using testing::rounded_to_digits;

// The outline moved away from the origin and given a few more digits than
// six, or left as generated (integers, exact in six digits).
std::vector<Point> input_for(const std::vector<Point>& outline, std::mt19937_64& random) {
  if (random() % 2 == 0) return outline;
  const int digits = 7 + static_cast<int>(random() % 6);
  std::vector<Point> moved;
  for (const Point& p : outline) {
    moved.push_back({rounded_to_digits(1234.5 + p.x * 0.01, digits),
                     rounded_to_digits(-987.25 + p.y * 0.01, digits)});
  }
  return moved;
}

std::string model_line(const Formula& formula) {
  return "polygon = " + formula_text(formula_tokens(formula), kModelSpelling) + ";";
}

// The model text with another formula line.
std::string with_formula(const std::string& model, const Formula& formula) {
  const std::size_t start = model.find("\npolygon = ") + 1;
  const std::size_t end = model.find(";\n}", start) + 1;
  return model.substr(0, start) + model_line(formula) + model.substr(end);
}

// The model text with vertex k moved: in the block of edge k (p0) and in
// the block before it (p1), or, with `both` false, in edge k's block only.
std::string with_vertex_moved(const std::string& model, int k, int n, bool both) {
  std::string text = model;
  const auto replace_in_block = [&](int edge, const std::string& head) {
    std::size_t at = 0;
    for (int block = 0; block <= edge; ++block)
      at = text.find("\np0 = [", at + 1);
    if (head == "p1") at = text.find("\np1 = [", at);
    const std::size_t number = at + 7;
    const std::size_t comma = text.find(',', number);
    const double x = std::strtod(text.c_str() + number, nullptr);
    char moved[64];
    std::snprintf(moved, sizeof moved, "%.17g", x + 0.37);
    text.replace(number, comma - number, moved);
  };
  replace_in_block(k, "p0");
  if (both) replace_in_block((k + n - 1) % n, "p1");
  return text;
}

std::vector<Formula> mutants(const Formula& formula, std::mt19937_64& random) {
  std::vector<Formula> result;
  const std::vector<int>& nodes = formula.nodes;
  std::vector<std::size_t> operators;
  std::vector<std::size_t> leaves;
  for (std::size_t i = 0; i < nodes.size(); ++i)
    (is_operator(nodes[i]) ? operators : leaves).push_back(i);
  Formula flipped = formula;
  const std::size_t op = operators[random() % operators.size()];
  flipped.nodes[op] = nodes[op] == TOKEN_UNION ? TOKEN_INTERSECT : TOKEN_UNION;
  result.push_back(flipped);
  Formula swapped = formula;
  const std::size_t leaf = random() % (leaves.size() - 1);
  std::swap(swapped.nodes[leaves[leaf]], swapped.nodes[leaves[leaf + 1]]);
  result.push_back(swapped);
  // The root's right operand, then its left one.
  const std::vector<int> ends = subformula_ends(formula);
  Formula parts_swapped;
  parts_swapped.nodes.push_back(nodes[0]);
  const auto right = static_cast<std::size_t>(ends[1]);
  parts_swapped.nodes.insert(parts_swapped.nodes.end(),
                             nodes.begin() + static_cast<std::ptrdiff_t>(right), nodes.end());
  parts_swapped.nodes.insert(parts_swapped.nodes.end(), nodes.begin() + 1,
                             nodes.begin() + static_cast<std::ptrdiff_t>(right));
  result.push_back(parts_swapped);
  return result;
}

// The outline cut at two random vertices into two chains, each decomposed as
// the converter would, joined by intersection: the top-level cut moved.
Formula moved_top_level_cut(std::span<const Point> vertices, std::mt19937_64& random) {
  const int n = static_cast<int>(vertices.size());
  const int a = static_cast<int>(random() % static_cast<std::uint64_t>(n - 2));
  const int b = a + 2 + static_cast<int>(random() % static_cast<std::uint64_t>(n - a - 2));
  Formula formula{{TOKEN_INTERSECT}};
  for (const IndexChain chain : {IndexChain{a, b - a + 1}, IndexChain{b, n - b + a + 1}}) {
    const Formula part = build_chain_formula(vertices, chain);
    formula.nodes.insert(formula.nodes.end(), part.nodes.begin(), part.nodes.end());
  }
  return formula;
}

struct Tally {
  int proven = 0;
  int refuted = 0;
  int certified = 0;
};

// Proves the model text's formula on its written polygon; a proof must hold
// up under the full exact check and the test of every pair of edges.
void prove_and_confirm(const std::string& text, int n, Tally& tally) {
  const LoadedModel loaded = load_model_text(text);
  ASSERT_TRUE(loaded.formula.complete);
  const WrittenOutline written = written_outline(loaded.model, n);
  if (written.vertices.empty()) return;  // the blocks give no outline: nothing to prove
  ProofOptions options;
  options.exact_limit = 100000;
  const FormulaProof proof = prove_formula(written.vertices, loaded.formula.formula, options);
  ASSERT_NE(proof.outcome, FormulaProof::Outcome::kNotProven) << proof.reason;
  if (proof.outcome == FormulaProof::Outcome::kRefuted) {
    ++tally.refuted;
    return;
  }
  ++tally.proven;
  tally.certified += proof.method == FormulaProof::Method::kCertificate;
  ASSERT_TRUE(find_self_intersections_by_pairs(written.vertices).empty()) << text;
  ASSERT_GT(signed_area_sign(written.vertices), 0) << text;
  ASSERT_TRUE(check_formula(written.vertices, loaded.formula.formula).holds) << text;
}

TEST(ModelProof, NeverProvesAWrongFormula) {
  std::mt19937_64 random(2718);
  Tally converter;
  Tally mutated;
  for (const testing::NamedPolygon& polygon : testing::generated_polygons(30, 31)) {
    if (polygon.vertices.size() > 150) continue;
    const std::vector<Point> input = input_for(polygon.vertices, random);
    SCOPED_TRACE(polygon.name);
    testing::TempDir dir;
    testing::write_file(dir / "in.txt", testing::polygon_text(input));
    const auto run = testing::run_program(testing::converter_path(), {"in.txt"}, dir.path());
    if (!testing::read_file(dir / "Formula.txt").empty() && run.exit_code == 0) {
      // A simple counter-clockwise outline without repeats: always proven.
      const std::string model = testing::read_file(dir / "in.hf");
      const int n = static_cast<int>(input.size());
      const int before = converter.proven;
      prove_and_confirm(model, n, converter);
      EXPECT_EQ(converter.proven, before + 1) << "the converter's model is not proven";
      const Formula formula = load_model_text(model).formula.formula;
      for (const Formula& mutant : mutants(formula, random))
        prove_and_confirm(with_formula(model, mutant), n, mutated);
      if (n >= 4) {
        const std::vector<Point> written =
            written_outline(load_model_text(model).model, n).vertices;
        prove_and_confirm(with_formula(model, moved_top_level_cut(written, random)), n, mutated);
      }
      const int k = static_cast<int>(random() % input.size());
      prove_and_confirm(with_vertex_moved(model, k, n, true), n, mutated);
      prove_and_confirm(with_vertex_moved(model, k, n, false), n, mutated);
    }
  }
  EXPECT_GT(converter.proven, 40);
  // The converter keeps a plain formula whose cuts are not all sound when
  // the exact check finds it right; the certificate proves the rest.
  EXPECT_GT(converter.certified, converter.proven / 2);
  EXPECT_GT(mutated.proven, 10);
  EXPECT_GT(mutated.refuted, 50);
}

}  // namespace
}  // namespace polyfrep
