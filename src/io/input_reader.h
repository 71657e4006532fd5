#pragma once

#include <cstddef>
#include <istream>
#include <memory>
#include <vector>

#include "geometry/point.h"

namespace polyfrep {

// Characters read from the stream at a time; large enough that reading a file
// of millions of vertices costs a few hundred calls into the stream.
inline constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

// Reads white-space separated numbers from a stream in large blocks, with the
// extraction rules of a text stream: a number ends at the first character that
// cannot continue it, a failed extraction leaves its destination unchanged and
// fails every later extraction.
//
// The scanner reads ahead of the numbers it hands out, so the stream's own
// position says nothing about what was consumed: use `consumed`.
struct NumberScanner {
  std::istream* in = nullptr;
  std::unique_ptr<char[]> block;  // the characters read and not yet consumed
  std::size_t begin = 0;          // first unconsumed character in block
  std::size_t end = 0;            // one past the last character read into block
  std::size_t capacity = 0;       // grows only for a single number longer than a block
  bool at_end_of_input = false;   // the stream has nothing more to give
  bool read_error = false;        // the stream's buffer threw while reading
  bool failed = false;            // an extraction failed; every later one fails
  long long consumed = 0;         // characters consumed from the stream so far
};

// A scanner over `in`, which it reads from its current position on. A stream
// that is not good (for instance a file that could not be opened) gives a
// scanner that is already failed. `block_size` is the size of each read.
NumberScanner make_number_scanner(std::istream& in, std::size_t block_size = kDefaultBlockSize);

// Extracts a decimal integer (optional sign, digits) that fits an int.
bool scan_integer(NumberScanner& scanner, int& value);

// Extracts a decimal floating-point number: optional sign, digits with an
// optional point and fraction, optional exponent. Fails on overflow and on a
// non-zero value whose exact magnitude is below the smallest normal double.
bool scan_double(NumberScanner& scanner, double& value);

// Reads the vertex count; a count that cannot be read is 0.
// Returns whether the count was read.
bool read_vertex_count(NumberScanner& scanner, int& vertex_count);

// Reads vertex_count vertices (none for a count of 0 or less) into a holding
// point that starts at (0, 0) and is never reset, so that coordinates that
// cannot be read repeat the last values read. Returns how many of the
// 2 * vertex_count coordinates were read. A count too large to allocate
// throws std::bad_alloc or std::length_error rather than filling less.
long long read_vertices(NumberScanner& scanner, int vertex_count, std::vector<Point>& vertices);

// Reads a whole polygon file: the count, then its vertices. A failed
// extraction sets the stream's failbit, a read error its badbit; nothing else
// is reported.
void read_polygon(std::istream& in, int& vertex_count, std::vector<Point>& vertices);

}  // namespace polyfrep
