#include "common/Printable.h"

#include <cstdio>

std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, c == '\\' ? "\\\\" : "\\x%02X", c);
      out += escaped;
    }
  }
  return out;
}

std::string JsonString(const std::string& text) { return JsonQuoted(Printable(text)); }

std::string JsonQuoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
      out += escaped;
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out += static_cast<char>(c);
  }
  return out + '"';
}
