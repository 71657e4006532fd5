#include "geometry/number_format.h"

#include <charconv>

namespace polyfrep {

std::size_t format_double(double value, char* out) {
  // Precision 6 in the general format is defined to match printf's %g.
  const auto result =
      std::to_chars(out, out + kMaxNumberText, value, std::chars_format::general, 6);
  return static_cast<std::size_t>(result.ptr - out);
}

std::size_t format_integer(long long value, char* out) {
  const auto result = std::to_chars(out, out + kMaxNumberText, value);
  return static_cast<std::size_t>(result.ptr - out);
}

}  // namespace polyfrep
