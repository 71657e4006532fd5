#include "io/polygon_file.h"

#include <cerrno>

#include "io/input_reader.h"

namespace polyfrep {

PolygonFile open_polygon_file(const char* path) {
  PolygonFile file;
  if (::stat(path, &file.status) != 0) {
    file.error = errno;
  } else if (S_ISDIR(file.status.st_mode)) {
    file.error = EISDIR;
  } else {
    file.stream.open(path, std::ios::binary);
    if (!file.stream.is_open()) file.error = errno != 0 ? errno : EACCES;
  }
  return file;
}

namespace {

PolygonFileStatus count_status(const PolygonFile& file, const PolygonInput& input,
                               bool count_read) {
  if (!count_read) return PolygonFileStatus::kNoCount;
  if (input.vertex_count < 3) return PolygonFileStatus::kTooFewVertices;
  if (input.vertex_count > kMaxVertexCount) return PolygonFileStatus::kTooManyVertices;
  // Every vertex takes at least a byte: a count beyond that is a damaged file.
  if (S_ISREG(file.status.st_mode) && input.bytes_after_count < input.vertex_count) {
    return PolygonFileStatus::kCountBeyondFile;
  }
  return PolygonFileStatus::kRead;
}

}  // namespace

PolygonInput read_polygon_file(PolygonFile& file) {
  PolygonInput input;
  NumberScanner scanner = make_number_scanner(file.stream);
  const bool count_read = read_vertex_count(scanner, input.vertex_count);
  input.bytes_after_count = static_cast<long long>(file.status.st_size) - scanner.consumed;
  input.status = count_status(file, input, count_read);
  if (input.status == PolygonFileStatus::kRead) {
    input.coordinates_read = read_vertices(scanner, input.vertex_count, input.vertices);
  }
  input.read_error = scanner.read_error;
  return input;
}

}  // namespace polyfrep
