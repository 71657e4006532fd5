// polyfrep-naive-floor: the least a plain, straightforward converter must do,
// without any geometry: read the input, parse its numbers, format the numbers
// of the four outputs and write them. bench/run.sh times it beside the
// converter.
//
//   polyfrep-naive-floor INPUT MODEL
//
// INPUT is a polygon file in the converter's format (the vertex count, then
// two coordinates per vertex); the files are written where the converter
// writes them: poly.plt, List.txt, Formula.txt and MODEL, in that order,
// each with one write of a buffer that holds the whole file.
//
// Every number is parsed with std::from_chars and every number an output
// holds is formatted anew with std::to_chars, coordinates at six significant
// digits in general format (the converter's "%g"), with no text reused between
// outputs. For n vertices that is, as in the converter's files:
//
//   poly.plt     the count n + 1, then n + 1 points (the outline, closed)
//   List.txt     a point count and the last min(n, 4) vertices, a hull count
//                and their positions (the converter's last hull is that of a
//                chain of a few vertices)
//   Formula.txt  the n edge numbers, in a balanced formula "(0*1)*(2*3)"
//   MODEL        the bounding box (4 numbers), per edge its two end points
//                (4 numbers) and its number, then the formula again with the
//                numbers as edge names "s0"
//
// so about 6n coordinates and 3n integers. The text around them is the
// converter's. Exit status 0, or 1 when the input cannot be read or parsed
// or an output cannot be written, 2 for a usage error.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace {

struct Point {
  double x = 0;
  double y = 0;
};

bool read_whole_file(const char* path, std::string& text) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    text.resize(static_cast<std::size_t>(size));
    ok = std::fread(text.data(), 1, text.size(), file) == text.size();
  }
  return std::fclose(file) == 0 && ok;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

const char* skip_blanks(const char* cursor, const char* end) {
  while (cursor != end && is_blank(*cursor))
    ++cursor;
  return cursor;
}

// The vertex count and then two coordinates per vertex, separated by blanks.
bool parse_polygon(const std::string& text, std::vector<Point>& vertices) {
  const char* cursor = skip_blanks(text.data(), text.data() + text.size());
  const char* const end = text.data() + text.size();
  long count = 0;
  auto parsed = std::from_chars(cursor, end, count);
  if (parsed.ec != std::errc() || count < 0) return false;
  vertices.resize(static_cast<std::size_t>(count));
  for (Point& vertex : vertices) {
    for (double* coordinate : {&vertex.x, &vertex.y}) {
      cursor = skip_blanks(parsed.ptr, end);
      parsed = std::from_chars(cursor, end, *coordinate);
      if (parsed.ec != std::errc()) return false;
    }
  }
  return skip_blanks(parsed.ptr, end) == end;
}

class Text {
 public:
  explicit Text(std::size_t expected_size) { text_.reserve(expected_size); }
  Text& operator<<(std::string_view piece) {
    text_.append(piece);
    return *this;
  }
  Text& operator<<(char c) {
    text_.push_back(c);
    return *this;
  }
  Text& operator<<(double value) {
    char digits[32];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 6);
    text_.append(digits, result.ptr);
    return *this;
  }
  Text& operator<<(std::size_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, result.ptr);
    return *this;
  }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

bool write_file(const char* path, const std::string& text) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "polyfrep-naive-floor: cannot open %s: %s\n", path, std::strerror(errno));
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "polyfrep-naive-floor: cannot write %s\n", path);
    return false;
  }
  return true;
}

std::string plot_file(const std::vector<Point>& vertices) {
  Text out(48 * vertices.size() + 64);
  out << "GEOMETRY CS = GRID T = LINE  \n1\n" << vertices.size() + 1 << '\n';
  for (const Point& vertex : vertices)
    out << vertex.x << ' ' << vertex.y << '\n';
  if (!vertices.empty()) out << vertices[0].x << ' ' << vertices[0].y << '\n';
  return out.take();
}

