#pragma once

#include <string_view>

namespace polyfrep {

// The fixed text of the model file around its numbers: the object head after
// the bounding-box comment, the pieces of an edge block around its
// coordinates and edge number, and the formula line's head and tail. The
// writer puts them out and the checker's fast loader expects them.
namespace model_layout {

inline constexpr std::string_view kHead = "polygon(x[3], a[1])\n{\narray p0[2],p1[2];\n";
inline constexpr std::string_view kStartHead = "p0 = [";
inline constexpr std::string_view kEndHead = "p1 = [";
inline constexpr std::string_view kBetweenCoordinates = ", ";
inline constexpr std::string_view kVectorEnd = "];\n";
inline constexpr std::string_view kLengthLine =
    "as=sqrt((p0[1]-p1[1])*(p0[1]-p1[1])+(p0[2]-p1[2])*(p0[2]-p1[2])); \ns";
inline constexpr std::string_view kDistanceLine =
    " = ((x[1]-p0[1])*(p0[2]-p1[2])+(x[2]-p0[2])*(p1[1]-p0[1]))/as;\n\n";
inline constexpr std::string_view kFormulaHead = "polygon = ";
inline constexpr std::string_view kTail = ";\n}\n";

}  // namespace model_layout

}  // namespace polyfrep
