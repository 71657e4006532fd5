#include "io/region_file.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "geometry/segments.h"
#include "io/vector_module.h"
#include "polygon/area.h"

namespace polyfrep {

namespace {

// Every format repeats the first vertex at the end; some files repeat others.
void drop_repeated_points(std::vector<Point>& points) {
  points.erase(std::unique(points.begin(), points.end(), same_point), points.end());
  while (points.size() > 1 && same_point(points.back(), points.front()))
    points.pop_back();
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
  for (const RawPolygon& polygon : polygons) {
    for (const RawRing& ring : polygon) {
      if (!std::all_of(ring.points.begin(), ring.points.end(), is_finite)) {
        input.status = RegionFileStatus::kNotFinite;
        input.reason = "a coordinate is not a finite number";
        return input;
      }
    }
  }
  int polygon_number = 0;
  for (RawPolygon& polygon : polygons) {
    if (polygon.empty()) continue;
    for (RawRing& ring : polygon)
      drop_repeated_points(ring.points);
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

// The vector module, loaded once: from beside the program, then from where
// an install puts it next to the program (so that an installed tree may be
// moved), where it was installed, and the build tree it was built in.
struct VectorModule {
  ReadVectorFile* read = nullptr;
  MakeValidOutline* make_valid = nullptr;
  std::string problem;  // why it could not be loaded
};

std::string program_directory() {
  std::array<char, 4096> path{};
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  const std::string program(path.data(), static_cast<std::size_t>(length));
  return program.substr(0, program.rfind('/'));
}

VectorModule load_vector_module() {
  VectorModule module;
  const std::string program = program_directory();
  const std::string places[] = {program, program + "/../" + POLYFREP_VECTOR_MODULE_RELATIVE_DIR,
                                POLYFREP_VECTOR_MODULE_INSTALL_DIR,
                                POLYFREP_VECTOR_MODULE_BUILD_DIR};
  for (const std::string& place : places) {
    if (place.empty() || place.front() != '/') continue;
    const std::string path = place + "/" + kVectorModuleName;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      if (module.problem.empty() && ::access(path.c_str(), F_OK) == 0) module.problem = ::dlerror();
      continue;
    }
    module.read = reinterpret_cast<ReadVectorFile*>(::dlsym(handle, kReadVectorFileSymbol));
    module.make_valid =
        reinterpret_cast<MakeValidOutline*>(::dlsym(handle, kMakeValidOutlineSymbol));
    if (module.read != nullptr && module.make_valid != nullptr) return module;
    module = VectorModule{};
    module.problem = path + " is not a vector module";
  }
  if (module.problem.empty()) {
    module.problem = std::string("vector files need ") + kVectorModuleName +
                     ", found neither beside the program nor in " +
                     POLYFREP_VECTOR_MODULE_INSTALL_DIR;
  }
  return module;
}

const VectorModule& vector_module() {
  static std::once_flag once;
  static VectorModule module;
  std::call_once(once, [] { module = load_vector_module(); });
  return module;
}

RegionInput refused(const std::string& reason) {
  RegionInput input;
  input.reason = reason;
  return input;
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
  const VectorModule& module = vector_module();
  if (module.read == nullptr) return refused(module.problem);
  RawRegion raw;
  module.read(path, make_valid, &raw);
  if (!raw.opened) return refused(raw.reason);
  RegionInput input = region_of(std::move(raw.polygons));
  input.skipped_geometries = raw.skipped_geometries;
  return input;
}

RegionInput make_valid_outline(std::span<const Point> vertices) {
  const VectorModule& module = vector_module();
  if (module.make_valid == nullptr) return refused(module.problem);
  RawRegion raw;
  module.make_valid(vertices.data(), vertices.size(), &raw);
  return region_of(std::move(raw.polygons));
}

}  // namespace polyfrep
