#include "io/text_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "io/number_format.h"

namespace polyfrep {

namespace {

// A file output's buffer: pending bytes are written once it is full.
constexpr std::size_t kFileBufferSize = std::size_t{1} << 20;
constexpr std::size_t kFirstMemoryBufferSize = 4096;

void fail(TextOutput& out, int error_number) {
  if (!out.failed) {
    out.failed = true;
    out.error = error_number;
  }
  out.used = 0;
}

void write_pending(TextOutput& out) {
  const char* data = out.buffer.data();
  std::size_t left = out.used;
  while (left > 0) {
    const ssize_t written = ::write(out.fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      fail(out, errno);
      return;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  out.used = 0;
}

}  // namespace

bool open_text_output(TextOutput& out, const char* path) {
  out = TextOutput{};
  out.fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out.fd < 0) {
    fail(out, errno);
    return false;
  }
  out.buffer.resize(kFileBufferSize);
  return true;
}

bool writes_to_file(const TextOutput& out, const char* path) {
  struct stat open_file;
  struct stat named_file;
  return out.fd >= 0 && ::fstat(out.fd, &open_file) == 0 && ::stat(path, &named_file) == 0 &&
         open_file.st_dev == named_file.st_dev && open_file.st_ino == named_file.st_ino;
}

void make_room(TextOutput& out, std::size_t size) {
  if (out.failed) return;
  if (out.fd >= 0) {
    write_pending(out);
    if (out.failed) return;
  }
  const std::size_t needed = out.used + size;
  if (needed > out.buffer.size()) {
    out.buffer.resize(std::max({needed, 2 * out.buffer.size(), kFirstMemoryBufferSize}));
  }
}

bool close_text_output(TextOutput& out) {
  if (out.fd < 0) return !out.failed;
  if (!out.failed) write_pending(out);
  if (::close(out.fd) != 0) fail(out, errno);
  out.fd = -1;
  return !out.failed;
}

void put_integer(TextOutput& out, long long value) {
  char digits[kMaxNumberText];
  put(out, std::string_view(digits, format_integer(value, digits)));
}

}  // namespace polyfrep
