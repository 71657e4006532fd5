#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace polyfrep::bench {
namespace {

// The report line split into its key=value fields.
std::map<std::string, std::string> report_fields(const std::string& report) {
  std::map<std::string, std::string> fields;
  std::istringstream words(report);
  std::string word;
  while (words >> word) {
    const auto equals = word.find('=');
    if (equals != std::string::npos) fields[word.substr(0, equals)] = word.substr(equals + 1);
  }
  return fields;
}

testing::CommandResult measure(const std::vector<std::string>& arguments,
                               const std::filesystem::path& directory) {
  return testing::run_program(POLYFREP_MEASURE_EXECUTABLE, arguments, directory);
}

struct OutcomeCase {
  std::vector<std::string> arguments;
  std::string result;
  std::string code;
};

// Wall time is not checked here: only that each way a command can end is
// told apart and that every field is present and well formed.
TEST(MeasureCommand, ReportsHowTheCommandEnded) {
  const std::vector<OutcomeCase> cases = {
      {{"--", "true"}, "exited", "0"},
      {{"--", "sh", "-c", "exit 3"}, "exited", "3"},
      {{"--", "sh", "-c", "kill -TERM $$"}, "signaled", "15"},
      {{"--", "/nonexistent/program"}, "exited", "127"},
      {{"--timeout", "0.2", "--", "sleep", "600"}, "timeout", "9"},
      {{"--timeout", "600", "--", "sh", "-c", "exit 4"}, "exited", "4"},
  };
  testing::TempDir directory;
  for (const OutcomeCase& c : cases) {
    const auto run = measure(c.arguments, directory.path());
    const std::string label = c.arguments.back();
    ASSERT_EQ(run.exit_code, 0) << label << ": " << run.standard_error;
    const auto fields = report_fields(run.standard_output);
    EXPECT_EQ(fields.at("result"), c.result) << label;
    EXPECT_EQ(fields.at("code"), c.code) << label;
    EXPECT_GE(std::stod(fields.at("wall_seconds")), 0.0) << label;
    EXPECT_GT(std::stol(fields.at("peak_rss_kib")), 0) << label;
  }
}

TEST(MeasureCommand, PeakMemoryCoversWhatTheCommandTouched) {
  testing::TempDir directory;
  // dd fills its whole 64 MiB buffer from /dev/zero, so every page is resident.
  const auto run =
      measure({"--", "dd", "if=/dev/zero", "of=/dev/null", "bs=64M", "count=1"}, directory.path());
  ASSERT_EQ(run.exit_code, 0) << run.standard_error;
  const auto fields = report_fields(run.standard_output);
  ASSERT_EQ(fields.at("result"), "exited");
  EXPECT_GE(std::stol(fields.at("peak_rss_kib")), 64 * 1024);

  const auto small = measure({"--", "true"}, directory.path());
  EXPECT_LT(std::stol(report_fields(small.standard_output).at("peak_rss_kib")), 64 * 1024);
}

TEST(MeasureCommand, RunsInTheGivenDirectoryWithOutputDiscarded) {
  testing::TempDir directory;
  testing::TempDir elsewhere;
  std::filesystem::create_directory(directory / "inner");
  testing::write_file(directory / "inner" / "marker", "x");
  const std::vector<std::string> check = {"--", "sh", "-c", "echo noise; test -f marker"};

  std::vector<std::string> inside = {"--directory", (directory / "inner").string()};
  inside.insert(inside.end(), check.begin(), check.end());
  const auto found = measure(inside, elsewhere.path());
  EXPECT_EQ(report_fields(found.standard_output).at("code"), "0");
  EXPECT_EQ(found.standard_output.find("noise"), std::string::npos);

  const auto not_found = measure(check, elsewhere.path());
  EXPECT_EQ(report_fields(not_found.standard_output).at("code"), "1");

  const auto missing = measure({"--directory", "/nonexistent/dir", "--", "true"}, elsewhere.path());
  EXPECT_EQ(report_fields(missing.standard_output).at("code"), "127");
}

TEST(MeasureCommand, RefusesMalformedCommandLines) {
  testing::TempDir directory;
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"--"},
      {"--timeout", "0", "--", "true"},
      {"--timeout", "soon", "--", "true"},
      {"--timeout", "-1", "--", "true"},
      {"--directory"},
      {"--verbose", "--", "true"},
  };
  for (const auto& arguments : refused) {
    const auto run = measure(arguments, directory.path());
    EXPECT_EQ(run.exit_code, 2) << (arguments.empty() ? "" : arguments[0]);
    EXPECT_EQ(run.standard_output, "");
  }
}

}  // namespace
}  // namespace polyfrep::bench
