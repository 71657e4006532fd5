#include "fuzz/conversion_checks.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/conversion.h"
#include "fuzz/formula_checks.h"
#include "io/formula_file.h"
#include "io/input_reader.h"
#include "io/plot_file.h"

namespace polyfrep::fuzzing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kListingFileName = "List.txt";

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

std::string read_whole_file(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void write_whole_file(const char* name, std::string_view text) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// The polygon as the converter reads it: a block that holds the whole text
// reads as the default one does.
std::vector<Point> vertices_in(std::string_view text) {
  std::istringstream in{std::string(text)};
  NumberScanner scanner = make_number_scanner(in, text.size() + 1);
  int vertex_count = 0;
  std::vector<Point> vertices;
  read_vertex_count(scanner, vertex_count);
  read_vertices(scanner, vertex_count, vertices);
  return vertices;
}

// The formula file must hold the formula the checked decomposition makes for
// the polygon that was read.
void check_formula_file(const std::vector<Point>& vertices, std::vector<std::string>& violations) {
  const std::string written = read_whole_file(kFormulaFileName);
  for (const std::string& violation :
       formula_violations(written, static_cast<int>(vertices.size())))
    violations.push_back("formula: " + violation);
  const Formula checked = converter_formula(vertices);
  if (checked.nodes.empty()) {
    violations.push_back("a formula file was written for an outline that has no formula");
  } else if (compact_text(checked) != written) {
    violations.push_back("the formula file differs from the checked decomposition's formula");
  }
}

}  // namespace

bool conversion_input_accepted(std::string_view text) {
  std::istringstream in{std::string(text)};
  // A small block: only the first number is wanted.
  NumberScanner scanner = make_number_scanner(in, 64);
  int vertex_count = 0;
  read_vertex_count(scanner, vertex_count);
  return vertex_count <= kMaxConversionVertexCount;
}

std::vector<std::string> formula_violations(std::string_view formula, int vertex_count) {
  std::vector<std::string> violations;
  std::vector<int> uses(static_cast<std::size_t>(std::max(vertex_count, 0)), 0);
  bool expect_operand = true;
  int depth = 0;
  std::size_t i = 0;
  while (i < formula.size() && violations.empty()) {
    const char c = formula[i];
    const std::string where = "at " + std::to_string(i) + ": ";
    if (expect_operand && is_digit(c)) {
      long long edge = 0;
      for (; i < formula.size() && is_digit(formula[i]); ++i)
        edge = std::min(edge * 10 + (formula[i] - '0'), 1LL << 40);
      if (edge >= vertex_count) {
        violations.push_back(where + "edge " + std::to_string(edge) + " of " +
                             std::to_string(vertex_count));
      } else {
        ++uses[static_cast<std::size_t>(edge)];
      }
      expect_operand = false;
      continue;
    }
    if (expect_operand && c == '(') {
      ++depth;
    } else if (!expect_operand && (c == '+' || c == '*')) {
      expect_operand = true;
    } else if (!expect_operand && c == ')') {
      if (--depth < 0) violations.push_back(where + "unmatched ')'");
    } else {
      violations.push_back(where + "unexpected '" + std::string(1, c) + "'");
    }
    ++i;
  }
  if (violations.empty() && (expect_operand || depth != 0))
    violations.push_back("formula ends incomplete");
  for (std::size_t edge = 0; edge < uses.size(); ++edge) {
    if (uses[edge] != 1) {
      violations.push_back("edge " + std::to_string(edge) + " used " + std::to_string(uses[edge]) +
                           " times");
    }
  }
  return violations;
}

std::vector<std::string> check_conversion(std::string_view text) {
  for (const char* name : {kPlotFileName, kListingFileName, kFormulaFileName, kFuzzModelName}) {
    std::error_code ignored;
    fs::remove(name, ignored);
  }
  write_whole_file(kFuzzInputName, text);

  std::vector<std::string> violations;
  const int status = run_conversion(kFuzzInputName, kFuzzModelName);
  if (status != 0 && status != 1) violations.push_back("exit status " + std::to_string(status));
  if (status == 0 && !fs::exists(kPlotFileName))
    violations.push_back("a successful run left no plot file");
  const std::vector<Point> vertices = vertices_in(text);
  if (fs::exists(kFormulaFileName)) {
    if (!fs::exists(kFuzzModelName))
      violations.push_back("formula file written without a model file");
    check_formula_file(vertices, violations);
  }
  for (const std::string& violation : correct_formula_violations(vertices))
    violations.push_back("decomposition: " + violation);
  return violations;
}

}  // namespace polyfrep::fuzzing
