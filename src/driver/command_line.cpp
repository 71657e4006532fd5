// The converter's command line: options first, then the file names.
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "driver/conversion.h"
#include "io/model_file.h"
#include "io/model_name.h"
#include "io/number_format.h"

namespace polyfrep {

namespace {

constexpr const char* kHelp =
    "  INPUT        the polygon: a vertex count, then x and y of every vertex in boundary\n"
    "               order (default polyIn2.txt); or a region of polygons with holes from a\n"
    "               .geojson, .json, .shp, .gpkg, .kml or .gml file\n"
    "  MODEL        the model file to write (default: INPUT's name up to its first '.',\n"
    "               then .hf; poly.hf without INPUT)\n"
    "  --digits N   write every number with N significant digits, 6 to 17 (default 6);\n"
    "               the model gets more wherever N would make it describe another polygon\n"
    "  --make-valid repair polygons that cross themselves, or overlap or hold holes outside\n"
    "               them, into the valid region they enclose, and convert that\n"
    "  --help       show this text and stop\n"
    "  --version    show the version and stop\n"
    "Writes the model, and Formula.txt, poly.plt and List.txt in the current directory;\n"
    "prints its argument count. Exit status: 0 converted, 1 a problem was reported,\n"
    "2 a usage error.\n";

struct CommandLine {
  ConversionOptions options;
  bool help = false;
  bool version = false;
  std::string error;   // a usage error; nothing is run
  int first_file = 1;  // the arguments from here on are file names
};

bool parse_digits(std::string_view text, int& digits) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), digits);
  return error == std::errc() && end == text.data() + text.size() && digits >= kDefaultDigits &&
         digits <= kMaxDigits;
}

// Options are recognised only before the file names, in arguments that begin
// with "--"; a lone "--" ends them.
CommandLine parse_command_line(int argument_count, const char* const* arguments) {
  CommandLine line;
  int i = 1;
  for (; i < argument_count && std::string_view(arguments[i]).starts_with("--"); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--") {
      ++i;
      break;
    }
    if (argument == "--help") {
      line.help = true;
    } else if (argument == "--make-valid") {
      line.options.make_valid = true;
    } else if (argument == "--version") {
      line.version = true;
    } else if (argument == "--digits" || argument.starts_with("--digits=")) {
      std::string_view value;
      if (argument != "--digits") {
        value = argument.substr(9);
      } else if (i + 1 < argument_count) {
        value = arguments[++i];
      }
      if (!parse_digits(value, line.options.digits)) {
        line.error = "--digits needs a whole number from 6 to 17, not '" + std::string(value) + "'";
        return line;
      }
    } else {
      line.error = "unknown option '" + std::string(argument) + "'";
      return line;
    }
  }
  line.first_file = i;
  return line;
}

}  // namespace

// The process entry: prints the argument count, reads the options, picks the
// file names from the rest of the command line and runs one conversion.
int run_converter(int argument_count, const char* const* arguments) {
  std::printf("%d\n", argument_count);
  std::fflush(stdout);
  const CommandLine line = parse_command_line(argument_count, arguments);
  if (!line.error.empty()) {
    std::fprintf(stderr, "polyfrep: %s\n%s\n", line.error.c_str(), kUsage);
    return 2;
  }
  if (line.help) {
    std::printf("%s\n%s", kUsage, kHelp);
    return 0;
  }
  if (line.version) {
    std::printf("polyfrep %s\n", POLYFREP_VERSION);
    return 0;
  }
  const int file_count = argument_count - line.first_file;
  const char* const* files = arguments + line.first_file;
  if (file_count >= 2) return run_conversion(files[0], files[1], line.options);
  if (file_count == 1) {
    const std::string model_name = derive_model_name(files[0]);
    return run_conversion(files[0], model_name.c_str(), line.options);
  }
  return run_conversion(kDefaultInputName, kDefaultModelName, line.options);
}

}  // namespace polyfrep
