#include "formula/hull_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "formula/cut_validity.h"
#include "geometry/exact.h"
#include "geometry/segments.h"
#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

using testing::NamedPolygon;

// Outlines for the tree: the generated families, and vertex lists full of
// what makes hulls hard: repeated points, collinear and nearly collinear
// runs (coordinates that are not integers), and one point repeated
// throughout. Only some are simple polygons; the hulls do not care.
std::vector<NamedPolygon> tree_inputs() {
  std::vector<NamedPolygon> inputs = testing::generated_polygons(4, 17);
  std::mt19937_64 random(5);
  for (const int count : {70, 150, 400}) {
    inputs.push_back({"grid", testing::grid_outline(random, count, 4)});
    inputs.push_back({"unit star", testing::unit_star_outline(random, count)});
    std::vector<Point> near_line;
    for (int i = 0; i < count; ++i) {
      const double t = static_cast<double>(random() % 50) * 0.1;
      near_line.push_back({t, 0.3 * t});
    }
    inputs.push_back({"nearly collinear", near_line});
  }
  inputs.push_back({"one point", std::vector<Point>(130, Point{2.5, -1})});
  inputs.push_back({"spiral", testing::spiral_polygon(500, 3.0, 4)});
  inputs.push_back({"comb", testing::comb_polygon(40, 4)});
  return inputs;
}

std::string where(const NamedPolygon& input, std::size_t node) {
  return input.name + " with " + std::to_string(input.vertices.size()) + " vertices, node " +
         std::to_string(node);
}

// Every node holds the strict hull of its vertices: its corners are some of
// them, turn strictly left all the way round, and leave every vertex of the
// node inside or on the boundary. Only one polygon has those three
// properties. The nodes keep their corners as offsets from their first
// vertex, or, with the smallest near span, above the leaves as vertices.
TEST(HullTree, EveryNodeHoldsTheStrictHullOfItsRun) {
  for (const NamedPolygon& input : tree_inputs()) {
    for (const std::size_t near_span : {kNearSpan, kHullBlockSize}) {
      const std::vector<Point>& vertices = input.vertices;
      const HullTree tree = make_hull_tree(vertices, near_span);
      for (std::size_t node = 1; node < 2 * tree.leaf_count; ++node) {
        std::size_t begin = node;
        std::size_t end = node + 1;
        while (begin < tree.leaf_count) {
          begin *= 2;
          end *= 2;
        }
        begin = std::min((begin - tree.leaf_count) * kHullBlockSize, vertices.size());
        end = std::min((end - tree.leaf_count) * kHullBlockSize, vertices.size());
        const std::span<const Point> run =
            std::span<const Point>(vertices).subspan(begin, end - begin);
        const NodeHull hull = node_hull(tree, node);
        ASSERT_EQ(hull.empty(), run.empty()) << where(input, node);
        for (std::size_t k = 0; k < hull.size(); ++k) {
          const Point corner = hull[k];
          EXPECT_TRUE(std::any_of(run.begin(), run.end(), [&](Point p) {
            return same_point(p, corner);
          })) << where(input, node);
        }
        for (std::size_t k = 0; k < hull.size() && hull.size() >= 2; ++k) {
          const Point from = hull[k];
          const Point to = hull[(k + 1) % hull.size()];
          EXPECT_FALSE(same_point(from, to)) << where(input, node);
          if (hull.size() >= 3) {
            EXPECT_GT(orientation_sign(from, to, hull[(k + 2) % hull.size()]), 0)
                << where(input, node);
          }
          for (const Point& point : run) {
            EXPECT_GE(orientation_sign(from, to, point), 0) << where(input, node);
          }
        }
        // Two corners are the ends of a segment that holds every vertex, one
        // corner the only point there is.
        if (hull.size() == 1) {
          for (const Point& point : run)
            EXPECT_TRUE(same_point(point, hull[0])) << where(input, node);
        }
        if (hull.size() == 2) {
          for (const Point& point : run) {
            EXPECT_LE(dot_sign(point, hull[0], point, hull[1]), 0) << where(input, node);
          }
        }
        // The disc holds every vertex of the node.
        const HullDisc& disc = tree.discs[node];
        for (const Point& point : run) {
          EXPECT_LE(std::hypot(point.x - disc.x, point.y - disc.y), disc.radius)
              << where(input, node);
        }
        if (HasFailure()) return;
      }
    }
  }
}

