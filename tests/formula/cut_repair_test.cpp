// The repair of unsound chain cuts, against a slow reference that tries every
// position in full, and the facts its memos rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "formula/cut_validity.h"
#include "formula/decomposition.h"
#include "formula/hull.h"
#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

using testing::NamedPolygon;

int exact_join(const TurnTable& turns, int vertex) {
  return turns.turn_sign[static_cast<std::size_t>(vertex)] > 0 ? TOKEN_INTERSECT : TOKEN_UNION;
}

// The repaired decomposition of a polygon whose first top-level cut is sound,
// worked out without memos or hull replay: every chain is cut at its chosen
// hull vertex when that is sound, or else at the sound position nearest its
// middle (the smaller first on ties), or at the chosen one when none is.
class ReferenceRepair {
 public:
  explicit ReferenceRepair(const std::vector<Point>& polygon)
      : polygon_(polygon),
        turns_(make_turn_table(polygon)),
        edges_(make_polygon_edge_index(polygon)) {}

  std::vector<int> nodes(int a, int b) {
    const int n = vertex_count();
    const int lo = std::min(a, b);
    const int hi = std::max(a, b);
    std::vector<int> nodes{TOKEN_INTERSECT};
    for (const IndexChain top : {IndexChain{lo, hi - lo + 1}, IndexChain{hi, n - hi + lo + 1}}) {
      std::vector<IndexChain> pending{top};
      while (!pending.empty()) {
        const IndexChain chain = pending.back();
        pending.pop_back();
        if (chain.length == 2) {
          nodes.push_back(chain.first);
          continue;
        }
        const int cut = repaired_cut(chain);
        nodes.push_back(exact_join(turns_, vertex_at(chain, cut)));
        pending.push_back({vertex_at(chain, cut), chain.length - cut});
        pending.push_back({chain.first, cut + 1});
      }
    }
    return nodes;
  }

 private:
  int vertex_count() const { return static_cast<int>(polygon_.size()); }
  int vertex_at(IndexChain chain, int position) const {
    return (chain.first + position) % vertex_count();
  }

  bool sound(const ChainCutSetting& setting, int position) const {
    return chain_cut_is_valid(polygon_, turns_, setting, position,
                              exact_join(turns_, vertex_at(setting.chain, position)), &edges_);
  }

  int repaired_cut(IndexChain chain) const {
    int chosen = 1;
    if (chain.length > 3) {
      std::vector<Point> points;
      for (int position = 0; position < chain.length; ++position) {
        points.push_back(polygon_[static_cast<std::size_t>(vertex_at(chain, position))]);
      }
      std::vector<int> hull;
      chain_hull(points, hull);
      chosen = choose_split_vertex(hull, chain.length / 2, 1);
    }
    const ChainCutSetting setting = make_chain_cut_setting(polygon_, turns_, chain);
    if (sound(setting, chosen)) return chosen;
    const int middle = chain.length / 2;
    for (int distance = 0; distance <= middle; ++distance) {
      for (const int position : {middle - distance, middle + distance}) {
        if (position >= 1 && position <= chain.length - 2 && position != chosen &&
            sound(setting, position)) {
          return position;
        }
      }
    }
    return chosen;
  }

  const std::vector<Point>& polygon_;
  TurnTable turns_;
  PolygonEdgeIndex edges_;
};

std::vector<NamedPolygon> repaired_polygons() {
  std::vector<NamedPolygon> polygons;
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    const std::string tag = " seed " + std::to_string(seed);
    polygons.push_back({"spiral 400" + tag, testing::spiral_polygon(400, 3.5, seed)});
    polygons.push_back({"spiral 900" + tag, testing::spiral_polygon(900, 5, seed)});
    polygons.push_back({"comb" + tag, testing::comb_polygon(120, seed)});
    polygons.push_back({"star" + tag, testing::star_polygon(1500, seed)});
    polygons.push_back({"untangled" + tag, testing::untangled_polygon(300, seed)});
  }
  return polygons;
}

