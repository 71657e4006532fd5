# Compiler flags of a fuzzing build: every target gets coverage feedback for
# libFuzzer and both sanitizers, so that a fault anywhere in the converter,
# not only in the fuzz targets, stops the fuzzer with a report.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR
    "POLYFREP_FUZZ needs clang (libFuzzer is part of its runtime); this build uses "
    "${CMAKE_CXX_COMPILER_ID}. Configure a separate build with -DCMAKE_CXX_COMPILER=clang++.")
endif()

include(CheckCXXSourceCompiles)
# Checked on every configure, so that installing the runtime later is noticed.
unset(POLYFREP_HAVE_LIBFUZZER CACHE)
set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer,address,undefined")
set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=fuzzer,address,undefined")
check_cxx_source_compiles([[
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
]] POLYFREP_HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
if(NOT POLYFREP_HAVE_LIBFUZZER)
  message(FATAL_ERROR
    "${CMAKE_CXX_COMPILER} cannot link a libFuzzer target with AddressSanitizer and "
    "UndefinedBehaviorSanitizer: the compiler's fuzzer and sanitizer runtime is missing "
    "(on Debian: the package libclang-rt-14-dev, which .ci/install-deps installs).")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
