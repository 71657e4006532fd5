#pragma once

#include <cstddef>

namespace polyfrep {

// Room for the longest text format_double or format_integer can produce.
inline constexpr std::size_t kMaxNumberText = 32;

// Significant digits of the "%g" text the outputs write by default, and the
// most any double needs to be read back exactly.
inline constexpr int kDefaultDigits = 6;
inline constexpr int kMaxDigits = 17;

// Writes value as the "%g" conversion with six significant digits would
// ("0.5", "2", "-0.25", "1.23457e+06", "1e-05"), without locale or printf.
// Returns the number of characters written to out (no terminator).
std::size_t format_double(double value, char* out);

// The same with `digits` significant digits, 1 to 17: "%.*g".
std::size_t format_double(double value, int digits, char* out);

// The text with the fewest significant digits, at least `least_digits`, in
// the same "%.*g" style, that any reader reads back as `value` itself.
std::size_t format_exact_double(double value, int least_digits, char* out);

// Writes value in plain decimal, with a minus sign when negative.
std::size_t format_integer(long long value, char* out);

}  // namespace polyfrep
