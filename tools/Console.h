#pragma once
// The terminal the tool writes to: whether a stream is one, how wide it is,
// and the console's encoding. The tool writes UTF-8 (device descriptions,
// system messages, the language texts).
#include <cstdio>

// Whether stream goes to a terminal that redraws in place (progress lines
// drawn again with escape sequences) rather than to a file or a pipe, or to
// a console that would print the sequences as text.
bool IsTerminal(std::FILE* stream);

// The columns of the terminal stream goes to; 80 when it is none or does
// not say.
int TerminalWidth(std::FILE* stream);

// While it lives, the console shows the tool's UTF-8 as such and acts on
// escape sequences; then the console gets its own encoding and mode back.
// On Windows a console shows the bytes in its code page (an OEM one such as
// 437 or 936) and prints escape sequences as text unless told; a POSIX
// terminal speaks the locale's encoding and is left alone.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  unsigned previous_ = 0;  // the console's code page before, 0 for none
  // The modes of standard output and standard error before, given back in
  // the reverse order (both are often the same console).
  unsigned long previousModes_[2] = {};
  bool modeSet_[2] = {};
};
