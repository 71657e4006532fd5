#include "io/model_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace polyfrep {
namespace {

TokenList tokens_of(const std::vector<int>& codes) {
  TokenList list = make_token_list(static_cast<int>(codes.size()) + 1);
  for (int code : codes)
    push_token(list, code);
  return list;
}

std::string model_text(const std::vector<Point>& vertices, const std::vector<int>& codes) {
  TextOutput out;
  const VertexText text = format_vertex_text(vertices);
  write_model_text(bounding_box_line(vertices, text), text, tokens_of(codes), out);
  return std::string(written_text(out));
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TEST(ModelFile, BoundingBoxCoversEveryVertex) {
  const std::string text = model_text({{3, -1}, {-2, 5}, {0, 0}}, {});
  EXPECT_EQ(lines_of(text).front(), "--bounding box: xmin = -2, xmax = 3; ymin = -1, ymax = 5;");
}

TEST(ModelFile, EdgeBlocksRunFromEachVertexToTheNextAndCloseAtVertexZero) {
  const std::vector<std::string> lines =
      lines_of(model_text({{0.1, 100000}, {123456.7, 1234567}, {1.0 / 3, -0.5}}, {}));
  ASSERT_EQ(lines.size(), 4u + 3 * 5 + 2);
  const char* expected_ends[][2] = {
      {"p0 = [0.1, 100000];", "p1 = [123457, 1.23457e+06];"},
      {"p0 = [123457, 1.23457e+06];", "p1 = [0.333333, -0.5];"},
      {"p0 = [0.333333, -0.5];", "p1 = [0.1, 100000];"},
  };
  for (int edge = 0; edge < 3; ++edge) {
    const std::size_t block = 4 + 5 * static_cast<std::size_t>(edge);
    EXPECT_EQ(lines[block], expected_ends[edge][0]);
    EXPECT_EQ(lines[block + 1], expected_ends[edge][1]);
    EXPECT_EQ(lines[block + 3].substr(0, 5), "s" + std::to_string(edge) + " = ");
    EXPECT_EQ(lines[block + 4], "");
  }
}

TEST(ModelFile, RendersEveryTokenKind) {
  std::vector<Point> vertices(12, Point{0, 0});
  for (int i = 0; i < 12; ++i)
    vertices[static_cast<std::size_t>(i)] = {double(i), double(i * i)};
  const std::vector<std::string> lines =
      lines_of(model_text(vertices, {TOKEN_OPEN, 10, TOKEN_UNION, 11, TOKEN_CLOSE, TOKEN_INTERSECT,
                                     TOKEN_OPEN, 0, TOKEN_CLOSE}));
  EXPECT_EQ(lines[lines.size() - 2], "polygon = (s10|s11)&(s0);");
  EXPECT_EQ(lines.back(), "}");
  EXPECT_EQ(lines[4 + 5 * 10 + 3].substr(0, 6), "s10 = ");
}

TEST(ModelFile, EmptyTokenListGivesAnEmptyFormula) {
  const std::vector<std::string> lines = lines_of(model_text({{0, 0}, {1, 0}, {0, 1}}, {}));
  EXPECT_EQ(lines[lines.size() - 2], "polygon = ;");
}

TEST(ModelFile, SingleVertexClosesOnItself) {
  const std::vector<std::string> lines = lines_of(model_text({{2, 3}}, {0}));
  EXPECT_EQ(lines[0], "--bounding box: xmin = 2, xmax = 2; ymin = 3, ymax = 3;");
  EXPECT_EQ(lines[4], "p0 = [2, 3];");
  EXPECT_EQ(lines[5], "p1 = [2, 3];");
}

TEST(ModelFile, RewritingLeavesOnlyTheSecondContent) {
  testing::TempDir dir;
  const std::string path = (dir / "m.hf").string();
  const std::vector<Point> big(50, Point{1, 2});
  ASSERT_EQ(write_model(bounding_box_line(big, format_vertex_text(big)), format_vertex_text(big),
                        tokens_of({0}), path.c_str()),
            0);
  const std::vector<Point> triangle = {{0, 0}, {1, 0}, {0, 1}};
  ASSERT_EQ(write_model(bounding_box_line(triangle, format_vertex_text(triangle)),
                        format_vertex_text(triangle), tokens_of({}), path.c_str()),
            0);
  EXPECT_EQ(testing::read_file(path), model_text(triangle, {}));
}

TEST(ModelFile, ReportsAFileThatCannotBeCreated) {
  testing::TempDir dir;
  const std::string path = (dir / "missing-folder" / "m.hf").string();
  const std::vector<Point> triangle = {{0, 0}, {1, 0}, {0, 1}};
  EXPECT_NE(write_model(bounding_box_line(triangle, format_vertex_text(triangle)),
                        format_vertex_text(triangle), tokens_of({}), path.c_str()),
            0);
}

}  // namespace
}  // namespace polyfrep
