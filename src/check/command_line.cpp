#include "polyfrep/polyfrep.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "check/check_run.h"

namespace polyfrep {

namespace {

constexpr std::string_view kUsage =
    "usage: polyfrep-check INPUT [MODEL] [--svg FILE] [--grid N] [--samples N]\n"
    "                      [--midpoints N] [--exact-limit N] [--make-valid]\n"
    "       polyfrep-check --help | --version\n"
    "  INPUT        the polygon file given to the converter, or its region file\n"
    "               (.geojson, .json, .shp, .gpkg, .kml, .gml)\n"
    "  MODEL        its model file (default: INPUT's name up to the first '.', then .hf)\n"
    "  --svg FILE   also draw the model's region, the outline and the findings as SVG\n"
    "  --grid N     sample at the centres of an N x N grid over the outline\n"
    "  --samples N  random sample points to compare\n"
    "  --midpoints N  sample beside the midpoints of N edges spread evenly along the\n"
    "               outline, or of every edge when it has no more\n"
    "               (defaults 200, 20000 and 20000 up to 100000 edges, fewer beyond)\n"
    "  --exact-limit N  skip the exact check above N vertices (default 20000)\n"
    "  --make-valid check against the valid region the converter's --make-valid made\n"
    "exit status: 0 the model is proven right, 1 it is not (it is wrong, the input has a\n"
    "problem, or the exact check was skipped), 2 usage error or a file that cannot be read\n";

constexpr int kMaxSamples = 100000000;
constexpr int kMaxGridPerSide = 10000;  // a hundred million points

struct UsageError {
  std::string message;
};

int parse_count(std::string_view option, std::string_view text, int largest) {
  int count = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), count);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || count < 0 ||
      count > largest) {
    throw UsageError{std::string(option) + " needs a whole number from 0 to " +
                     std::to_string(largest) + ", not '" + std::string(text) + "'"};
  }
  return count;
}

CheckOptions parse_command_line(int argc, const char* const* argv) {
  CheckOptions options;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--svg" || argument == "--grid" || argument == "--samples" ||
        argument == "--midpoints" || argument == "--exact-limit") {
      if (i + 1 >= argc) {
        throw UsageError{std::string(argument) + " needs a value"};
      }
      const std::string_view value = argv[++i];
      if (argument == "--svg") {
        options.svg_path = value;
      } else if (argument == "--grid") {
        options.grid_per_side = parse_count(argument, value, kMaxGridPerSide);
      } else if (argument == "--samples") {
        options.random_samples = parse_count(argument, value, kMaxSamples);
      } else if (argument == "--midpoints") {
        options.midpoint_edges = parse_count(argument, value, std::numeric_limits<int>::max());
      } else {
        options.exact_limit = parse_count(argument, value, std::numeric_limits<int>::max());
      }
    } else if (argument == "--make-valid") {
      options.make_valid = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      throw UsageError{"unknown option '" + std::string(argument) + "'"};
    } else {
      positional.emplace_back(argument);
    }
  }
  if (positional.empty()) throw UsageError{"the input file is missing"};
  if (positional.size() > 2) throw UsageError{"too many file names"};
  options.input_path = positional[0];
  if (positional.size() == 2) options.model_path = positional[1];
  return options;
}

// Runs the check; the report goes to standard output as far as it got, a
// failure to carry it out to standard error.
int run_and_report(const CheckOptions& options) {
  std::string report;
  std::string error;
  int status = kExitUsage;
  try {
    status = run_check(options, report);
  } catch (const CheckError& failure) {
    error = failure.what();
  } catch (const std::bad_alloc&) {
    error = "out of memory";
  } catch (const std::exception& failure) {
    error = failure.what();
  }
  std::fwrite(report.data(), 1, report.size(), stdout);
  std::fflush(stdout);
  if (!error.empty()) std::fprintf(stderr, "polyfrep-check: %s\n", error.c_str());
  return error.empty() ? status : kExitUsage;
}

}  // namespace

int run_checker(int argument_count, const char* const* arguments) {
  if (argument_count == 2) {
    const std::string_view only = arguments[1];
    if (only == "--help" || only == "-h") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return 0;
    }
    if (only == "--version") {
      std::printf("polyfrep-check %s\n", POLYFREP_VERSION);
      return 0;
    }
  }
  CheckOptions options;
  try {
    options = parse_command_line(argument_count, arguments);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "polyfrep-check: %s\n%.*s", error.message.c_str(),
                 static_cast<int>(kUsage.size()), kUsage.data());
    return kExitUsage;
  }
  return run_and_report(options);
}

}  // namespace polyfrep
