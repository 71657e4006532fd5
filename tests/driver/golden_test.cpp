// Runs the converter on every folder under tests/data and compares what it
// leaves behind with the folder's expected files, byte for byte.
//
// A folder holds:
//   input.txt        copied into a fresh directory as "polyIn2.txt"
//   input.*          any other input (a vector file and its companions),
//                    copied under its own name; the arguments name it
//   arguments        optional: the command-line arguments, one per line
//   expected_exit    optional: the exit status (default 0)
//   expected_stderr  optional: standard error, exactly (default empty)
//   expected_stdout  optional: standard output after the argument count line
//   existing/        optional: files put into the directory before the run
//   anything else    a file the run must leave with exactly this content;
//                    the run must leave no other file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace polyfrep {
namespace {

namespace fs = std::filesystem;
using testing::read_file;

const std::set<std::string> kControlFiles = {"arguments", "expected_exit", "expected_stderr",
                                             "expected_stdout", "existing"};

bool is_input_name(const std::string& name) {
  return name.starts_with("input.");
}

bool has_input(const fs::path& directory) {
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (is_input_name(entry.path().filename().string())) return true;
  }
  return false;
}

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(testing::test_data_dir())) {
    if (entry.is_directory() && has_input(entry.path())) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> read_lines(const fs::path& path) {
  std::vector<std::string> lines;
  if (!fs::exists(path)) return lines;
  std::string text = read_file(path);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::set<std::string> file_names(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class GoldenCase : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, LeavesExactlyTheExpectedFiles) {
  const fs::path case_dir = testing::test_data_dir() / GetParam();
  testing::TempDir run_dir;
  std::set<std::string> expected_files;
  for (const std::string& name : file_names(case_dir)) {
    if (!is_input_name(name)) continue;
    const std::string copy = name == "input.txt" ? "polyIn2.txt" : name;
    fs::copy_file(case_dir / name, run_dir / copy);
    expected_files.insert(copy);
  }
  if (fs::exists(case_dir / "existing")) fs::copy(case_dir / "existing", run_dir.path());
  const std::vector<std::string> arguments = read_lines(case_dir / "arguments");

  const testing::CommandResult result =
      testing::run_program(testing::converter_path(), arguments, run_dir.path());

  const int expected_exit =
      fs::exists(case_dir / "expected_exit") ? std::stoi(read_file(case_dir / "expected_exit")) : 0;
  EXPECT_EQ(result.exit_code, expected_exit);
  const std::string expected_stdout =
      fs::exists(case_dir / "expected_stdout") ? read_file(case_dir / "expected_stdout") : "";
  EXPECT_EQ(result.standard_output, std::to_string(arguments.size() + 1) + "\n" + expected_stdout);
  const std::string expected_stderr = fs::exists(case_dir / "expected_stderr")
                                          ? read_file(case_dir / "expected_stderr")
                                          : std::string();
  EXPECT_EQ(result.standard_error, expected_stderr);

  for (const std::string& name : file_names(case_dir)) {
    if (kControlFiles.count(name) != 0 || is_input_name(name)) continue;
    expected_files.insert(name);
    ASSERT_TRUE(fs::exists(run_dir / name)) << name << " was not written";
    EXPECT_EQ(read_file(run_dir / name), read_file(case_dir / name)) << name << " differs";
  }
  EXPECT_EQ(file_names(run_dir.path()), expected_files);
}

INSTANTIATE_TEST_SUITE_P(Data, GoldenCase, ::testing::ValuesIn(case_names()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace polyfrep
