#include "io/number_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace polyfrep {
namespace {

std::string formatted(double value) {
  char text[kMaxNumberText];
  return std::string(text, format_double(value, text));
}

std::string printf_g(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

TEST(FormatDouble, MatchesTheDocumentedExamples) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.5, "0.5"},       {2.0, "2"},           {-0.25, "-0.25"},      {1234567, "1.23457e+06"},
      {0.00001, "1e-05"}, {123456.7, "123457"}, {1.0 / 3, "0.333333"}, {100000, "100000"},
      {0.1, "0.1"},       {-0.5, "-0.5"},       {2.0000001, "2"},      {-3, "-3"},
      {0.25, "0.25"},     {0.0001, "0.0001"},   {999999.5, "1e+06"},   {1e100, "1e+100"},
      {-0.0, "-0"},       {0.0, "0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(formatted(c.value), c.text) << c.value;
}

// The C library's %g is the reference for every other value: compare it on
// random doubles spread over all magnitudes and on values that round up to
// the next power of ten, where the choice between the two forms flips.
TEST(FormatDouble, AgreesWithPrintfOnGeneratedValues) {
  std::mt19937_64 random(12345);
  std::uniform_int_distribution<int> exponent(-320, 308);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  for (int i = 0; i < 200000; ++i) {
    const double value = mantissa(random) * std::pow(10.0, exponent(random));
    if (!std::isfinite(value)) continue;
    ASSERT_EQ(formatted(value), printf_g(value)) << value;
  }
  for (int power = -10; power <= 10; ++power) {
    const double edge = 9.999995 * std::pow(10.0, power);
    for (double value : {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e300)}) {
      ASSERT_EQ(formatted(value), printf_g(value)) << value;
    }
  }
}

// Values read from text are mostly short decimals and integers, which take
// the formatter's fast paths; compare those with printf too, around every
// digit count and power of ten, and where rounding to six digits carries.
TEST(FormatDouble, AgreesWithPrintfOnShortDecimals) {
  std::mt19937_64 random(777);
  std::uniform_int_distribution<int> digit_count(1, 8);
  std::uniform_int_distribution<int> exponent(-330, 310);
  std::uniform_int_distribution<int> digit(0, 9);
  for (int i = 0; i < 300000; ++i) {
    std::string literal = (random() % 2 != 0) ? "-" : "";
    const int digits = digit_count(random);
    for (int d = 0; d < digits; ++d)
      literal += char('0' + (d == 0 ? 1 + digit(random) % 9 : digit(random)));
    literal += "e" + std::to_string(i % 3 == 0 ? exponent(random) : exponent(random) % 12);
    const double value = std::strtod(literal.c_str(), nullptr);
    if (!std::isfinite(value)) continue;
    ASSERT_EQ(formatted(value), printf_g(value)) << literal;
  }
  for (double value : {999999.0, -999999.0, 1e6, 999999.4, 999999.5, 0.0001, 0.00009999995,
                       9.999995e-5, 123456.5, 1e-5, 5e-324, 2.2250738585072014e-308}) {
    ASSERT_EQ(formatted(value), printf_g(value)) << value;
  }
}

// Coordinates with more digits than are shown, as measured outlines have
// them, and values at or next to a halfway point of the sixth digit, where
// rounding the scaled value could go either way.
TEST(FormatDouble, AgreesWithPrintfOnLongDecimalsAndHalfwayPoints) {
  std::mt19937_64 random(4242);
  std::uniform_real_distribution<double> coordinate(-2000.0, 2000.0);
  std::uniform_int_distribution<int> exponent(-6, 16);
  std::uniform_int_distribution<long long> six_digits(100000, 999999);
  for (int i = 0; i < 300000; ++i) {
    const double value = std::round(coordinate(random) * 1e6) / 1e6;
    ASSERT_EQ(formatted(value), printf_g(value)) << value;
  }
  for (int i = 0; i < 100000; ++i) {
    const std::string literal =
        std::to_string(six_digits(random)) + "5e" + std::to_string(exponent(random) - 6);
    const double halfway = std::strtod(literal.c_str(), nullptr);
    for (double value : {halfway, std::nextafter(halfway, 0.0), std::nextafter(halfway, 1e300)}) {
      ASSERT_EQ(formatted(value), printf_g(value)) << literal;
      ASSERT_EQ(formatted(-value), printf_g(-value)) << literal;
    }
  }
}

// A whole number of 1 to 17 digits, some with trailing zeros, either sign.
double random_whole_number(std::mt19937_64& random) {
  const auto digits = static_cast<int>(random() % 17) + 1;
  const auto magnitude =
      static_cast<double>(random() % static_cast<std::uint64_t>(std::pow(10.0, digits))) *
      (random() % 4 == 0 ? 1000.0 : 1.0);
  return random() % 2 == 0 ? magnitude : -magnitude;
}

// Any number of digits as printf's %.*g; the exact text as the fewest such
// digits, from the least asked for on, that strtod reads back as the value.
TEST(FormatDouble, MoreDigitsAndExactTextAgreeWithPrintfAndStrtod) {
  std::mt19937_64 random(77);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 150000; ++i) {
    const double value = i % 3 == 0   ? std::bit_cast<double>(random() >> 2)
                         : i % 3 == 1 ? random_whole_number(random)
                                      : mantissa(random) * std::pow(10.0, exponent(random));
    const int least = i % 3 == 1 ? 6 + i % 12 : 6;
    char text[kMaxNumberText];
    char reference[64];
    const int digits = 6 + i % 12;
    std::snprintf(reference, sizeof reference, "%.*g", digits, value);
    ASSERT_EQ(std::string(text, format_double(value, digits, text)), reference) << value;

    const std::string exact(text, format_exact_double(value, least, text));
    ASSERT_EQ(std::strtod(exact.c_str(), nullptr), value) << exact;
    int fewest = 17;
    for (int d = 16; d >= least; --d) {
      std::snprintf(reference, sizeof reference, "%.*g", d, value);
      if (std::strtod(reference, nullptr) == value) fewest = d;
    }
    std::snprintf(reference, sizeof reference, "%.*g", fewest, value);
    ASSERT_EQ(exact, reference) << value;
  }
}

TEST(FormatInteger, WritesPlainDecimal) {
  char text[kMaxNumberText];
  EXPECT_EQ(std::string(text, format_integer(0, text)), "0");
  EXPECT_EQ(std::string(text, format_integer(-17, text)), "-17");
  EXPECT_EQ(std::string(text, format_integer(2147483647, text)), "2147483647");
}

}  // namespace
}  // namespace polyfrep
