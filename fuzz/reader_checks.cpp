#include "fuzz/reader_checks.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "io/input_reader.h"

namespace polyfrep::fuzzing {
namespace {

// Block sizes the scanner is run with: one block that holds the whole text,
// and tiny ones that put a block boundary inside nearly every number. The
// whole-text block reads exactly as the default block does for any text
// shorter than it, without a block of the default size for every scanner
// (read_polygon still uses one), which under the sanitizers costs a fresh
// mapping per allocation and would slow the fuzzer tenfold.
std::vector<std::size_t> block_sizes(std::string_view text) {
  return {text.size() + 1, 1, 2, 3, 7};
}

// Destinations start here so that a failed extraction can be seen to leave
// them unchanged.
constexpr double kUntouched = -98765.4321;
constexpr int kUntouchedCount = -98765;

bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string describe(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// --- The independent reading: a plain walk over the whole text. ---

bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_sign(char c) {
  return c == '+' || c == '-';
}

struct Walk {
  std::string_view text;
  std::size_t position = 0;

  char at(std::size_t offset) const {
    return position + offset < text.size() ? text[position + offset] : '\0';
  }
  std::size_t digits_from(std::size_t offset) const {
    std::size_t count = 0;
    while (is_digit(at(offset + count)))
      ++count;
    return count;
  }
};

// Skips white space; false when nothing else is left.
bool skip_white_space(Walk& walk) {
  while (walk.position < walk.text.size() && is_white_space(walk.text[walk.position]))
    ++walk.position;
  return walk.position < walk.text.size();
}

// Length of the longest prefix the integer grammar admits; `well_formed`
// tells whether it holds any digit.
std::size_t integer_extent(const Walk& walk, bool& well_formed) {
  const std::size_t sign = is_sign(walk.at(0)) ? 1 : 0;
  const std::size_t digits = walk.digits_from(sign);
  well_formed = digits > 0;
  return sign + digits;
}

// Sign, digits, optional point and fraction (some digit in either), then an
// optional exponent that must have digits once its mark is there.
std::size_t double_extent(const Walk& walk, bool& well_formed) {
  std::size_t length = is_sign(walk.at(0)) ? 1 : 0;
  std::size_t mantissa_digits = walk.digits_from(length);
  length += mantissa_digits;
  if (walk.at(length) == '.') {
    const std::size_t fraction_digits = walk.digits_from(length + 1);
    length += 1 + fraction_digits;
    mantissa_digits += fraction_digits;
  }
  well_formed = mantissa_digits > 0;
  if (!well_formed) return length;
  if (walk.at(length) == 'e' || walk.at(length) == 'E') {
    ++length;
    if (is_sign(walk.at(length))) ++length;
    const std::size_t exponent_digits = walk.digits_from(length);
    length += exponent_digits;
    well_formed = exponent_digits > 0;
  }
  return length;
}

bool integer_value(std::string_view literal, double& value) {
  const bool negative = literal.front() == '-';
  long long magnitude = 0;
  for (char c : literal) {
    if (!is_digit(c)) continue;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
  }
  const long long signed_value = negative ? -magnitude : magnitude;
  if (signed_value < INT_MIN || signed_value > INT_MAX) return false;
  value = static_cast<double>(signed_value);
  return true;
}

bool has_nonzero_mantissa_digit(std::string_view literal) {
  for (char c : literal) {
    if (c == 'e' || c == 'E') return false;
    if (c >= '1' && c <= '9') return true;
  }
  return false;
}

enum class Conversion { kRead, kFailed, kUndecided };

// strtod rounds correctly in the C locale, which a process starts in.
Conversion double_value(std::string_view literal, double& value) {
  const std::string copy(literal);
  char* stop = nullptr;
  const double converted = std::strtod(copy.c_str(), &stop);
  if (stop != copy.c_str() + copy.size() || !std::isfinite(converted)) return Conversion::kFailed;
  if (has_nonzero_mantissa_digit(literal)) {
    const double magnitude = std::fabs(converted);
    if (magnitude < DBL_MIN) return Conversion::kFailed;
    if (magnitude == DBL_MIN) return Conversion::kUndecided;
  }
  value = converted;
  return Conversion::kRead;
}

// --- The reader under test. ---

struct ScannedNumbers {
  std::vector<ExtractedNumber> numbers;
  std::vector<std::string> violations;
};

// Extracts like the reader does (the count, then coordinates until one
// fails) and checks the failure rules on the way: a failed extraction leaves
// its destination alone, and a failed scanner reads nothing more.
ScannedNumbers scan_numbers(std::string_view text, std::size_t block_size) {
  ScannedNumbers result;
  std::istringstream in{std::string(text)};
  NumberScanner scanner = make_number_scanner(in, block_size);
  int count = kUntouchedCount;
  const bool count_read = scan_integer(scanner, count);
  result.numbers.push_back({count_read, static_cast<double>(count), scanner.consumed});
  if (!count_read && count != kUntouchedCount)
    result.violations.push_back("a failed count extraction changed its destination");
  bool read = count_read;
  while (read) {
    double value = kUntouched;
    read = scan_double(scanner, value);
    result.numbers.push_back({read, value, scanner.consumed});
    if (!read && !same_bits(value, kUntouched)) {
      result.violations.push_back("a failed coordinate extraction changed its destination");
    }
  }
  const long long consumed_at_failure = scanner.consumed;
  double after_failure = kUntouched;
  if (scan_double(scanner, after_failure) || scanner.consumed != consumed_at_failure ||
      !same_bits(after_failure, kUntouched)) {
    result.violations.push_back("an extraction after a failure read or stored something");
  }
  return result;
}

std::string block_label(std::size_t block_size) {
  return "block size " + std::to_string(block_size) + ": ";
}

void compare_with_expected(const ScannedNumbers& scanned, const ExpectedReading& expected,
                           std::size_t block_size, std::vector<std::string>& violations) {
  const std::size_t decided =
      expected.numbers.size() - (expected.ends_undecided ? std::size_t{1} : std::size_t{0});
  if (!expected.ends_undecided && scanned.numbers.size() != expected.numbers.size()) {
    violations.push_back(block_label(block_size) + std::to_string(scanned.numbers.size()) +
                         " extractions instead of " + std::to_string(expected.numbers.size()));
  }
  const std::size_t compared = std::min(decided, scanned.numbers.size());
  for (std::size_t i = 0; i < compared; ++i) {
    const ExtractedNumber& got = scanned.numbers[i];
    const ExtractedNumber& want = expected.numbers[i];
    const std::string where = block_label(block_size) + "extraction " + std::to_string(i) + ": ";
    if (got.read != want.read) {
      violations.push_back(where + (got.read ? "read " + describe(got.value) : "failed") +
                           ", expected " + (want.read ? describe(want.value) : "a failure"));
    } else if (got.read && !same_bits(got.value, want.value)) {
      violations.push_back(where + "value " + describe(got.value) + ", expected " +
                           describe(want.value));
    } else if (got.read && got.consumed != want.consumed) {
      violations.push_back(where + "consumed " + std::to_string(got.consumed) + ", expected " +
                           std::to_string(want.consumed));
    }
  }
}

PolygonOutcome read_polygon_outcome(std::string_view text, std::size_t block_size) {
  std::istringstream in{std::string(text)};
  NumberScanner scanner = make_number_scanner(in, block_size);
  PolygonOutcome outcome;
  outcome.count_read = read_vertex_count(scanner, outcome.vertex_count);
  outcome.coordinates_read = read_vertices(scanner, outcome.vertex_count, outcome.vertices);
  outcome.failed = scanner.failed;
  return outcome;
}

bool same_vertices(const std::vector<Point>& a, const std::vector<Point>& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](const Point& p, const Point& q) {
           return same_bits(p.x, q.x) && same_bits(p.y, q.y);
         });
}

bool same_outcome(const PolygonOutcome& a, const PolygonOutcome& b) {
  return a.count_read == b.count_read && a.vertex_count == b.vertex_count &&
         a.coordinates_read == b.coordinates_read && a.failed == b.failed &&
         same_vertices(a.vertices, b.vertices);
}

// The polygon read through read_polygon on a stream must match the scanner's,
// and the stream's state must tell whether an extraction failed.
void check_read_polygon(std::string_view text, const PolygonOutcome& reference,
                        std::vector<std::string>& violations) {
  std::istringstream in{std::string(text)};
  int vertex_count = kUntouchedCount;
  std::vector<Point> vertices;
  read_polygon(in, vertex_count, vertices);
  if (vertex_count != reference.vertex_count || !same_vertices(vertices, reference.vertices))
    violations.push_back("read_polygon disagrees with read_vertex_count and read_vertices");
  if (in.fail() != reference.failed)
    violations.push_back("read_polygon's stream state does not match the scanner's failure");
  if (in.bad()) violations.push_back("read_polygon marked an in-memory stream bad");
}

}  // namespace

