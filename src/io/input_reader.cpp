#include "io/input_reader.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace polyfrep {
namespace {

constexpr int kEndOfInput = -1;

// The C locale's white space; no locale is consulted.
bool is_white_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(int c) {
  return c >= '0' && c <= '9';
}

bool is_sign(int c) {
  return c == '+' || c == '-';
}

bool is_exponent_mark(int c) {
  return c == 'e' || c == 'E';
}

// One call into the stream's buffer. Like a stream's own extraction, a buffer
// that throws ends the input instead of escaping to the caller; the error is
// remembered so that read_polygon can mark the stream bad.
std::size_t read_from_stream(NumberScanner& scanner, char* destination, std::size_t count) {
  std::streambuf* buffer = scanner.in != nullptr ? scanner.in->rdbuf() : nullptr;
  if (buffer == nullptr) return 0;
  try {
    const std::streamsize read = buffer->sgetn(destination, static_cast<std::streamsize>(count));
    return read > 0 ? static_cast<std::size_t>(read) : 0;
  } catch (const std::exception&) {
    scanner.read_error = true;
    return 0;
  }
}

// Doubles the block when a single number fills all of it, keeping the
// unconsumed characters, which are at its front.
void grow_block(NumberScanner& scanner) {
  const std::size_t new_capacity = scanner.capacity * 2;
  auto bigger = std::make_unique_for_overwrite<char[]>(new_capacity);
  std::memcpy(bigger.get(), scanner.block.get(), scanner.end);
  scanner.block = std::move(bigger);
  scanner.capacity = new_capacity;
}

// Moves the unconsumed tail to the front of the block and appends what the
// stream gives next, so that a number straddling two reads stays contiguous.
// Returns false once the stream has nothing more to give.
bool refill(NumberScanner& scanner) {
  if (scanner.at_end_of_input) return false;
  const std::size_t pending = scanner.end - scanner.begin;
  if (scanner.begin > 0) {
    std::memmove(scanner.block.get(), scanner.block.get() + scanner.begin, pending);
    scanner.begin = 0;
    scanner.end = pending;
  }
  if (scanner.end == scanner.capacity) grow_block(scanner);
  const std::size_t read =
      read_from_stream(scanner, scanner.block.get() + scanner.end, scanner.capacity - scanner.end);
  if (read == 0) {
    scanner.at_end_of_input = true;
    return false;
  }
  scanner.end += read;
  return true;
}

// The character `offset` places after the first unconsumed one, reading more
// of the stream when needed; kEndOfInput past the end of the input. Offsets
// count from `begin`, so they stay valid when a refill moves the block.
int peek(NumberScanner& scanner, std::size_t offset) {
  while (scanner.begin + offset >= scanner.end) {
    if (!refill(scanner)) return kEndOfInput;
  }
  return static_cast<unsigned char>(scanner.block[scanner.begin + offset]);
}

void consume(NumberScanner& scanner, std::size_t length) {
  scanner.begin += length;
  scanner.consumed += static_cast<long long>(length);
}

// Returns false when only white space is left.
bool skip_white_space(NumberScanner& scanner) {
  for (;;) {
    const std::size_t start = scanner.begin;
    while (scanner.begin < scanner.end && is_white_space(scanner.block[scanner.begin])) {
      ++scanner.begin;
    }
    scanner.consumed += static_cast<long long>(scanner.begin - start);
    if (scanner.begin < scanner.end) return true;
    if (!refill(scanner)) return false;
  }
}

// Every extraction starts here: a failed scanner fails at once without
// reading, and so does one that finds nothing but white space.
bool start_extraction(NumberScanner& scanner) {
  if (scanner.failed) return false;
  if (!skip_white_space(scanner)) scanner.failed = true;
  return !scanner.failed;
}

bool fail(NumberScanner& scanner) {
  scanner.failed = true;
  return false;
}

// Advances offset over a run of digits; returns how many there were and
// notes whether any of them was not a zero. Runs over the block directly and
// refills only when the digits reach its end: this loop sees nearly every
// character of the input.
std::size_t skip_digits(NumberScanner& scanner, std::size_t& offset, bool& has_nonzero_digit) {
  const std::size_t start = offset;
  bool nonzero = false;
  for (;;) {
    const char* text = scanner.block.get() + scanner.begin;
    const std::size_t available = scanner.end - scanner.begin;
    for (; offset < available && is_digit(text[offset]); ++offset) {
      nonzero |= text[offset] != '0';
    }
    if (offset < available || !refill(scanner)) break;
  }
  has_nonzero_digit |= nonzero;
  return offset - start;
}

// How far a number reaches from the first unconsumed character: exactly the
// characters the grammar admits, so the next extraction starts where a text
// stream's would.
struct NumberExtent {
  std::size_t length = 0;
  bool well_formed = false;
  bool has_nonzero_digit = false;  // in the digits before the exponent
};

NumberExtent measure_integer(NumberScanner& scanner) {
  NumberExtent extent;
  if (is_sign(peek(scanner, 0))) extent.length = 1;
  extent.well_formed = skip_digits(scanner, extent.length, extent.has_nonzero_digit) > 0;
  return extent;
}

// Sign, digits with an optional point and fraction, then an optional
// exponent. An exponent mark must be followed by digits: "2.5e" is malformed
// rather than 2.5 followed by "e".
NumberExtent measure_double(NumberScanner& scanner) {
  NumberExtent extent;
  std::size_t& offset = extent.length;
  if (is_sign(peek(scanner, 0))) offset = 1;
  std::size_t mantissa_digits = skip_digits(scanner, offset, extent.has_nonzero_digit);
  if (peek(scanner, offset) == '.') {
    ++offset;
    mantissa_digits += skip_digits(scanner, offset, extent.has_nonzero_digit);
  }
  if (mantissa_digits == 0) return extent;
  if (is_exponent_mark(peek(scanner, offset))) {
    ++offset;
    if (is_sign(peek(scanner, offset))) ++offset;
    bool ignored = false;
    if (skip_digits(scanner, offset, ignored) == 0) return extent;
  }
  extent.well_formed = true;
  return extent;
}

// A literal as 0.digits * 10^point_position, without leading or trailing
// zeros in digits, so that two literals compare by position, then digits.
struct SignificantDigits {
  std::string digits;
  long long point_position = 0;
};

// Written exponents beyond this bound are clamped: they are far outside the
// range of a double either way, and clamping keeps the arithmetic in range.
constexpr long long kExponentClamp = 1'000'000'000'000;

SignificantDigits significant_digits(std::string_view literal) {
  SignificantDigits result;
  std::size_t i = 0;
  if (i < literal.size() && is_sign(literal[i])) ++i;
  long long integer_digits = 0;
  for (; i < literal.size() && is_digit(literal[i]); ++i, ++integer_digits) {
    result.digits.push_back(literal[i]);
  }
  if (i < literal.size() && literal[i] == '.') {
    for (++i; i < literal.size() && is_digit(literal[i]); ++i)
      result.digits.push_back(literal[i]);
  }
  long long exponent = 0;
  bool negative_exponent = false;
  if (i < literal.size() && is_exponent_mark(literal[i])) {
    ++i;
    if (i < literal.size() && is_sign(literal[i])) negative_exponent = literal[i++] == '-';
    for (; i < literal.size() && is_digit(literal[i]); ++i) {
      exponent = std::min(exponent * 10 + (literal[i] - '0'), kExponentClamp);
    }
  }
  result.point_position = integer_digits + (negative_exponent ? -exponent : exponent);
  const std::size_t leading_zeros =
      std::min(result.digits.find_first_not_of('0'), result.digits.size());
  result.digits.erase(0, leading_zeros);
  result.point_position -= static_cast<long long>(leading_zeros);
  result.digits.erase(result.digits.find_last_not_of('0') + 1);
  return result;
}

// 2^-1022 = 5^1022 / 10^1022, so its exact decimal digits are those of 5^1022.
const SignificantDigits& smallest_normal_exactly() {
  static const SignificantDigits exact = [] {
    std::vector<int> reversed_digits{1};
    for (int power = 0; power < 1022; ++power) {
      int carry = 0;
      for (int& digit : reversed_digits) {
        const int product = digit * 5 + carry;
        digit = product % 10;
        carry = product / 10;
      }
      if (carry > 0) reversed_digits.push_back(carry);
    }
    SignificantDigits result;
    for (auto digit = reversed_digits.rbegin(); digit != reversed_digits.rend(); ++digit) {
      result.digits.push_back(static_cast<char>('0' + *digit));
    }
    result.point_position = static_cast<long long>(result.digits.size()) - 1022;
    return result;
  }();
  return exact;
}

// Decides the one case rounding hides: a literal that rounded to the
// smallest normal double may have been just below it.
bool exactly_below_smallest_normal(std::string_view literal) {
  const SignificantDigits written = significant_digits(literal);
  const SignificantDigits& threshold = smallest_normal_exactly();
  if (written.point_position != threshold.point_position) {
    return written.point_position < threshold.point_position;
  }
  return written.digits < threshold.digits;
}

// Converts a well-formed literal. Out of range: a value that rounds to
// infinity, and a non-zero value whose exact magnitude is below 2^-1022
// (rounded to zero, to a subnormal, or up to 2^-1022 itself).
bool convert_double(std::string_view literal, bool has_nonzero_digit, double& value) {
  const char* first = literal.data();
  const char* last = first + literal.size();
  // from_chars accepts a minus sign only.
  if (*first == '+') ++first;
  double converted = 0.0;
  const auto [stop, error] = std::from_chars(first, last, converted);
  if (error != std::errc{} || stop != last || !std::isfinite(converted)) return false;
  if (has_nonzero_digit) {
    const double magnitude = std::fabs(converted);
    if (magnitude < DBL_MIN) return false;
    if (magnitude == DBL_MIN && exactly_below_smallest_normal(literal)) return false;
  }
  value = converted;
  return true;
}

bool convert_integer(std::string_view literal, int& value) {
  const char* first = literal.data();
  const char* last = first + literal.size();
  if (*first == '+') ++first;
  int converted = 0;
  const auto [stop, error] = std::from_chars(first, last, converted);
  if (error != std::errc{} || stop != last) return false;
  value = converted;
  return true;
}

// Takes the measured characters off the block and returns them; they stay
// valid until the next read from the stream.
std::string_view take(NumberScanner& scanner, std::size_t length) {
  const std::string_view text(scanner.block.get() + scanner.begin, length);
  consume(scanner, length);
  return text;
}

}  // namespace

