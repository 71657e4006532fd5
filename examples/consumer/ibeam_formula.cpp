// Prints the formula of the bundled I-beam cross-section, as the converter
// writes it to Formula.txt.
#include <polyfrep/polyfrep.h>

#include <cstdio>
#include <vector>

int main() {
  const std::vector<polyfrep::Point> ibeam = {
      {0, 0},    {6, 0},     {6, 0.75}, {3.5, 0.75}, {3.5, 3.25}, {6, 3.25},
      {6, 4},    {0, 4},     {0, 3.25}, {2.5, 3.25}, {2.5, 0.75}, {0, 0.75},
  };
  const polyfrep::Formula formula = polyfrep::polygon_formula(ibeam);
  std::printf("%s\n", polyfrep::compact_text(formula).c_str());
  return formula.nodes.empty() ? 1 : 0;
}
