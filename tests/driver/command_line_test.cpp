#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/model_name.h"
#include "support/test_support.h"

namespace polyfrep {
namespace {

namespace fs = std::filesystem;

TEST(DeriveModelName, TakesTheStemBeforeTheFirstDot) {
  const struct {
    std::string input;
    std::string model;
  } cases[] = {
      {"shape.txt", "shape.hf"},
      {"a.b.c", "a.hf"},
      {"in.dat", "in.hf"},
      {"noextension", "noextension.hf"},
      {"./in.txt", ".hf"},
      {"dir.d/in", "dir.hf"},
      {"", ".hf"},
      {std::string(150, 'x'), std::string(100, 'x') + ".hf"},
      {std::string(100, 'y') + ".txt", std::string(100, 'y') + ".hf"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(derive_model_name(c.input), c.model) << c.input;
}

const char kSquare[] = "4\n0 0\n1 0\n1 1\n0 1\n";

struct CommandLineCase {
  std::vector<std::string> arguments;
  std::string input_name;  // where the square is put
  std::string model_name;  // the model file the run must write
};

// The fixed-name files are written whatever the command line says, and the
// argument count (program name included) is the only standard output.
TEST(CommandLine, ChoosesInputAndModelNames) {
  const std::string long_stem(120, 'q');
  const CommandLineCase cases[] = {
      {{}, "polyIn2.txt", "poly.hf"},
      {{"in.dat"}, "in.dat", "in.hf"},
      {{long_stem}, long_stem, std::string(100, 'q') + ".hf"},
      {{"a", "b"}, "a", "b"},
      {{"a", "b", "ignored", "also ignored"}, "a", "b"},
      {{"./in.txt"}, "in.txt", ".hf"},
      // Options come first; after them, and after a lone "--", the rest are names.
      {{"--digits", "7", "in.dat"}, "in.dat", "in.hf"},
      {{"--digits=9", "a", "b"}, "a", "b"},
      {{"--", "--digits", "b"}, "--digits", "b"},
      {{"a", "--digits", "9"}, "a", "--digits"},
  };
  for (const CommandLineCase& c : cases) {
    testing::TempDir run_dir;
    testing::write_file(run_dir / c.input_name, kSquare);
    const auto result =
        testing::run_program(testing::converter_path(), c.arguments, run_dir.path());
    SCOPED_TRACE(c.model_name);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.standard_output, std::to_string(c.arguments.size() + 1) + "\n");
    EXPECT_TRUE(fs::exists(run_dir / c.model_name));
    for (const char* fixed : {"poly.plt", "List.txt", "Formula.txt"}) {
      EXPECT_TRUE(fs::exists(run_dir / fixed)) << fixed;
    }
    EXPECT_EQ(testing::read_file(run_dir / "Formula.txt"), "(2)*((3*0)*(1))");
  }
}

// --version names the program and its version, and neither program reads or
// writes anything then.
TEST(CommandLine, VersionOfBothPrograms) {
  testing::TempDir run_dir;
  const auto converter =
      testing::run_program(testing::converter_path(), {"--version"}, run_dir.path());
  EXPECT_EQ(converter.exit_code, 0);
  EXPECT_EQ(converter.standard_output, "2\npolyfrep " POLYFREP_VERSION "\n");
  const auto checker =
      testing::run_program(POLYFREP_CHECK_EXECUTABLE, {"--version"}, run_dir.path());
  EXPECT_EQ(checker.exit_code, 0);
  EXPECT_EQ(checker.standard_output, "polyfrep-check " POLYFREP_VERSION "\n");
  EXPECT_TRUE(fs::is_empty(run_dir.path()));
}

}  // namespace
}  // namespace polyfrep