ExpectedReading expected_reading(std::string_view text) {
  ExpectedReading expected;
  Walk walk{text};
  bool is_count = true;
  for (;;) {
    ExtractedNumber number;
    Conversion conversion = Conversion::kFailed;
    if (skip_white_space(walk)) {
      bool well_formed = false;
      const std::size_t length =
          is_count ? integer_extent(walk, well_formed) : double_extent(walk, well_formed);
      const std::string_view literal = text.substr(walk.position, length);
      walk.position += length;
      if (well_formed && is_count) {
        conversion = integer_value(literal, number.value) ? Conversion::kRead : Conversion::kFailed;
      } else if (well_formed) {
        conversion = double_value(literal, number.value);
      }
    }
    number.read = conversion == Conversion::kRead;
    number.consumed = static_cast<long long>(walk.position);
    expected.numbers.push_back(number);
    expected.ends_undecided = conversion == Conversion::kUndecided;
    if (!number.read) return expected;
    is_count = false;
  }
}

std::vector<std::string> polygon_outcome_violations(const PolygonOutcome& outcome,
                                                    const ExpectedReading& expected) {
  std::vector<std::string> violations;
  const ExtractedNumber& count = expected.numbers.front();
  if (outcome.count_read != count.read)
    violations.push_back("count read: " + std::to_string(outcome.count_read));
  if (!outcome.count_read && outcome.vertex_count != 0)
    violations.push_back("a count that cannot be read is not 0");
  if (count.read && outcome.vertex_count != static_cast<int>(count.value))
    violations.push_back("count " + std::to_string(outcome.vertex_count) + ", expected " +
                         describe(count.value));

  const long long wanted = 2 * static_cast<long long>(std::max(outcome.vertex_count, 0));
  if (outcome.vertices.size() != static_cast<std::size_t>(wanted / 2))
    violations.push_back(std::to_string(outcome.vertices.size()) + " vertices for count " +
                         std::to_string(outcome.vertex_count));
  if (outcome.coordinates_read < 0 || outcome.coordinates_read > wanted)
    violations.push_back(std::to_string(outcome.coordinates_read) + " coordinates read for count " +
                         std::to_string(outcome.vertex_count));
  if (outcome.failed != (!outcome.count_read || outcome.coordinates_read < wanted))
    violations.push_back("scanner failure does not match the coordinates read");
  if (!expected.ends_undecided) {
    const long long available = static_cast<long long>(expected.numbers.size()) - 2;
    if (count.read && outcome.coordinates_read != std::min(wanted, std::max(available, 0LL)))
      violations.push_back(std::to_string(outcome.coordinates_read) +
                           " coordinates read, expected " +
                           std::to_string(std::min(wanted, std::max(available, 0LL))));
  }

  // The coordinates in file order; past the last one read, each repeats the
  // holding point's value from one vertex earlier, starting from 0.
  std::vector<double> flat;
  for (const Point& vertex : outcome.vertices) {
    flat.push_back(vertex.x);
    flat.push_back(vertex.y);
  }
  const std::size_t decided =
      expected.numbers.size() - (expected.ends_undecided ? std::size_t{1} : std::size_t{0});
  for (std::size_t j = 0; j < flat.size(); ++j) {
    const double value = flat[j];
    const std::string where = "coordinate " + std::to_string(j) + " (" + describe(value) + ")";
    if (!std::isfinite(value)) {
      violations.push_back(where + " is not finite");
    } else if (value != 0.0 && std::fabs(value) < DBL_MIN) {
      violations.push_back(where + " is subnormal");
    }
    const bool was_read = static_cast<long long>(j) < outcome.coordinates_read;
    if (was_read && j + 1 < decided && expected.numbers[j + 1].read &&
        !same_bits(value, expected.numbers[j + 1].value)) {
      violations.push_back(where + " differs from the text's " +
                           describe(expected.numbers[j + 1].value));
    }
    const double holding = j >= 2 ? flat[j - 2] : 0.0;
    if (!was_read && !same_bits(value, holding))
      violations.push_back(where + " does not repeat the holding point's " + describe(holding));
  }
  return violations;
}

