#include "polygon/region_validity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "geometry/exact.h"
#include "geometry/segments.h"
#include "polygon/self_intersection.h"
#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

using Kind = RegionProblemKind;

struct RingOutline {
  int polygon = 0;
  bool hole = false;
  std::vector<Point> vertices;
};

Region region_of(const std::vector<RingOutline>& outlines) {
  Region region;
  for (const RingOutline& outline : outlines) {
    region.rings.push_back({static_cast<int>(region.vertices.size()),
                            static_cast<int>(outline.vertices.size()), outline.polygon,
                            outline.hole});
    region.vertices.insert(region.vertices.end(), outline.vertices.begin(), outline.vertices.end());
  }
  return region;
}

std::span<const Point> ring_points(const Region& region, int r) {
  const Ring& ring = region.rings[static_cast<std::size_t>(r)];
  return std::span<const Point>(region.vertices)
      .subspan(static_cast<std::size_t>(ring.first), static_cast<std::size_t>(ring.count));
}

const std::vector<Point> kSquare4 = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
const std::vector<Point> kSquare9 = {{0, 0}, {9, 0}, {9, 9}, {0, 9}};
const std::vector<Point> kLake9 = {{1, 1}, {1, 8}, {8, 8}, {8, 1}};

// Each region with the line naming its first problem, numbers and all.
TEST(RegionValidity, NamedRegions) {
  const std::string valid = "valid region";
  const struct {
    const char* name;
    std::vector<RingOutline> rings;
    std::string text;
  } cases[] = {
      {"square with a hole", {{0, false, kSquare4}, {0, true, {{1, 1}, {1, 3}, {3, 3}}}}, valid},
      {"island in a lake in a mainland",
       {{0, false, kSquare9}, {0, true, kLake9}, {1, false, {{3, 3}, {6, 3}, {6, 6}}}},
       valid},
      {"hole touching its exterior at a vertex",
       {{0, false, kSquare4}, {0, true, {{0, 0}, {1, 2}, {2, 1}}}},
       valid},
      {"hole touching its exterior inside an edge",
       {{0, false, kSquare4}, {0, true, {{2, 0}, {1, 1}, {3, 1}}}},
       valid},
      {"two holes touching at a point",
       {{0, false, kSquare4},
        {0, true, {{1, 1}, {1, 2}, {2, 2}}},
        {0, true, {{2, 2}, {2, 3}, {3, 3}}}},
       valid},
      {"two triangles touching at a point",
       {{0, false, {{0, 0}, {1, 1}, {0, 2}}}, {1, false, {{1, 1}, {2, 0}, {2, 2}}}},
       valid},
      {"triangle touching a square's edge, repeated and straight-through vertices",
       {{0, false, {{0, 0}, {0, 0}, {2, 0}, {4, 0}, {4, 4}, {0, 4}}},
        {1, false, {{2, 0}, {3, -2}, {3, -2}, {1, -2}}}},
       valid},
      {"ring of two vertices",
       {{0, false, kSquare4}, {1, false, {{5, 5}, {6, 6}}}},
       "ring 1 has fewer than 3 vertices"},
      {"flat ring", {{0, false, {{0, 0}, {1, 1}, {1, 1}, {3, 3}}}}, "ring 0 encloses no area"},
      {"bow tie after a good ring",
       {{0, false, kSquare4}, {1, false, {{5, 0}, {7, 2}, {7, 0}, {5, 2}}}},
       "ring 1 crosses itself (edges 4 and 6)"},
      {"two squares crossing",
       {{0, false, kSquare4}, {1, false, {{2, 2}, {6, 2}, {6, 6}, {2, 6}}}},
       "rings 0 and 1 cross (edges 2 and 7)"},
      {"squares sharing an edge",
       {{0, false, {{0, 0}, {2, 0}, {2, 2}, {0, 2}}}, {1, false, {{2, 0}, {4, 0}, {4, 2}, {2, 2}}}},
       "rings 0 and 1 share a stretch (edges 1 and 7)"},
      {"diamond crossing a square at two shared corners only",
       {{0, false, kSquare4}, {1, false, {{2, -2}, {4, 0}, {2, 2}, {0, 0}}}},
       "rings 0 and 1 cross (edges 3 and 6)"},
      {"ring crossing a square at its own vertices inside the square's edges",
       {{0, false, kSquare4}, {1, false, {{4, 2}, {6, 6}, {2, 4}, {3, 3}}}},
       "rings 0 and 1 cross (edges 2 and 5)"},
      {"hole beside its exterior",
       {{0, false, kSquare4}, {0, true, {{5, 0}, {5, 1}, {6, 1}}}},
       "hole ring 1 lies outside its exterior ring 0"},
      {"hole around its exterior",
       {{0, false, {{1, 1}, {2, 1}, {2, 2}}}, {0, true, {{0, 0}, {0, 4}, {4, 4}, {4, 0}}}},
       "hole ring 1 lies outside its exterior ring 0"},
      {"hole inside an island in another hole of its polygon",
       {{0, false, kSquare9},
        {0, true, kLake9},
        {0, true, {{5, 3}, {5, 4}, {6, 4}}},
        {1, false, {{2, 2}, {7, 2}, {7, 7}}}},
       "hole ring 2 lies inside hole ring 1 of polygon 0"},
      {"later polygon around an earlier one",
       {{0, false, {{1, 1}, {2, 1}, {2, 2}}}, {1, false, kSquare4}},
       "polygons 0 and 1 overlap"},
      {"island inside an island",
       {{0, false, kSquare9},
        {0, true, kLake9},
        {1, false, {{2, 2}, {7, 2}, {7, 7}, {2, 7}}},
        {2, false, {{3, 3}, {4, 3}, {4, 4}}}},
       "polygons 1 and 2 overlap"},
      {"hole listed after another polygon",
       {{0, false, kSquare9},
        {1, false, {{2, 2}, {7, 2}, {7, 7}}},
        {0, true, {{3, 3}, {3, 4}, {4, 4}}}},
       "ring 2 is out of place in the ring list"},
      {"polygon starting with a hole",
       {{0, true, kSquare4}},
       "ring 0 is out of place in the ring list"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(region_problem_text(first_region_problem(region_of(c.rings))), c.text) << c.name;
  }
}

// A ring list that claims vertices beyond the array, or leaves some over.
TEST(RegionValidity, RingListNotCoveringTheVerticesIsMisplaced) {
  Region region = region_of({{0, false, kSquare4}});
  region.vertices.push_back({9, 9});
  EXPECT_EQ(first_region_problem(region).kind, Kind::kMisplacedRing);
  region.rings[0].count = 6;
  EXPECT_EQ(first_region_problem(region).kind, Kind::kMisplacedRing);
}

// The reference: every pair of rings and edges tested directly, and ring
// inside ring by a point of one away from the other and the parity of
// crossings of a ray.

bool strictly_within(Point a, Point b, Point p) {
  return orientation_sign(a, b, p) == 0 && closed_segments_meet(a, b, p, p) && !same_point(a, p) &&
         !same_point(b, p);
}

bool on_ring(std::span<const Point> ring, Point p) {
  for (std::size_t k = 0; k < ring.size(); ++k) {
    if (closed_segments_meet(ring[k], ring[(k + 1) % ring.size()], p, p)) return true;
  }
  return false;
}

bool inside_ring(std::span<const Point> ring, Point p) {
  bool inside = false;
  for (std::size_t k = 0; k < ring.size(); ++k) {
    const Point u = ring[k], v = ring[(k + 1) % ring.size()];
    if (u.y <= p.y && p.y < v.y && orientation_sign(u, v, p) > 0) inside = !inside;
    if (v.y <= p.y && p.y < u.y && orientation_sign(u, v, p) < 0) inside = !inside;
  }
  return inside;
}

// Ring `inner` inside ring `outer`, for rings that do not cross: decided at
// a vertex or a point a quarter of the way along an edge of `inner` that
// `outer` does not pass through (exact for the small grids used here).
bool ring_inside(std::span<const Point> inner, std::span<const Point> outer) {
  std::vector<Point> candidates(inner.begin(), inner.end());
  for (std::size_t k = 0; k < inner.size(); ++k) {
    const Point a = inner[k], b = inner[(k + 1) % inner.size()];
    for (const double t : {0.25, 0.5, 0.75}) {
      candidates.push_back({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
    }
  }
  for (const Point p : candidates) {
    if (!on_ring(outer, p)) return inside_ring(outer, p);
  }
  ADD_FAILURE() << "no point of the ring lies off the other";
  return false;
}

// The two directions a ring leaves `p` in, when it passes through p.
std::optional<std::array<Point, 2>> directions_at(std::span<const Point> ring, Point p) {
  const std::size_t n = ring.size();
  for (std::size_t k = 0; k < n; ++k) {
    const Point a = ring[k], b = ring[(k + 1) % n];
    if (strictly_within(a, b, p)) return std::array<Point, 2>{a, b};
    if (same_point(a, p)) {
      std::size_t back = (k + n - 1) % n, ahead = (k + 1) % n;
      while (same_point(ring[back], p))
        back = (back + n - 1) % n;
      while (same_point(ring[ahead], p))
        ahead = (ahead + 1) % n;
      return std::array<Point, 2>{ring[back], ring[ahead]};
    }
  }
  return std::nullopt;
}

// Whether direction `b` from `centre` lies strictly inside the sector swept
// counter-clockwise from direction a1 to direction a2.
bool in_sector(Point centre, Point a1, Point a2, Point b) {
  const int turn = orientation_sign(centre, a1, a2);
  const int from_first = orientation_sign(centre, a1, b);
  const int from_second = orientation_sign(centre, a2, b);
  if (turn > 0) return from_first > 0 && from_second < 0;
  if (turn < 0) return from_first > 0 || from_second < 0;
  return from_first > 0;
}

bool rings_conflict_by_pairs(std::span<const Point> first, std::span<const Point> second) {
  for (std::size_t i = 0; i < first.size(); ++i) {
    const Point a = first[i], b = first[(i + 1) % first.size()];
    if (same_point(a, b)) continue;
    for (std::size_t j = 0; j < second.size(); ++j) {
      const Point c = second[j], d = second[(j + 1) % second.size()];
      if (same_point(c, d)) continue;
      const int sides[] = {orientation_sign(a, b, c), orientation_sign(a, b, d),
                           orientation_sign(c, d, a), orientation_sign(c, d, b)};
      if (sides[0] * sides[1] < 0 && sides[2] * sides[3] < 0) return true;
      const bool collinear = sides[0] == 0 && sides[1] == 0;
      const bool same_ends =
          (same_point(a, c) && same_point(b, d)) || (same_point(a, d) && same_point(b, c));
      if (collinear && (same_ends || strictly_within(a, b, c) || strictly_within(a, b, d) ||
                        strictly_within(c, d, a) || strictly_within(c, d, b))) {
        return true;
      }
    }
  }
  // Crossings where the rings touch: at every vertex of either that both
  // pass through.
  std::vector<Point> points(first.begin(), first.end());
  points.insert(points.end(), second.begin(), second.end());
  for (const Point p : points) {
    const auto along_first = directions_at(first, p);
    const auto along_second = directions_at(second, p);
    if (!along_first || !along_second) continue;
    const auto [a1, a2] = *along_first;
    const auto [b1, b2] = *along_second;
    if (in_sector(p, a1, a2, b1) != in_sector(p, a1, a2, b2)) return true;
  }
  return false;
}

Kind problem_by_pairs(const Region& region) {
  const int ring_count = static_cast<int>(region.rings.size());
  for (int r = 0; r < ring_count; ++r) {
    const std::span<const Point> ring = ring_points(region, r);
    if (ring.size() < 3) return Kind::kTooFewVertices;
    bool flat = true;
    for (const Point a : ring)
      for (const Point b : ring)
        for (const Point c : ring)
          flat = flat && orientation_sign(a, b, c) == 0;
    if (flat) return Kind::kNoArea;
  }
  for (int r = 0; r < ring_count; ++r) {
    if (!find_self_intersections_by_pairs(ring_points(region, r)).empty()) {
      return Kind::kRingMeetsItself;
    }
  }
  for (int r = 0; r < ring_count; ++r) {
    for (int s = r + 1; s < ring_count; ++s) {
      if (rings_conflict_by_pairs(ring_points(region, r), ring_points(region, s))) {
        return Kind::kRingsCross;
      }
    }
  }
  const auto exterior_of = [&region](int r) {
    int e = r;
    while (region.rings[static_cast<std::size_t>(e)].hole)
      --e;
    return e;
  };
  const auto inside = [&region](int inner, int outer) {
    return ring_inside(ring_points(region, inner), ring_points(region, outer));
  };
  for (int r = 0; r < ring_count; ++r) {
    if (region.rings[static_cast<std::size_t>(r)].hole && !inside(r, exterior_of(r))) {
      return Kind::kHoleOutsideExterior;
    }
  }
  for (int r = 0; r < ring_count; ++r) {
    for (int s = 0; s < ring_count; ++s) {
      const Ring& a = region.rings[static_cast<std::size_t>(r)];
      const Ring& b = region.rings[static_cast<std::size_t>(s)];
      if (r != s && a.hole && b.hole && a.polygon == b.polygon && inside(r, s)) {
        return Kind::kHolesOverlap;
      }
    }
  }
  for (int outer = 0; outer < ring_count; ++outer) {
    for (int inner = 0; inner < ring_count; ++inner) {
      const Ring& o = region.rings[static_cast<std::size_t>(outer)];
      const Ring& i = region.rings[static_cast<std::size_t>(inner)];
      if (o.hole || i.hole || o.polygon == i.polygon || !inside(inner, outer)) continue;
      bool in_a_hole = false;
      for (int h = outer + 1; h < ring_count && region.rings[static_cast<std::size_t>(h)].hole;
           ++h) {
        in_a_hole = in_a_hole || inside(inner, h);
      }
      if (!in_a_hole) return Kind::kPolygonsOverlap;
    }
  }
  return Kind::kNone;
}

// A box of the grid: x from x_low to x_high, y from y_low to y_high.
struct GridBox {
  int x_low, x_high, y_low, y_high;
};

int random_between(std::mt19937_64& random, int low, int high) {
  return low + static_cast<int>(random() % static_cast<std::uint64_t>(high - low + 1));
}

// A box within `outer`: all of it, or one half of it along either axis,
// less a margin of 1 on most sides where there is room. Boxes within one
// outer box are then often apart, often touching, and sometimes nested.
GridBox box_within(std::mt19937_64& random, GridBox outer) {
  GridBox box = outer;
  const int half = static_cast<int>(random() % 5);
  const int x_middle = (outer.x_low + outer.x_high) / 2;
  const int y_middle = (outer.y_low + outer.y_high) / 2;
  const bool wide = outer.x_high - outer.x_low >= 2, tall = outer.y_high - outer.y_low >= 2;
  if (half == 1 && wide) box.x_high = x_middle;
  if (half == 2 && wide) box.x_low = x_middle;
  if (half == 3 && tall) box.y_high = y_middle;
  if (half == 4 && tall) box.y_low = y_middle;
  const auto shrink = [&random](int& low, int& high) {
    if (high - low >= 3 && random() % 4 != 0) ++low;
    if (high - low >= 3 && random() % 4 != 0) --high;
  };
  shrink(box.x_low, box.x_high);
  shrink(box.y_low, box.y_high);
  return box;
}

// A ring in the box with the orientation its place asks for: the box
// itself, a triangle or diamond on its sides, or grid points of the box in
// random order (often flat or crossed); sometimes with a vertex repeated
// or a vertex added in the middle of an edge, now and then with two
// vertices only.
std::vector<Point> random_ring(std::mt19937_64& random, GridBox box, bool hole) {
  const double x0 = box.x_low, x1 = box.x_high, y0 = box.y_low, y1 = box.y_high;
  const double xm = (box.x_low + box.x_high) / 2, ym = (box.y_low + box.y_high) / 2;
  const int shape = static_cast<int>(random() % 14);
  const auto grid_x = [&]() {
    return static_cast<double>(random_between(random, box.x_low, box.x_high));
  };
  const auto grid_y = [&]() {
    return static_cast<double>(random_between(random, box.y_low, box.y_high));
  };
  std::vector<Point> ring;
  if (shape < 4) {
    ring = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  } else if (shape < 7) {
    ring = {{xm, y0}, {x1, ym}, {xm, y1}, {x0, ym}};
  } else if (shape < 12) {
    ring = {{x0, y0}, {x1, y0}, {grid_x(), y1}};
  } else {
    for (int k = 0; k < 3 + shape % 3; ++k)
      ring.push_back({grid_x(), grid_y()});
  }
  if (random() % 100 == 0) ring.resize(2);
  const double area = testing::twice_signed_area(ring);
  if ((hole && area > 0) || (!hole && area < 0)) std::reverse(ring.begin(), ring.end());
  if (random() % 4 == 0) {
    const std::size_t k = random() % ring.size();
    const Point a = ring[k], b = ring[(k + 1) % ring.size()];
    ring.insert(ring.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                {(a.x + b.x) / 2, (a.y + b.y) / 2});
  }
  if (random() % 6 == 0) {
    const std::size_t k = random() % ring.size();
    ring.insert(ring.begin() + static_cast<std::ptrdiff_t>(k), ring[k]);
  }
  return ring;
}

// Up to four polygons of up to three holes each on a grid of 8 to 16 points a
// side. Each ring goes in a box within the box of an earlier ring or of the
// whole grid: a hole mostly within its own exterior's box, sometimes within
// an earlier hole's; an exterior within the grid, a hole's box (an island) or
// another exterior's box.
Region random_region(std::mt19937_64& random) {
  const int grid = 8 + static_cast<int>(random() % 9);
  const GridBox whole{0, grid, 0, grid};
  const int polygon_count = 1 + static_cast<int>(random() % 4);
  std::vector<RingOutline> rings;
  std::vector<GridBox> boxes;  // per ring
  std::vector<int> holes;
  for (int polygon = 0; polygon < polygon_count; ++polygon) {
    GridBox outer = whole;
    const int choice = static_cast<int>(random() % 4);
    if (choice <= 1 && !holes.empty())
      outer = boxes[static_cast<std::size_t>(holes[random() % holes.size()])];
    if (choice == 2 && !boxes.empty()) outer = boxes[random() % boxes.size()];
    const int exterior = static_cast<int>(rings.size());
    boxes.push_back(box_within(random, outer));
    rings.push_back({polygon, false, random_ring(random, boxes.back(), false)});
    const int hole_count = static_cast<int>(random() % 4);
    for (int h = 0; h < hole_count; ++h) {
      GridBox hole_outer = boxes[static_cast<std::size_t>(exterior)];
      if (h > 0 && random() % 2 == 0) hole_outer = boxes.back();
      if (random() % 6 == 0) hole_outer = boxes[random() % boxes.size()];
      holes.push_back(static_cast<int>(rings.size()));
      boxes.push_back(box_within(random, hole_outer));
      rings.push_back({polygon, true, random_ring(random, boxes.back(), true)});
    }
  }
  return region_of(rings);
}

// The ends of an edge of the ring, when the edge is the ring's.
std::optional<std::array<Point, 2>> edge_ends(const Region& region, int ring, int edge) {
  const Ring& r = region.rings[static_cast<std::size_t>(ring)];
  if (edge < r.first || edge >= r.first + r.count) return std::nullopt;
  return std::array<Point, 2>{region.vertices[static_cast<std::size_t>(edge)],
                              region.vertices[static_cast<std::size_t>(ring_successor(r, edge))]};
}

// The first problem's kind agrees with the all-pairs reference on random
// regions, and the rings and edges it names are the region's own and meet.
TEST(RegionValidity, AgreesWithAllPairsOnRandomRegions) {
  std::mt19937_64 random(7151);
  std::array<int, 9> kind_counts{};
  for (int round = 0; round < 10000; ++round) {
    const Region region = random_region(random);
    const RegionProblem problem = first_region_problem(region);
    const Kind expected = problem_by_pairs(region);
    ASSERT_EQ(problem.kind, expected) << "round " << round << ": " << region_problem_text(problem);
    ++kind_counts[static_cast<std::size_t>(problem.kind)];
    if (problem.kind == Kind::kRingMeetsItself || problem.kind == Kind::kRingsCross) {
      const bool one_ring = problem.kind == Kind::kRingMeetsItself;
      const int second_ring = one_ring ? problem.first_ring : problem.second_ring;
      EXPECT_TRUE(one_ring || problem.first_ring < second_ring) << round;
      const auto first = edge_ends(region, problem.first_ring, problem.first_edge);
      const auto second = edge_ends(region, second_ring, problem.second_edge);
      ASSERT_TRUE(first && second) << round;
      EXPECT_TRUE(closed_segments_meet((*first)[0], (*first)[1], (*second)[0], (*second)[1]))
          << round;
    }
  }
  // Every kind but a misplaced ring comes up often enough to count.
  for (std::size_t kind = 0; kind < kind_counts.size(); ++kind) {
    if (kind == static_cast<std::size_t>(Kind::kMisplacedRing)) continue;
    EXPECT_GE(kind_counts[kind], 5) << "kind " << kind;
  }
}

// A lake-studded disc: polygon centred at (cx, cy), its exterior of
// `outer_count` vertices and three holes of `hole_count` each.
void add_disc_with_lakes(std::vector<RingOutline>& rings, int polygon, double cx, double cy,
                         int outer_count, int hole_count) {
  constexpr double kTurn = 6.283185307179586;
  RingOutline exterior{polygon, false, {}};
  for (int k = 0; k < outer_count; ++k) {
    const double angle = kTurn * k / outer_count;
    const double radius = 0.44 + 0.02 * std::sin(7 * angle);
    exterior.vertices.push_back({cx + radius * std::cos(angle), cy + radius * std::sin(angle)});
  }
  rings.push_back(exterior);
  for (int lake = 0; lake < 3; ++lake) {
    const double lx = cx + 0.22 * std::cos(kTurn * lake / 3);
    const double ly = cy + 0.22 * std::sin(kTurn * lake / 3);
    RingOutline hole{polygon, true, {}};
    for (int k = 0; k < hole_count; ++k) {
      const double angle = -kTurn * k / hole_count;  // clockwise
      hole.vertices.push_back({lx + 0.1 * std::cos(angle), ly + 0.1 * std::sin(angle)});
    }
    rings.push_back(hole);
  }
}

// 500 polygons of 400 vertices on a grid of unit cells: 200,000 vertices in
// 2,000 rings. Valid as made; one lake moved onto its shore makes two
// rings cross.
TEST(RegionValidity, LargeGeneratedRegion) {
  std::vector<RingOutline> rings;
  for (int cell = 0; cell < 500; ++cell) {
    add_disc_with_lakes(rings, cell, cell % 25, cell / 25, 250, 50);
  }
  Region region = region_of(rings);
  ASSERT_EQ(region.vertices.size(), 200000U);
  ASSERT_EQ(region.rings.size(), 2000U);
  EXPECT_EQ(first_region_problem(region).kind, Kind::kNone);

  const Ring lake = region.rings[4 * 317 + 1];
  for (int v = lake.first; v < lake.first + lake.count; ++v)
    region.vertices[static_cast<std::size_t>(v)].x += 0.15;
  const RegionProblem problem = first_region_problem(region);
  EXPECT_EQ(problem.kind, Kind::kRingsCross);
  EXPECT_EQ(problem.first_ring, 4 * 317);
  EXPECT_EQ(problem.second_ring, 4 * 317 + 1);
}

}  // namespace
}  // namespace polyfrep
