#include "io/model_file.h"

#include <cstring>
#include <string_view>

#include "io/formula_file.h"
#include "io/model_layout.h"
#include "io/number_format.h"

namespace polyfrep {

namespace {

// Vertices holding the smallest and largest coordinates. The box starts at
// vertex 0 and widens only on a strict comparison, so it names the values as
// they stand in the input.
struct BoundingBox {
  std::size_t x_min, x_max, y_min, y_max;
};

BoundingBox bounding_box(std::span<const Point> vertices) {
  BoundingBox box{0, 0, 0, 0};
  for (std::size_t k = 1; k < vertices.size(); ++k) {
    const Point& vertex = vertices[k];
    if (vertices[box.x_min].x > vertex.x) box.x_min = k;
    if (vertices[box.x_max].x < vertex.x) box.x_max = k;
    if (vertices[box.y_min].y > vertex.y) box.y_min = k;
    if (vertices[box.y_max].y < vertex.y) box.y_max = k;
  }
  return box;
}

using namespace model_layout;

char* append(char* cursor, std::string_view text) {
  std::memcpy(cursor, text.data(), text.size());
  return cursor + text.size();
}

// One block per edge, the bulk of a large model: its size is worked out
// first so that the output is asked for room once, not once per piece.
void put_edge_block(const VertexText& text, std::size_t edge, std::size_t next, TextOutput& out) {
  char number[kMaxNumberText];
  const std::string_view edge_number(number, format_integer(static_cast<long long>(edge), number));
  const std::string_view pieces[] = {
      kStartHead,  x_text(text, edge), kBetweenCoordinates, y_text(text, edge), kVectorEnd,
      kEndHead,    x_text(text, next), kBetweenCoordinates, y_text(text, next), kVectorEnd,
      kLengthLine, edge_number,        kDistanceLine,
  };
  std::size_t size = 0;
  for (const std::string_view piece : pieces)
    size += piece.size();
  if (out.used + size > out.buffer.size()) make_room(out, size);
  if (out.failed) return;
  char* cursor = out.buffer.data() + out.used;
  for (const std::string_view piece : pieces)
    cursor = append(cursor, piece);
  out.used += size;
}

void put_formula_line(const TokenList& tokens, TextOutput& out) {
  put(out, kFormulaHead);
  put_formula_tokens(
      std::span<const int>(tokens.items.get(), static_cast<std::size_t>(tokens.count)),
      kModelSpelling, out);
}

}  // namespace

std::string bounding_box_line(std::span<const Point> vertices, const VertexText& text) {
  std::string line = "--bounding box: ";
  if (vertices.empty()) return line + "empty\n";
  const BoundingBox box = bounding_box(vertices);
  line += "xmin = ";
  line += x_text(text, box.x_min);
  line += ", xmax = ";
  line += x_text(text, box.x_max);
  line += "; ymin = ";
  line += y_text(text, box.y_min);
  line += ", ymax = ";
  line += y_text(text, box.y_max);
  line += ";\n";
  return line;
}

namespace {

void put_head_and_edge_blocks(std::string_view bounding_box, const VertexText& block_text,
                              TextOutput& out, std::span<const Ring> rings) {
  put(out, bounding_box);
  put(out, kHead);
  const Ring outline{0, static_cast<int>(point_count(block_text)), 0, false};
  for (const Ring& ring : rings.empty() ? std::span<const Ring>(&outline, 1) : rings) {
    const auto first = static_cast<std::size_t>(ring.first);
    const auto end = first + static_cast<std::size_t>(ring.count);
    for (std::size_t edge = first; edge < end; ++edge)
      put_edge_block(block_text, edge, edge + 1 == end ? first : edge + 1, out);
  }
}

void put_formula_and_tail(const TokenList& tokens, TextOutput& out) {
  put_formula_line(tokens, out);
  put(out, kTail);
}

}  // namespace

void write_model_text(std::string_view bounding_box, const VertexText& block_text,
                      const TokenList& tokens, TextOutput& out, std::span<const Ring> rings) {
  put_head_and_edge_blocks(bounding_box, block_text, out, rings);
  put_formula_and_tail(tokens, out);
}

int write_model(std::string_view bounding_box, const VertexText& block_text,
                const TokenList& tokens, const char* model_name, std::span<const Ring> rings) {
  return write_model(
      bounding_box, block_text, [&tokens]() -> const TokenList& { return tokens; }, model_name,
      rings);
}

int write_model(std::string_view bounding_box, const VertexText& block_text,
                const std::function<const TokenList&()>& tokens_when_needed, const char* model_name,
                std::span<const Ring> rings) {
  TextOutput out;
  if (open_text_output(out, model_name)) {
    put_head_and_edge_blocks(bounding_box, block_text, out, rings);
    put_formula_and_tail(tokens_when_needed(), out);
  }
  close_text_output(out);
  return out.error;
}

}  // namespace polyfrep
