#include "settings/IniFile.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "common/Exception.h"
#include "common/RegularFile.h"
#include "settings/IniText.h"

std::optional<std::string> ReadIniFileText(const std::string& fileName) {
  if (!MayReadAsRegularFile(fileName)) return std::nullopt;
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> in(std::fopen(fileName.c_str(), "rb"));
  if (!in) {
    if (errno == ENOENT) return std::string();  // missing: no keys, and a write makes it
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0;) text.append(buffer, n);
  if (std::ferror(in.get())) return std::nullopt;
  // A file saved as UTF-16 is no text this reader can read, and a write
  // would append 8-bit lines to it: it is left as it is.
  if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) return std::nullopt;
  return text;
}

IniFile::IniFile(std::string fileName, SettingsPlatform& platform)
    : fileName_(std::move(fileName)), platform_(platform) {}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  const std::optional<std::string> text = ReadIniFileText(fileName_);
  if (!text) return defaultValue;
  return ReadIniValue(*text, section, key).value_or(defaultValue);
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
  return IniTextToInteger(ReadString(section, key, ""), defaultValue);
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  // A file that is there but can't be read is not written either: its
  // contents would be lost.
  const std::optional<std::string> text = ReadIniFileText(fileName_);
  std::optional<std::string> changed;
  if (text) changed = WriteIniValue(*text, section, key, value);
  if (!changed || !platform_.ReplaceFile(fileName_, *changed))
    throw Exception("Unable to write to " + fileName_);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}
