#include "formula/crossing_memo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace polyfrep {
namespace {

// The memo's answers against a plain record of the remembered edges, checked
// position by position, over random sequences of focus moves (most to a part
// of the focused chain, as the repair makes them, some anywhere) and
// remembered crossings, on polygons small enough to wrap often and large
// enough to span several words of bits.
struct Reference {
  int vertex_count;
  IndexChain focus;
  std::vector<int> edge_of_vertex;

  int vertex_at(int position) const { return (focus.first + position) % vertex_count; }
  bool ruled_out(int position) const {
    const int edge = edge_of_vertex[static_cast<std::size_t>(vertex_at(position))];
    return edge >= 0 && (edge - focus.first + vertex_count) % vertex_count <= focus.length - 2;
  }
};

int random_between(std::mt19937_64& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

IndexChain next_focus(std::mt19937_64& random, IndexChain focus, int vertex_count) {
  if (focus.length >= 4 && random_between(random, 0, 4) != 0) {
    const int dropped_in_front = random_between(random, 0, 2);
    const int dropped_at_end = random_between(random, 0, 2);
    const int length = focus.length - dropped_in_front - dropped_at_end;
    if (length >= 3) return {(focus.first + dropped_in_front) % vertex_count, length};
  }
  return {random_between(random, 0, vertex_count - 1), random_between(random, 3, vertex_count)};
}

// Two memos with one focus, the second's bits merged into the first's
// searches. The largest polygon gets many crossings a step, so that whole
// words of positions are ruled out and passed over together.
TEST(CrossingMemo, AgreesWithAPlainRecordOfTheRememberedEdges) {
  std::mt19937_64 random(11);
  int whole_words = 0;
  for (const int vertex_count : {5, 63, 64, 65, 200, 1500}) {
    const bool large = vertex_count > 1000;
    CrossingMemo memo(vertex_count);
    CrossingMemo other(vertex_count);
    const std::vector<int> none(static_cast<std::size_t>(vertex_count), -1);
    Reference reference{vertex_count, {0, vertex_count}, none};
    Reference other_reference = reference;
    memo.focus(reference.focus);
    other.focus(reference.focus);
    for (int step = 0; step < (large ? 600 : 3000); ++step) {
      const IndexChain focus = next_focus(random, reference.focus, vertex_count);
      memo.focus(focus);
      other.focus(focus);
      reference.focus = other_reference.focus = focus;
      const int last = focus.length - 2;
      for (int k = random_between(random, 0, large ? 400 : 3); k > 0; --k) {
        const bool into_other = random_between(random, 0, 3) == 0;
        const int vertex = reference.vertex_at(random_between(random, 1, last));
        // Most of the large polygon's crossings are of the focus's own edges.
        const int edge = large && random_between(random, 0, 9) != 0
                             ? reference.vertex_at(random_between(random, 0, last))
                             : random_between(random, 0, vertex_count - 1);
        (into_other ? other : memo).remember(vertex, edge);
        (into_other ? other_reference : reference)
            .edge_of_vertex[static_cast<std::size_t>(vertex)] = edge;
      }
      const auto ruled_out = [&](int position) {
        return reference.ruled_out(position) || other_reference.ruled_out(position);
      };
      // Words of vertices all at ruled-out positions of the first memo.
      for (int first = 0; first + 64 <= vertex_count; first += 64) {
        bool whole = true;
        for (int vertex = first; vertex < first + 64 && whole; ++vertex) {
          const int position = (vertex - focus.first + vertex_count) % vertex_count;
          whole = position >= 1 && position <= last && reference.ruled_out(position);
        }
        whole_words += whole ? 1 : 0;
      }
      for (int position = 1; position <= last; ++position) {
        if (large && position % 7 != 0 && position != last) continue;
        ASSERT_EQ(memo.ruled_out(position), reference.ruled_out(position))
            << "n " << vertex_count << " step " << step << " position " << position;
        int above = position;
        while (above <= last && ruled_out(above))
          ++above;
        int below = position;
        while (below >= 1 && ruled_out(below))
          --below;
        ASSERT_EQ(memo.open_at_or_above(position, last, &other.ruled_out_bits()), above)
            << "n " << vertex_count << " step " << step << " position " << position;
        ASSERT_EQ(memo.open_at_or_below(position, &other.ruled_out_bits()), below)
            << "n " << vertex_count << " step " << step << " position " << position;
      }
    }
  }
  EXPECT_GT(whole_words, 200) << "too few whole words were ruled out";
}

// The end memo against the same record, with the carry-over worked out by
// trying every remembered vertex. The points lie on a small grid, so that
// many rays share a direction exactly; the focus loses its first or last
// vertex most of the time, as a winding chain does, and the wedge is the one
// such a step makes.
TEST(EndCrossingMemo, CarriesOverWhatTryingEveryVertexCarriesOver) {
  std::mt19937_64 random(5);
  for (const int vertex_count : {7, 65, 300}) {
    std::vector<Point> points;
    for (int k = 0; k < vertex_count + 3; ++k)
      points.push_back(
          {double(random_between(random, -6, 6)), double(random_between(random, -6, 6))});
    const IndexChain domain{3, vertex_count};  // the memo's vertex k is points[k + 3]
    const auto at = [&](int vertex) { return points[std::size_t((vertex + 3) % points.size())]; };
    EndCrossingMemo memo(points, domain);
    Reference reference{
        vertex_count, {0, vertex_count}, std::vector<int>(std::size_t(vertex_count), -1)};
    std::vector<bool> outgoing(std::size_t(vertex_count), false);
    const auto survives = [&](const ShorteningWedge& wedge, int vertex, bool out) {
      const Point back = out ? at(vertex + 1) : at(vertex + int(points.size()) - 1);
      return end_crossing_survives_shortening(wedge, back, at(vertex)) ||
             crosses_shortened_end_ray(wedge, back, at(vertex));
    };
    memo.focus(reference.focus);
    int carried = 0;
    for (int step = 0; step < 4000; ++step) {
      IndexChain focus = reference.focus;
      const int choice = random_between(random, 0, 9);
      if (focus.length > 4 && choice < 8) {
        // One vertex off the front (choice 0-3) or the back.
        const bool back = choice >= 4;
        const int first = focus.first;
        const int last = first + focus.length - 1;
        const int from = back ? first : last - 1;
        const int to = back ? first + 1 : last - 2;
        const ShorteningWedge wedge =
            back ? shortening_wedge(at(first + 2), at(first + 1), at(first))
                 : shortening_wedge(at(last - 2), at(last - 1), at(last));
        const int stranger = reference.vertex_at(random_between(random, 1, focus.length - 2));
        const bool stranger_outgoing = random_between(random, 0, 1) == 1;
        memo.carry_over_shortening(from % vertex_count, to % vertex_count, wedge);
        for (int vertex = 0; vertex < vertex_count; ++vertex) {
          int& edge = reference.edge_of_vertex[std::size_t(vertex)];
          if (edge != from % vertex_count) continue;
          const bool carries = survives(wedge, vertex, outgoing[std::size_t(vertex)]);
          edge = carries ? to % vertex_count : -1;
          carried += carries ? 1 : 0;
        }
        // A crossing of the dropped edge recorded elsewhere.
        const int stranger_position = (stranger - focus.first + vertex_count) % vertex_count;
        const bool stranger_ruled_out = reference.ruled_out(stranger_position);
        memo.carry_edge_crossing(stranger, stranger_outgoing, to % vertex_count, wedge);
        if (!stranger_ruled_out && survives(wedge, stranger, stranger_outgoing)) {
          reference.edge_of_vertex[std::size_t(stranger)] = to % vertex_count;
          outgoing[std::size_t(stranger)] = stranger_outgoing;
        }
        focus = {(focus.first + (back ? 1 : 0)) % vertex_count, focus.length - 1};
      } else {
        focus = next_focus(random, focus, vertex_count);
      }
      memo.focus(focus);
      reference.focus = focus;
      for (int k = random_between(random, 0, 3); k > 0; --k) {
        const int vertex = reference.vertex_at(random_between(random, 1, focus.length - 2));
        const int edge = random_between(random, 0, vertex_count - 1);
        const bool out = random_between(random, 0, 1) == 1;
        memo.remember(vertex, edge, out);
        reference.edge_of_vertex[std::size_t(vertex)] = edge;
        outgoing[std::size_t(vertex)] = out;
      }
      for (int vertex = 0; vertex < vertex_count; ++vertex) {
        ASSERT_EQ(memo.remembered_edge(vertex), reference.edge_of_vertex[std::size_t(vertex)])
            << "n " << vertex_count << " step " << step << " vertex " << vertex;
      }
      for (int position = 1; position <= focus.length - 2; ++position) {
        ASSERT_EQ(memo.ruled_out(position), reference.ruled_out(position))
            << "n " << vertex_count << " step " << step << " position " << position;
      }
    }
    EXPECT_GT(carried, 50) << "n " << vertex_count;
  }
}

// The angle keys the end memo orders its lists by: a quarter turn apart on
// the axes, rising with the direction counter-clockwise, the same for a ray
// whose coordinate differences are finite but whose sum is not, and none for
// one whose differences overflow.
TEST(EndCrossingMemo, AngleKeysRiseWithTheDirection) {
  const auto key = [](Point back, Point origin) {
    return EndCrossingMemo::make_ray(back, origin).angle_key;
  };
  const Point o{0, 0};
  EXPECT_EQ(key(o, {1, 0}), 0U);
  EXPECT_EQ(key(o, {0, 1}), 1U << 30);
  EXPECT_EQ(key(o, {-1, 0}), 2U << 30);
  EXPECT_EQ(key(o, {0, -1}), 3U << 30);
  const double huge = 0.75e308;
  EXPECT_EQ(key({-huge, -huge}, {huge, huge}), key(o, {1, 1}));
  EXPECT_EQ(key({huge, -huge}, {-huge, huge}), key(o, {-1, 1}));
  EXPECT_EQ(key({-1.7e308, 0}, {1.7e308, 1}), UINT32_MAX);
  std::uint32_t previous = 0;
  for (int step = 1; step < 4000; ++step) {
    const double turn = 2 * 3.141592653589793 * step / 4000;
    const std::uint32_t next = key(o, {std::cos(turn), std::sin(turn)});
    ASSERT_GT(next, previous) << "step " << step;
    previous = next;
  }
}

}  // namespace
}  // namespace polyfrep
