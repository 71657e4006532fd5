#include "fuzz/conversion_checks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace polyfrep::fuzzing {
namespace {

struct FormulaCase {
  std::string formula;
  int vertex_count;
  bool well_formed;
};

TEST(FormulaViolations, AcceptsOnlyFormulasUsingEveryEdgeOnce) {
  const std::vector<FormulaCase> cases = {
      {"(2)*((3*0)*(1))", 4, true},
      {"(0)*((1)+(2))", 3, true},
      {"(6)*(((7*8)+((9+10)*(11*0)))*(((1*2)+(3))+(4*5)))", 12, true},
      {"(2)*((3*0)*(1))", 5, false},  // edge 4 missing
      {"(2)*((3*0)*(1)", 4, false},   // unclosed
      {"(2)*((3*0)*(1)))", 4, false},
      {"(2)*((3*0)*(2))", 4, false},  // edge 2 twice, edge 1 missing
      {"(2)*((3*0)*(4))", 4, false},  // edge beyond the polygon
      {"(2)*((3*0)(1))", 4, false},   // operator missing
      {"(2)*((3*0)*)1", 4, false},
      {"(2)**((3*0)*(1))", 4, false},
      {"(2)*((3 0)*(1))", 4, false},
      {"(2)*((3-0)*(1))", 4, false},
      {"()*(0)", 1, false},
      {"", 0, false},
      {"0*1*2", 3, true},
  };
  for (const FormulaCase& c : cases) {
    EXPECT_EQ(formula_violations(c.formula, c.vertex_count).empty(), c.well_formed)
        << c.formula << " for " << c.vertex_count << " vertices";
  }
}

TEST(ConversionInputAccepted, RefusesOnlyCountsAboveTheLimit) {
  const std::string limit = std::to_string(kMaxConversionVertexCount);
  const std::string above = std::to_string(kMaxConversionVertexCount + 1);
  EXPECT_TRUE(conversion_input_accepted(limit + " 0 0"));
  EXPECT_TRUE(conversion_input_accepted("  \r\n" + limit));
  EXPECT_FALSE(conversion_input_accepted(above + " 0 0"));
  EXPECT_FALSE(conversion_input_accepted("\t" + above + ".5"));
  EXPECT_FALSE(conversion_input_accepted("2147483647"));
  EXPECT_TRUE(conversion_input_accepted("99999999999"));  // no count: nothing is allocated
  EXPECT_TRUE(conversion_input_accepted("-2147483648"));
  EXPECT_TRUE(conversion_input_accepted(""));
}

}  // namespace
}  // namespace polyfrep::fuzzing