std::string listing_file(const std::vector<Point>& vertices) {
  const std::size_t count = std::min<std::size_t>(vertices.size(), 4);
  const std::size_t first = vertices.size() - count;
  Text out(256);
  out << "polygon\n" << count << '\n';
  for (std::size_t k = first; k < vertices.size(); ++k)
    out << vertices[k].x << ' ' << vertices[k].y << " \n";
  out << "hull\n" << count << '\n';
  for (std::size_t k = 0; k < count; ++k)
    out << k << ' ';
  out << '\n';
  return out.take();
}

// The edges first to first + count - 1 as a balanced formula: halves joined
// by `join`, each half of two or more edges in parentheses.
void put_formula(Text& out, std::size_t first, std::size_t count, std::string_view edge_prefix,
                 char join) {
  if (count == 1) {
    out << edge_prefix << first;
    return;
  }
  const std::size_t half = count / 2;
  for (const auto& [start, size] :
       {std::pair{first, half}, std::pair{first + half, count - half}}) {
    if (start != first) out << join;
    if (size > 1) out << '(';
    put_formula(out, start, size, edge_prefix, join);
    if (size > 1) out << ')';
  }
}

std::string formula_file(const std::vector<Point>& vertices) {
  Text out(10 * vertices.size() + 16);
  if (!vertices.empty()) put_formula(out, 0, vertices.size(), "", '*');
  return out.take();
}

constexpr std::string_view kLengthLine =
    "as=sqrt((p0[1]-p1[1])*(p0[1]-p1[1])+(p0[2]-p1[2])*(p0[2]-p1[2])); \ns";
constexpr std::string_view kDistanceLine =
    " = ((x[1]-p0[1])*(p0[2]-p1[2])+(x[2]-p0[2])*(p1[1]-p0[1]))/as;\n\n";

std::string model_file(const std::vector<Point>& vertices) {
  Text out(220 * vertices.size() + 256);
  out << "--bounding box: ";
  if (vertices.empty()) {
    out << "empty\n";
  } else {
    // As the converter: from vertex 0, widened on a strict comparison only.
    Point low = vertices[0];
    Point high = vertices[0];
    for (const Point& vertex : vertices) {
      if (low.x > vertex.x) low.x = vertex.x;
      if (high.x < vertex.x) high.x = vertex.x;
      if (low.y > vertex.y) low.y = vertex.y;
      if (high.y < vertex.y) high.y = vertex.y;
    }
    out << "xmin = " << low.x << ", xmax = " << high.x << "; ymin = " << low.y
        << ", ymax = " << high.y << ";\n";
  }
  out << "polygon(x[3], a[1])\n{\narray p0[2],p1[2];\n";
  for (std::size_t edge = 0; edge < vertices.size(); ++edge) {
    const Point& start = vertices[edge];
    const Point& end = vertices[edge + 1 == vertices.size() ? 0 : edge + 1];
    out << "p0 = [" << start.x << ", " << start.y << "];\n";
    out << "p1 = [" << end.x << ", " << end.y << "];\n";
    out << kLengthLine << edge << kDistanceLine;
  }
  out << "polygon = ";
  if (!vertices.empty()) put_formula(out, 0, vertices.size(), "s", '&');
  out << ";\n}\n";
  return out.take();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: polyfrep-naive-floor INPUT MODEL\n");
    return 2;
  }
  std::string text;
  if (!read_whole_file(argv[1], text)) {
    std::fprintf(stderr, "polyfrep-naive-floor: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<Point> vertices;
  if (!parse_polygon(text, vertices)) {
    std::fprintf(stderr, "polyfrep-naive-floor: %s is not a polygon file\n", argv[1]);
    return 1;
  }
  // The converter's order; each file is made and written before the next
  // is made.
  bool written = write_file("poly.plt", plot_file(vertices));
  written = written && write_file("List.txt", listing_file(vertices));
  written = written && write_file("Formula.txt", formula_file(vertices));
  written = written && write_file(argv[2], model_file(vertices));
  return written ? 0 : 1;
}
