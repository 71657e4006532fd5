#include "driver/conversion.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/model_name.h"
#include "formula/decomposition.h"
#include "formula/hull_listing.h"
#include "formula/token_list.h"
#include "geometry/input_reader.h"
#include "geometry/plot_file.h"
#include "model/model_file.h"

namespace polyfrep {

namespace {

// Room for ten tokens per vertex: a polygon of n vertices needs at most 6n - 5.
constexpr int kTokensPerVertex = 10;

Polygon read_input(const char* input_name) {
  Polygon polygon;
  std::ifstream input(input_name, std::ios::binary);
  read_polygon(input, polygon.vertex_count, polygon.vertices);
  return polygon;
}

void write_plot_file(std::span<const Point> vertices) {
  TextOutput out;
  if (open_text_output(out, kPlotFileName))
    write_plot_geometry(vertices, out);
  close_text_output(out);
}

void write_formula_file(const TokenList& tokens) {
  TextOutput out;
  if (open_text_output(out, kFormulaFileName))
    write_formula_tokens(tokens, out);
  close_text_output(out);
}

}  // namespace

int run_conversion(const char* input_name, const char* model_name) {
  const Polygon polygon = read_input(input_name);
  const std::span<const Point> vertices = polygon.vertices;
  write_plot_file(vertices);
  // Without three vertices there is no outline to decompose.
  if (vertices.size() < 3)
    return 0;

  TokenList tokens = make_token_list(kTokensPerVertex * polygon.vertex_count);
  const HullObserver rewrite_listing = [](std::span<const Point> points,
                                          std::span<const int> hull_positions) {
    write_hull_listing(points, hull_positions);
  };
  if (!build_polygon_formula(vertices, tokens, rewrite_listing))
    return 0;
  write_formula_file(tokens);
  write_model(vertices, tokens, model_name);
  return 0;
}

int run_command_line(int argument_count, const char* const* arguments) {
  std::printf("%d\n", argument_count);
  std::fflush(stdout);
  if (argument_count >= 3)
    return run_conversion(arguments[1], arguments[2]);
  if (argument_count == 2) {
    const std::string model_name = derive_model_name(arguments[1]);
    return run_conversion(arguments[1], model_name.c_str());
  }
  return run_conversion(kDefaultInputName, kDefaultModelName);
}

}  // namespace polyfrep
