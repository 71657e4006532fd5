#pragma once

// Builds model files and polygon files for the checker's tests, in the text
// the converter writes, with the C library's own "%g" so that the tests do
// not lean on the formatter under test.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/point.h"

namespace polyfrep::testing {

inline std::string g_text(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// How edge blocks write coordinates: with six significant digits, with
// seventeen, or widened as the converter widens them when six would make the
// model wrong: the fewest digits from six on that read back as the same
// double.
enum class Digits { Six, Seventeen, Widened };

inline std::string coordinate_text(double value, Digits digits) {
  char text[64];
  const int first = digits == Digits::Seventeen ? 17 : 6;
  const int last = digits == Digits::Six ? 6 : 17;
  for (int count = first; count <= last; ++count) {
    std::snprintf(text, sizeof text, "%.*g", count, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

// The model of the given outline with the given formula line, edge blocks
// s0 .. s(n-1) and the bounding-box comment.
inline std::string model_text(std::span<const Point> vertices, std::string_view formula,
                              Digits digits = Digits::Six) {
  double x_low = vertices[0].x, x_high = vertices[0].x;
  double y_low = vertices[0].y, y_high = vertices[0].y;
  for (const Point& p : vertices) {
    x_low = std::min(x_low, p.x);
    x_high = std::max(x_high, p.x);
    y_low = std::min(y_low, p.y);
    y_high = std::max(y_high, p.y);
  }
  std::string text = "--bounding box: xmin = " + g_text(x_low) + ", xmax = " + g_text(x_high) +
                     "; ymin = " + g_text(y_low) + ", ymax = " + g_text(y_high) + ";\n";
  text += "polygon(x[3], a[1])\n{\narray p0[2],p1[2];\n";
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const Point& start = vertices[i];
    const Point& end = vertices[(i + 1) % vertices.size()];
    text += "p0 = [" + coordinate_text(start.x, digits) + ", " + coordinate_text(start.y, digits) +
            "];\n";
    text +=
        "p1 = [" + coordinate_text(end.x, digits) + ", " + coordinate_text(end.y, digits) + "];\n";
    text += "as=sqrt((p0[1]-p1[1])*(p0[1]-p1[1])+(p0[2]-p1[2])*(p0[2]-p1[2])); \n";
    text += "s";
    text += std::to_string(i);
    text += " = ((x[1]-p0[1])*(p0[2]-p1[2])+(x[2]-p0[2])*(p1[1]-p0[1]))/as;\n\n";
  }
  text += "polygon = " + std::string(formula) + ";\n}\n";
  return text;
}

// The polygon file: the count, then one vertex per line, with every digit
// needed to read the same doubles back.
inline std::string polygon_text(std::span<const Point> vertices) {
  std::string text = std::to_string(vertices.size()) + "\n";
  for (const Point& p : vertices) {
    char line[96];
    std::snprintf(line, sizeof line, "%.17g %.17g\n", p.x, p.y);
    text += line;
  }
  return text;
}

// The formula that intersects the half-planes of edges 0 .. n-1 in order,
// right for a convex counter-clockwise polygon.
inline std::string intersection_of_all(int edge_count) {
  std::string formula = "s0";
  for (int i = 1; i < edge_count; ++i)
    formula = "(" + formula + ")&s" + std::to_string(i);
  return formula;
}

// The triangle (0,0), (1,0), (0,1) with the formula the converter builds.
inline const std::vector<Point>& triangle_vertices() {
  static const std::vector<Point> vertices = {{0, 0}, {1, 0}, {0, 1}};
  return vertices;
}

inline constexpr std::string_view kTriangleModel =
    "--bounding box: xmin = 0, xmax = 1; ymin = 0, ymax = 1;\n"
    "polygon(x[3], a[1])\n"
    "{\n"
    "array p0[2],p1[2];\n"
    "p0 = [0, 0];\n"
    "p1 = [1, 0];\n"
    "as=sqrt((p0[1]-p1[1])*(p0[1]-p1[1])+(p0[2]-p1[2])*(p0[2]-p1[2])); \n"
    "s0 = ((x[1]-p0[1])*(p0[2]-p1[2])+(x[2]-p0[2])*(p1[1]-p0[1]))/as;\n"
    "\n"
    "p0 = [1, 0];\n"
    "p1 = [0, 1];\n"
    "as=sqrt((p0[1]-p1[1])*(p0[1]-p1[1])+(p0[2]-p1[2])*(p0[2]-p1[2])); \n"
    "s1 = ((x[1]-p0[1])*(p0[2]-p1[2])+(x[2]-p0[2])*(p1[1]-p0[1]))/as;\n"
    "\n"
    "p0 = [0, 1];\n"
    "p1 = [0, 0];\n"
    "as=sqrt((p0[1]-p1[1])*(p0[1]-p1[1])+(p0[2]-p1[2])*(p0[2]-p1[2])); \n"
    "s2 = ((x[1]-p0[1])*(p0[2]-p1[2])+(x[2]-p0[2])*(p1[1]-p0[1]))/as;\n"
    "\n"
    "polygon = (s1)&(s2&s0);\n"
    "}\n";

}  // namespace polyfrep::testing
