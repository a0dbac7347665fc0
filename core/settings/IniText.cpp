#include "settings/IniText.h"

#include <algorithm>
#include <cstdint>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

bool Quoted(std::string_view v) {
  return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

enum class LineKind { Other, Section, Key };

struct IniLine {
  std::size_t Begin = 0;  // of the line's text
  std::size_t End = 0;    // of its text, before the '\n'
  std::size_t Next = 0;   // where the next line begins
  LineKind Kind = LineKind::Other;
  std::string_view Name;   // of the section or key, trimmed
  std::string_view Value;  // of the key, trimmed, quotes still on
  bool Blank = true;
};

// The lines of a text one after another; a UTF-8 byte-order mark before the
// first line is not part of it.
class IniLines {
 public:
  explicit IniLines(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  bool Next(IniLine& line) {
    if (pos_ >= text_.size()) return false;
    line = IniLine{};
    line.Begin = pos_;
    const std::size_t nl = text_.find('\n', pos_);
    line.End = nl == text_.npos ? text_.size() : nl;
    line.Next = nl == text_.npos ? text_.size() : nl + 1;
    pos_ = line.Next;

    const std::string_view body = Trim(text_.substr(line.Begin, line.End - line.Begin));
    line.Blank = body.empty();
    if (body.empty() || body.front() == ';') return true;
    if (body.front() == '[') {
      const std::size_t close = body.rfind(']');
      if (close != body.npos && close > 0) {
        line.Kind = LineKind::Section;
        line.Name = Trim(body.substr(1, close - 1));
        return true;
      }
    }
    const std::size_t eq = body.find('=');
    if (eq == body.npos) return true;
    line.Name = Trim(body.substr(0, eq));
    if (line.Name.empty()) return true;
    line.Kind = LineKind::Key;
    line.Value = Trim(body.substr(eq + 1));
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// Goes through the first section named section; onLine sees each of its
// lines after the header and stops the walk by returning true. False when
// the text has no such section.
template <typename F>
bool WalkSection(std::string_view contents, std::string_view section, F onLine, IniLine* header = nullptr) {
  IniLines lines(contents);
  IniLine line;
  bool inside = false;
  while (lines.Next(line)) {
    if (line.Kind == LineKind::Section) {
      if (inside) break;
      inside = SameName(line.Name, section);
      if (inside && header) *header = line;
      continue;
    }
    if (inside && onLine(line)) return true;
  }
  return inside;
}

}  // namespace

std::optional<std::string> ReadIniValue(std::string_view contents, std::string_view section,
                                        std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  std::optional<std::string> found;
  WalkSection(contents, section, [&](const IniLine& line) {
    if (line.Kind != LineKind::Key || !SameName(line.Name, key)) return false;
    std::string_view v = line.Value;
    if (Quoted(v)) v = v.substr(1, v.size() - 2);
    found = std::string(v.substr(0, IniValueMax));
    return true;
  });
  return found;
}

std::optional<std::string> WriteIniValue(std::string_view contents, std::string_view section,
                                         std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
    return std::nullopt;
  if (key.find('=') != key.npos || key.front() == ';' || key.front() == '[') return std::nullopt;

  std::string stored(value);
  if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || Quoted(value)))
    stored = '"' + stored + '"';
  const std::size_t firstBreak = contents.find('\n');
  const std::string_view eol =
      firstBreak != contents.npos && firstBreak > 0 && contents[firstBreak - 1] == '\r'
          ? std::string_view("\r\n")
          : std::string_view("\n");

  std::string out(contents);
  std::optional<IniLine> keyLine;
  IniLine header;
  std::size_t insertAt = 0;  // after the section's last line that is not blank
  const bool haveSection = WalkSection(
      contents, section,
      [&](const IniLine& line) {
        if (line.Kind == LineKind::Key && SameName(line.Name, key)) {
          keyLine = line;
          return true;
        }
        if (!line.Blank) insertAt = line.Next;
        return false;
      },
      &header);

  if (keyLine) {
    // The key keeps its spelling, and the line its CR where it had one.
    std::string text = std::string(keyLine->Name) + '=' + stored;
    if (keyLine->End > keyLine->Begin && contents[keyLine->End - 1] == '\r') text += '\r';
    return out.replace(keyLine->Begin, keyLine->End - keyLine->Begin, text);
  }
  const bool unterminated = !contents.empty() && contents.back() != '\n';
  if (haveSection) {
    insertAt = std::max(insertAt, header.Next);
    std::string text = std::string(key) + '=' + stored + std::string(eol);
    if (insertAt == contents.size() && unterminated) text.insert(0, eol);
    return out.insert(insertAt, text);
  }
  if (unterminated) out += eol;
  out += '[';
  out += section;
  out += ']';
  out += eol;
  out += key;
  out += '=';
  out += stored;
  out += eol;
  return out;
}

int IniTextToInteger(std::string_view text, int defaultValue) {
  std::string t(text);
  if (t.size() >= 3 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = '$' + t.substr(2);
  std::size_t i = t.find_first_not_of(' ');
  if (i == t.npos) return defaultValue;
  const bool negative = t[i] == '-';
  if (t[i] == '-' || t[i] == '+') ++i;
  const bool hex = i < t.size() && t[i] == '$';
  if (hex) ++i;
  if (i == t.size()) return defaultValue;
  const std::uint64_t limit = hex ? 0xFFFFFFFFu : 2147483648u;
  std::uint64_t v = 0;
  for (; i < t.size(); ++i) {
    const char c = Lower(t[i]);
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return defaultValue;
    v = v * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    if (v > limit) return defaultValue;
  }
  if (hex) {
    // Hexadecimal is a 32-bit pattern: $FFFFFFFF is -1.
    std::uint32_t bits = static_cast<std::uint32_t>(v);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
  }
  if (!negative && v > 2147483647u) return defaultValue;
  return static_cast<int>(negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v));
}
