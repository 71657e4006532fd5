#include "driver/region_conversion.h"

#include <algorithm>
#include <cmath>
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
#include "polygon/region_validity.h"

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

// Whether the region's check has shown every ring simple: it looks at each
// ring on its own before it looks at two together.
bool rings_shown_simple(const RegionProblem& problem) {
  switch (problem.kind) {
    case RegionProblemKind::kNone:
    case RegionProblemKind::kRingsCross:
    case RegionProblemKind::kHoleOutsideExterior:
    case RegionProblemKind::kHolesOverlap:
    case RegionProblemKind::kPolygonsOverlap:
      return true;
    default:
      return false;
  }
}

// A ring's formula. A ring the region's check has not shown simple is swept
// for crossings of its own, which decide how it is decomposed.
RingConversion convert_ring(const Region& region, const Ring& ring, bool simple) {
  RingConversion conversion;
  conversion.points = counter_clockwise_points(region, ring);
  conversion.diagnosis =
      diagnose_polygon(conversion.points, 2LL * static_cast<long long>(ring.count), simple ? 0 : 1);
  conversion.decomposition = choose_polygon_formula(conversion.points, conversion.diagnosis);
  return conversion;
}

// Every ring's formula. Rings of many vertices are worked on in two halves
// of about as many vertices each, the second on a thread of its own; the
// results are the same as one after the other.
std::vector<RingConversion> convert_rings(const Region& region, bool simple) {
  std::vector<RingConversion> rings(region.rings.size());
  const auto convert_range = [&region, &rings, simple](std::size_t begin, std::size_t end) {
    for (std::size_t r = begin; r < end; ++r)
      rings[r] = convert_ring(region, region.rings[r], simple);
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

// Why the model as written would not describe the written region, or empty:
// every ring, read back from its text, must still be described by its own
// formula, as a polygon's outline must.
std::string written_region_problem(const Region& region, const VertexText& text,
                                   const std::vector<RingConversion>& rings, bool valid) {
  Region written{read_back_points(text), region.rings};
  if (std::equal(written.vertices.begin(), written.vertices.end(), region.vertices.begin(),
                 region.vertices.end(), same_point)) {
    return {};
  }
  if (!std::all_of(written.vertices.begin(), written.vertices.end(), is_finite)) {
    return "a coordinate would exceed the largest number";
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
  // A valid region must stay one: rings that would cross, or a hole that
  // would leave its polygon, make the written region another.
  if (valid) {
    const RegionProblem problem = first_region_problem(written);
    if (problem.kind != RegionProblemKind::kNone) {
      return "the region would not be valid: " + region_problem_text(problem);
    }
  }
  return {};
}

}  // namespace

int convert_region(const char* input_name, const char* model_name, const ConversionOptions& options,
                   const RegionInput& input) {
  RunReport run;
  const Region& region = input.region;
  const RegionProblem problem = first_region_problem(region);
  const std::vector<RingConversion> rings = convert_rings(region, rings_shown_simple(problem));
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
    written_problem = written_region_problem(region, vertex_text, rings,
                                             problem.kind == RegionProblemKind::kNone);
    const std::string bounding_box = bounding_box_line(region.vertices, vertex_text);
    if (!written_problem.empty()) {
      vertex_text = format_vertex_text(region.vertices, NumberStyle{options.digits, true});
    }
    write_formula_and_model(run, region.vertices.size(), bounding_box, vertex_text,
                            std::move(formula), model_name, region.rings);
  }
  if (problem.kind != RegionProblemKind::kNone) {
    report(run, input_name,
           "the region is not valid: " + region_problem_text(problem) +
               "; --make-valid converts the valid region it encloses");
  }
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
