#pragma once
// What the settings need from the operating system: where the program lies,
// where the user's documents go, making folders, and replacing a file whole.
// POSIX: /proc/self/exe, the XDG documents folder; Windows: the module file
// name and the shell's personal folder.
#include <optional>
#include <string>
#include <string_view>

class SettingsPlatform {
 public:
  virtual ~SettingsPlatform() = default;

  // The folder of the running program file, ending in a separator.
  virtual std::string ProgramDir() = 0;

  // The user's documents folder, or nothing when it can't be determined.
  virtual std::optional<std::string> DocumentsFolder() = 0;

  // Creates folder with every missing parent; true when it is a folder
  // afterwards (also when it was one already).
  virtual bool CreateFolders(const std::string& folder) = 0;

  // Puts contents in place of the file, or makes it: the file holds either
  // its old or its new contents whatever happens, even a crash midway. A file
  // marked read-only stays as it is. False, with the old file whole, when
  // the file can't be written.
  virtual bool ReplaceFile(const std::string& file, std::string_view contents) = 0;
};

// The implementation of the system the program is built for.
SettingsPlatform& DefaultSettingsPlatform();
