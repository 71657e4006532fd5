// Runs whole conversions on arbitrary input files. The converter writes its
// outputs under fixed names in the current directory, so the process moves
// once, at start-up, into a private temporary directory of its own.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz/conversion_checks.h"
#include "fuzz/reader_checks.h"

namespace {

namespace fs = std::filesystem;

fs::path& private_directory() {
  static fs::path directory;
  return directory;
}

void remove_private_directory() {
  std::error_code ignored;
  fs::remove_all(private_directory(), ignored);
}

// Memory-backed when the machine offers it: every conversion rewrites its
// output files many times, and a disk makes that the bulk of the run time.
fs::path temporary_base() {
  std::error_code error;
  if (fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// libFuzzer reads its paths after this hook runs, relative to the directory
// it is in then. Corpus directories and the artifact and dictionary paths are
// made absolute, and crash files are sent to the starting directory when no
// prefix is given, so that nothing lands in the private directory.
std::vector<std::string> absolute_arguments(int argc, char** argv, const fs::path& start) {
  static constexpr std::string_view kPathFlags[] = {
      "-artifact_prefix=", "-exact_artifact_path=", "-dict=", "-features_dir=",
      "-merge_control_file="};
  std::vector<std::string> arguments{argv[0]};
  bool has_artifact_path = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    std::string rewritten(argument);
    if (!starts_with(argument, "-")) {
      rewritten = (start / argument).string();
    }
    for (std::string_view flag : kPathFlags) {
      if (starts_with(argument, flag) && argument.size() > flag.size()) {
        rewritten = std::string(flag) + (start / argument.substr(flag.size())).string();
      }
    }
    has_artifact_path |= starts_with(argument, "-artifact_prefix=") ||
                         starts_with(argument, "-exact_artifact_path=");
    arguments.push_back(rewritten);
  }
  if (!has_artifact_path) arguments.push_back("-artifact_prefix=" + (start / "").string());
  return arguments;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  const fs::path start = fs::current_path();
  static std::vector<std::string> arguments = absolute_arguments(*argc, *argv, start);
  static std::vector<char*> pointers;
  for (std::string& argument : arguments)
    pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  *argc = static_cast<int>(arguments.size());
  *argv = pointers.data();

  std::string pattern = (temporary_base() / "polyfrep-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr || ::chdir(pattern.c_str()) != 0) {
    std::perror("cannot make and enter a private temporary directory");
    std::abort();
  }
  private_directory() = pattern;
  std::atexit(remove_private_directory);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Rejected inputs are kept out of the corpus.
  if (!polyfrep::fuzzing::conversion_input_accepted(text)) return -1;
  polyfrep::fuzzing::abort_on_violations("conversion", polyfrep::fuzzing::check_conversion(text));
  return 0;
}
