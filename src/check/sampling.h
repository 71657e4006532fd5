#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "check/model_program.h"
#include "check/region_classifier.h"
#include "geometry/point.h"
#include "geometry/region.h"

namespace polyfrep {

inline constexpr int kDefaultRandomSamples = 20000;
inline constexpr int kDefaultGridPerSide = 200;
// Midpoint samples of every edge up to this many edges, of this many evenly
// spread edges beyond: the grid and random points already cover the whole
// box, and two points per edge of a million-edge outline would cost more
// than everything else the check does.
inline constexpr int kDefaultMidpointEdges = 20000;
// Outlines of up to this many edges get the default counts in full.
inline constexpr std::size_t kFullSamplingEdges = 100000;

struct SampleSettings {
  int grid_per_side = kDefaultGridPerSide;  // grid of cell centres over the widened box
  int random_count = kDefaultRandomSamples;
  int midpoint_edges = kDefaultMidpointEdges;
  std::uint64_t seed = 0x9e3779b97f4a7c15ULL;  // fixed, so that runs repeat
  std::size_t max_listed = 5;                  // disagreements kept in sample order, for the report
  std::size_t max_drawn = 1000;  // disagreements kept evenly spread over all, for the picture
};

// The default counts for an outline of `edge_count` edges. Classifying a
// point may take a walk over the whole formula, so beyond kFullSamplingEdges
// every count shrinks with the square of the edge count (the grid's side
// with the edge count) and the sampling costs about as much at a million
// edges as at a hundred thousand. The model is proven exactly; sampling is
// a smoke test of its floating-point functions.
SampleSettings default_sample_settings(std::size_t edge_count);

// The drawing and the samples cover the outline's bounding box widened by 5%
// of its larger side on every side (10% in all).
Box sampling_box(std::span<const Point> vertices);

// The sample points, in this order: the grid, the random points, then for
// every sampled edge (see sampled_edge_count) of non-zero length one point
// `offset` to its left and one to its right of its midpoint.
// With `rings`, each edge runs to its ring's next vertex.
std::vector<Point> sample_points(std::span<const Point> vertices, const SampleSettings& settings,
                                 double offset, std::span<const Ring> rings = {});

// How many edges get midpoint samples: all of them, or midpoint_edges spread
// evenly along the outline (edge k * edge_count / midpoint_edges for each k).
std::size_t sampled_edge_count(std::size_t edge_count, const SampleSettings& settings);

struct SampleDisagreement {
  Point at{0, 0};
  bool polygon_inside = false;  // the model says the opposite
};

struct SamplingResult {
  long long compared = 0;
  long long skipped = 0;  // within the tolerance of the outline
  long long disagreeing = 0;
  std::vector<SampleDisagreement> first;   // the first max_listed, in sample order
  std::vector<SampleDisagreement> spread;  // at most max_drawn, evenly spread over all
};

// Compares the model's sign with the even-odd rule on the input outline at
// every sample point farther than `tolerance` from the outline; midpoint
// samples are placed at twice the tolerance from their edge. With `rings`,
// the input is a region: a point is inside when, for some polygon, it is
// inside the exterior and inside none of the holes, each ring by the
// even-odd rule on its own; points near any ring are skipped.
SamplingResult compare_samples(const CompiledModel& model, std::span<const Point> vertices,
                               const SampleSettings& settings, double tolerance,
                               std::span<const Ring> rings = {});

}  // namespace polyfrep
