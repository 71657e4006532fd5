#include "polygon/kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/polygon_generators.h"

namespace polyfrep {
namespace {

// The program reads the half-planes it has made again each time its best
// point moves: for a star-shaped outline it must find a point its whole
// outline winds around, at every size (the larger ones move the best point
// long after the first half-planes were made), and starting anywhere along
// the outline; outlines whose kernel is empty get none.
TEST(KernelPoint, FindsACentreForStarsAndNoneWhereThereIsNoKernel) {
  std::mt19937_64 random(31);
  for (const int count : {3, 10, 100, 5000, 40000}) {
    std::vector<Point> star = testing::unit_star_outline(random, count);
    std::rotate(star.begin(), star.begin() + count / 3, star.end());
    const std::optional<Point> centre = kernel_point(star);
    ASSERT_TRUE(centre.has_value()) << count << " vertices";
    EXPECT_TRUE(winds_once_around(star, *centre)) << count << " vertices";
  }
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    for (const std::vector<Point>& outline :
         {testing::comb_polygon(40, seed), testing::spiral_polygon(3000, 3.5, seed)}) {
      EXPECT_FALSE(kernel_point(outline).has_value())
          << outline.size() << " vertices, seed " << seed;
    }
  }
}

}  // namespace
}  // namespace polyfrep
