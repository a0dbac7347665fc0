#include "settings/IniFile.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include "common/Exception.h"
#include "settings/IniText.h"

// Only regular files are read: a pipe put in the file's place would block the
// reader forever.
std::optional<std::string> ReadIniFileText(const std::string& fileName) {
  std::error_code ec;
  const auto status = std::filesystem::status(fileName, ec);
  if (status.type() == std::filesystem::file_type::not_found) return std::string();
  if (ec || status.type() != std::filesystem::file_type::regular) return std::nullopt;
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return std::nullopt;
  try {
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  } catch (const std::exception&) {  // the stream buffer throws on a read error
    return std::nullopt;
  }
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
