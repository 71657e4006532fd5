#include "io/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace polyfrep {

namespace {

// Coordinates are mostly integers or short decimals. For those, the "%g" text
// can be built from cheaper conversions than the general six-digit rounding:
// an integer of at most six digits is printed as it is, and a value whose
// shortest round-trip text has at most six significant digits is that text
// rearranged, because six-digit rounding of the exact binary value lands on
// the same decimal (the binary value lies within half an ulp of it, far less
// than half a unit in the sixth digit).

std::size_t format_small_integer(double value, char* out) {
  const auto result = std::to_chars(out, out + kMaxNumberText, static_cast<long long>(value));
  return static_cast<std::size_t>(result.ptr - out);
}

std::size_t put_exponent(int exponent, char* out) {
  std::size_t length = 0;
  out[length++] = 'e';
  out[length++] = exponent < 0 ? '-' : '+';
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) out[length++] = '0';
  const auto result = std::to_chars(out + length, out + kMaxNumberText, magnitude);
  return static_cast<std::size_t>(result.ptr - out);
}

// Lays out significant digits d1 d2 ... (no trailing zeros) with decimal
// exponent `exponent` the way "%g" does: plain below 1e6 and from 1e-4 on,
// exponent form otherwise; never trailing zeros or a trailing point.
std::size_t layout_general(bool negative, const char* digits, std::size_t digit_count, int exponent,
                           char* out) {
  std::size_t length = 0;
  if (negative) out[length++] = '-';
  if (exponent < -4 || exponent >= 6) {
    out[length++] = digits[0];
    if (digit_count > 1) {
      out[length++] = '.';
      std::memcpy(out + length, digits + 1, digit_count - 1);
      length += digit_count - 1;
    }
    return length + put_exponent(exponent, out + length);
  }
  if (exponent < 0) {
    out[length++] = '0';
    out[length++] = '.';
    for (int zero = -1; zero > exponent; --zero)
      out[length++] = '0';
    std::memcpy(out + length, digits, digit_count);
    return length + digit_count;
  }
  const auto integer_digits = static_cast<std::size_t>(exponent) + 1;
  for (std::size_t i = 0; i < integer_digits; ++i) {
    out[length++] = i < digit_count ? digits[i] : '0';
  }
  if (digit_count > integer_digits) {
    out[length++] = '.';
    std::memcpy(out + length, digits + integer_digits, digit_count - integer_digits);
    length += digit_count - integer_digits;
  }
  return length;
}

// The shortest round-trip text, when it has at most six significant digits;
// 0 otherwise.
std::size_t format_from_shortest(double value, char* out) {
  char scientific[kMaxNumberText];
  const auto result = std::to_chars(scientific, scientific + sizeof scientific, value,
                                    std::chars_format::scientific);
  const char* cursor = scientific;
  const bool negative = *cursor == '-';
  if (negative) ++cursor;
  char digits[kMaxNumberText];
  std::size_t digit_count = 0;
  for (; cursor < result.ptr && *cursor != 'e'; ++cursor) {
    if (*cursor == '.') continue;
    if (digit_count == 6) return 0;
    digits[digit_count++] = *cursor;
  }
  int exponent = 0;
  std::from_chars(cursor + (cursor[1] == '+' ? 2 : 1), result.ptr, exponent);
  return layout_general(negative, digits, digit_count, exponent, out);
}

// Powers of ten, all exact as doubles.
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// Six-digit rounding by scaling, for magnitudes from 1e-4 below 1e15. The
// value times (or divided by) a power of ten from the table lands between
// 1e5 and 1e6 after a single rounding, so the scaled double is within
// 1.2e-10 of the exact scaled value. Unless it lies that close to a halfway
// point, its nearest integer holds the six digits "%g" shows. A wrong
// estimate of the decimal exponent lands outside [1e5, 1e6) and is refused
// like every other doubtful case. Returns 0 when it does not apply.
std::size_t format_by_scaling(double value, char* out) {
  const bool negative = value < 0;
  const double magnitude = negative ? -value : value;
  if (!(magnitude >= 1e-4 && magnitude < 1e15)) return 0;
  const int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
  const int shift = 5 - exponent;
  if (shift < -9 || shift > 9) return 0;
  const double scaled =
      shift >= 0 ? magnitude * kPowersOfTen[shift] : magnitude / kPowersOfTen[-shift];
  // Refused at and above 999999.5 too: rounding up there carries into a
  // seventh digit and changes the exponent.
  if (!(scaled >= 1e5 && scaled < 999999.49)) return 0;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;  // exact: both lie in [1e5, 1e6)
  if (std::fabs(fraction - 0.5) < 1e-9) return 0;
  const auto rounded = static_cast<long long>(whole) + (fraction > 0.5 ? 1 : 0);
  char digits[kMaxNumberText];
  std::to_chars(digits, digits + sizeof digits, rounded);  // six digits
  std::size_t digit_count = 6;
  while (digit_count > 1 && digits[digit_count - 1] == '0')
    --digit_count;
  return layout_general(negative, digits, digit_count, exponent, out);
}

}  // namespace

