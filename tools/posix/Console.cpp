#include "Console.h"

#include <unistd.h>

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;
