#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "geometry/point.h"

namespace polyfrep::fuzzing {

// Counts above this are not read as polygons by check_reader: the reader
// allocates one vertex per count before reading, and the point is faults in
// the reading, not memory exhaustion. The numbers themselves are still scanned.
inline constexpr int kMaxReaderVertexCount = 100000;

// One extraction: whether it succeeds, the value it stores, and how many
// characters of the input are consumed once it is done.
struct ExtractedNumber {
  bool read = false;
  double value = 0.0;
  long long consumed = 0;
};

// The extractions a polygon file gets, worked out independently of the
// block scanner by a plain walk over the whole text: the count as an integer,
// then floating-point coordinates up to and including the first failure.
struct ExpectedReading {
  std::vector<ExtractedNumber> numbers;  // numbers[0] is the count
  // The last entry is a non-zero literal that rounds to the smallest normal
  // double. Whether it lies exactly below that double (and so underflows)
  // needs exact decimal arithmetic, so its outcome and everything after it
  // are left unpredicted.
  bool ends_undecided = false;
};

ExpectedReading expected_reading(std::string_view text);

// What read_vertex_count followed by read_vertices gave for one text.
struct PolygonOutcome {
  bool count_read = false;
  int vertex_count = 0;
  std::vector<Point> vertices;
  long long coordinates_read = 0;
  bool failed = false;  // the scanner's state afterwards
};

// The broken invariants of one polygon outcome, measured against the
// expected extractions: exactly max(count, 0) vertices, at most 2 * count
// coordinates read, each read coordinate the expected value, every later one
// repeating the holding point, nothing infinite, NaN or subnormal.
std::vector<std::string> polygon_outcome_violations(const PolygonOutcome& outcome,
                                                    const ExpectedReading& expected);

// Reads `text` as an input file in every way the reader offers (scanner at
// several block sizes down to one character, count and vertices, and
// read_polygon on a stream) and returns every broken invariant and every
// disagreement, each as one line of text. Empty when all hold.
std::vector<std::string> check_reader(std::string_view text);

// Prints the violations on standard error and aborts when there are any, so
// that a fuzzer records the input as a crash.
void abort_on_violations(std::string_view what, const std::vector<std::string>& violations);

}  // namespace polyfrep::fuzzing
