#include "io/vertex_text.h"

#include <charconv>
#include <future>
#include <limits>
#include <system_error>

#include "io/number_format.h"

namespace polyfrep {

namespace {

// Six significant digits never need more than "-1.23457e-308": the digits,
// a sign, a point and the exponent. Reserving room for the longest text costs
// address space only: the pages are touched as the text is written.
std::size_t longest_coordinate(NumberStyle style) {
  return static_cast<std::size_t>(style.exact ? kMaxDigits : style.digits) + 7;
}

std::size_t format_coordinate(double value, NumberStyle style, char* out) {
  return style.exact ? format_exact_double(value, style.digits, out)
                     : format_double(value, style.digits, out);
}

// Records where the text of the next point (or the end) starts.
void push_start(VertexText& text, std::size_t start) {
  const std::size_t entry = text.start_offset.size();
  if ((entry & (kPointsPerTextBlock - 1)) == 0) text.block_start.push_back(start);
  text.start_offset.push_back(static_cast<std::uint32_t>(start - text.block_start.back()));
}

void start_points(VertexText& text, std::size_t point_count, std::size_t expected_characters) {
  text.characters.reserve(expected_characters);
  text.block_start.reserve(point_count / kPointsPerTextBlock + 1);
  text.start_offset.reserve(point_count + 1);
  text.x_length.reserve(point_count);
  push_start(text, 0);
}

void append_point(VertexText& text, std::string_view x, std::string_view y) {
  text.characters.insert(text.characters.end(), x.begin(), x.end());
  text.characters.insert(text.characters.end(), y.begin(), y.end());
  text.x_length.push_back(static_cast<unsigned char>(x.size()));
  push_start(text, text.characters.size());
}

// The points' text, with room reserved for `room_for` points: the text of
// more points may be appended without moving it.
VertexText format_with_room(std::span<const Point> points, NumberStyle style,
                            std::size_t room_for) {
  VertexText text;
  start_points(text, room_for, 2 * longest_coordinate(style) * room_for);
  char x[kMaxNumberText];
  char y[kMaxNumberText];
  for (const Point& point : points) {
    const std::size_t x_size = format_coordinate(point.x, style, x);
    const std::size_t y_size = format_coordinate(point.y, style, y);
    append_point(text, {x, x_size}, {y, y_size});
  }
  return text;
}

}  // namespace

VertexText format_vertex_text(std::span<const Point> points, NumberStyle style) {
  return format_with_room(points, style, points.size());
}

VertexText format_vertex_text_concurrently(std::span<const Point> points, NumberStyle style) {
  const std::size_t half = points.size() / 2;
  std::future<VertexText> second;
  try {
    second = std::async(std::launch::async, [points, half, style] {
      return format_vertex_text(points.subspan(half), style);
    });
  } catch (const std::system_error&) {
    return format_vertex_text(points, style);
  }
  // Room for all points from the start: growing the first half's text to
  // take the second's would hold both halves and the whole at once.
  VertexText text = format_with_room(points.first(half), style, points.size());
  const VertexText rest = second.get();
  const std::size_t offset = text.characters.size();
  text.characters.insert(text.characters.end(), rest.characters.begin(), rest.characters.end());
  text.x_length.insert(text.x_length.end(), rest.x_length.begin(), rest.x_length.end());
  for (std::size_t k = 1; k < rest.start_offset.size(); ++k)
    push_start(text, offset + text_start(rest, k));
  return text;
}

namespace {

// As a reader of the text gets it: a text beyond the largest double, which
// rounding near it can give, reads as an infinity.
double read_back(std::string_view text) {
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range && !text.empty()) {
    // Below the smallest subnormal it reads as zero, above the largest
    // double as an infinity; the exponent's sign tells which.
    const bool tiny = text.find("e-") != std::string_view::npos;
    const double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    value = text.front() == '-' ? -magnitude : magnitude;
  }
  return value;
}

}  // namespace

Point read_back_point(const VertexText& text, std::size_t point) {
  return {read_back(x_text(text, point)), read_back(y_text(text, point))};
}

std::vector<Point> read_back_points(const VertexText& text) {
  std::vector<Point> points(point_count(text));
  for (std::size_t k = 0; k < points.size(); ++k)
    points[k] = read_back_point(text, k);
  return points;
}

VertexText select_vertex_text(const VertexText& text, std::size_t first, std::size_t count) {
  VertexText selected;
  const std::size_t total = point_count(text);
  if (total == 0) return selected;
  std::size_t characters = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t point = (first + k) % total;
    characters += text_start(text, point + 1) - text_start(text, point);
  }
  start_points(selected, count, characters);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t point = (first + k) % total;
    append_point(selected, x_text(text, point), y_text(text, point));
  }
  return selected;
}

}  // namespace polyfrep
