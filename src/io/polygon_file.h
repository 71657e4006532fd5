#pragma once

#include <sys/stat.h>

#include <fstream>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// Room for ten tokens per vertex must fit a signed 32-bit count, so the
// converter takes at most this many vertices; nothing larger is read.
inline constexpr int kTokensPerVertex = 10;
inline constexpr int kMaxVertexCount = 2147483647 / kTokensPerVertex;

// A polygon file opened for reading. `error` is the errno of a failure to
// open it (a directory counts as one), 0 when it is open.
struct PolygonFile {
  std::ifstream stream;
  struct stat status {};
  int error = 0;
};

PolygonFile open_polygon_file(const char* path);

enum class PolygonFileStatus {
  kRead,             // the vertices are read; some coordinates may be missing
  kNoCount,          // the file does not begin with a whole number
  kTooFewVertices,   // a count below 3
  kTooManyVertices,  // a count above kMaxVertexCount
  kCountBeyondFile,  // a regular file with fewer bytes after the count than vertices
};

// What was read, and why reading stopped early. Counts that cannot be right
// are refused before anything is allocated for them.
struct PolygonInput {
  PolygonFileStatus status = PolygonFileStatus::kNoCount;
  int vertex_count = 0;  // as read; 0 when there is none
  long long bytes_after_count = 0;
  std::vector<Point> vertices;
  long long coordinates_read = 0;  // of the 2 * vertex_count; the rest repeat the last values read
  bool read_error = false;         // the system failed to read the file
};

PolygonInput read_polygon_file(PolygonFile& file);

}  // namespace polyfrep
