#include "FileAccess.h"

#include <cstdio>

std::string QuotedPath(const std::string& path) {
  std::string out = "\"";
  for (unsigned char c : path) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}
