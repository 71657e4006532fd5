// Replays every seed of the fuzzers, and every golden input, through the
// fuzzers' checks. Inputs that once crashed a fuzzer are kept among the seeds,
// so this is also where they stay fixed, with any compiler.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/conversion_checks.h"
#include "fuzz/reader_checks.h"
#include "support/test_support.h"

namespace polyfrep::fuzzing {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> seed_files() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(POLYFREP_FUZZ_SEEDS_DIR)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  for (const auto& entry : fs::directory_iterator(testing::test_data_dir())) {
    if (fs::exists(entry.path() / "input.txt")) files.push_back(entry.path() / "input.txt");
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string test_name(const ::testing::TestParamInfo<fs::path>& info) {
  const fs::path& path = info.param;
  std::string name = path.filename() == "input.txt"
                         ? "golden_" + path.parent_path().filename().string()
                         : path.stem().string();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  return name;
}

// Moves into a directory for the test's lifetime and back out afterwards.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const fs::path& directory) : previous_(fs::current_path()) {
    fs::current_path(directory);
  }
  ~WorkingDirectory() { fs::current_path(previous_); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  fs::path previous_;
};

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += "\n  " + line;
  return text;
}

class SeedReplay : public ::testing::TestWithParam<fs::path> {};

TEST_P(SeedReplay, ReaderChecksHold) {
  const std::vector<std::string> violations = check_reader(testing::read_file(GetParam()));
  EXPECT_TRUE(violations.empty()) << joined(violations);
}

TEST_P(SeedReplay, ConversionChecksHold) {
  const std::string text = testing::read_file(GetParam());
  if (!conversion_input_accepted(text)) GTEST_SKIP() << "count above the conversion fuzzer's limit";
  testing::TempDir directory;
  WorkingDirectory inside(directory.path());
  const std::vector<std::string> violations = check_conversion(text);
  EXPECT_TRUE(violations.empty()) << joined(violations);
}

INSTANTIATE_TEST_SUITE_P(Seeds, SeedReplay, ::testing::ValuesIn(seed_files()), test_name);

}  // namespace
}  // namespace polyfrep::fuzzing
