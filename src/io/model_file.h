#pragma once

#include <span>

#include "formula/token_list.h"
#include "geometry/point.h"
#include "io/text_output.h"
#include "io/vertex_text.h"

namespace polyfrep {

inline constexpr const char* kDefaultModelName = "poly.hf";

// Writes the model text: the bounding-box comment, the object head, one
// signed-distance block per edge and the formula line rendered from tokens.
// `vertex_text` is the text of the vertices, formatted once by the caller.
void write_model_text(std::span<const Point> vertices, const VertexText& vertex_text,
                      const TokenList& tokens, TextOutput& out);

// Creates or truncates the model file, writes the model and closes it.
// Returns 0, or the errno of the first failure.
int write_model(std::span<const Point> vertices, const VertexText& vertex_text,
                const TokenList& tokens, const char* model_name);

}  // namespace polyfrep
