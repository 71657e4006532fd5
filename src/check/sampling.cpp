#include "check/sampling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "check/outline_index.h"
#include "check/region_classifier.h"
#include "check/side_thread.h"

namespace polyfrep {

namespace {

// A uniform double in [0, 1) from the top 53 bits, the same on every
// platform (the standard distributions are not).
double unit_random(std::uint64_t& state) {
  // splitmix64
  state += 0x9e3779b97f4a7c15ULL;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * 0x1p-53;
}

void add_grid(const Box& box, int per_side, std::vector<Point>& points) {
  const double width = box.x_high - box.x_low;
  const double height = box.y_high - box.y_low;
  for (int row = 0; row < per_side; ++row) {
    const double y = box.y_low + (row + 0.5) * height / per_side;
    for (int column = 0; column < per_side; ++column) {
      points.push_back({box.x_low + (column + 0.5) * width / per_side, y});
    }
  }
}

void add_random(const Box& box, const SampleSettings& settings, std::vector<Point>& points) {
  std::uint64_t state = settings.seed;
  for (int i = 0; i < settings.random_count; ++i) {
    const double x = box.x_low + unit_random(state) * (box.x_high - box.x_low);
    const double y = box.y_low + unit_random(state) * (box.y_high - box.y_low);
    points.push_back({x, y});
  }
}

void add_midpoint_pairs(std::span<const Point> vertices, const SampleSettings& settings,
                        double offset, std::span<const Ring> rings, std::vector<Point>& points) {
  const std::size_t count = vertices.size();
  const std::size_t sampled = sampled_edge_count(count, settings);
  const std::vector<int> successors = edge_successors(count, rings);
  for (std::size_t k = 0; k < sampled; ++k) {
    // k and the edge count are below 2^31: their product fits in 64 bits.
    const std::size_t i = k * count / sampled;
    const Point a = vertices[i];
    const Point b = vertices[static_cast<std::size_t>(successors[i])];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (!(length > 0)) continue;
    const Point middle{a.x + (b.x - a.x) / 2, a.y + (b.y - a.y) / 2};
    // The unit normal to the left of the edge's direction.
    const double nx = -(b.y - a.y) / length;
    const double ny = (b.x - a.x) / length;
    points.push_back({middle.x + offset * nx, middle.y + offset * ny});
    points.push_back({middle.x - offset * nx, middle.y - offset * ny});
  }
}

}  // namespace

SampleSettings default_sample_settings(std::size_t edge_count) {
  SampleSettings settings;
  if (edge_count <= kFullSamplingEdges) return settings;
  const double share = static_cast<double>(kFullSamplingEdges) / static_cast<double>(edge_count);
  const auto shrunk = [share](int count, double power, int floor) {
    return std::max(floor, static_cast<int>(std::lround(count * std::pow(share, power))));
  };
  settings.grid_per_side = shrunk(kDefaultGridPerSide, 1, 10);
  settings.random_count = shrunk(kDefaultRandomSamples, 2, 100);
  settings.midpoint_edges = shrunk(kDefaultMidpointEdges, 2, 100);
  return settings;
}

std::size_t sampled_edge_count(std::size_t edge_count, const SampleSettings& settings) {
  return std::min(edge_count, static_cast<std::size_t>(std::max(settings.midpoint_edges, 0)));
}

Box sampling_box(std::span<const Point> vertices) {
  Box box = bounding_box(vertices);
  double margin = 0.05 * std::max(box.x_high - box.x_low, box.y_high - box.y_low);
  if (!(margin > 0)) margin = std::max(1.0, std::fabs(box.x_low) + std::fabs(box.y_low));
  box.x_low -= margin;
  box.x_high += margin;
  box.y_low -= margin;
  box.y_high += margin;
  return box;
}

std::vector<Point> sample_points(std::span<const Point> vertices, const SampleSettings& settings,
                                 double offset, std::span<const Ring> rings) {
  const Box box = sampling_box(vertices);
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>(settings.grid_per_side) * settings.grid_per_side +
                 static_cast<std::size_t>(settings.random_count) +
                 2 * sampled_edge_count(vertices.size(), settings));
  add_grid(box, settings.grid_per_side, points);
  add_random(box, settings, points);
  add_midpoint_pairs(vertices, settings, offset, rings, points);
  return points;
}

namespace {

// Where every point lies, the two halves of the points on two threads.
std::vector<PointPlace> locate_points(const OutlineIndex& outline, std::span<const Point> points) {
  std::vector<PointPlace> places(points.size(), PointPlace::Outside);
  const auto locate_range = [&](std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i)
      places[i] = locate_point(outline, points[i]);
  };
  const std::size_t half = points.size() / 2;
  run_side_by_side([&] { locate_range(half, points.size()); }, [&] { locate_range(0, half); });
  return places;
}

