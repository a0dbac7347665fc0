#include "CsvField.h"

std::string CsvField(const std::string& text) {
  const std::string safe = !text.empty() && std::string("=+-@\t\r").find(text[0]) != std::string::npos ? "'" + text : text;
  if (safe.find_first_of(",\"\r\n") == std::string::npos) return safe;
  std::string quoted = "\"";
  for (char c : safe) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}
