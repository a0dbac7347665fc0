#include "device/IntelHex.h"

#include <string>

#include "common/Exception.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void Malformed(std::size_t line, const std::string& problem) {
  throw Exception("HEX line " + std::to_string(line) + ": " + problem);
}

std::string_view Trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

IntelHexRecord ParseRecord(std::string_view text, std::size_t line) {
  if (text.front() != ':') Malformed(line, "a record must start with ':'");
  text.remove_prefix(1);
  if (text.size() % 2 != 0) Malformed(line, "odd number of hexadecimal digits");
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexValue(text[i]);
    const int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) Malformed(line, "a character that is not a hexadecimal digit");
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  if (bytes.size() < 5) Malformed(line, "record too short");
  const std::size_t count = bytes[0];
  if (bytes.size() != count + 5) {
    Malformed(line, "data count " + std::to_string(count) + " does not match the record's length");
  }
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
  if (sum != 0) Malformed(line, "wrong record checksum");

  IntelHexRecord record;
  record.Address = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
  record.Type = bytes[3];
  record.Data.assign(bytes.begin() + 4, bytes.end() - 1);
  record.Line = line;
  switch (record.Type) {
    case ihData:
    case ihEndOfFile:
      break;
    case ihExtendedSegmentAddress:
    case ihExtendedLinearAddress:
      if (count != 2) Malformed(line, "an extended address record must hold 2 bytes");
      break;
    case ihStartSegmentAddress:
    case ihStartLinearAddress:
      if (count != 4) Malformed(line, "a start address record must hold 4 bytes");
      break;
    default:
      Malformed(line, "unknown record type " + std::to_string(record.Type));
  }
  return record;
}

}  // namespace

std::vector<IntelHexRecord> ReadIntelHex(std::string_view text) {
  std::vector<IntelHexRecord> records;
  std::size_t line = 0;
  while (!text.empty()) {
    ++line;
    const std::size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::string_view body = Trimmed(raw);
    if (body.empty()) continue;
    records.push_back(ParseRecord(body, line));
    if (records.back().Type == ihEndOfFile) return records;
  }
  throw Exception("the HEX text has no end-of-file record; it may be truncated");
}
