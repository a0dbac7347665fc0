#pragma once
// The terminal the tool writes to: whether a stream is one, and the console's
// encoding. The tool writes UTF-8 (device descriptions, system messages, the
// language texts).
#include <cstdio>

// Whether stream goes to a terminal (a progress bar then redraws in place)
// rather than to a file or a pipe.
bool IsTerminal(std::FILE* stream);

// While it lives, the console shows the tool's UTF-8 as such; then the
// console gets its own encoding back. On Windows a console shows the bytes
// in its code page (an OEM one such as 437 or 936) unless told; a POSIX
// terminal speaks the locale's encoding and is left alone.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  unsigned previous_ = 0;  // the console's code page before, 0 for none
};
