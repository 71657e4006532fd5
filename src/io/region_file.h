#pragma once

#include <span>
#include <string>
#include <string_view>

#include "geometry/region.h"

namespace polyfrep {

// Whether a file is read as a vector file of polygons rather than as a
// vertex list: by the ending of its name (.geojson, .json, .shp, .gpkg,
// .kml, .gml, in any case).
bool is_region_file_name(std::string_view name);

enum class RegionFileStatus {
  kRead,
  kCannotOpen,  // not a vector file the reader knows, or not there at all
  kNoPolygon,   // opened, but it holds no polygon with an area
  kNotFinite,   // a coordinate is an infinity or not a number
};

struct RegionInput {
  RegionFileStatus status = RegionFileStatus::kCannotOpen;
  std::string reason;  // why it was not read, in the reader's words
  Region region;
  int skipped_geometries = 0;  // geometries that are not polygons, left out
  int dropped_rings = 0;       // rings of fewer than three distinct vertices
};

// Reads every polygon and multipolygon of every feature of every layer, in
// file order; the region is their union. Each ring loses its repeated
// closing vertex and consecutive repeated vertices; exterior rings are then
// turned counter-clockwise and holes clockwise, keeping their first vertex
// first. With make_valid, each polygon is first repaired to a valid one and
// all of them are merged into one valid region.
RegionInput read_region_file(const char* path, bool make_valid);

// The valid region of an outline that may cross itself, made the same way.
RegionInput make_valid_outline(std::span<const Point> vertices);

}  // namespace polyfrep
