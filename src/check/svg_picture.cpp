#include "check/svg_picture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "check/region_classifier.h"
#include "io/number_format.h"

namespace polyfrep {

namespace {

constexpr double kPlotSize = 640;  // pixels along the longer side of the plot
constexpr double kPadding = 20;
constexpr double kLegendHeight = 118;
constexpr const char* kRegionColour = "#8ec5ff";
constexpr const char* kOutlineColour = "#1b1b1b";
constexpr const char* kDisagreementColour = "#e8112d";
constexpr const char* kFailureColour = "#c400c4";

// Model coordinates to pixels: x to the right, y upwards.
struct View {
  Box box;
  double scale = 1;
  double width = 0;  // of the plot, in pixels
  double height = 0;
};

double pixel_x(const View& view, double x) {
  return kPadding + (x - view.box.x_low) * view.scale;
}
double pixel_y(const View& view, double y) {
  return kPadding + (view.box.y_high - y) * view.scale;
}

void put_pixels(std::string& out, double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  out.append(text, result.ptr);
}

// The centre attributes of a circle.
void put_centre(std::string& out, double x, double y) {
  out += " cx=\"";
  put_pixels(out, x);
  out += "\" cy=\"";
  put_pixels(out, y);
  out += '"';
}

// "x y", the two coordinates of a path's point.
void put_pixel_point(std::string& out, double x, double y) {
  put_pixels(out, x);
  out += ' ';
  put_pixels(out, y);
}

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string number_text(double value) {
  char digits[kMaxNumberText];
  return std::string(digits, format_double(value, digits));
}

View make_view(std::span<const Point> vertices) {
  View view;
  view.box = sampling_box(vertices);
  const double width = view.box.x_high - view.box.x_low;
  const double height = view.box.y_high - view.box.y_low;
  view.scale = kPlotSize / std::max(width, height);
  view.width = width * view.scale;
  view.height = height * view.scale;
  return view;
}

// Inside cells, as rectangles: runs along each row, merged with the same
// run of the rows below so that a plain region takes few elements.
void put_region(std::string& out, const View& view, const CompiledModel& model) {
  const double width = view.box.x_high - view.box.x_low;
  const double height = view.box.y_high - view.box.y_low;
  const double cell = std::max(width, height) / kPictureCells;
  const int columns = std::max(1, static_cast<int>(std::lround(width / cell)));
  const int rows = std::max(1, static_cast<int>(std::lround(height / cell)));
  std::vector<Point> centres;
  centres.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
  for (int row = 0; row < rows; ++row) {
    const double y = view.box.y_high - (row + 0.5) * height / rows;
    for (int column = 0; column < columns; ++column) {
      centres.push_back({view.box.x_low + (column + 0.5) * width / columns, y});
    }
  }
  const std::vector<char> inside = classify_points(model, centres);
  const double cell_width = view.width / columns;
  const double cell_height = view.height / rows;
  out += "<g fill=\"";
  out += kRegionColour;
  out += "\" shape-rendering=\"crispEdges\">\n";
  // Open rectangles by their column run: first row and row count.
  std::map<std::pair<int, int>, std::pair<int, int>> open;
  auto close = [&](const std::pair<int, int>& run, const std::pair<int, int>& rows_of) {
    out += "<rect x=\"";
    put_pixels(out, kPadding + run.first * cell_width);
    out += "\" y=\"";
    put_pixels(out, kPadding + rows_of.first * cell_height);
    out += "\" width=\"";
    put_pixels(out, (run.second - run.first) * cell_width);
    out += "\" height=\"";
    put_pixels(out, rows_of.second * cell_height);
    out += "\"/>\n";
  };
  for (int row = 0; row <= rows; ++row) {
    std::map<std::pair<int, int>, std::pair<int, int>> next;
    for (int column = 0; row < rows && column < columns;) {
      if (!inside[static_cast<std::size_t>(row) * columns + column]) {
        ++column;
        continue;
      }
      const int begin = column;
      while (column < columns && inside[static_cast<std::size_t>(row) * columns + column])
        ++column;
      const std::pair<int, int> run{begin, column};
      const auto found = open.find(run);
      if (found != open.end()) {
        next[run] = {found->second.first, found->second.second + 1};
        open.erase(found);
      } else {
        next[run] = {row, 1};
      }
    }
    for (const auto& [run, rows_of] : open)
      close(run, rows_of);
    open = std::move(next);
  }
  out += "</g>\n";
}

void put_outline(std::string& out, const View& view, std::span<const Point> vertices) {
  out += "<polygon fill=\"none\" stroke=\"";
  out += kOutlineColour;
  out += "\" stroke-width=\"1.6\" stroke-linejoin=\"round\" points=\"";
  for (const Point& p : vertices) {
    put_pixels(out, pixel_x(view, p.x));
    out += ',';
    put_pixels(out, pixel_y(view, p.y));
    out += ' ';
  }
  out += "\"/>\n";
}

void put_disagreements(std::string& out, const View& view,
                       std::span<const SampleDisagreement> disagreements) {
  out += "<g fill=\"";
  out += kDisagreementColour;
  out += "\" stroke=\"white\" stroke-width=\"0.8\">\n";
  for (const SampleDisagreement& sample : disagreements) {
    out += "<circle r=\"3.5\" cx=\"";
    put_pixels(out, pixel_x(view, sample.at.x));
    out += "\" cy=\"";
    put_pixels(out, pixel_y(view, sample.at.y));
    out += "\"/>\n";
  }
  out += "</g>\n";
}

// A ring with a cross; a point outside the plot is drawn at its border.
void put_failure_point(std::string& out, const View& view, Point at) {
  const double x = std::clamp(pixel_x(view, at.x), kPadding, kPadding + view.width);
  const double y = std::clamp(pixel_y(view, at.y), kPadding, kPadding + view.height);
  out += "<g stroke=\"";
  out += kFailureColour;
  out += "\" stroke-width=\"2.5\" fill=\"none\">\n<circle r=\"9\"";
  put_centre(out, x, y);
  out += "/>\n<path d=\"M";
  put_pixel_point(out, x - 13, y);
  out += "h26M";
  put_pixel_point(out, x, y - 13);
  out += "v26\"/>\n</g>\n";
}

void put_text(std::string& out, double x, double y, const std::string& text,
              const char* extra = "") {
  out += "<text x=\"";
  put_pixels(out, x);
  out += "\" y=\"";
  put_pixels(out, y);
  out += "\"";
  out += extra;
  out += ">";
  out += escaped(text);
  out += "</text>\n";
}

void put_legend(std::string& out, const View& view, const PictureContent& content) {
  const double top = kPadding * 2 + view.height;
  const double left = kPadding;
  out += "<g font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"14\" fill=\"#1b1b1b\">\n";
  put_text(out, left, top + 4, content.title, " font-weight=\"bold\"");
  put_text(out, left, top + 24, content.verdict,
           content.right ? " fill=\"#107a2d\" font-weight=\"bold\""
                         : " fill=\"#c0102a\" font-weight=\"bold\"");
  const double keys = top + 48;
  out += "<rect x=\"";
  put_pixels(out, left);
  out += "\" y=\"";
  put_pixels(out, keys - 11);
  out += "\" width=\"22\" height=\"14\" fill=\"";
  out += kRegionColour;
  out += "\"/>\n";
  put_text(out, left + 30, keys, "where the model is positive");
  out += "<path d=\"M";
  put_pixel_point(out, left, keys + 18);
  out += "h22\" stroke=\"";
  out += kOutlineColour;
  out += "\" stroke-width=\"2\"/>\n";
  put_text(out, left + 30, keys + 22, "input outline");
  out += "<circle r=\"4\"";
  put_centre(out, left + 11, keys + 40);
  out += " fill=\"";
  out += kDisagreementColour;
  out += "\"/>\n";
  put_text(out, left + 30, keys + 44,
           "samples where model and polygon disagree: " + std::to_string(content.disagreeing) +
               " (" + std::to_string(content.disagreements.size()) + " drawn)");
  std::string failure = "exact check: first failure";
  if (content.has_failure_point) {
    failure += " at (" + number_text(content.failure_point.x) + ", " +
               number_text(content.failure_point.y) + ")";
  } else {
    failure += ": none";
  }
  out += "<circle r=\"6\"";
  put_centre(out, left + 11, keys + 62);
  out += " fill=\"none\" stroke-width=\"2.5\" stroke=\"";
  out += kFailureColour;
  out += "\"/>\n";
  put_text(out, left + 30, keys + 66, failure);
  out += "</g>\n";
}

}  // namespace

std::string svg_picture(const PictureContent& content) {
  const View view = make_view(content.vertices);
  const double width = std::max(view.width + 2 * kPadding, 560.0);
  const double height = view.height + 2 * kPadding + kLegendHeight;
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
      "width=\"";
  put_pixels(out, width);
  out += "\" height=\"";
  put_pixels(out, height);
  out += "\" viewBox=\"0 0 ";
  put_pixels(out, width);
  out += ' ';
  put_pixels(out, height);
  out += "\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  out += "<rect fill=\"none\" stroke=\"#c8c8c8\" x=\"";
  put_pixels(out, kPadding);
  out += "\" y=\"";
  put_pixels(out, kPadding);
  out += "\" width=\"";
  put_pixels(out, view.width);
  out += "\" height=\"";
  put_pixels(out, view.height);
  out += "\"/>\n";
  put_region(out, view, *content.model);
  if (content.rings.empty()) {
    put_outline(out, view, content.vertices);
  } else {
    for (const Ring& ring : content.rings) {
      put_outline(out, view,
                  content.vertices.subspan(static_cast<std::size_t>(ring.first),
                                           static_cast<std::size_t>(ring.count)));
    }
  }
  put_disagreements(out, view, content.disagreements);
  if (content.has_failure_point) put_failure_point(out, view, content.failure_point);
  put_legend(out, view, content);
  out += "</svg>\n";
  return out;
}

}  // namespace polyfrep
