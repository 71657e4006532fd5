#include "driver/region_conversion.h"

#include <algorithm>
#include <future>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "driver/formula_choice.h"
#include "driver/run_steps.h"
#include "driver/written_model.h"
#include "formula/region_formula.h"
#include "geometry/segments.h"
#include "io/model_file.h"
#include "polygon/diagnosis.h"

namespace polyfrep {

namespace {

// Below this many vertices a region takes about as long as starting a
// thread, and its rings are all converted on one.
constexpr std::size_t kConcurrentRegionSize = 10000;

// One ring's formula, built on its counter-clockwise points.
struct RingConversion {
  std::vector<Point> points;  // counter-clockwise
  PolygonDiagnosis diagnosis;
  Decomposition decomposition;
};

RingConversion convert_ring(const Region& region, const Ring& ring) {
  RingConversion conversion;
  conversion.points = counter_clockwise_points(region, ring);
  conversion.diagnosis =
      diagnose_polygon(conversion.points, 2LL * static_cast<long long>(ring.count), 1);
  conversion.decomposition = choose_polygon_formula(conversion.points, conversion.diagnosis);
  return conversion;
}

// Every ring's formula. Rings of many vertices are worked on in two halves
// of about as many vertices each, the second on a thread of its own; the
// results are the same as one after the other.
std::vector<RingConversion> convert_rings(const Region& region) {
  std::vector<RingConversion> rings(region.rings.size());
  const auto convert_range = [&region, &rings](std::size_t begin, std::size_t end) {
    for (std::size_t r = begin; r < end; ++r)
      rings[r] = convert_ring(region, region.rings[r]);
  };
  std::size_t split = 0;
  for (std::size_t half = 0; split < rings.size() && 2 * half < region.vertices.size(); ++split)
    half += static_cast<std::size_t>(region.rings[split].count);
  if (region.vertices.size() < kConcurrentRegionSize || split == rings.size()) {
    convert_range(0, rings.size());
    return rings;
  }
  std::future<void> second_half;
  try {
    second_half = std::async(std::launch::async, convert_range, split, rings.size());
  } catch (const std::system_error&) {
    second_half = std::async(std::launch::deferred, convert_range, split, rings.size());
  }
  convert_range(0, split);
  second_half.get();
  return rings;
}

std::string ring_name(const Region& region, int r) {
  return (region.rings[r].hole ? "hole ring " : "ring ") + std::to_string(r);
}

// Why the model as written would not describe the written region, or empty:
// every ring, read back from its text, must still be described by its own
// formula, as a polygon's outline must.
std::string written_region_problem(const Region& region, const VertexText& text,
                                   const std::vector<RingConversion>& rings) {
  Region written{read_back_points(text), region.rings};
  if (std::equal(written.vertices.begin(), written.vertices.end(), region.vertices.begin(),
                 region.vertices.end(), same_point)) {
    return {};
  }
  for (std::size_t r = 0; r < rings.size(); ++r) {
    const Ring& ring = region.rings[r];
    const RingConversion& conversion = rings[r];
    const OutlineNumbers numbers{&ring};
    WrittenPolygon ring_written = written_polygon(
        conversion.points, counter_clockwise_points(written, ring), conversion.diagnosis, numbers);
    const std::string problem =
        written_formula_problem(ring_written, conversion.decomposition.formula, numbers);
    if (!problem.empty()) return ring_name(region, static_cast<int>(r)) + ": " + problem;
  }
  return {};
}

// The rings' own problems, each named by the region's edge numbers.
void report_rings(RunReport& run, const char* input_name, const Region& region,
                  const std::vector<RingConversion>& rings) {
  for (std::size_t r = 0; r < rings.size(); ++r) {
    const Ring& ring = region.rings[r];
    const PolygonDiagnosis& diagnosis = rings[r].diagnosis;
    const std::string name = ring_name(region, static_cast<int>(r));
    if (!diagnosis.crossings.empty()) {
      const int first = region_edge(ring, diagnosis.crossings.front().first_edge);
      const int second = region_edge(ring, diagnosis.crossings.front().second_edge);
      report(run, input_name,
             name + " crosses itself (edges " + std::to_string(std::min(first, second)) + " and " +
                 std::to_string(std::max(first, second)) +
                 "); --make-valid converts the valid region it encloses");
      return;
    }
    if (diagnosis.orientation == 0) {
      report(run, input_name,
             name + " encloses no area; --make-valid converts the valid region it encloses");
      return;
    }
  }
}

}  // namespace

int convert_region(const char* input_name, const char* model_name, const ConversionOptions& options,
                   const RegionInput& input) {
  RunReport run;
  const Region& region = input.region;
  const std::vector<RingConversion> rings = convert_rings(region);
  std::vector<Formula> ring_formulas;
  ring_formulas.reserve(rings.size());
  for (const RingConversion& ring : rings)
    ring_formulas.push_back(ring.decomposition.formula);

  VertexText vertex_text = format_vertex_text(region.vertices, NumberStyle{options.digits, false});
  write_plot_file(run, vertex_text, region.rings);
  const RingConversion& last = rings.back();
  write_listing_file(run, format_vertex_text(last.points, NumberStyle{options.digits, false}),
                     last.decomposition.last_hull);

  Formula formula = region_formula(region, ring_formulas);
  ring_formulas = {};
  std::string written_problem;
  if (formula.nodes.empty()) {
    report(run, input_name,
           "a ring never turns left, so no formula and no model were written; --make-valid "
           "converts the valid region the rings enclose");
  } else {
    written_problem = written_region_problem(region, vertex_text, rings);
    const std::string bounding_box = bounding_box_line(region.vertices, vertex_text);
    if (!written_problem.empty()) {
      vertex_text = format_vertex_text(region.vertices, NumberStyle{options.digits, true});
    }
    write_formula_and_model(run, region.vertices.size(), bounding_box, vertex_text,
                            std::move(formula), model_name, region.rings);
  }
  report_rings(run, input_name, region, rings);
  if (input.skipped_geometries > 0) {
    const bool one = input.skipped_geometries == 1;
    note(input_name, std::to_string(input.skipped_geometries) +
                         (one ? " geometry that is not a polygon was"
                              : " geometries that are not polygons were") +
                         " left out");
  }
  if (input.dropped_rings > 0) {
    note(input_name, std::to_string(input.dropped_rings) +
                         (input.dropped_rings == 1 ? " ring" : " rings") +
                         " of fewer than three distinct vertices left out");
  }
  if (!written_problem.empty()) {
    note(input_name, digits_in_words(options.digits) +
                         " significant digits would make the model wrong (" + written_problem +
                         "); its coordinates are written with up to 17 digits");
  }
  return exit_status(run);
}

}  // namespace polyfrep
