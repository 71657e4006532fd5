#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// The polygons of a vector file as its reader found them, before any ring is
// cleaned or turned: each polygon's exterior ring first, then its holes.
struct RawRing {
  std::vector<Point> points;
  bool hole = false;
};
using RawPolygon = std::vector<RawRing>;

struct RawRegion {
  bool opened = false;
  std::string reason;  // why the file could not be read, when not opened
  std::vector<RawPolygon> polygons;
  int skipped_geometries = 0;  // geometries that are not polygons
};

// Vector files are read by a module of their own, loaded only when a vector
// file is read: the geometry library it links loads a hundred shared
// libraries, which would cost every run tens of milliseconds and tens of
// megabytes. The module exports these two functions by these names.
inline constexpr const char* kVectorModuleName = "polyfrep-vector.so";
inline constexpr const char* kReadVectorFileSymbol = "polyfrep_read_vector_file";
inline constexpr const char* kMakeValidOutlineSymbol = "polyfrep_make_valid_outline";

// Every polygon of every feature of every layer, in file order; with
// make_valid, each repaired and all of them united into one valid region.
using ReadVectorFile = void(const char* path, bool make_valid, RawRegion* region);

// The valid region of one outline, made the same way.
using MakeValidOutline = void(const Point* points, std::size_t count, RawRegion* region);

}  // namespace polyfrep
