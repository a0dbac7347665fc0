#include "settings/SettingsFile.h"

#include <filesystem>

#include "settings/IniFile.h"

namespace {

constexpr char Separator = std::filesystem::path::preferred_separator;
const char* const Section = "VIEW";
const char* const Key = "Language";

std::string WithoutTrailingSeparators(std::string folder) {
  while (!folder.empty() && (folder.back() == '/' || folder.back() == Separator)) folder.pop_back();
  return folder;
}

}  // namespace

SettingsPaths WorkOutSettingsPaths(SettingsPlatform& platform) {
  SettingsPaths paths;
  paths.ProgramDir = platform.ProgramDir();
  const std::string documents =
      WithoutTrailingSeparators(platform.DocumentsFolder().value_or(paths.ProgramDir)) + Separator;
  paths.SettingsDir = documents + "ORVO" + Separator + "Bridgeset" + Separator;
  if (!platform.CreateFolders(paths.SettingsDir)) paths.SettingsDir = documents;
  paths.SettingsFile = paths.SettingsDir + "KQ-30_Firmware.ini";
  return paths;
}

int ReadLanguageSetting(const std::string& settingsFile) {
  return IniFile(settingsFile).ReadInteger(Section, Key, 0);
}

void WriteLanguageSetting(const std::string& settingsFile, int languageIndex) {
  IniFile(settingsFile).WriteInteger(Section, Key, languageIndex);
}
