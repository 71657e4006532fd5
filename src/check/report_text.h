#pragma once

#include <string>

#include "geometry/point.h"
#include "io/number_format.h"

namespace polyfrep {

// Numbers and points in the checker's report, in the model file's %g form.
inline std::string text_of(double value) {
  char digits[kMaxNumberText];
  return std::string(digits, format_double(value, digits));
}

inline std::string text_of(Point p) {
  std::string text = "(";
  text += text_of(p.x);
  text += ", ";
  text += text_of(p.y);
  text += ")";
  return text;
}

}  // namespace polyfrep