// The memos only pass over positions that are unsound, so the repair must
// pick the very cuts of trying every position in full.
TEST(CutRepair, PicksTheCutsOfTryingEveryPosition) {
  int repaired = 0;
  for (const NamedPolygon& polygon : repaired_polygons()) {
    const std::vector<Point>& vertices = polygon.vertices;
    const int n = static_cast<int>(vertices.size());
    std::vector<int> hull;
    chain_hull(vertices, hull);
    ASSERT_GE(hull.size(), 2U) << polygon.name;
    const int a = hull[0];
    const int b = choose_split_vertex(hull, n / 2, hull[1]);
    if (!polygon_cut_is_valid(vertices, make_turn_table(vertices), a, b)) continue;
    DecompositionOptions options;
    options.repair_cuts = true;
    const Decomposition decomposition = build_polygon_formula(vertices, options);
    EXPECT_EQ(decomposition.formula.nodes, ReferenceRepair(vertices).nodes(a, b)) << polygon.name;
    repaired += decomposition.all_cuts_sound ? 0 : 1;
  }
  EXPECT_GE(repaired, 6) << "the polygons no longer exercise the repair";
}

// Every pattern of sound positions of chains of 4 to 12 vertices, and every
// position choose_split_vertex can pick: where the search's answer settles
// the cut before the hull, the repair of the picked position gives it too.
TEST(CutRepair, CutsSettledBeforeTheHullAreTheRepairsOfEveryChoice) {
  int settled = 0;
  for (int length = 4; length <= 12; ++length) {
    const int middle = length / 2;
    const int last = length - 2;
    // Positions nearest the middle first, the smaller first among equally near.
    std::vector<int> by_distance;
    for (int distance = 0; distance <= middle; ++distance) {
      for (const int position : {middle - distance, middle + distance}) {
        if (position >= 1 && position <= last &&
            std::find(by_distance.begin(), by_distance.end(), position) == by_distance.end()) {
          by_distance.push_back(position);
        }
      }
    }
    for (unsigned pattern = 0; pattern < (1U << (last)); ++pattern) {
      const auto is_sound = [&](int position) { return ((pattern >> (position - 1)) & 1U) != 0; };
      const auto nearest_sound = [&](int excluded) {
        for (const int position : by_distance) {
          if (position != excluded && is_sound(position)) return position;
        }
        return -1;
      };
      const int sound = nearest_sound(-1);
      if (!sound_cut_settled_before_hull(sound, length, [&] { return is_sound(1); })) continue;
      ++settled;
      for (int chosen = 1; chosen <= last; ++chosen) {
        // Picked only when strictly nearer the middle than position 1.
        if (chosen != 1 && std::abs(chosen - middle) >= std::abs(1 - middle)) continue;
        const int repaired = nearest_sound(chosen);
        const int cut = is_sound(chosen) ? chosen : (repaired >= 0 ? repaired : chosen);
        EXPECT_EQ(cut, sound) << "length " << length << " pattern " << pattern << " chosen "
                              << chosen;
      }
    }
  }
  EXPECT_GE(settled, 20);
}

// Outlines whose repairs meet end rays, four seeds each: spirals of the given
// sizes (the larger winding more), a comb, untangled random outlines, stars
// with collinear and repeated vertices, and orthogonal outlines.
std::vector<std::vector<Point>> end_ray_polygons(std::initializer_list<int> spiral_sizes) {
  std::vector<std::vector<Point>> polygons;
  for (std::uint64_t seed = 1; seed <= 4; ++seed) {
    for (const int size : spiral_sizes)
      polygons.push_back(testing::spiral_polygon(size, size > 200 ? 4.5 : 2.5, seed));
    polygons.push_back(testing::comb_polygon(6, seed));
    polygons.push_back(testing::untangled_polygon(40, seed));
    polygons.push_back(testing::star_with_collinear_and_repeated(40, seed));
    polygons.push_back(testing::orthogonal_polygon(12, seed));
  }
  return polygons;
}

