#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace polyfrep {

// A text writer with one large buffer. It writes either into memory (the
// default, used by tests and by callers that want the text) or into a file
// opened with open_text_output, to which the buffer is flushed in large blocks.
// Like a failed stream, an output whose file could not be opened or written
// ignores every later write; `error` keeps the system's reason for the first
// failure so that the caller can report it.
struct TextOutput {
  int fd = -1;          // the file, or -1 for memory (or a file that failed)
  bool failed = false;  // set on the first failure; later writes do nothing
  int error = 0;        // errno of the first failure
  std::string buffer;   // room for pending bytes; only the first `used` count
  std::size_t used = 0;
};

// Opens path for writing, creating it or truncating it to empty.
// Returns false (and marks the output failed) when it cannot be opened.
bool open_text_output(TextOutput& out, const char* path);

// Whether `path` names the open file that `out` writes to.
bool writes_to_file(const TextOutput& out, const char* path);

// Flushes what is pending and closes the file. Returns true when every
// write and the close succeeded. An output in memory mode is left as is.
bool close_text_output(TextOutput& out);

// Everything written to an output in memory mode.
inline std::string_view written_text(const TextOutput& out) {
  return std::string_view(out.buffer.data(), out.used);
}

// Makes room for `size` more bytes: flushes a file's pending bytes, or grows
// the buffer. May mark the output failed.
void make_room(TextOutput& out, std::size_t size);

// The hot path of every writer: a bounds check and a copy, no call.
inline void put(TextOutput& out, std::string_view text) {
  if (out.used + text.size() > out.buffer.size()) make_room(out, text.size());
  if (out.failed) return;
  std::memcpy(out.buffer.data() + out.used, text.data(), text.size());
  out.used += text.size();
}

inline void put(TextOutput& out, char c) {
  if (out.used == out.buffer.size()) make_room(out, 1);
  if (out.failed) return;
  out.buffer[out.used++] = c;
}

// An integer in plain decimal, through the shared formatter.
void put_integer(TextOutput& out, long long value);

}  // namespace polyfrep
