#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "formula/hull.h"
#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

// chain_hull on the chain's points, copied out in chain order.
std::vector<int> walked_hull(const std::vector<Point>& polygon, IndexChain chain) {
  std::vector<Point> points;
  for (int k = 0; k < chain.length; ++k) {
    points.push_back(polygon[(static_cast<std::size_t>(chain.first) + k) % polygon.size()]);
  }
  std::vector<int> hull_positions;
  chain_hull(points, hull_positions);
  return hull_positions;
}

struct ReplayCounts {
  int replayed = 0;
  int declined = 0;
  int bases = 0;  // bases started for the shrinking chains
};

// Every replayed hull equals chain_hull's; a declined one leaves the result
// untouched. The replay's split choice is choose_split_vertex's on that hull,
// for the middle and for places where the nearest entries lie elsewhere, and
// is declined where the hull is.
void expect_replay_matches(HullReplay& replay, const std::vector<Point>& polygon, IndexChain chain,
                           const std::string& name, ReplayCounts& counts) {
  std::vector<int> replayed{-7};
  const bool replays = replay_chain_hull(replay, chain, replayed);
  const std::string where =
      name + " chain " + std::to_string(chain.first) + "+" + std::to_string(chain.length);
  for (const int middle : {chain.length / 2, 0, chain.length / 5, chain.length - 1}) {
    int choice = -7;
    ASSERT_EQ(replay_split_choice(replay, chain, middle, 1, choice), replays) << where;
    if (!replays) {
      ASSERT_EQ(choice, -7) << where;
    } else {
      ASSERT_EQ(choice, choose_split_vertex(replayed, middle, 1)) << where << " middle " << middle;
    }
  }
  if (!replays) {
    ASSERT_EQ(replayed, std::vector<int>{-7}) << name;
    ++counts.declined;
    return;
  }
  ++counts.replayed;
  ASSERT_EQ(replayed, walked_hull(polygon, chain)) << where;
}

// Chains losing one or a few vertices at either end, level after level, as a
// decomposition cuts near an end (a chain the replay declines becomes the
// base, as in the decomposition), then random chains within the last base.
ReplayCounts check_shrinking_chains(const std::vector<Point>& polygon, int first,
                                    const std::string& name, std::uint64_t seed,
                                    double front_share = 0.5, int shortest = 3) {
  ReplayCounts counts;
  const int n = static_cast<int>(polygon.size());
  HullReplay replay;
  IndexChain chain{first, n};
  start_hull_replay(replay, polygon, chain);
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> drop(1, 3);
  std::bernoulli_distribution from_front(front_share);
  while (chain.length > shortest) {
    const int declined = counts.declined;
    expect_replay_matches(replay, polygon, chain, name, counts);
    if (counts.declined > declined) {
      start_hull_replay(replay, polygon, chain);
      ++counts.bases;
      expect_replay_matches(replay, polygon, chain, name, counts);
    }
    const int dropped = std::min(drop(random), chain.length - 3);
    if (from_front(random)) chain.first = (chain.first + dropped) % n;
    chain.length -= dropped;
  }
  for (int trial = 0; trial < 200; ++trial) {
    std::uniform_int_distribution<int> length(3, n);
    IndexChain part{0, length(random)};
    part.first = (first + std::uniform_int_distribution<int>(0, n - part.length)(random)) % n;
    expect_replay_matches(replay, polygon, part, name, counts);
  }
  return counts;
}

TEST(HullReplay, EqualsChainHullOnChainsShrinkingAtEitherEnd) {
  int replayed = 0;
  for (const auto& [name, polygon] : testing::generated_polygons(6, 41)) {
    if (polygon.size() < 4) continue;
    for (const int first : {0, static_cast<int>(polygon.size()) / 2}) {
      const ReplayCounts counts = check_shrinking_chains(polygon, first, name, 5);
      replayed += counts.replayed;
    }
  }
  EXPECT_GT(replayed, 1000);
}

// A strip winding outwards, out along its outer edge (turning left at every
// vertex) and back along its inner edge (turning right at every vertex).
std::vector<Point> smooth_spiral(int vertex_count, double turns) {
  const int per_arm = vertex_count / 2;
  std::vector<Point> outer;
  std::vector<Point> inner;
  for (int k = 0; k < per_arm; ++k) {
    const double angle = 2 * std::numbers::pi * turns * k / per_arm;
    const double radius = 2000 + 1000 * angle / (2 * std::numbers::pi);
    outer.push_back({std::round(radius * std::cos(angle)), std::round(radius * std::sin(angle))});
    inner.push_back({std::round((radius - 600) * std::cos(angle)),
                     std::round((radius - 600) * std::sin(angle))});
  }
  outer.insert(outer.end(), inner.rbegin(), inner.rend());
  return outer;
}

