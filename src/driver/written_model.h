#pragma once

#include <span>
#include <string>
#include <vector>

#include "formula/region_formula.h"
#include "io/vertex_text.h"
#include "polygon/diagnosis.h"

namespace polyfrep {

// The model describes the polygon of its own edge blocks: the coordinates as
// any reader reads their text back. When those are not the input's, the
// formula, made for the input, must describe that written polygon too;
// otherwise the model is written with coordinates that read back exactly.
// Decided exactly, for counter-clockwise simple outlines without zero-length
// edges (the model of any other outline describes no polygon anyway), in two
// steps: the written outline alone, then the formula on it.
// How the problems found name vertices and edges: as they stand, or as the
// region's numbers of a ring's counter-clockwise points.
struct OutlineNumbers {
  const Ring* ring = nullptr;
  int vertex(int local) const { return ring ? region_vertex(*ring, local) : local; }
  int edge(int local) const { return ring ? region_edge(*ring, local) : local; }
};

struct WrittenPolygon {
  bool differs = false;         // some coordinate reads back as another double
  std::vector<Point> vertices;  // as read back, when they differ
  std::string problem;          // what the written outline breaks, empty if nothing
};

// The written outline: it must have no zero-length edge, be simple and run
// counter-clockwise.
WrittenPolygon read_written_polygon(std::span<const Point> vertices, const VertexText& text,
                                    const PolygonDiagnosis& diagnosis);

// The same for an outline whose text has been read back already.
WrittenPolygon written_polygon(std::span<const Point> vertices, std::vector<Point> read_back,
                               const PolygonDiagnosis& diagnosis,
                               const OutlineNumbers& numbers = {});

// Why the formula does not describe the written polygon, or empty when it
// does: every cut of the formula is sound on it, or, for polygons small
// enough, the exact check says so.
std::string written_formula_problem(const WrittenPolygon& written, const Formula& formula,
                                    const OutlineNumbers& numbers = {});

}  // namespace polyfrep
