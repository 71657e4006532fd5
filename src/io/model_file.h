#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "formula/token_list.h"
#include "geometry/point.h"
#include "geometry/region.h"
#include "io/text_output.h"
#include "io/vertex_text.h"

namespace polyfrep {

inline constexpr const char* kDefaultModelName = "poly.hf";

// The model's first line, a comment: the smallest and largest x and y of the
// vertices, in the text given ("--bounding box: empty" for no vertices).
std::string bounding_box_line(std::span<const Point> vertices, const VertexText& text);

// Writes the model text: the bounding-box line, the object head, one
// signed-distance block per edge, its coordinates from `block_text`, and the
// formula line rendered from tokens. The edge blocks may carry more digits
// than the bounding box: they are what the model computes with. Each block
// ends where the next begins and the last closes back to the first, or, with
// `rings`, each ring's last block closes back to that ring's first vertex.
void write_model_text(std::string_view bounding_box, const VertexText& block_text,
                      const TokenList& tokens, TextOutput& out, std::span<const Ring> rings = {});

// Creates or truncates the model file, writes the model and closes it.
// Returns 0, or the errno of the first failure.
int write_model(std::string_view bounding_box, const VertexText& block_text,
                const TokenList& tokens, const char* model_name, std::span<const Ring> rings = {});

// The same, asking for the tokens only once the edge blocks are written: they
// need the vertex text alone, so the formula's tokens may be made meanwhile.
int write_model(std::string_view bounding_box, const VertexText& block_text,
                const std::function<const TokenList&()>& tokens_when_needed, const char* model_name,
                std::span<const Ring> rings = {});

}  // namespace polyfrep
