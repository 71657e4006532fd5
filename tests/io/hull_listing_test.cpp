#include "io/hull_listing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace polyfrep {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::string point_list_text(const std::vector<Point>& points) {
  TextOutput out;
  write_point_list(out, format_vertex_text(points));
  return std::string(written_text(out));
}

std::string listing_text(const TempDir& dir, const std::vector<Point>& points,
                         const std::vector<int>& hull_positions) {
  const auto path = dir / "List.txt";
  EXPECT_EQ(write_hull_listing(format_vertex_text(points), hull_positions, path.c_str()), 0);
  return read_file(path);
}

TEST(HullListing, UnitSquareChainListing) {
  TempDir dir;
  const std::string expected =
      "polygon\n"
      "4\n"
      "0 1 \n"
      "0 0 \n"
      "1 0 \n"
      "1 1 \n"
      "hull\n"
      "4\n"
      "3 0 1 2 \n";
  EXPECT_EQ(listing_text(dir, {{0, 1}, {0, 0}, {1, 0}, {1, 1}}, {3, 0, 1, 2}), expected);
}

TEST(HullListing, WritesToTheDefaultNameInTheCurrentDirectory) {
  TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const int result = write_hull_listing(
      format_vertex_text(std::vector<Point>{{1, 2}, {3, 4}, {5, 6}}), std::vector<int>{2, 0, 1});
  std::filesystem::current_path(previous);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(read_file(dir / "List.txt"), "polygon\n3\n1 2 \n3 4 \n5 6 \nhull\n3\n2 0 1 \n");
}

TEST(HullListing, CoordinatesUseSixSignificantDigits) {
  const struct {
    Point point;
    const char* line;
  } cases[] = {
      {{0.5, 2.0}, "0.5 2 \n"},
      {{-0.25, 0}, "-0.25 0 \n"},
      {{1234567, 0.00001}, "1.23457e+06 1e-05 \n"},
      {{1.0 / 3, -1e300}, "0.333333 -1e+300 \n"},
      {{123456, 999999.5}, "123456 1e+06 \n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(point_list_text({c.point}), std::string("1\n") + c.line) << c.line;
  }
}

TEST(HullListing, EmptyPointListIsTheCountLineAlone) {
  EXPECT_EQ(point_list_text({}), "0\n");
}

// Whatever the counts, the listing has m + 5 lines in the fixed order, every
// point line and the position line end with a blank, and nothing follows the
// last newline.
TEST(HullListing, LineLayoutForEveryCount) {
  TempDir dir;
  for (int point_count = 0; point_count <= 12; ++point_count) {
    for (int hull_count = 0; hull_count <= std::min(point_count, 4); ++hull_count) {
      std::vector<Point> points;
      std::string expected = "polygon\n" + std::to_string(point_count) + "\n";
      for (int i = 0; i < point_count; ++i) {
        points.push_back({i + 0.5, 2.0 * i - 1});
        expected += std::to_string(i) + ".5 " + std::to_string(2 * i - 1) + " \n";
      }
      std::vector<int> hull;
      expected += "hull\n" + std::to_string(hull_count) + "\n";
      for (int k = 0; k < hull_count; ++k) {
        hull.push_back(point_count - 1 - k);
        expected += std::to_string(point_count - 1 - k) + " ";
      }
      expected += "\n";
      const std::string text = listing_text(dir, points, hull);
      EXPECT_EQ(text, expected) << point_count << " points, " << hull_count << " on the hull";
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), point_count + 5);
    }
  }
}

TEST(HullListing, HullCountsZeroAndOne) {
  TempDir dir;
  const std::vector<Point> points = {{0, 0}, {1, 0}, {0, 1}};
  EXPECT_EQ(listing_text(dir, points, {}), "polygon\n3\n0 0 \n1 0 \n0 1 \nhull\n0\n\n");
  EXPECT_EQ(listing_text(dir, points, {1}), "polygon\n3\n0 0 \n1 0 \n0 1 \nhull\n1\n1 \n");
}

TEST(HullListing, ReplacesALongerFileCompletely) {
  TempDir dir;
  write_file(dir / "List.txt", std::string(10000, 'x') + "\n");
  EXPECT_EQ(listing_text(dir, {{0, 0}, {1, 0}, {0, 1}}, {2, 0, 1}),
            "polygon\n3\n0 0 \n1 0 \n0 1 \nhull\n3\n2 0 1 \n");
}

const std::vector<Point> kTriangle = {{0, 0}, {1, 0}, {0, 1}};
const std::vector<int> kTriangleHull = {2, 0, 1};

// File permissions do not stop the superuser, so this case needs an
// ordinary user; the cases below fail for every user.
TEST(HullListing, ReadOnlyFileKeepsItsContentAndReportsTheError) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not apply to the superuser";
  TempDir dir;
  const auto path = dir / "List.txt";
  write_file(path, "old listing\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  EXPECT_EQ(write_hull_listing(format_vertex_text(kTriangle), kTriangleHull, path.c_str()), EACCES);
  EXPECT_EQ(read_file(path), "old listing\n");
}

TEST(HullListing, PathThatIsADirectoryReportsTheError) {
  TempDir dir;
  const auto path = dir / "List.txt";
  std::filesystem::create_directory(path);
  write_file(path / "inside", "kept\n");
  EXPECT_EQ(write_hull_listing(format_vertex_text(kTriangle), kTriangleHull, path.c_str()), EISDIR);
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(read_file(path / "inside"), "kept\n");
}

TEST(HullListing, MissingDirectoryReportsTheError) {
  TempDir dir;
  const auto path = dir / "missing" / "List.txt";
  EXPECT_EQ(write_hull_listing(format_vertex_text(kTriangle), kTriangleHull, path.c_str()), ENOENT);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// A device that accepts the open but refuses every write: the failure comes
// from writing the listing, not from opening the file.
TEST(HullListing, FailedWriteReportsTheError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  EXPECT_EQ(write_hull_listing(format_vertex_text(kTriangle), kTriangleHull, "/dev/full"), ENOSPC);
}

}  // namespace
}  // namespace polyfrep