// Asked through the tree, the extreme-point test answers as the walk over
// every vertex of the chain does, for chains that wrap past the last vertex
// or not, short ones (walked anyway) and ones as long as the outline.
TEST(HullTree, ExtremePointsAsTheWalkOverEveryVertex) {
  int extreme = 0;
  int not_extreme = 0;
  for (const NamedPolygon& input : tree_inputs()) {
    for (const std::size_t near_span : {kNearSpan, kHullBlockSize}) {
      const std::vector<Point>& vertices = input.vertices;
      const HullTree tree = make_hull_tree(vertices, near_span);
      const int n = static_cast<int>(vertices.size());
      std::mt19937_64 random(static_cast<std::uint64_t>(n));
      std::vector<IndexChain> chains = {{0, n}, {n / 2, n}, {n - 1, n}};
      for (int k = 0; k < 12; ++k) {
        const int first = static_cast<int>(random() % static_cast<std::uint64_t>(n));
        chains.push_back(
            {first, 3 + static_cast<int>(random() % static_cast<std::uint64_t>(n - 2))});
      }
      for (const IndexChain chain : chains) {
        for (int position = 0; position < chain.length; ++position) {
          const bool walked = is_strict_extreme_point(vertices, chain, position);
          ASSERT_EQ(is_strict_extreme_point(vertices, chain, position, &tree), walked)
              << input.name << " with " << n << " vertices, chain " << chain.first << "+"
              << chain.length << " at " << position;
          if (chain.length >= 64) ++(walked ? extreme : not_extreme);
        }
      }
    }
  }
  EXPECT_GT(extreme, 1000);
  EXPECT_GT(not_extreme, 10000);
}

// The walk of a cut ray passes runs of vertices strictly on one side of its
// line through the tree; every cut of every chain keeps its verdict, with
// either join (a join against the turn is rejected before any walk).
TEST(HullTree, CutVerdictsAsWithoutTheTree) {
  int sound = 0;
  int unsound = 0;
  for (const NamedPolygon& input : tree_inputs()) {
    const std::vector<Point>& vertices = input.vertices;
    const HullTree tree = make_hull_tree(vertices);
    const TurnTable turns = make_turn_table(vertices);
    const int n = static_cast<int>(vertices.size());
    std::mt19937_64 random(static_cast<std::uint64_t>(n) + 1);
    std::vector<IndexChain> chains = {{0, n}, {n / 3, n - 1}};
    for (int k = 0; k < 6; ++k) {
      const int first = static_cast<int>(random() % static_cast<std::uint64_t>(n));
      chains.push_back({first, 3 + static_cast<int>(random() % static_cast<std::uint64_t>(n - 2))});
    }
    for (const IndexChain chain : chains) {
      for (int position = 1; position <= chain.length - 2; ++position) {
        const int vertex = (chain.first + position) % n;
        const int join =
            turns.turn_sign[static_cast<std::size_t>(vertex)] > 0 ? TOKEN_INTERSECT : TOKEN_UNION;
        const bool plain = chain_cut_is_valid(vertices, turns, chain, position, join);
        ASSERT_EQ(
            chain_cut_is_valid(vertices, turns, chain, position, join, nullptr, nullptr, &tree),
            plain)
            << input.name << " with " << n << " vertices, chain " << chain.first << "+"
            << chain.length << " cut at " << position;
        if (chain.length >= 64) ++(plain ? sound : unsound);
      }
    }
  }
  EXPECT_GT(sound, 1000);
  EXPECT_GT(unsound, 1000);
}

}  // namespace
}  // namespace polyfrep
