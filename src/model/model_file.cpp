#include "model/model_file.h"

namespace polyfrep {

namespace {

struct BoundingBox {
  double x_min, x_max, y_min, y_max;
};

// Starts at vertex 0 and widens only on a strict comparison, so the box
// holds the smallest and largest coordinate as they stand in the input.
BoundingBox bounding_box(std::span<const Point> vertices) {
  BoundingBox box{vertices[0].x, vertices[0].x, vertices[0].y, vertices[0].y};
  for (const Point& vertex : vertices.subspan(1)) {
    if (box.x_min > vertex.x)
      box.x_min = vertex.x;
    if (box.x_max < vertex.x)
      box.x_max = vertex.x;
    if (box.y_min > vertex.y)
      box.y_min = vertex.y;
    if (box.y_max < vertex.y)
      box.y_max = vertex.y;
  }
  return box;
}

void put_bounding_box_line(std::span<const Point> vertices, TextOutput& out) {
  put(out, "--bounding box: ");
  if (vertices.empty()) {
    put(out, "empty\n");
    return;
  }
  const BoundingBox box = bounding_box(vertices);
  put(out, "xmin = ");
  put_double(out, box.x_min);
  put(out, ", xmax = ");
  put_double(out, box.x_max);
  put(out, "; ymin = ");
  put_double(out, box.y_min);
  put(out, ", ymax = ");
  put_double(out, box.y_max);
  put(out, ";\n");
}

void put_vector_assignment(const char* name, Point point, TextOutput& out) {
  put(out, name);
  put(out, " = [");
  put_double(out, point.x);
  put(out, ", ");
  put_double(out, point.y);
  put(out, "];\n");
}

void put_edge_block(std::span<const Point> vertices, std::size_t edge, TextOutput& out) {
  const std::size_t next = edge + 1 == vertices.size() ? 0 : edge + 1;
  put_vector_assignment("p0", vertices[edge], out);
  put_vector_assignment("p1", vertices[next], out);
  put(out, "as=sqrt((p0[1]-p1[1])*(p0[1]-p1[1])+(p0[2]-p1[2])*(p0[2]-p1[2])); \n");
  put(out, 's');
  put_integer(out, static_cast<long long>(edge));
  put(out, " = ((x[1]-p0[1])*(p0[2]-p1[2])+(x[2]-p0[2])*(p1[1]-p0[1]))/as;\n\n");
}

void put_formula_line(const TokenList& tokens, TextOutput& out) {
  put(out, "polygon = ");
  for (int i = 0; i < tokens.count; ++i) {
    const int token = tokens.items[i];
    switch (token) {
      case TOKEN_OPEN:
        put(out, '(');
        break;
      case TOKEN_CLOSE:
        put(out, ')');
        break;
      case TOKEN_UNION:
        put(out, '|');
        break;
      case TOKEN_INTERSECT:
        put(out, '&');
        break;
      default:
        put(out, 's');
        put_integer(out, token);
        break;
    }
  }
  put(out, ";\n");
}

}  // namespace

void write_model_text(std::span<const Point> vertices, const TokenList& tokens, TextOutput& out) {
  put_bounding_box_line(vertices, out);
  put(out, "polygon(x[3], a[1])\n{\narray p0[2],p1[2];\n");
  for (std::size_t edge = 0; edge < vertices.size(); ++edge)
    put_edge_block(vertices, edge, out);
  put_formula_line(tokens, out);
  put(out, "}\n");
}

int write_model(std::span<const Point> vertices, const TokenList& tokens, const char* model_name) {
  TextOutput out;
  if (open_text_output(out, model_name))
    write_model_text(vertices, tokens, out);
  close_text_output(out);
  return out.error;
}

}  // namespace polyfrep