std::size_t format_double(double value, char* out) {
  if (value > -1e6 && value < 1e6 && value == std::trunc(value) &&
      !(value == 0 && std::signbit(value))) {
    return format_small_integer(value, out);
  }
  if (const std::size_t length = format_by_scaling(value, out); length > 0) return length;
  // Subnormal values are too coarse for the half-ulp argument.
  if (std::isnormal(value)) {
    if (const std::size_t length = format_from_shortest(value, out); length > 0) return length;
  }
  // Precision 6 in the general format is defined to match printf's %g.
  const auto result =
      std::to_chars(out, out + kMaxNumberText, value, std::chars_format::general, 6);
  return static_cast<std::size_t>(result.ptr - out);
}

std::size_t format_double(double value, int digits, char* out) {
  if (digits == kDefaultDigits) return format_double(value, out);
  // The general format with a precision is defined to match printf's %.*g.
  const auto result =
      std::to_chars(out, out + kMaxNumberText, value, std::chars_format::general, digits);
  return static_cast<std::size_t>(result.ptr - out);
}

namespace {

// Significant digits of the shortest text that reads back as `value`.
int shortest_digit_count(double value) {
  char scientific[kMaxNumberText];
  const auto result = std::to_chars(scientific, scientific + sizeof scientific, value,
                                    std::chars_format::scientific);
  int count = 0;
  for (const char* cursor = scientific; cursor < result.ptr && *cursor != 'e'; ++cursor) {
    count += *cursor >= '0' && *cursor <= '9';
  }
  return count;
}

bool reads_back_as(const char* text, std::size_t length, double value) {
  double read = 0;
  const auto result = std::from_chars(text, text + length, read);
  return result.ec == std::errc() && read == value;
}

// An integer below 10^15 in magnitude, when the digits asked for cover all
// of its significant digits and zeros: "%.*g" then shows it as it is, and it
// reads back exactly. The coordinates of many outlines are such integers, and
// this takes a tenth of the general route's time. Returns 0 otherwise.
std::size_t format_exact_integer(double value, int least_digits, char* out) {
  if (!(value > -1e15 && value < 1e15) || value != std::trunc(value) || value == 0) return 0;
  const auto result = std::to_chars(out, out + kMaxNumberText, static_cast<long long>(value));
  const auto length = static_cast<std::size_t>(result.ptr - out);
  const std::size_t digit_count = length - (value < 0 ? 1 : 0);
  std::size_t significant = digit_count;
  while (out[length - 1 - (digit_count - significant)] == '0')
    --significant;
  const std::size_t shown =
      std::max(static_cast<std::size_t>(std::max(least_digits, 0)), significant);
  return shown >= digit_count ? length : 0;
}

}  // namespace

std::size_t format_exact_double(double value, int least_digits, char* out) {
  if (const std::size_t length = format_exact_integer(value, least_digits, out); length > 0) {
    return length;
  }
  // Rounding the exact binary value to the shortest text's digit count reads
  // back as the value in all but rare cases near powers of two; one more
  // digit is tried until it does, and 17 always does.
  for (int digits = std::max(least_digits, shortest_digit_count(value)); digits < kMaxDigits;
       ++digits) {
    const std::size_t length = format_double(value, digits, out);
    if (reads_back_as(out, length, value)) return length;
  }
  return format_double(value, kMaxDigits, out);
}

std::size_t format_integer(long long value, char* out) {
  const auto result = std::to_chars(out, out + kMaxNumberText, value);
  return static_cast<std::size_t>(result.ptr - out);
}

}  // namespace polyfrep