// The points, by index, within the ring's box widened by the tolerance:
// a binary search among the points sorted by x, then a look at y.
std::vector<std::size_t> points_near_box(std::span<const Point> points,
                                         std::span<const std::size_t> by_x, Box box,
                                         double tolerance) {
  const auto x_of = [points](std::size_t index) { return points[index].x; };
  const auto first =
      std::lower_bound(by_x.begin(), by_x.end(), box.x_low - tolerance,
                       [&x_of](std::size_t index, double x) { return x_of(index) < x; });
  std::vector<std::size_t> near;
  for (auto it = first; it != by_x.end() && x_of(*it) <= box.x_high + tolerance; ++it) {
    const double y = points[*it].y;
    if (y >= box.y_low - tolerance && y <= box.y_high + tolerance) near.push_back(*it);
  }
  return near;
}

// Where every point lies in the region. Each ring is indexed on its own and
// asked only about the points near its box; a polygon's holes only about
// the points inside its exterior.
std::vector<PointPlace> locate_in_region(std::span<const Point> vertices,
                                         std::span<const Ring> rings, std::span<const Point> points,
                                         double tolerance) {
  std::vector<PointPlace> places(points.size(), PointPlace::Outside);
  std::vector<std::size_t> by_x(points.size());
  for (std::size_t i = 0; i < by_x.size(); ++i)
    by_x[i] = i;
  std::sort(by_x.begin(), by_x.end(),
            [points](std::size_t a, std::size_t b) { return points[a].x < points[b].x; });
  // Per point, the last polygon whose exterior it is inside, and whether
  // one of that polygon's holes holds it.
  std::vector<int> exterior_of(points.size(), -1);
  std::vector<char> in_hole(points.size(), 0);
  std::vector<std::size_t> in_exterior;
  const auto settle_polygon = [&] {
    for (const std::size_t i : in_exterior) {
      if (in_hole[i] == 0 && places[i] != PointPlace::NearOutline) places[i] = PointPlace::Inside;
    }
    in_exterior.clear();
  };
  for (const Ring& ring : rings) {
    if (!ring.hole) settle_polygon();
    const std::span<const Point> ring_points = vertices.subspan(
        static_cast<std::size_t>(ring.first), static_cast<std::size_t>(ring.count));
    const std::vector<std::size_t> near =
        points_near_box(points, by_x, bounding_box(ring_points), tolerance);
    if (near.empty()) continue;
    const OutlineIndex outline = make_outline_index(ring_points, tolerance, near.size());
    for (const std::size_t i : near) {
      const PointPlace place = locate_point(outline, points[i]);
      if (place == PointPlace::NearOutline) {
        places[i] = PointPlace::NearOutline;
      } else if (place == PointPlace::Inside && !ring.hole) {
        exterior_of[i] = ring.polygon;
        in_hole[i] = 0;
        in_exterior.push_back(i);
      } else if (place == PointPlace::Inside && exterior_of[i] == ring.polygon) {
        in_hole[i] = 1;
      }
    }
  }
  settle_polygon();
  return places;
}

}  // namespace

SamplingResult compare_samples(const CompiledModel& model, std::span<const Point> vertices,
                               const SampleSettings& settings, double tolerance,
                               std::span<const Ring> rings) {
  const std::vector<Point> points = sample_points(vertices, settings, 2 * tolerance, rings);
  const std::vector<char> model_inside_at = classify_points(model, points);
  std::vector<PointPlace> places;
  if (rings.empty()) {
    const OutlineIndex outline = make_outline_index(vertices, tolerance, points.size());
    places = locate_points(outline, points);
  } else {
    places = locate_in_region(vertices, rings, points, tolerance);
  }
  SamplingResult result;
  std::vector<SampleDisagreement> all;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointPlace place = places[i];
    if (place == PointPlace::NearOutline) {
      ++result.skipped;
      continue;
    }
    ++result.compared;
    const bool polygon_inside = place == PointPlace::Inside;
    if (polygon_inside != (model_inside_at[i] != 0)) all.push_back({points[i], polygon_inside});
  }
  result.disagreeing = static_cast<long long>(all.size());
  const std::size_t listed = std::min(all.size(), settings.max_listed);
  result.first.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(listed));
  const std::size_t drawn = std::max<std::size_t>(settings.max_drawn, 1);
  const std::size_t step = all.size() <= drawn ? 1 : (all.size() + drawn - 1) / drawn;
  for (std::size_t i = 0; i < all.size(); i += step)
    result.spread.push_back(all[i]);
  return result;
}

}  // namespace polyfrep
