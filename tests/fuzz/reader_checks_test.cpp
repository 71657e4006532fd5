// The fuzzers are only as good as their checks: these tests pin the
// independent reading the reader is compared with, show that the polygon
// checks flag broken outcomes, and run the checks over generated texts.
#include "fuzz/reader_checks.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "io/input_reader.h"

namespace polyfrep::fuzzing {
namespace {

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

struct ExpectedCase {
  std::string text;
  std::vector<double> values;  // the numbers read, count first; a failure follows
  bool ends_undecided = false;
};

TEST(ExpectedReading, ReadsTheCountThenCoordinatesUpToTheFirstFailure) {
  const double kSmallestNormalText = 2.2250738585072014e-308;
  const std::vector<ExpectedCase> cases = {
      {"4 0 0 1 0", {4, 0, 0, 1, 0}},
      {"4.0 1", {4, 0.0, 1}},
      {" \r\n+7\t1e2 -.5 2.", {7, 100, -0.5, 2}},
      {"3 -0 0", {3, -0.0, 0}},
      {"3 2.5e 1", {3}},
      {"3 1.5e+5.5", {3, 1.5e5, 0.5}},
      {"3 1e-400 1", {3}},
      {"3 0e-400 1", {3, 0.0, 1}},
      {"3 4.9e-324", {3}},
      {"3 1e309", {3}},
      {"3 1.7976931348623157e308", {3, DBL_MAX}},
      {"3 inf nan", {3}},
      {"2147483647", {2147483647}},
      {"-2147483648 5", {-2147483648.0, 5}},
      {"2147483648 5", {}},
      {"99999999999999999999", {}},
      {"", {}},
      {"x", {}},
      {"+-3", {}},
      {"3 2.2250738585072014e-308 1", {3}, true},
  };
  EXPECT_EQ(kSmallestNormalText, DBL_MIN);
  for (const ExpectedCase& c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    const ExpectedReading expected = expected_reading(c.text);
    ASSERT_EQ(expected.numbers.size(), c.values.size() + 1);
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      EXPECT_TRUE(expected.numbers[i].read) << "number " << i;
      EXPECT_TRUE(same_bits(expected.numbers[i].value, c.values[i]))
          << "number " << i << ": " << expected.numbers[i].value;
    }
    EXPECT_EQ(expected.numbers.back().read, false);
    EXPECT_EQ(expected.ends_undecided, c.ends_undecided);
  }
}

TEST(ExpectedReading, CountsConsumedCharactersThroughEachNumber) {
  const ExpectedReading expected = expected_reading("  12\t3.5e1 x");
  ASSERT_EQ(expected.numbers.size(), 3u);
  EXPECT_EQ(expected.numbers[0].consumed, 4);
  EXPECT_EQ(expected.numbers[1].consumed, 10);
}

PolygonOutcome outcome_of(const std::string& text) {
  std::istringstream in(text);
  NumberScanner scanner = make_number_scanner(in);
  PolygonOutcome outcome;
  outcome.count_read = read_vertex_count(scanner, outcome.vertex_count);
  outcome.coordinates_read = read_vertices(scanner, outcome.vertex_count, outcome.vertices);
  outcome.failed = scanner.failed;
  return outcome;
}

struct Corruption {
  std::string name;
  std::function<void(PolygonOutcome&)> apply;
};

// Each corruption is a fault a reader could have; the checks must flag it.
TEST(PolygonOutcomeViolations, FlagsEveryKindOfBrokenOutcome) {
  const std::string text = "4 1 2 3 4 5";  // the third vertex gets x only
  const ExpectedReading expected = expected_reading(text);
  ASSERT_TRUE(polygon_outcome_violations(outcome_of(text), expected).empty());

  const std::vector<Corruption> corruptions = {
      {"one vertex too few", [](PolygonOutcome& o) { o.vertices.pop_back(); }},
      {"one vertex too many",
       [](PolygonOutcome& o) {
         o.vertices.push_back({5, 4});
       }},
      {"wrong count", [](PolygonOutcome& o) { o.vertex_count = 5; }},
      {"count not read", [](PolygonOutcome& o) { o.count_read = false; }},
      {"more coordinates than the count allows", [](PolygonOutcome& o) { o.coordinates_read = 9; }},
      {"coordinates miscounted", [](PolygonOutcome& o) { o.coordinates_read = 4; }},
      {"failure not noted", [](PolygonOutcome& o) { o.failed = false; }},
      {"wrong value read", [](PolygonOutcome& o) { o.vertices[1].x = 3.0000000000000004; }},
      {"holding point reset",
       [](PolygonOutcome& o) {
         o.vertices[3] = {0, 0};
       }},
      {"failed y not repeated", [](PolygonOutcome& o) { o.vertices[2].y = 0; }},
      {"not a number", [](PolygonOutcome& o) { o.vertices[3].x = std::nan(""); }},
      {"infinite", [](PolygonOutcome& o) { o.vertices[0].y = INFINITY; }},
      {"subnormal", [](PolygonOutcome& o) { o.vertices[0].x = DBL_MIN / 4; }},
  };
  for (const Corruption& corruption : corruptions) {
    PolygonOutcome outcome = outcome_of(text);
    corruption.apply(outcome);
    EXPECT_FALSE(polygon_outcome_violations(outcome, expected).empty()) << corruption.name;
  }
}

TEST(PolygonOutcomeViolations, UnreadableCountMeansZeroAndNoVertices) {
  const ExpectedReading expected = expected_reading("word 1 2");
  PolygonOutcome outcome = outcome_of("word 1 2");
  EXPECT_TRUE(polygon_outcome_violations(outcome, expected).empty());
  outcome.vertex_count = -1;
  EXPECT_FALSE(polygon_outcome_violations(outcome, expected).empty());
}

// Texts made of the pieces that matter to the reader: digits, signs, points,
// exponent marks, every kind of white space, and stray characters.
std::string generated_text(std::mt19937& random) {
  static const std::vector<std::string> pieces = {
      "0",  "1",    "7",    "9",    "00", ".",     "-",      "+",    "e",    "E",
      " ",  "\t",   "\r\n", "\n",   "\v", "\f",    "x",      "\0",   "e-",   "e+",
      "3 ", "1e30", "e308", "e-30", "5.", "1e-31", "2.2250", "7385", "0720", "1e400"};
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 40);
  std::string text = std::to_string(random() % 6) + " ";
  for (int i = length(random); i > 0; --i)
    text += pieces[piece(random)];
  return text;
}

TEST(CheckReader, HoldsOnGeneratedTexts) {
  std::mt19937 random(20240607);
  for (int i = 0; i < 500; ++i) {
    const std::string text = generated_text(random);
    const std::vector<std::string> violations = check_reader(text);
    EXPECT_TRUE(violations.empty()) << "text \"" << text << "\": " << violations.front();
  }
}

}  // namespace
}  // namespace polyfrep::fuzzing
