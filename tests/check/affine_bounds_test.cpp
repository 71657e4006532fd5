#include "check/affine_bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "check/model_syntax.h"
#include "check/model_text.h"

namespace polyfrep {
namespace {

using testing::model_text;

CompiledModel compile_text(const std::string& text) {
  return compile_model(parse_model(text));
}

// Random edges at several scales, down to where products underflow, and far
// from the origin, random boxes
// around them (some no wider than a point, some hugging the edge): every
// value the model computes inside a box lies within the affine bounds, with
// no slack, and a box shrunk to a point is bounded tightly where nothing
// underflows.
TEST(AffineBounds, ContainEveryEvaluatedValueInTheBox) {
  std::mt19937_64 random(23);
  std::uniform_real_distribution<double> unit(0, 1);
  // Products of coordinates near 1e-160 are subnormal: rounded to a
  // fixed step rather than relative to their size.
  const double spreads[] = {1e-3, 1, 10, 1e5, 1e-160};
  const double centres[] = {0, 1e3, -1e6};
  for (int round = 0; round < 300; ++round) {
    const double centre = centres[round % 3];
    // Six significant digits in the model text must still tell the ends apart.
    const double spread = std::max(spreads[round % 5], std::fabs(centre) * 1e-3);
    std::vector<Point> edge;
    for (int i = 0; i < 2; ++i)
      edge.push_back(
          {centre + (unit(random) * 2 - 1) * spread, centre + (unit(random) * 2 - 1) * spread});
    const CompiledModel model = compile_text(model_text(edge, "-s0"));
    const std::vector<AffineForm> forms = affine_forms(model);
    const AffineForm& form = forms[static_cast<std::size_t>(model.root)];
    ASSERT_TRUE(form.affine) << "round " << round;
    for (int b = 0; b < 20; ++b) {
      // Boxes around a point on the edge, from empty to twice the edge.
      const double t = unit(random);
      const Point on{edge[0].x + t * (edge[1].x - edge[0].x),
                     edge[0].y + t * (edge[1].y - edge[0].y)};
      const double reach = b % 4 == 0 ? 0 : spread * std::pow(10.0, -12 * unit(random)) * 2;
      const Box box{on.x - reach * unit(random), on.x + reach * unit(random),
                    on.y - reach * unit(random), on.y + reach * unit(random)};
      const Interval bounds = affine_interval(form, box);
      ASSERT_TRUE(bounds.known);
      for (int k = 0; k < 30; ++k) {
        const Point q{box.x_low + unit(random) * (box.x_high - box.x_low),
                      box.y_low + unit(random) * (box.y_high - box.y_low)};
        const double value = model_value(model, q);
        EXPECT_GE(value, bounds.low) << "round " << round;
        EXPECT_LE(value, bounds.high) << "round " << round;
      }
      // Underflow widens the bounds by its own steps, not by a share.
      const bool underflows = spread < 1e-100;
      EXPECT_TRUE(reach != 0 || underflows || bounds.high - bounds.low <= 1e-12 * bounds.magnitude);
    }
  }
}

// Expressions that are not affine in the point must not get an affine form,
// or their bounds would be wrong; sums and constant multiples of distance
// lines keep one.
TEST(AffineBounds, RecogniseOnlyAffineExpressions) {
  const std::vector<Point> edge{{0, 0}, {3, 4}};
  const struct {
    const char* formula;
    bool affine;
  } cases[] = {
      {"s0", true},       {"-s0", true},     {"s0 * 2", true},    {"s0 / 4 + 1", true},
      {"s0 * s0", false}, {"1 / s0", false}, {"sqrt(s0)", false}, {"s0 & 1", false},
  };
  for (const auto& c : cases) {
    const CompiledModel model = compile_text(model_text(edge, c.formula));
    const std::vector<AffineForm> forms = affine_forms(model);
    EXPECT_EQ(forms[static_cast<std::size_t>(model.root)].affine, c.affine) << c.formula;
  }
}

// The forms of chosen nodes alone, found without a form for every node,
// are those of the full table, field by field, whatever nodes are chosen and
// in whatever order.
TEST(AffineBounds, FormsOfChosenNodesMatchTheFullTable) {
  std::mt19937_64 random(5);
  const std::vector<Point> square{{0, 0}, {4, 0}, {4, 3}, {0, 3}};
  const char* formulas[] = {"(s0 & s1) | (s2 & s3)", "s0 * 2 - s1 / 4 + 1", "sqrt(s0 * s0) & -s3",
                            "(s0 + s1) & (s2 * s2) | 1 / s3"};
  for (const char* formula : formulas) {
    const CompiledModel model = compile_text(model_text(square, formula));
    const std::vector<AffineForm> all = affine_forms(model);
    for (int round = 0; round < 20; ++round) {
      std::vector<int> wanted;
      const int count = 1 + static_cast<int>(random() % 6);
      for (int k = 0; k < count; ++k)
        wanted.push_back(static_cast<int>(random() % model.nodes.size()));
      wanted.push_back(model.root);
      const std::vector<AffineForm> chosen = affine_forms_of(model, wanted);
      ASSERT_EQ(chosen.size(), wanted.size());
      for (std::size_t k = 0; k < wanted.size(); ++k) {
        const AffineForm& expected = all[static_cast<std::size_t>(wanted[k])];
        const AffineForm& found = chosen[k];
        EXPECT_EQ(found.affine, expected.affine) << formula << " node " << wanted[k];
        EXPECT_EQ(found.x_scale, expected.x_scale);
        EXPECT_EQ(found.y_scale, expected.y_scale);
        EXPECT_EQ(found.offset, expected.offset);
        EXPECT_EQ(found.x_size, expected.x_size);
        EXPECT_EQ(found.y_size, expected.y_size);
        EXPECT_EQ(found.offset_size, expected.offset_size);
        EXPECT_EQ(found.underflow, expected.underflow);
        EXPECT_EQ(found.rounding_steps, expected.rounding_steps);
      }
    }
  }
}

}  // namespace
}  // namespace polyfrep
