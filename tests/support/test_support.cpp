#include "support/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace polyfrep::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "polyfrep-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create temp dir");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests make files read-only on purpose; give the owner rights back first.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void write_file(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

namespace {

std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace

CommandResult run_program(const fs::path& program, const std::vector<std::string>& arguments,
                          const fs::path& directory, const std::string& shell_prefix,
                          const fs::path& standard_input) {
  TempDir capture;
  const fs::path out_path = capture / "stdout";
  const fs::path err_path = capture / "stderr";
  std::string command = "cd " + shell_quote(directory.string()) + " && " + shell_prefix + " " +
                        shell_quote(program.string());
  for (const std::string& argument : arguments)
    command += " " + shell_quote(argument);
  if (!standard_input.empty()) command += " <" + shell_quote(standard_input.string());
  command += " >" + shell_quote(out_path.string()) + " 2>" + shell_quote(err_path.string());
  const int status = std::system(command.c_str());
  CommandResult result;
  if (status != -1 && WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else if (status != -1 && WIFSIGNALED(status)) {
    result.exit_code = 128 + WTERMSIG(status);
  }
  result.standard_output = read_file(out_path);
  result.standard_error = read_file(err_path);
  return result;
}

fs::path converter_path() {
#ifdef POLYFREP_EXECUTABLE
  return POLYFREP_EXECUTABLE;
#else
  throw std::runtime_error("the converter is not built");
#endif
}

fs::path test_data_dir() {
  return POLYFREP_TEST_DATA_DIR;
}

double rounded_to_digits(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return std::strtod(text, nullptr);
}

}  // namespace polyfrep::testing
