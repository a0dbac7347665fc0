#pragma once
// An INI file on disk, one object per operation: each read reads the file,
// each write reads it, changes one key and replaces it whole, so nothing is
// held open between operations. See IniText.h for how the text is read.
#include <optional>
#include <string>

#include "settings/SettingsPlatform.h"

// The whole text of an INI file: empty for a missing file, nothing for one
// that is there but can't be read.
std::optional<std::string> ReadIniFileText(const std::string& fileName);

class IniFile {
 public:
  explicit IniFile(std::string fileName, SettingsPlatform& platform = DefaultSettingsPlatform());

  const std::string& FileName() const { return fileName_; }

  // The value of key in section, or defaultValue when the file, the section
  // or the key is missing or the file can't be read.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;

  // The value read as an integer (IniTextToInteger), defaultValue when it
  // is missing or does not parse.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;

  // Sets key of section to value, making the file if it is missing. Throws
  // Exception("Unable to write to <file>") when the file can't be written;
  // the old file is then left as it was.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);

  // The value written in decimal.
  void WriteInteger(const std::string& section, const std::string& key, int value);

 private:
  std::string fileName_;
  SettingsPlatform& platform_;
};
