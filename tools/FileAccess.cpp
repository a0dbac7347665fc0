#include "FileAccess.h"

#include <cstdio>

std::string PrintableFileText(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string QuotedPath(const std::string& path) {
  // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about the
  // same text written as one sum of strings.
  std::string quoted = "\"";
  quoted += PrintableFileText(path);
  quoted += '"';
  return quoted;
}
