#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "support/test_support.h"

namespace polyfrep::bench {
namespace {

// Counter-clockwise, and six significant digits hold every coordinate, so the
// converter writes them as they stand.
constexpr const char* kPentagon = "5\n0 0\n1000 -2.5\n1500 700.25\n400 1200\n-300 650\n";

testing::CommandResult naive_floor(const std::filesystem::path& directory) {
  return testing::run_program(POLYFREP_NAIVE_FLOOR_EXECUTABLE, {"input.txt", "poly.hf"}, directory);
}

std::string text_before(const std::string& text, const std::string& marker) {
  return text.substr(0, text.find(marker));
}

// The floor must write as much text as the converter, or the ratio of the
// two says nothing: the plot file and every edge block of the model are the
// converter's, byte for byte; only the formula's shape and the last hull's
// listing differ.
TEST(NaiveFloor, WritesTheConvertersTextAroundEveryNumber) {
  testing::TempDir floor_run;
  testing::TempDir converter_run;
  testing::write_file(floor_run / "input.txt", kPentagon);
  testing::write_file(converter_run / "input.txt", kPentagon);
  const auto floor = naive_floor(floor_run.path());
  ASSERT_EQ(floor.exit_code, 0) << floor.standard_error;
  const auto converter = testing::run_program(testing::converter_path(), {"input.txt", "poly.hf"},
                                              converter_run.path());
  ASSERT_EQ(converter.exit_code, 0) << converter.standard_error;

  EXPECT_EQ(testing::read_file(floor_run / "poly.plt"),
            testing::read_file(converter_run / "poly.plt"));
  const std::string model = testing::read_file(floor_run / "poly.hf");
  EXPECT_EQ(text_before(model, "polygon = "),
            text_before(testing::read_file(converter_run / "poly.hf"), "polygon = "));
  EXPECT_EQ(model.substr(model.find("polygon = ")), "polygon = (s0&s1)&(s2&(s3&s4));\n}\n");

  EXPECT_EQ(testing::read_file(floor_run / "Formula.txt"), "(0*1)*(2*(3*4))");
  EXPECT_EQ(testing::read_file(floor_run / "List.txt"),
            "polygon\n4\n1000 -2.5 \n1500 700.25 \n400 1200 \n-300 650 \nhull\n4\n0 1 2 3 \n");
}

TEST(NaiveFloor, FormatsSixSignificantDigitsAndNamesEveryEdgeOnce) {
  testing::TempDir directory;
  std::ostringstream polygon;
  constexpr int kCount = 1000;
  polygon.precision(17);
  polygon << kCount << '\n';
  for (int k = 0; k < kCount; ++k)
    polygon << 1234567.0 + k << ' ' << -0.000123456789 * (k + 1) << '\n';
  testing::write_file(directory / "input.txt", polygon.str());
  const auto run = naive_floor(directory.path());
  ASSERT_EQ(run.exit_code, 0) << run.standard_error;

  const std::string plot = testing::read_file(directory / "poly.plt");
  EXPECT_NE(plot.find("\n1001\n1.23457e+06 -0.000123457\n"), std::string::npos);

  std::istringstream formula(testing::read_file(directory / "Formula.txt"));
  std::set<int> edges;
  int edge_count = 0;
  for (std::string word; std::getline(formula, word, '*');) {
    const auto digit = word.find_first_of("0123456789");
    ASSERT_NE(digit, std::string::npos) << word;
    edges.insert(std::stoi(word.substr(digit)));
    ++edge_count;
  }
  EXPECT_EQ(edge_count, kCount);
  ASSERT_EQ(edges.size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(*edges.begin(), 0);
  EXPECT_EQ(*edges.rbegin(), kCount - 1);
}

TEST(NaiveFloor, RefusesWhatIsNoPolygonFile) {
  testing::TempDir directory;
  testing::write_file(directory / "input.txt", "3\n0 0\n1 0\n");
  EXPECT_EQ(naive_floor(directory.path()).exit_code, 1);
  testing::write_file(directory / "input.txt", "2\n0 0\n1 zero\n");
  EXPECT_EQ(naive_floor(directory.path()).exit_code, 1);
  EXPECT_EQ(testing::run_program(POLYFREP_NAIVE_FLOOR_EXECUTABLE, {"input.txt"}, directory.path())
                .exit_code,
            2);
}

}  // namespace
}  // namespace polyfrep::bench
