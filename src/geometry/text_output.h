#pragma once

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
  std::string text;     // pending bytes; in memory mode, everything written
};

// Opens path for writing, creating it or truncating it to empty.
// Returns false (and marks the output failed) when it cannot be opened.
bool open_text_output(TextOutput& out, const char* path);

// Flushes what is pending and closes the file. Returns true when every
// write and the close succeeded. An output in memory mode is left as is.
bool close_text_output(TextOutput& out);

// Writes pending bytes to the file once the buffer has grown large.
void flush_if_full(TextOutput& out);

inline void put(TextOutput& out, std::string_view text) {
  if (out.failed)
    return;
  out.text.append(text);
  flush_if_full(out);
}

inline void put(TextOutput& out, char c) {
  if (out.failed)
    return;
  out.text.push_back(c);
  flush_if_full(out);
}

// Numbers through the shared formatter: %g with six digits, plain integers.
void put_double(TextOutput& out, double value);
void put_integer(TextOutput& out, long long value);

}  // namespace polyfrep
