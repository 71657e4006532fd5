// The vector-file reader, built as a module that the converter and the
// checker load only when they read a vector file.
#include "io/vector_module.h"

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <iterator>
#include <memory>
#include <mutex>

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

std::vector<Point> ring_points(const OGRLinearRing& ring) {
  std::vector<Point> points(static_cast<std::size_t>(ring.getNumPoints()));
  for (int i = 0; i < ring.getNumPoints(); ++i)
    points[static_cast<std::size_t>(i)] = {ring.getX(i), ring.getY(i)};
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

// Adds the polygons of a repaired geometry, leaving out the lines and points
// that collapsed parts became. A repair can nest them: an outline with folds
// gives a collection holding a multipolygon beside a multilinestring.
void add_valid_polygons(const OGRGeometry& geometry, OGRMultiPolygon& parts) {
  const OGRwkbGeometryType type = wkbFlatten(geometry.getGeometryType());
  if (type == wkbPolygon) {
    parts.addGeometry(&geometry);
  } else if (type == wkbMultiPolygon || type == wkbGeometryCollection) {
    for (const OGRGeometry* part : *geometry.toGeometryCollection())
      add_valid_polygons(*part, parts);
  }
}

// Adds the valid polygons that repairing one polygon gives.
void add_repaired_polygon(const OGRPolygon& polygon, OGRMultiPolygon& parts) {
  const GeometryHandle valid(polygon.MakeValid());
  if (valid) add_valid_polygons(*valid, parts);
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

void read_vector_file(const char* path, bool make_valid, RawRegion& region) {
  register_drivers_once();
  CPLErrorReset();
  const DatasetHandle dataset(GDALDataset::Open(path, GDAL_OF_VECTOR | GDAL_OF_READONLY));
  if (!dataset) {
    region.reason = last_error_or("not a vector file that can be read");
    return;
  }
  region.opened = true;
  OGRMultiPolygon repaired;
  for (OGRLayer* layer : dataset->GetLayers()) {
    layer->ResetReading();
    for (const auto& feature : *layer) {
      for (int field = 0; field < feature->GetGeomFieldCount(); ++field) {
        const OGRGeometry* geometry = feature->GetGeomFieldRef(field);
        if (geometry == nullptr) continue;
        std::vector<RawPolygon> found;
        if (!add_polygons(*geometry, found)) {
          ++region.skipped_geometries;
        } else if (make_valid) {
          add_repaired_parts(*geometry, repaired);
        } else {
          std::move(found.begin(), found.end(), std::back_inserter(region.polygons));
        }
      }
    }
  }
  if (make_valid) region.polygons = merged_polygons(repaired);
}

void make_valid_outline(const Point* points, std::size_t count, RawRegion& region) {
  register_drivers_once();
  OGRLinearRing ring;
  for (std::size_t i = 0; i < count; ++i)
    ring.addPoint(points[i].x, points[i].y);
  OGRPolygon polygon;
  polygon.addRing(&ring);
  polygon.closeRings();
  OGRMultiPolygon repaired;
  add_repaired_parts(polygon, repaired);
  region.opened = true;
  region.polygons = merged_polygons(repaired);
}

}  // namespace

}  // namespace polyfrep

// The module's entry points, looked up by name when it is loaded.
extern "C" {

void polyfrep_read_vector_file(const char* path, bool make_valid, polyfrep::RawRegion* region) {
  polyfrep::read_vector_file(path, make_valid, *region);
}

void polyfrep_make_valid_outline(const polyfrep::Point* points, std::size_t count,
                                 polyfrep::RawRegion* region) {
  polyfrep::make_valid_outline(points, count, *region);
}
}
