#include "io/region_file.h"

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include "geometry/segments.h"
#include "polygon/area.h"

namespace polyfrep {

namespace {

// The reader's messages go into the reason it gives, not to the console.
void quiet_error_handler(CPLErr, CPLErrorNum, const char*) {}

void register_drivers_once() {
  static std::once_flag once;
  std::call_once(once, [] {
    CPLSetErrorHandler(quiet_error_handler);
    GDALAllRegister();
  });
}

struct DatasetCloser {
  void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetHandle = std::unique_ptr<GDALDataset, DatasetCloser>;
using GeometryHandle = std::unique_ptr<OGRGeometry>;

// The polygons as read: rings of points, each polygon's exterior first.
struct RawRing {
  std::vector<Point> points;
  bool hole = false;
};
using RawPolygon = std::vector<RawRing>;

std::vector<Point> ring_points(const OGRLinearRing& ring) {
  std::vector<Point> points;
  points.reserve(static_cast<std::size_t>(ring.getNumPoints()));
  for (int i = 0; i < ring.getNumPoints(); ++i) {
    const Point point{ring.getX(i), ring.getY(i)};
    if (points.empty() || !same_point(points.back(), point)) points.push_back(point);
  }
  // Every format repeats the first vertex at the end.
  while (points.size() > 1 && same_point(points.back(), points.front()))
    points.pop_back();
  return points;
}

RawPolygon raw_polygon(const OGRPolygon& polygon) {
  RawPolygon raw;
  if (polygon.getExteriorRing() == nullptr) return raw;
  raw.push_back({ring_points(*polygon.getExteriorRing()), false});
  for (int k = 0; k < polygon.getNumInteriorRings(); ++k)
    raw.push_back({ring_points(*polygon.getInteriorRing(k)), true});
  return raw;
}

// Adds the polygons of a geometry; returns false for a geometry of another
// kind. A collection (what repairing gives) adds its polygons and leaves
// its lines and points out.
bool add_polygons(const OGRGeometry& geometry, std::vector<RawPolygon>& polygons) {
  const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
  if (type == wkbPolygon) {
    polygons.push_back(raw_polygon(*geometry.toPolygon()));
    return true;
  }
  if (type == wkbMultiPolygon || type == wkbGeometryCollection) {
    bool any = false;
    for (const OGRGeometry* part : *geometry.toGeometryCollection())
      any = add_polygons(*part, polygons) || any;
    return type == wkbMultiPolygon || any;
  }
  return false;
}

// Adds the valid polygons that repairing one polygon gives.
void add_repaired_polygon(const OGRPolygon& polygon, OGRMultiPolygon& parts) {
  const GeometryHandle valid(polygon.MakeValid());
  if (!valid) return;
  const OGRwkbGeometryType type = wkbFlatten(valid->getGeometryType());
  if (type == wkbPolygon) {
    parts.addGeometry(valid.get());
  } else if (type == wkbMultiPolygon || type == wkbGeometryCollection) {
    for (const OGRGeometry* part : *valid->toGeometryCollection()) {
      if (wkbFlatten(part->getGeometryType()) == wkbPolygon) parts.addGeometry(part);
    }
  }
}

// Each polygon of a geometry repaired on its own: repairing a multipolygon
// as a whole would make the overlaps of its parts holes.
void add_repaired_parts(const OGRGeometry& geometry, OGRMultiPolygon& parts) {
  const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
  if (type == wkbPolygon) {
    add_repaired_polygon(*geometry.toPolygon(), parts);
  } else if (type == wkbMultiPolygon || type == wkbGeometryCollection) {
    for (const OGRGeometry* part : *geometry.toGeometryCollection())
      add_repaired_parts(*part, parts);
  }
}

// Points run counter-clockwise for an exterior ring and clockwise for a
// hole; a reversed ring keeps its first vertex first.
void orient(RawRing& ring) {
  const int wanted = ring.hole ? -1 : 1;
  if (signed_area_sign(ring.points) == -wanted)
    std::reverse(ring.points.begin() + 1, ring.points.end());
}

// Rings of fewer than three distinct vertices bound nothing and are left
// out; a polygon whose exterior is left out goes with its holes.
RegionInput region_of(std::vector<RawPolygon> polygons) {
  RegionInput input;
  // A coordinate beyond the largest double (1e400, say) is read as an
  // infinity, which no exact test can take.
  const auto finite = [](Point p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  for (const RawPolygon& polygon : polygons) {
    for (const RawRing& ring : polygon) {
      if (!std::all_of(ring.points.begin(), ring.points.end(), finite)) {
        input.status = RegionFileStatus::kNotFinite;
        input.reason = "a coordinate is not a finite number";
        return input;
      }
    }
  }
  int polygon_number = 0;
  for (RawPolygon& polygon : polygons) {
    if (polygon.empty()) continue;
    if (polygon.front().points.size() < 3) {
      input.dropped_rings += static_cast<int>(polygon.size());
      continue;
    }
    for (RawRing& ring : polygon) {
      if (ring.points.size() < 3) {
        ++input.dropped_rings;
        continue;
      }
      orient(ring);
      Region& region = input.region;
      region.rings.push_back({static_cast<int>(region.vertices.size()),
                              static_cast<int>(ring.points.size()), polygon_number, ring.hole});
      region.vertices.insert(region.vertices.end(), ring.points.begin(), ring.points.end());
    }
    ++polygon_number;
  }
  if (input.region.rings.empty()) {
    input.status = RegionFileStatus::kNoPolygon;
    input.reason = "the file holds no polygon with an area";
  } else {
    input.status = RegionFileStatus::kRead;
  }
  return input;
}

// The union of the repaired polygons, one valid region.
std::vector<RawPolygon> merged_polygons(const OGRMultiPolygon& parts) {
  std::vector<RawPolygon> polygons;
  if (parts.IsEmpty()) return polygons;
  const GeometryHandle merged(parts.getNumGeometries() == 1 ? parts.clone()
                                                            : parts.UnionCascaded());
  if (merged) add_polygons(*merged, polygons);
  return polygons;
}

// The library's last message, its first line, or `otherwise`.
std::string last_error_or(const char* otherwise) {
  const char* message = CPLGetLastErrorMsg();
  if (message == nullptr || *message == '\0') return otherwise;
  const std::string text = message;
  return text.substr(0, text.find('\n'));
}

}  // namespace

bool is_region_file_name(std::string_view name) {
  static constexpr std::array<std::string_view, 6> kEndings = {".geojson", ".json", ".shp",
                                                               ".gpkg",    ".kml",  ".gml"};
  const auto ends_with = [name](std::string_view ending) {
    if (name.size() < ending.size()) return false;
    const std::string_view tail = name.substr(name.size() - ending.size());
    return std::equal(tail.begin(), tail.end(), ending.begin(), [](char a, char b) {
      return std::tolower(static_cast<unsigned char>(a)) == b;
    });
  };
  return std::any_of(kEndings.begin(), kEndings.end(), ends_with);
}

RegionInput read_region_file(const char* path, bool make_valid) {
  register_drivers_once();
  CPLErrorReset();
  const DatasetHandle dataset(GDALDataset::Open(path, GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!dataset) {
    RegionInput refused;
    refused.reason = last_error_or("not a vector file that can be read");
    return refused;
  }
  std::vector<RawPolygon> polygons;
  OGRMultiPolygon repaired;
  int skipped = 0;
  for (OGRLayer* layer : dataset->GetLayers()) {
    layer->ResetReading();
    for (const auto& feature : *layer) {
      for (int field = 0; field < feature->GetGeomFieldCount(); ++field) {
        const OGRGeometry* geometry = feature->GetGeomFieldRef(field);
        if (geometry == nullptr) continue;
        std::vector<RawPolygon> found;
        if (!add_polygons(*geometry, found)) {
          ++skipped;
        } else if (make_valid) {
          add_repaired_parts(*geometry, repaired);
        } else {
          std::move(found.begin(), found.end(), std::back_inserter(polygons));
        }
      }
    }
  }
  RegionInput input = region_of(make_valid ? merged_polygons(repaired) : std::move(polygons));
  input.skipped_geometries = skipped;
  return input;
}

RegionInput make_valid_outline(std::span<const Point> vertices) {
  register_drivers_once();
  OGRLinearRing ring;
  for (const Point& vertex : vertices)
    ring.addPoint(vertex.x, vertex.y);
  OGRPolygon polygon;
  polygon.addRing(&ring);
  polygon.closeRings();
  OGRMultiPolygon repaired;
  add_repaired_parts(polygon, repaired);
  return region_of(merged_polygons(repaired));
}

}  // namespace polyfrep
