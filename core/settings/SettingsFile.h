#pragma once
// The per-user settings file: it remembers the interface language, key
// "Language" of section "VIEW" in <documents>/ORVO/Bridgeset/KQ-30_Firmware.ini.
#include <string>

#include "settings/SettingsPlatform.h"

// Where the program and its settings lie; each folder ends in a separator.
struct SettingsPaths {
  std::string ProgramDir;    // the folder of the running program file
  std::string SettingsDir;   // the folder that holds the settings file
  std::string SettingsFile;  // SettingsDir + "KQ-30_Firmware.ini"
};

// The paths, with the settings folder and its missing parents created. The
// documents folder is the platform's, or the program's own folder when the
// platform can't tell one; when the settings folder can't be created the file
// lies directly in the documents folder. Nothing is reported either way.
SettingsPaths WorkOutSettingsPaths(SettingsPlatform& platform = DefaultSettingsPlatform());

// The language stored in the file, any integer as it was written (0 when the
// file, the section or the key is missing, or the value is no number).
int ReadLanguageSetting(const std::string& settingsFile);

// Stores languageIndex in decimal, making the file if needed. Throws
// Exception("Unable to write to <file>") when the file can't be written.
void WriteLanguageSetting(const std::string& settingsFile, int languageIndex);