// Spirals are what the replay is for: few bases serve all the chains that
// lose vertices at their end, and those that lose them at their front while
// it lies on the inner edge (the start triangle, at the first left turn, is
// far ahead then), including chains that wrap past the last vertex. Once the
// front reaches the outer edge, every vertex there is a first left turn and
// each chain needs a base of its own.
TEST(HullReplay, FewBasesServeTheShrinkingChainsOfASpiral) {
  for (const int vertex_count : {200, 600, 1500}) {
    const std::vector<Point> polygon = smooth_spiral(vertex_count, 4.5);
    const struct {
      int first;
      double front_share;
      int shortest;
    } cases[] = {{0, 0.0, 3},
                 {vertex_count / 2, 1.0, vertex_count / 2 + 3},
                 {vertex_count * 3 / 4, 1.0, vertex_count * 3 / 4 + 3}};
    for (const auto& c : cases) {
      const std::string name = "spiral " + std::to_string(vertex_count) + " from " +
                               std::to_string(c.first) + " front " + std::to_string(c.front_share);
      const ReplayCounts counts =
          check_shrinking_chains(polygon, c.first, name, 9, c.front_share, c.shortest);
      EXPECT_EQ(counts.bases, 0) << name;
      EXPECT_GT(counts.replayed, vertex_count / 10) << name;
    }
  }
}

// Grid outlines have collinear runs, repeated vertices and no strict left
// turn at all in places: the replay must decline rather than differ.
TEST(HullReplay, EqualsChainHullOrDeclinesOnDegenerateOutlines) {
  std::mt19937_64 random(17);
  for (int trial = 0; trial < 300; ++trial) {
    const std::vector<Point> polygon = testing::grid_outline(random, 4 + trial % 40, 3);
    check_shrinking_chains(polygon, trial % static_cast<int>(polygon.size()), "grid", trial);
  }
}

// A replay remembers the last chain it found without a strict left turn and
// turns down the chains within it unseen. Chains that only overlap it, at
// either end or past the polygon's last vertex, and chains of another polygon
// can still have a left turn and must still become bases.
TEST(HullReplay, OnlyChainsWithinOneWithoutALeftTurnAreTurnedDownUnseen) {
  // Vertices 0 to 9 on one line, then an apex: the turns at 9 and 0 are left.
  std::vector<Point> folded;
  for (int k = 0; k < 10; ++k)
    folded.push_back({static_cast<double>(k), 0.0});
  folded.push_back({5.0, 5.0});
  // The same outline numbered so that its line runs on past the last vertex.
  std::vector<Point> turned = folded;
  std::rotate(turned.begin(), turned.begin() + 5, turned.end());
  const std::vector<Point> bent = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 0}, {5, 0},
                                   {6, 1}, {7, 1}, {8, 0}, {9, 0}, {5, 5}};
  const struct {
    const std::vector<Point>* polygon;
    IndexChain chain;
    bool becomes_base;
  } steps[] = {{&folded, {0, 10}, false}, {&folded, {2, 6}, false},  {&folded, {3, 9}, true},
               {&folded, {0, 10}, false}, {&folded, {10, 5}, true},  {&turned, {6, 10}, false},
               {&turned, {8, 7}, false},  {&turned, {9, 9}, true},   {&turned, {6, 10}, false},
               {&turned, {5, 5}, true},   {&folded, {0, 10}, false}, {&bent, {0, 10}, true}};
  HullReplay replay;
  int step_number = 0;
  for (const auto& step : steps) {
    ++step_number;
    start_hull_replay(replay, *step.polygon, step.chain);
    std::vector<int> replayed;
    ASSERT_EQ(replay_chain_hull(replay, step.chain, replayed), step.becomes_base)
        << "step " << step_number;
    if (step.becomes_base) {
      EXPECT_EQ(replayed, walked_hull(*step.polygon, step.chain)) << "step " << step_number;
    }
  }
}

// The points before the start triangle are passed over a box at a time
// where they lie inside the hull so far; a stretch of them that comes back
// out after thousands of points inside must still be found. Here they turn
// right all the way: a spiral in, then out past where it began, before a
// small circle turning left (the start triangle and the points after it).
TEST(HullReplay, FindsPointsBeforeTheStartThatComeBackOutOfTheHull) {
  std::vector<Point> polygon;
  for (int k = 0; k < 1000; ++k) {
    const double angle = 4 * std::numbers::pi * k / 1000;
    polygon.push_back({1e5 * std::cos(angle), 1e5 * std::sin(angle)});
  }
  const int first = static_cast<int>(polygon.size());
  for (int k = 0; k < 4000; ++k) {
    const double angle = -8 * std::numbers::pi * k / 4000;
    const double radius = k < 2000 ? 1e6 - 350 * k : 3e5 + 450 * (k - 2000);
    polygon.push_back({radius * std::cos(angle), radius * std::sin(angle)});
  }
  for (const double front_share : {0.0, 0.5, 1.0}) {
    const ReplayCounts counts = check_shrinking_chains(
        polygon, first, "spiral in and out, front " + std::to_string(front_share), 3, front_share);
    EXPECT_GT(counts.replayed, 1000);
  }
}

}  // namespace
}  // namespace polyfrep