std::vector<std::string> check_reader(std::string_view text) {
  std::vector<std::string> violations;
  const ExpectedReading expected = expected_reading(text);
  const std::vector<std::size_t> sizes = block_sizes(text);
  for (std::size_t block_size : sizes) {
    ScannedNumbers scanned = scan_numbers(text, block_size);
    violations.insert(violations.end(), scanned.violations.begin(), scanned.violations.end());
    compare_with_expected(scanned, expected, block_size, violations);
  }

  // A scanner that already disagrees could read any count; the polygon pass
  // would only repeat its faults.
  const ExtractedNumber& count = expected.numbers.front();
  if (!violations.empty() || (count.read && count.value > kMaxReaderVertexCount)) return violations;
  const PolygonOutcome reference = read_polygon_outcome(text, sizes.front());
  for (const std::string& violation : polygon_outcome_violations(reference, expected))
    violations.push_back("polygon: " + violation);
  for (std::size_t block_size : sizes) {
    if (!same_outcome(read_polygon_outcome(text, block_size), reference))
      violations.push_back(block_label(block_size) + "polygon differs from the whole text's");
  }
  check_read_polygon(text, reference, violations);
  return violations;
}

void abort_on_violations(std::string_view what, const std::vector<std::string>& violations) {
  if (violations.empty()) return;
  std::fprintf(stderr, "%.*s: %zu broken invariant(s)\n", static_cast<int>(what.size()),
               what.data(), violations.size());
  for (const std::string& violation : violations)
    std::fprintf(stderr, "  %s\n", violation.c_str());
  std::abort();
}

}  // namespace polyfrep::fuzzing
