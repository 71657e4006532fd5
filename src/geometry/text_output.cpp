#include "geometry/text_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "geometry/number_format.h"

namespace polyfrep {

namespace {

// Pending bytes are written once they exceed this size.
constexpr std::size_t kFlushThreshold = std::size_t{1} << 20;

void fail(TextOutput& out, int error_number) {
  if (!out.failed) {
    out.failed = true;
    out.error = error_number;
  }
  out.text.clear();
}

void write_pending(TextOutput& out) {
  const char* data = out.text.data();
  std::size_t left = out.text.size();
  while (left > 0) {
    const ssize_t written = ::write(out.fd, data, left);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      fail(out, errno);
      return;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  out.text.clear();
}

}  // namespace

bool open_text_output(TextOutput& out, const char* path) {
  out = TextOutput{};
  out.fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out.fd < 0) {
    fail(out, errno);
    return false;
  }
  out.text.reserve(kFlushThreshold + 4096);
  return true;
}

void flush_if_full(TextOutput& out) {
  if (out.fd >= 0 && out.text.size() >= kFlushThreshold)
    write_pending(out);
}

bool close_text_output(TextOutput& out) {
  if (out.fd < 0)
    return !out.failed;
  if (!out.failed)
    write_pending(out);
  if (::close(out.fd) != 0)
    fail(out, errno);
  out.fd = -1;
  return !out.failed;
}

void put_double(TextOutput& out, double value) {
  char digits[kMaxNumberText];
  put(out, std::string_view(digits, format_double(value, digits)));
}

void put_integer(TextOutput& out, long long value) {
  char digits[kMaxNumberText];
  put(out, std::string_view(digits, format_integer(value, digits)));
}

}  // namespace polyfrep
