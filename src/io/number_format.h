#pragma once

#include <cstddef>

namespace polyfrep {

// Room for the longest text format_double or format_integer can produce.
inline constexpr std::size_t kMaxNumberText = 32;

// Writes value as the "%g" conversion with six significant digits would
// ("0.5", "2", "-0.25", "1.23457e+06", "1e-05"), without locale or printf.
// Returns the number of characters written to out (no terminator).
std::size_t format_double(double value, char* out);

// Writes value in plain decimal, with a minus sign when negative.
std::size_t format_integer(long long value, char* out);

}  // namespace polyfrep
