#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace polyfrep::testing {

// A fresh directory under the system's temporary directory, removed when
// the object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& content);

struct CommandResult {
  int exit_code = -1;  // the exit status, or 128 + signal number
  std::string standard_output;
  std::string standard_error;
};

// Runs program with arguments in directory, capturing both output streams.
// `shell_prefix` is put before the command in the shell (e.g. "ulimit -s 256;");
// standard input is the file `standard_input`, or what the prefix pipes in
// when `standard_input` is empty.
CommandResult run_program(const std::filesystem::path& program,
                          const std::vector<std::string>& arguments,
                          const std::filesystem::path& directory,
                          const std::string& shell_prefix = "",
                          const std::filesystem::path& standard_input = "/dev/null");

// The converter built beside the tests.
std::filesystem::path converter_path();

// Folder of golden inputs and outputs.
std::filesystem::path test_data_dir();

// The value as a reader of it printed with `digits` significant digits gets
// it back ("%.*g", then strtod).
double rounded_to_digits(double value, int digits);

}  // namespace polyfrep::testing