// A cut rejected because a cut ray crosses an end ray must stay unsound in
// every part of the chain that keeps the cut vertex inside and that end,
// unless the part's end rays cross or its interior turns share one strict
// sign: the repair skips such positions in later parts without trying them.
TEST(CutRepair, CrossedEndRaysKeepCutsUnsoundWhileTheEndStays) {
  int remembered = 0;
  int parts_checked = 0;
  for (const std::vector<Point>& polygon : end_ray_polygons({90})) {
    const TurnTable turns = make_turn_table(polygon);
    const int n = static_cast<int>(polygon.size());
    for (const IndexChain chain : {IndexChain{n / 5, n - 3}, IndexChain{n / 2, n / 2 + 4}}) {
      const ChainCutSetting setting = make_chain_cut_setting(polygon, turns, chain);
      for (int position = 1; position <= chain.length - 2; ++position) {
        const int vertex = (chain.first + position) % n;
        EndCrossing crossed_end;
        if (chain_cut_is_valid(polygon, turns, setting, position, exact_join(turns, vertex),
                               nullptr, nullptr, nullptr, &crossed_end) ||
            crossed_end.end == ChainEnd::kNone) {
          continue;
        }
        ++remembered;
        // Every part with the same first edge (back) or last edge (forward).
        for (int dropped = 0; dropped < chain.length - 2; ++dropped) {
          const bool back = crossed_end.end == ChainEnd::kBack;
          const IndexChain part{back ? chain.first : (chain.first + dropped) % n,
                                chain.length - dropped};
          const int cut = back ? position : position - dropped;
          if (cut < 1 || cut > part.length - 2) continue;
          const ChainCutSetting part_setting = make_chain_cut_setting(polygon, turns, part);
          if (part_setting.turns_share_one_sign || part_setting.end_rays_cross) continue;
          ++parts_checked;
          EXPECT_FALSE(chain_cut_is_valid(polygon, turns, part, cut, exact_join(turns, vertex)))
              << "part " << part.first << "+" << part.length << " cut at " << cut;
        }
      }
    }
  }
  EXPECT_GT(remembered, 0);
  EXPECT_GT(parts_checked, 100);
}

// A rejection that end_crossing_survives_shortening carries over to the chain
// one vertex shorter at the crossed end must be a rejection there, unless
// that chain's end rays cross or its interior turns share one strict sign.
TEST(CutRepair, CarriedEndRayRejectionsHoldInTheShorterChain) {
  int carried = 0;
  for (const std::vector<Point>& polygon : end_ray_polygons({120, 400})) {
    const TurnTable turns = make_turn_table(polygon);
    const int n = static_cast<int>(polygon.size());
    const auto at = [&](int index) { return polygon[static_cast<std::size_t>(index % n)]; };
    for (int first = 0; first < n; first += 7) {
      const IndexChain chain{first, n - 1};
      const ChainCutSetting setting = make_chain_cut_setting(polygon, turns, chain);
      for (int position = 2; position <= chain.length - 3; ++position) {
        const int vertex = (first + position) % n;
        EndCrossing crossed;
        if (chain_cut_is_valid(polygon, turns, setting, position, exact_join(turns, vertex),
                               nullptr, nullptr, nullptr, &crossed) ||
            crossed.end == ChainEnd::kNone) {
          continue;
        }
        const bool back = crossed.end == ChainEnd::kBack;
        const int last = first + chain.length - 1;
        const Point neighbour = crossed.outgoing_ray ? at(vertex + 1) : at(vertex + n - 1);
        const ShorteningWedge wedge =
            back ? shortening_wedge(at(first + 2), at(first + 1), at(first))
                 : shortening_wedge(at(last - 2), at(last - 1), at(last));
        const bool survives = end_crossing_survives_shortening(wedge, neighbour, at(vertex));
        if (!survives) continue;
        const IndexChain shorter{back ? (first + 1) % n : first, chain.length - 1};
        const ChainCutSetting shorter_setting = make_chain_cut_setting(polygon, turns, shorter);
        if (shorter_setting.turns_share_one_sign || shorter_setting.end_rays_cross) continue;
        ++carried;
        const int cut = back ? position - 1 : position;
        EXPECT_FALSE(chain_cut_is_valid(polygon, turns, shorter, cut, exact_join(turns, vertex)))
            << "chain " << first << "+" << chain.length << " cut at " << position
            << (back ? " without its first vertex" : " without its last vertex");
      }
    }
  }
  EXPECT_GT(carried, 300);
}

}  // namespace
}  // namespace polyfrep
