// The settings' system calls on Windows.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "settings/SettingsPlatform.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The length of the part of a path no folder is made in: "C:\", "\\server\share\",
// "\\?\C:\", "\"; 0 for a relative path.
std::size_t RootLength(const std::string& path) {
  std::size_t i = 0;
  bool unc = false;
  if (path.rfind("\\\\?\\", 0) == 0) {  // \\?\C:\... or \\?\UNC\server\share\...
    i = 4;
    unc = path.compare(4, 4, "UNC\\") == 0;
    if (unc) i = 8;
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    i = 2;
    unc = true;
  }
  if (unc) {
    for (int part = 0; part < 2 && i < path.size(); ++part) {  // the server and the share
      const std::size_t sep = path.find_first_of("\\/", i);
      i = sep == path.npos ? path.size() : sep + 1;
    }
    return i;
  }
  if (path.size() >= i + 2 && path[i + 1] == ':') i += 2;
  return i < path.size() && IsSeparator(path[i]) ? i + 1 : i;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The path of the file a symbolic link leads to, or the path itself.
std::string FinalPath(const std::string& file) {
  HANDLE h = CreateFileA(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return file;
  std::string path(MAX_PATH, '\0');
  DWORD n = GetFinalPathNameByHandleA(h, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (n >= path.size()) {
    path.resize(n + 1);
    n = GetFinalPathNameByHandleA(h, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  }
  CloseHandle(h);
  if (n == 0 || n >= path.size()) return file;
  path.resize(n);
  return path;
}

bool WriteAll(HANDLE h, std::string_view contents) {
  while (!contents.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size(), 1u << 20));
    DWORD written = 0;
    if (!WriteFile(h, contents.data(), chunk, &written, nullptr) || written == 0) return false;
    contents.remove_prefix(written);
  }
  return true;
}

class Win32SettingsPlatform : public SettingsPlatform {
 public:
  std::string ProgramDir() override {
    std::string path(MAX_PATH, '\0');
    for (;;) {
      const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return ".\\";
      if (n < path.size()) {  // else cut short: try a longer buffer
        path.resize(n);
        break;
      }
      if (path.size() >= 32768) return ".\\";
      path.resize(path.size() * 2);
    }
    const std::size_t sep = path.find_last_of("\\/");
    return sep == path.npos ? ".\\" : path.substr(0, sep + 1);
  }

  std::optional<std::string> DocumentsFolder() override {
    char path[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK || !*path)
      return std::nullopt;
    return std::string(path);
  }

  bool CreateFolders(const std::string& folder) override {
    std::string path = folder;
    const std::size_t root = RootLength(path);
    while (path.size() > root && IsSeparator(path.back())) path.pop_back();
    if (path.empty()) return false;
    // Up to the first folder that is there, then down again making each.
    std::vector<std::string> missing;
    for (std::string p = path; p.size() > root && !IsFolder(p);) {
      missing.push_back(p);
      std::size_t sep = p.find_last_of("\\/");
      if (sep == p.npos || sep < root) break;
      while (sep > root && IsSeparator(p[sep - 1])) --sep;  // "a\\b"
      p.resize(std::max(sep, root));
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) CreateDirectoryA(it->c_str(), nullptr);
    return IsFolder(path);
  }

  bool ReplaceFile(const std::string& file, std::string_view contents) override {
    const DWORD attributes = GetFileAttributesA(file.c_str());
    std::string target = file;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_NOT_FOUND) return false;  // a missing folder, no access, ...
    } else {
      if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
      // A link stays a link: the file it leads to is the one replaced.
      if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) target = FinalPath(file);
    }

    // A sibling in the same folder, so the move stays on one volume, with a
    // name nobody else holds.
    const std::size_t sep = target.find_last_of("\\/");
    const std::string folder = sep == target.npos ? "" : target.substr(0, sep + 1);
    const std::string name = sep == target.npos ? target : target.substr(sep + 1);
    std::random_device random;
    std::string temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && h == INVALID_HANDLE_VALUE; ++attempt) {
      temp = folder + "~" + name + "." + std::to_string(random()) + ".tmp";
      h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
          GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    }
    if (h == INVALID_HANDLE_VALUE) return false;

    bool ok = WriteAll(h, contents) && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    // The file keeps its attributes (hidden, system, ...).
    if (ok && attributes != INVALID_FILE_ATTRIBUTES) {
      const DWORD keep = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
      if (keep) SetFileAttributesA(temp.c_str(), keep);
    }
    // Moving a file over a read-only one fails, so a file marked read-only
    // after the check above stays as well.
    ok = ok && MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
      SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);  // a hidden or system file deletes as well
      DeleteFileA(temp.c_str());
    }
    return ok;
  }
};

}  // namespace

SettingsPlatform& DefaultSettingsPlatform() {
  static Win32SettingsPlatform platform;
  return platform;
}
