#include "Console.h"

#include <io.h>
#include <windows.h>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {
HANDLE HandleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }
}  // namespace

// A console that does not take escape sequences (one older than Windows 10)
// gets the plain lines a file gets.
bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  return _isatty(_fileno(stream)) != 0 && GetConsoleMode(HandleOf(stream), &mode) &&
         (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int TerminalWidth(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(HandleOf(stream), &info) && info.srWindow.Right > info.srWindow.Left)
    return info.srWindow.Right - info.srWindow.Left + 1;
  return 80;
}

Utf8Console::Utf8Console() {
  for (int i = 0; i < 2; ++i) {
    const HANDLE handle = GetStdHandle(i == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode) || (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING)) continue;
    if (!SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) continue;
    previousModes_[i] = mode;
    modeSet_[i] = true;
  }
  // Without a console (output to a file or pipe) there is nothing to tell.
  const UINT current = GetConsoleOutputCP();
  if (current == 0 || current == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
  previous_ = current;
}

Utf8Console::~Utf8Console() {
  if (previous_) SetConsoleOutputCP(previous_);
  for (int i = 1; i >= 0; --i)
    if (modeSet_[i]) SetConsoleMode(GetStdHandle(i == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE), previousModes_[i]);
}
