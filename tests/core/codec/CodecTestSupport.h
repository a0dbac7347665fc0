#pragma once
// Helpers of the codec tests.
#include <string>

#include "codec/Sentence.h"

// A record with the given header and body, as GatherFields would leave it.
template <class Fields>
SentenceRecord MakeRecord(const char* talker, const char* id, Fields body, char subfield = 0) {
  SentenceRecord record;
  std::snprintf(record.TalkerId, sizeof record.TalkerId, "%s", talker);
  std::snprintf(record.SentenceId, sizeof record.SentenceId, "%s", id);
  record.SubfieldChar = subfield;
  record.Body = std::move(body);
  return record;
}

// The line of a record without its "*hh\r\n" tail, or "<refused>". Checks
// that the tail is well formed on the way.
inline std::string LineBeforeChecksum(const SentenceRecord& record) {
  std::string line;
  if (!FormatSentence(line, record)) return "<refused>";
  const size_t star = line.rfind('*');
  if (star == std::string::npos || line.size() != star + 5 || line.compare(star + 3, 2, "\r\n") != 0) {
    return "<bad tail: " + line + ">";
  }
  return line.substr(0, star);
}

// The checksum two hexadecimal digits should carry, counted here from the
// text between the start character and "*".
inline std::string ExpectedChecksum(const std::string& body) {
  unsigned value = 0;
  for (size_t i = 1; i < body.size(); ++i) value ^= static_cast<unsigned char>(body[i]);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", value);
  return digits;
}
