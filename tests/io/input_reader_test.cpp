#include "io/input_reader.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace polyfrep {
namespace {

// Every table runs once per block size; the tiny ones put a block boundary
// at every position inside every number.
constexpr std::size_t kBlockSizes[] = {kDefaultBlockSize, 1, 2, 3, 7};

// Destinations start here so that a failed extraction can be seen to leave
// them unchanged.
constexpr double kUntouched = 12345.0;

bool same_double(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

enum class Kind { kInteger, kDouble };

struct Extraction {
  Kind kind;
  bool succeeds;
  double value;  // compared bit for bit, so -0.0 differs from 0.0
};

Extraction integer(int value) {
  return {Kind::kInteger, true, static_cast<double>(value)};
}
Extraction real(double value) {
  return {Kind::kDouble, true, value};
}
const Extraction kIntegerFails{Kind::kInteger, false, 0};
const Extraction kRealFails{Kind::kDouble, false, 0};

struct ScanCase {
  std::string input;
  std::vector<Extraction> steps;
  long long consumed = -1;  // characters consumed after all steps; -1: not checked
};

// Runs one extraction with a destination preset to kUntouched; returns
// whether it succeeded and what the destination holds afterwards.
std::pair<bool, double> extract(NumberScanner& scanner, Kind kind) {
  if (kind == Kind::kDouble) {
    double value = kUntouched;
    const bool ok = scan_double(scanner, value);
    return {ok, value};
  }
  int value = static_cast<int>(kUntouched);
  const bool ok = scan_integer(scanner, value);
  return {ok, static_cast<double>(value)};
}

void run_scan_cases(const std::vector<ScanCase>& cases) {
  for (const ScanCase& c : cases) {
    for (std::size_t block_size : kBlockSizes) {
      SCOPED_TRACE("input \"" + c.input + "\", block size " + std::to_string(block_size));
      std::istringstream in(c.input);
      NumberScanner scanner = make_number_scanner(in, block_size);
      for (std::size_t step = 0; step < c.steps.size(); ++step) {
        const auto [ok, value] = extract(scanner, c.steps[step].kind);
        EXPECT_EQ(ok, c.steps[step].succeeds) << "step " << step;
        const double expected = ok ? c.steps[step].value : kUntouched;
        EXPECT_TRUE(same_double(value, expected)) << "step " << step << ": " << value;
      }
      if (c.consumed >= 0) {
        EXPECT_EQ(scanner.consumed, c.consumed);
      }
    }
  }
}

TEST(ScanInteger, FollowsTheIntegerGrammarAndRange) {
  run_scan_cases({
      {"4.0", {integer(4), real(0.0)}, 3},
      {" \t\n\v\f\r7", {integer(7)}, 7},
      {"  12  ", {integer(12)}, 4},
      {"+5 -5 -0 0007", {integer(5), integer(-5), integer(0), integer(7)}, 13},
      {"2147483647 -2147483648", {integer(2147483647), integer(-2147483647 - 1)}},
      {"2147483648 1", {kIntegerFails, kIntegerFails}},
      {"-2147483649", {kIntegerFails}},
      {"99999999999999999999", {kIntegerFails}},
      {"+ 5", {kIntegerFails}},
      {"-", {kIntegerFails}},
      {"+-5", {kIntegerFails}},
      {"", {kIntegerFails}, 0},
      {" \r\n ", {kIntegerFails}, 4},
      {"x 5", {kIntegerFails, kIntegerFails, kRealFails}, 0},
      {"12abc", {integer(12), kIntegerFails}},
      {"0x10", {integer(0), kIntegerFails}},
      {"5-3", {integer(5), integer(-3)}},
      {"2.5e3", {integer(2), real(500.0)}},
  });
}

TEST(ScanDouble, FollowsTheDecimalGrammar) {
  run_scan_cases({
      {".5 5. +.5 -.5e1", {real(0.5), real(5.0), real(0.5), real(-5.0)}},
      {"5. 3", {real(5.0), real(3.0)}, 4},
      {"5..5", {real(5.0), real(0.5)}},
      {"2.5e2 2.5E+2 2.5e-2 +3", {real(250.0), real(250.0), real(0.025), real(3.0)}},
      {"1e5e5", {real(1e5), kRealFails}},
      {"1.5e+5.5", {real(1.5e5), real(0.5)}},
      {"1,5", {real(1.0), kRealFails}},
      {"0x1p3", {real(0.0), kRealFails}},
      {"12abc 7", {real(12.0), kRealFails, kRealFails}},
      {"5-3", {real(5.0), real(-3.0)}},
      {".", {kRealFails}},
      {"+", {kRealFails}},
      {"- 1", {kRealFails}},
      {"-.", {kRealFails}},
      {".e5", {kRealFails}},
      {"2.5e", {kRealFails}},
      {"2.5e 1", {kRealFails, kRealFails}, 4},
      {"1e+", {kRealFails}},
      {"1e-x", {kRealFails}},
      {"2.5ex", {kRealFails}},
      {"inf", {kRealFails}},
      {"-inf", {kRealFails}},
      {"infinity", {kRealFails}},
      {"nan", {kRealFails}},
      {std::string("5\0 3", 4), {real(5.0), kRealFails}},
      {"5\xa0 3", {real(5.0), kRealFails}},
      {"0.1" + std::string(3000, '0') + " 2", {real(0.1), real(2.0)}, 3005},
      {std::string(400, '0') + "1.5", {real(1.5)}},
  });
}

TEST(ScanDouble, FailsOutsideTheNormalRange) {
  run_scan_cases({
      {"1.7976931348623157e308", {real(DBL_MAX)}},
      {"-1.7976931348623158e308", {real(-DBL_MAX)}},
      {"1.7976931348623159e308", {kRealFails}},
      {"1e400", {kRealFails}},
      {"-1e400", {kRealFails}},
      {"1e99999999999999999999", {kRealFails}},
      {"1" + std::string(400, '0'), {kRealFails}},
      {"1e-400", {kRealFails}},
      {"1e-99999999999999999999", {kRealFails}},
      {"0." + std::string(400, '0') + "1", {kRealFails}},
      {"4e-320", {kRealFails}},
      {"-4e-320", {kRealFails}},
      // Rounds up to the smallest normal double but lies below it.
      {"2.2250738585072012e-308", {kRealFails}},
      {"-2.2250738585072012e-308", {kRealFails}},
      {"2.2250738585072014e-308", {real(DBL_MIN)}},
      {"-2.2250738585072014e-308", {real(-DBL_MIN)}},
      {"0e-999 -0.000 0.000e99999999999999999999", {real(0.0), real(-0.0), real(0.0)}},
  });
}

// The exact decimal value of 2^-1022 as "d.ddd...", from the C library's
// exact conversion: an oracle independent of the reader.
std::string exact_smallest_normal_mantissa() {
  char text[1200];
  std::snprintf(text, sizeof text, "%.900e", DBL_MIN);
  std::string mantissa(text, std::strchr(text, 'e'));
  return mantissa.erase(mantissa.find_last_not_of('0') + 1);
}

TEST(ScanDouble, DecidesTheSmallestNormalBoundaryExactly) {
  const std::string exact = exact_smallest_normal_mantissa();
  ASSERT_EQ(exact.size(), 716u);  // 2^-1022 = 5^1022 / 10^1022 has 715 significant digits
  ASSERT_EQ(exact.substr(exact.size() - 3), "625");
  const std::string digits = exact.substr(0, 1) + exact.substr(2);
  std::string below = exact;
  below.back() = '4';
  const std::string zeros(307, '0');
  const std::string exponent_of_integer = "e-" + std::to_string(307 + digits.size());
  run_scan_cases({
      {exact + "e-308", {real(DBL_MIN)}},
      {"-" + exact + "000e-308", {real(-DBL_MIN)}},
      {exact + "1e-308", {real(DBL_MIN)}},
      {"0." + zeros + digits, {real(DBL_MIN)}},
      {digits + exponent_of_integer, {real(DBL_MIN)}},
      {below + "e-308", {kRealFails}},
      {below + "99999999e-308", {kRealFails}},
      {"-0." + zeros + below.substr(0, 1) + below.substr(2), {kRealFails}},
  });
}

// Literals next to 2^-1022 in many precisions. The oracle is the C library's
// conversion rounding toward zero: it reaches 2^-1022 exactly when the
// literal's exact value does.
TEST(ScanDouble, AgreesWithTruncatingConversionNearTheSmallestNormal) {
  std::mt19937 random(2024);
  std::uniform_int_distribution<int> ulps(-3, 3), precision(14, 30), digit(0, 9);
  for (int i = 0; i < 5000; ++i) {
    double near = DBL_MIN;
    for (int step = ulps(random); step != 0; step += step > 0 ? -1 : 1) {
      near = std::nextafter(near, step > 0 ? 1.0 : 0.0);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", precision(random), near);
    std::string literal(text);
    literal[literal.find('e') - 1] = static_cast<char>('0' + digit(random));
    std::fesetround(FE_TOWARDZERO);
    const double truncated = std::strtod(literal.c_str(), nullptr);
    std::fesetround(FE_TONEAREST);
    std::istringstream in(literal);
    NumberScanner scanner = make_number_scanner(in);
    double value = kUntouched;
    ASSERT_EQ(scan_double(scanner, value), truncated >= DBL_MIN) << literal;
    if (truncated >= DBL_MIN) {
      ASSERT_EQ(value, std::strtod(literal.c_str(), nullptr)) << literal;
    }
  }
}

// Generates text where this reader and a text stream's own extraction must
// agree: decimal numbers in many forms, junk, and white space of every kind.
// They deliberately differ, and the generator avoids, in two places:
// - on failure a text stream stores 0, or the limit value on overflow, where
//   this reader leaves the destination unchanged (values are therefore
//   compared only on success; the reader's own table tests cover the rest);
// - a text stream accepts a non-zero value below 2^-1022 (storing a subnormal
//   or zero), which this reader rejects, so exponents stay well above it.
std::string generated_text(std::mt19937& random) {
  auto pick = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  auto digits = [&](int max_count) {
    std::string text;
    for (int count = pick(max_count + 1); count > 0; --count)
      text += char('0' + pick(10));
    return text;
  };
  static const char* const kJunk[] = {"abc", ",",  "inf", "nan",  "0x1p3", "--1", "+-2",
                                      ".",   "e5", "+",   "2.5e", "1e+",   "#",   ".e1"};
  static const char* const kSigns[] = {"", "", "+", "-"};
  static const char kWhiteSpace[] = " \t\n\r\v\f";
  std::string text;
  bool exponent_before = false;
  for (int token = pick(12); token >= 0; --token) {
    // Tokens may run together, except after an exponent, whose digits the
    // next token could otherwise extend into the underflow range.
    int separators = pick(4) - (pick(5) == 0);
    if (exponent_before) separators = std::max(separators, 1);
    for (; separators > 0; --separators)
      text += kWhiteSpace[pick(6)];
    if (pick(10) == 0) {
      const char* junk = kJunk[pick(std::size(kJunk))];
      text += junk;
      exponent_before = std::strpbrk(junk, "eE") != nullptr;
      continue;
    }
    text += kSigns[pick(4)] + digits(12);
    if (pick(2) == 0) text += "." + digits(12);
    exponent_before = pick(3) == 0;
    if (exponent_before) {
      const std::string sign = kSigns[pick(4)];
      const bool overflows = sign != "-" && pick(5) == 0;
      text += std::string(pick(2) ? "e" : "E") + sign;
      text += std::to_string(overflows ? 300 + pick(100) : pick(250));
    }
  }
  return text;
}

TEST(ScanNumbers, AgreesWithStreamExtractionOnGeneratedText) {
  std::mt19937 random(7);
  const std::size_t block_sizes[] = {1, 2, 3, 7, 64, kDefaultBlockSize};
  for (int round = 0; round < 20000; ++round) {
    const std::string text = generated_text(random);
    std::istringstream stream(text), in(text);
    NumberScanner scanner = make_number_scanner(in, block_sizes[round % std::size(block_sizes)]);
    bool stream_failed = false;
    while (!stream_failed) {
      const Kind kind = random() % 3 == 0 ? Kind::kInteger : Kind::kDouble;
      double expected = 0;
      if (kind == Kind::kDouble) {
        stream >> expected;
      } else {
        int whole = 0;
        stream >> whole;
        expected = whole;
      }
      stream_failed = stream.fail();
      const auto [ok, value] = extract(scanner, kind);
      ASSERT_EQ(ok, !stream_failed) << '"' << text << '"';
      ASSERT_TRUE(ok ? same_double(value, expected) : value == kUntouched) << '"' << text << '"';
    }
  }
}

// A stream that counts how often the scanner asks it for characters.
class CountingBuffer : public std::stringbuf {
 public:
  explicit CountingBuffer(const std::string& text) : std::stringbuf(text) {}
  int reads = 0;

 protected:
  std::streamsize xsgetn(char* destination, std::streamsize count) override {
    ++reads;
    return std::stringbuf::xsgetn(destination, count);
  }
};

TEST(ScanNumbers, NeverReadsAfterAFailureOrANonPositiveCount) {
  const struct {
    const char* text;
    long long coordinates_read;
    bool fails;
  } cases[] = {{"x   1 2 3", 0, true},
               {"0   1 2 3 4", 0, false},
               {"-3   1 2 3 4", 0, false},
               {"2 1e+   5 6", 0, true},
               {"2 1 2 3 .   5", 3, true}};
  for (const auto& c : cases) {
    CountingBuffer buffer(c.text);
    std::istream in(&buffer);
    NumberScanner scanner = make_number_scanner(in, 1);
    int count = -99;
    read_vertex_count(scanner, count);
    const int reads_after_count = buffer.reads;
    const long long consumed_after_count = scanner.consumed;
    std::vector<Point> vertices(2);
    EXPECT_EQ(read_vertices(scanner, count, vertices), c.coordinates_read) << c.text;
    EXPECT_EQ(vertices.size(), static_cast<std::size_t>(std::max(count, 0))) << c.text;
    if (count <= 0) {
      EXPECT_EQ(buffer.reads, reads_after_count) << c.text;
      EXPECT_EQ(scanner.consumed, consumed_after_count) << c.text;
    }
    ASSERT_EQ(scanner.failed, c.fails) << c.text;
    if (!scanner.failed) continue;
    const int reads_after_failure = buffer.reads;
    const long long consumed_after_failure = scanner.consumed;
    double value = kUntouched;
    int whole = 7;
    EXPECT_FALSE(scan_double(scanner, value) || scan_integer(scanner, whole)) << c.text;
    EXPECT_EQ(buffer.reads, reads_after_failure) << c.text;
    EXPECT_EQ(scanner.consumed, consumed_after_failure) << c.text;
  }
}

struct PolygonCase {
  std::string input;
  int vertex_count;
  std::vector<Point> vertices;
  long long coordinates_read;
  bool stream_fails;  // read_polygon leaves the stream failed
};

const std::vector<Point> kUnitSquare = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

TEST(ReadPolygon, ReadsCountAndVerticesWithHoldingPointRules) {
  const std::vector<PolygonCase> cases = {
      {"4\n0 0\n1 0\n1 1\n0 1\n", 4, kUnitSquare, 8, false},
      {"4 0 0 1 0 1 1 0 1", 4, kUnitSquare, 8, false},
      {"\n\n\t4\n\n0\t0\n\n1 0\t\n1\t1\n\n0 1\n\n", 4, kUnitSquare, 8, false},
      {"4\r\n0 0\r\n1 0\r\n1 1\r\n0 1\r\n", 4, kUnitSquare, 8, false},
      {"4\r\n0 0\r\n1 0\r\n1 1\r\n0 1", 4, kUnitSquare, 8, false},
      {"3\n0 0\n2 0\n2 2\n0 2\n", 3, {{0, 0}, {2, 0}, {2, 2}}, 6, false},
      {"4\n0 0\n1 0\n1 1\n", 4, {{0, 0}, {1, 0}, {1, 1}, {1, 1}}, 6, true},
      {"3\n0 0\n2 0\n5\n", 3, {{0, 0}, {2, 0}, {5, 0}}, 5, true},
      {"3\n0 0\n1 0\nword 7 7\n", 3, {{0, 0}, {1, 0}, {1, 0}}, 4, true},
      {"2\n2.5e2 +3\n-1.5 4\n", 2, {{250, 3}, {-1.5, 4}}, 4, false},
      {"4\n0 0\n1 0\n0 1\n0 0\n", 4, {{0, 0}, {1, 0}, {0, 1}, {0, 0}}, 8, false},
      {"4.0 1 2 3 4 5 6 7", 4, {{0, 1}, {2, 3}, {4, 5}, {6, 7}}, 8, false},
      {"3", 3, {{0, 0}, {0, 0}, {0, 0}}, 0, true},
      {"3\n", 3, {{0, 0}, {0, 0}, {0, 0}}, 0, true},
      {"2 7", 2, {{7, 0}, {7, 0}}, 1, true},
      {"0\n1 2\n", 0, {}, 0, false},
      {"-2\n1 2\n", -2, {}, 0, false},
      {"", 0, {}, 0, true},
      {"square\n0 0\n", 0, {}, 0, true},
      {"99999999999 1 2", 0, {}, 0, true},
  };
  for (const PolygonCase& c : cases) {
    for (std::size_t block_size : kBlockSizes) {
      SCOPED_TRACE("input \"" + c.input + "\", block size " + std::to_string(block_size));
      std::istringstream in(c.input);
      NumberScanner scanner = make_number_scanner(in, block_size);
      int vertex_count = -99;
      read_vertex_count(scanner, vertex_count);
      std::vector<Point> vertices{{9, 9}};
      EXPECT_EQ(read_vertices(scanner, vertex_count, vertices), c.coordinates_read);
      EXPECT_EQ(vertex_count, c.vertex_count);
      ASSERT_EQ(vertices.size(), c.vertices.size());
      for (std::size_t i = 0; i < vertices.size(); ++i) {
        EXPECT_TRUE(same_double(vertices[i].x, c.vertices[i].x) &&
                    same_double(vertices[i].y, c.vertices[i].y))
            << "vertex " << i << ": " << vertices[i].x << " " << vertices[i].y;
      }
    }
    std::istringstream in(c.input);
    int vertex_count = -99;
    std::vector<Point> vertices;
    read_polygon(in, vertex_count, vertices);
    EXPECT_EQ(vertex_count, c.vertex_count) << c.input;
    EXPECT_EQ(vertices.size(), c.vertices.size()) << c.input;
    EXPECT_EQ(in.fail(), c.stream_fails) << c.input;
  }
}

TEST(ReadPolygon, ReportsBadFilesOnlyThroughTheStreamState) {
  testing::TempDir directory;
  testing::write_file(directory / "square.txt", "4\r\n0 0\r\n1 0\r\n1 1\r\n0 1");
  std::ifstream square(directory / "square.txt");
  int vertex_count = -99;
  std::vector<Point> vertices;
  read_polygon(square, vertex_count, vertices);
  EXPECT_EQ(vertex_count, 4);
  EXPECT_EQ(vertices.size(), 4u);
  EXPECT_FALSE(square.fail());

  for (const char* name : {"missing.txt", "."}) {  // cannot be opened; cannot be read
    std::ifstream in(directory / name);
    vertex_count = -99;
    vertices.assign(3, Point{1, 1});
    read_polygon(in, vertex_count, vertices);
    EXPECT_EQ(vertex_count, 0) << name;
    EXPECT_TRUE(vertices.empty()) << name;
    EXPECT_TRUE(in.fail()) << name;
  }
}

// Many vertices written with every digit that matters read back exactly, and
// consumed accounts for every character up to the last number.
TEST(ReadPolygon, ReadsLargeFilesExactly) {
  std::mt19937_64 random(99);
  std::uniform_real_distribution<double> coordinate(-1e6, 1e6);
  const int vertex_count = 200000;
  std::vector<Point> written(vertex_count);
  std::string text = std::to_string(vertex_count) + "\n";
  for (Point& p : written) {
    p = {coordinate(random), coordinate(random)};
    char line[64];
    text.append(line, std::snprintf(line, sizeof line, "%.17g %.17g\n", p.x, p.y));
  }
  for (std::size_t block_size : {kDefaultBlockSize, std::size_t{4093}}) {
    std::istringstream in(text);
    NumberScanner scanner = make_number_scanner(in, block_size);
    int count = 0;
    ASSERT_TRUE(read_vertex_count(scanner, count));
    EXPECT_EQ(scanner.consumed, static_cast<long long>(std::to_string(vertex_count).size()));
    std::vector<Point> vertices;
    EXPECT_EQ(read_vertices(scanner, count, vertices), 2LL * vertex_count);
    EXPECT_EQ(scanner.consumed, static_cast<long long>(text.size()) - 1);
    ASSERT_EQ(vertices.size(), written.size());
    for (int i = 0; i < vertex_count; ++i) {
      ASSERT_TRUE(vertices[i].x == written[i].x && vertices[i].y == written[i].y) << i;
    }
  }
}

}  // namespace
}  // namespace polyfrep
