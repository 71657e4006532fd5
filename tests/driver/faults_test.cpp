// Runs of the converter that meet faults outside the input's numbers: outputs
// that cannot be written, outputs that are the input, memory and stack limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace polyfrep {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::TempDir;
using testing::write_file;

const char kSquare[] = "4\n0 0\n1 0\n1 1\n0 1\n";

int count_lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Faults, ListingThatCannotBeWrittenIsReportedOnceAndTheRunGoesOn) {
  TempDir dir;
  write_file(dir / "polyIn2.txt", kSquare);
  fs::create_directory(dir / "List.txt");  // two hulls are listed: both fail
  const auto result = run_program(testing::converter_path(), {}, dir.path());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.standard_error, "polyfrep: List.txt: Is a directory\n");
  EXPECT_EQ(read_file(dir / "Formula.txt"), "(2)*((3*0)*(1))");
  EXPECT_TRUE(fs::exists(dir / "poly.hf"));
  EXPECT_TRUE(fs::exists(dir / "poly.plt"));
}

TEST(Faults, EveryFixedOutputNameIsCheckedAgainstTheInput) {
  for (const char* name : {"poly.plt", "List.txt", "Formula.txt"}) {
    TempDir dir;
    write_file(dir / name, kSquare);
    const auto result = run_program(testing::converter_path(), {name, "out.hf"}, dir.path());
    EXPECT_EQ(result.exit_code, 1) << name;
    EXPECT_NE(result.standard_error.find("is the input file"), std::string::npos) << name;
    EXPECT_EQ(read_file(dir / name), kSquare) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << name << ": nothing else may be written";
  }
}

// The formula file and the model are written at the same time; a model
// named after the formula file must still end up as that file's only content.
TEST(Faults, ModelNamedAfterTheFormulaFileReplacesIt) {
  // Long enough that both files are written in several blocks.
  std::string polygon = "20000\n";
  for (int k = 0; k < 20000; ++k) {
    const double angle = 2 * 3.141592653589793 * k / 20000;
    polygon += std::to_string(std::cos(angle)) + " " + std::to_string(std::sin(angle)) + "\n";
  }
  TempDir reference;
  write_file(reference / "in.txt", polygon);
  ASSERT_EQ(
      run_program(testing::converter_path(), {"in.txt", "out.hf"}, reference.path()).exit_code, 0);
  const std::string model = read_file(reference / "out.hf");
  for (const char* name : {"Formula.txt", "./Formula.txt"}) {
    TempDir dir;
    write_file(dir / "in.txt", polygon);
    const auto result = run_program(testing::converter_path(), {"in.txt", name}, dir.path());
    EXPECT_EQ(result.exit_code, 0) << name << ": " << result.standard_error;
    EXPECT_EQ(read_file(dir / "Formula.txt"), model) << name;
  }
}

TEST(Faults, InputThatIsADirectoryIsRefusedWithTheUsage) {
  TempDir dir;
  fs::create_directory(dir / "shape.d");
  const auto result = run_program(testing::converter_path(), {"shape.d"}, dir.path());
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.standard_error,
            "polyfrep: shape.d: Is a directory\nusage: polyfrep [--digits N] [--make-valid] "
            "[--help] [--version] "
            "[INPUT [MODEL]]\n");
}

TEST(Faults, MemoryExhaustionIsReportedNotACrash) {
  // A pipe has no size to check the count against, so the reader tries to
  // allocate 200 million vertices under a 300 MB address-space limit.
  TempDir dir;
  write_file(dir / "huge.txt", "200000000\n0 0\n1 0\n0 1\n");
  const auto result = run_program(testing::converter_path(), {"/dev/stdin", "out.hf"}, dir.path(),
                                  "ulimit -v 300000; cat huge.txt |", "");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.standard_output, "3\n");
  EXPECT_EQ(result.standard_error, "polyfrep: out of memory\n");
  EXPECT_FALSE(fs::exists(dir / "out.hf"));
}

int deepest_nesting(const std::string& formula) {
  int depth = 0;
  int deepest = 0;
  for (char c : formula) {
    if (c == '(') deepest = std::max(deepest, ++depth);
    if (c == ')') --depth;
  }
  return deepest;
}

TEST(Faults, DeepDecompositionsDoNotOverflowASmallStack) {
  // A square whose bottom side holds thousands of collinear vertices: each
  // cut of that side takes off only a few edges, so the formula nests
  // thousands of levels deep.
  constexpr int kSideVertices = 8000;
  std::string input = std::to_string(kSideVertices + 2) + "\n";
  for (int i = 0; i < kSideVertices; ++i)
    input += std::to_string(i) + " 0\n";
  input += std::to_string(kSideVertices) + " " + std::to_string(kSideVertices) + "\n0 " +
           std::to_string(kSideVertices) + "\n";
  TempDir dir;
  write_file(dir / "polyIn2.txt", input);
  const auto result = run_program(testing::converter_path(), {}, dir.path(), "ulimit -s 256;");
  ASSERT_EQ(result.exit_code, 0) << result.standard_error;
  EXPECT_GE(deepest_nesting(read_file(dir / "Formula.txt")), 2000);
  EXPECT_EQ(count_lines(read_file(dir / "poly.hf")), 4 + 5 * (kSideVertices + 2) + 2);
}

}  // namespace
}  // namespace polyfrep
