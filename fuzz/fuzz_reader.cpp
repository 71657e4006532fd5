// Feeds arbitrary bytes to the polygon reader as the contents of an input
// file and aborts on any broken invariant; the sanitizers catch the rest.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  polyfrep::fuzzing::abort_on_violations("reader", polyfrep::fuzzing::check_reader(text));
  return 0;
}
