// polyfrep-generate: writes one benchmark polygon in the converter's input
// format.
//
//   polyfrep-generate FAMILY VERTEX_COUNT OUTPUT [--seed N]
//   polyfrep-generate --list
//
// OUTPUT "-" writes to standard output. The seed defaults to the benchmark's
// fixed seed, so the same arguments always give the same file.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "polygon_families.h"

namespace {

using polyfrep::bench::Family;

// The benchmark goes up to a million. Far beyond ten million the spiral's
// innermost vertices lie only a few units apart, and rounding them to
// integers could make the band touch itself.
constexpr int kMaximumVertexCount = 10'000'000;

int usage() {
  std::fprintf(stderr,
               "usage: polyfrep-generate FAMILY VERTEX_COUNT OUTPUT [--seed N]\n"
               "       polyfrep-generate --list\n");
  return 2;
}

template <typename Number>
bool parse_number(std::string_view text, Number& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool write_text(const std::string& path, const std::string& text) {
  const bool to_stdout = path == "-";
  std::FILE* file = to_stdout ? stdout : std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "polyfrep-generate: cannot open %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = to_stdout ? std::fflush(file) == 0 : std::fclose(file) == 0;
  if (!written || !closed) {
    std::fprintf(stderr, "polyfrep-generate: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

int list_families() {
  for (const Family family : polyfrep::bench::all_families()) {
    std::printf("%.*s (at least %d vertices)\n",
                static_cast<int>(polyfrep::bench::family_name(family).size()),
                polyfrep::bench::family_name(family).data(),
                polyfrep::bench::minimum_vertex_count(family));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && arguments[0] == "--list")
    return list_families();
  std::uint64_t seed = polyfrep::bench::kBenchmarkSeed;
  std::vector<std::string_view> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--seed") {
      if (i + 1 == arguments.size() || !parse_number(arguments[i + 1], seed))
        return usage();
      ++i;
    } else {
      positional.push_back(arguments[i]);
    }
  }
  if (positional.size() != 3)
    return usage();

  const auto family = polyfrep::bench::parse_family(positional[0]);
  if (!family) {
    std::fprintf(stderr, "polyfrep-generate: unknown family %.*s (see --list)\n",
                 static_cast<int>(positional[0].size()), positional[0].data());
    return 2;
  }
  int vertex_count = 0;
  if (!parse_number(positional[1], vertex_count) || vertex_count > kMaximumVertexCount) {
    std::fprintf(stderr, "polyfrep-generate: vertex count must be an integer up to %d\n",
                 kMaximumVertexCount);
    return 2;
  }
  try {
    const auto vertices = polyfrep::bench::generate_polygon(*family, vertex_count, seed);
    return write_text(std::string(positional[2]), polyfrep::bench::format_polygon(vertices)) ? 0
                                                                                             : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "polyfrep-generate: %s\n", error.what());
    return 2;
  }
}
