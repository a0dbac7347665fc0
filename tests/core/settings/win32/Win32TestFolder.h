#pragma once
// A fresh folder under the temporary folder for the Windows settings tests,
// removed with everything in it (read-only files too) at the end.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class Win32TestFolder {
 public:
  Win32TestFolder() {
    char temp[MAX_PATH + 1];
    GetTempPathA(sizeof temp, temp);
    for (unsigned n = GetTickCount(); path_.empty(); ++n) {
      const std::string candidate = std::string(temp) + "kq30-settings-" + std::to_string(n);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
      else if (GetLastError() != ERROR_ALREADY_EXISTS) break;  // the tests then fail on their files
    }
  }
  ~Win32TestFolder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
      SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(path_, ec);
  }
  Win32TestFolder(const Win32TestFolder&) = delete;
  Win32TestFolder& operator=(const Win32TestFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

inline void WriteWholeFile(const std::string& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

inline std::string ReadWholeFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
