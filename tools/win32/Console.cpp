#include "Console.h"

#include <io.h>
#include <windows.h>

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

Utf8Console::Utf8Console() {
  // Without a console (output to a file or pipe) there is nothing to tell.
  const UINT current = GetConsoleOutputCP();
  if (current == 0 || current == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  previous_ = current;
}

Utf8Console::~Utf8Console() {
  if (previous_) SetConsoleOutputCP(previous_);
}
