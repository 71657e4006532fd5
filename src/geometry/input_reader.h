#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// Reads white-space separated numbers from a stream in large blocks, with the
// extraction rules of a text stream: a number ends at the first character that
// cannot continue it, a failed extraction leaves its destination unchanged and
// fails every later extraction.
struct NumberScanner {
  std::istream* in = nullptr;
  std::unique_ptr<char[]> block;  // the characters read and not yet consumed
  std::size_t begin = 0;          // first unconsumed character in block
  std::size_t end = 0;            // one past the last character read into block
  std::size_t capacity = 0;
  bool at_end_of_input = false;  // the stream has nothing more to give
  bool failed = false;           // an extraction failed; every later one fails
  long long consumed = 0;        // characters consumed from the stream so far
};

NumberScanner make_number_scanner(std::istream& in);

// Extracts a decimal integer (optional sign, digits) that fits an int.
bool scan_integer(NumberScanner& scanner, int& value);

// Extracts a decimal floating-point number: optional sign, digits with an
// optional point and fraction, optional exponent. Fails on overflow and on a
// non-zero value below the smallest normal double.
bool scan_double(NumberScanner& scanner, double& value);

// Reads the vertex count; a count that cannot be read is 0.
// Returns whether the count was read.
bool read_vertex_count(NumberScanner& scanner, int& vertex_count);

// Reads vertex_count vertices (none for a count of 0 or less) into a holding
// point that starts at (0, 0) and is never reset, so that coordinates that
// cannot be read repeat the last values read. Returns how many of the
// 2 * vertex_count coordinates were read.
long long read_vertices(NumberScanner& scanner, int vertex_count, std::vector<Point>& vertices);

// Reads a whole polygon file: the count, then its vertices.
void read_polygon(std::istream& in, int& vertex_count, std::vector<Point>& vertices);

}  // namespace polyfrep