NumberScanner make_number_scanner(std::istream& in, std::size_t block_size) {
  NumberScanner scanner;
  scanner.in = &in;
  scanner.capacity = std::max<std::size_t>(block_size, 1);
  scanner.block = std::make_unique_for_overwrite<char[]>(scanner.capacity);
  scanner.failed = !in.good();
  return scanner;
}

bool scan_integer(NumberScanner& scanner, int& value) {
  if (!start_extraction(scanner)) return false;
  const NumberExtent extent = measure_integer(scanner);
  const std::string_view literal = take(scanner, extent.length);
  if (!extent.well_formed || !convert_integer(literal, value)) return fail(scanner);
  return true;
}

bool scan_double(NumberScanner& scanner, double& value) {
  if (!start_extraction(scanner)) return false;
  const NumberExtent extent = measure_double(scanner);
  const std::string_view literal = take(scanner, extent.length);
  if (!extent.well_formed || !convert_double(literal, extent.has_nonzero_digit, value)) {
    return fail(scanner);
  }
  return true;
}

bool read_vertex_count(NumberScanner& scanner, int& vertex_count) {
  int count = 0;
  const bool read = scan_integer(scanner, count);
  vertex_count = count;
  return read;
}

long long read_vertices(NumberScanner& scanner, int vertex_count, std::vector<Point>& vertices) {
  vertices.clear();
  if (vertex_count <= 0) return 0;
  vertices.reserve(static_cast<std::size_t>(vertex_count));
  // Never reset between vertices: a coordinate that cannot be read keeps the
  // value the holding point last received.
  Point holding{0.0, 0.0};
  long long coordinates_read = 0;
  for (int i = 0; i < vertex_count; ++i) {
    if (scan_double(scanner, holding.x)) ++coordinates_read;
    if (scan_double(scanner, holding.y)) ++coordinates_read;
    vertices.push_back(holding);
  }
  return coordinates_read;
}

void read_polygon(std::istream& in, int& vertex_count, std::vector<Point>& vertices) {
  NumberScanner scanner = make_number_scanner(in);
  read_vertex_count(scanner, vertex_count);
  read_vertices(scanner, vertex_count, vertices);
  if (scanner.read_error) in.setstate(std::ios_base::badbit);
  if (scanner.failed) in.setstate(std::ios_base::failbit);
}

}  // namespace polyfrep
