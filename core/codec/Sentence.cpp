#include "codec/Sentence.h"

#include <cstring>

#include "codec/SentenceLayouts.h"

namespace {

// Positions in a line are counted in 16 bits: a text must end before 65,535.
constexpr size_t kLongestText = 65534;

// Texts and characters go into a line as they are; one that holds a line
// end, another control character, a start character or the checksum
// delimiter would split the line or hide a second sentence in it, so such a
// line is not sent at all.
bool KeepsFrame(const std::string& line) {
  for (size_t i = 1; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c == 0x7F || c == '$' || c == '!' || c == '*') return false;
  }
  return true;
}

template <size_t N>
void CopyHeader(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size());
}

}  // namespace

SentenceRecord& ProcessSentenceRecord() {
  static SentenceRecord record;
  return record;
}

bool AppendChecksum(std::string& text) {
  if (text.empty() || text.size() > kLongestText) return false;
  unsigned char checksum = 0;
  for (size_t i = 1; i < text.size(); ++i) checksum ^= static_cast<unsigned char>(text[i]);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  text += '*';
  text += kDigits[checksum >> 4];
  text += kDigits[checksum & 0x0F];
  text += "\r\n";
  return true;
}

bool FormatSentence(std::string& out, const SentenceRecord& record) {
  out.clear();
  const SentenceLayout layout = FindSentenceLayout(HeaderText(record.SentenceId));
  if (!layout || !layout(out, record) || !KeepsFrame(out) || !AppendChecksum(out)) {
    out.clear();
    return false;
  }
  return true;
}

bool ComposeSentence(std::string& out, SentenceRecord& record, std::string_view sentenceId,
                     std::string_view talker, const SentenceDataStore& store) {
  out.clear();
  talker = talker.substr(0, talker.find('\0'));
  sentenceId = sentenceId.substr(0, sentenceId.find('\0'));
  if (talker.size() >= sizeof record.TalkerId || sentenceId.size() >= sizeof record.SentenceId) return false;
  CopyHeader(record.TalkerId, talker);
  CopyHeader(record.SentenceId, sentenceId);
  GatherFields(record, store);
  return FormatSentence(out, record);
}

bool ComposeSentence(std::string& out, SentenceRecord& record, std::string_view sentenceId,
                     std::string_view talker) {
  return ComposeSentence(out, record, sentenceId, talker, ProcessSentenceDataStore());
}
