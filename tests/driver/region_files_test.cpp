// Regions read from vector files: every format gives the same model of the
// same region, and a single ring gives exactly what its vertex list gives.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace polyfrep {
namespace {

namespace fs = std::filesystem;
using testing::read_file;

const std::vector<std::string> kOutputs = {"model.hf", "Formula.txt", "poly.plt", "List.txt"};

struct Converted {
  testing::CommandResult result;
  std::vector<std::string> files;
};

Converted convert(const fs::path& input, const fs::path& directory) {
  Converted converted;
  converted.result =
      testing::run_program(testing::converter_path(), {input.string(), "model.hf"}, directory);
  for (const std::string& name : kOutputs) {
    converted.files.push_back(fs::exists(directory / name) ? read_file(directory / name) : "");
  }
  return converted;
}

TEST(RegionFiles, EveryFormatGivesTheSameModel) {
  const fs::path formats = testing::test_data_dir() / "region_formats";
  testing::TempDir reference_dir;
  const Converted reference = convert(formats / "region.geojson", reference_dir.path());
  ASSERT_EQ(reference.result.exit_code, 0) << reference.result.standard_error;
  EXPECT_EQ(reference.files[1],
            read_file(testing::test_data_dir() / "region_island_in_hole" / "Formula.txt"));
  for (const char* name : {"region.shp", "region.gpkg", "region.kml", "region.gml"}) {
    testing::TempDir run_dir;
    const Converted converted = convert(formats / name, run_dir.path());
    EXPECT_EQ(converted.result.exit_code, 0) << name << ": " << converted.result.standard_error;
    for (std::size_t k = 0; k < kOutputs.size(); ++k)
      EXPECT_EQ(converted.files[k], reference.files[k]) << name << ": " << kOutputs[k];
  }
}

// The GeoJSON of one ring: the vertices of a vertex-list file, the first
// repeated at the end as every vector format has it.
std::string geojson_ring(const std::string& vertex_list) {
  std::istringstream in(vertex_list);
  int count = 0;
  in >> count;
  std::string coordinates;
  std::string first;
  for (int i = 0; i < count; ++i) {
    double x = 0;
    double y = 0;
    in >> x >> y;
    char pair[80];
    std::snprintf(pair, sizeof pair, "[%.17g, %.17g]", x, y);
    if (i == 0) first = pair;
    coordinates += std::string(pair) + ", ";
  }
  return R"({"type": "Polygon", "coordinates": [[)" + coordinates + first + "]]}";
}

TEST(RegionFiles, OneRingGivesExactlyWhatItsVertexListGives) {
  for (const char* name : {"unit_square", "triangle", "l_hexagon", "u_octagon", "repaired_pentagon",
                           "repaired_heptagon", "six_digits_kept", "touching_vertices_widened"}) {
    const fs::path vertex_list = testing::test_data_dir() / name / "input.txt";
    testing::TempDir text_dir;
    const Converted text = convert(vertex_list, text_dir.path());
    testing::TempDir region_dir;
    testing::write_file(region_dir / "ring.geojson", geojson_ring(read_file(vertex_list)));
    const Converted region = convert(region_dir / "ring.geojson", region_dir.path());
    EXPECT_EQ(region.result.exit_code, text.result.exit_code) << name;
    for (std::size_t k = 0; k < kOutputs.size(); ++k)
      EXPECT_EQ(region.files[k], text.files[k]) << name << ": " << kOutputs[k];
  }
}

// Repairing can nest the polygons in a collection beside the lines that
// folds collapse to, as real coastlines that cross themselves show: every
// polygon is kept. A bow tie with a spike is the bow tie's region.
TEST(RegionFiles, MadeValidKeepsThePolygonsBesideCollapsedLines) {
  testing::TempDir run_dir;
  testing::write_file(run_dir / "polyIn2.txt", "6\n0 0\n2 2\n2 0\n0 2\n-1 3\n0 2\n");
  const auto result =
      testing::run_program(testing::converter_path(), {"--make-valid"}, run_dir.path());
  EXPECT_EQ(result.exit_code, 0) << result.standard_error;
  const fs::path bow_tie = testing::test_data_dir() / "make_valid_bow_tie";
  for (const char* name : {"poly.hf", "Formula.txt", "poly.plt", "List.txt"})
    EXPECT_EQ(read_file(run_dir / name), read_file(bow_tie / name)) << name;
}

}  // namespace
}  // namespace polyfrep
