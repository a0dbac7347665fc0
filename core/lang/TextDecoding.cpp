#include "lang/TextDecoding.h"

#include <algorithm>

std::string DecodeToUtf8(std::string_view bytes, int codePage) {
  const auto ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
  if (std::all_of(bytes.begin(), bytes.end(), ascii)) return std::string(bytes);  // the same in every code page
  if (std::optional<std::string> decoded = DecodeWithSystemTables(bytes, codePage)) return *decoded;
  // A code page the system can't convert: only the ASCII characters show.
  std::string out;
  for (char c : bytes) {
    if (ascii(c)) out += c;
    else out += Utf8Replacement;
  }
  return out;
}

bool IsLeadByte(unsigned char byte, int codePage) {
  return (codePage == 936 || codePage == 950) && byte >= 0x81 && byte <= 0xFE;
}
