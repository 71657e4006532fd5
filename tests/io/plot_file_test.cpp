#include "io/plot_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace polyfrep {
namespace {

std::string plot_text(const std::vector<Point>& vertices) {
  TextOutput out;
  write_plot_geometry(format_vertex_text(vertices), out);
  return std::string(written_text(out));
}

TEST(PlotFile, WritesTheClosedOutline) {
  const struct {
    std::vector<Point> vertices;
    std::string text;
  } cases[] = {
      {{{0, 0}, {1, 0}, {1, 1}, {0, 1}},
       "GEOMETRY CS = GRID T = LINE  \n1\n5\n0 0\n1 0\n1 1\n0 1\n0 0\n"},
      // A repeated first vertex stays: the polyline ends with it twice.
      {{{0, 0}, {1, 0}, {0, 1}, {0, 0}},
       "GEOMETRY CS = GRID T = LINE  \n1\n5\n0 0\n1 0\n0 1\n0 0\n0 0\n"},
      {{{0.25, -3}, {2.0000001, 1234567}, {1e-5, 0.5}},
       "GEOMETRY CS = GRID T = LINE  \n1\n4\n0.25 -3\n2 1.23457e+06\n1e-05 0.5\n0.25 -3\n"},
      // Nothing to close an empty outline with.
      {{}, "GEOMETRY CS = GRID T = LINE  \n1\n1\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(plot_text(c.vertices), c.text);
}

}  // namespace
}  // namespace polyfrep
