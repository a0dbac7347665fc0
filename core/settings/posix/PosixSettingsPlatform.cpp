// The settings' system calls on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "settings/SettingsPlatform.h"

namespace {

namespace fs = std::filesystem;

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || *value != '/') return std::nullopt;  // unset, empty or relative: no use
  return std::string(value);
}

// XDG_DOCUMENTS_DIR of user-dirs.dirs, read as xdg-user-dir does: the last
// line that sets it, with a value in double quotes that is "$HOME/..." or an
// absolute path; a backslash takes the next character as it is.
std::optional<std::string> XdgDocumentsDir(const std::string& userDirsFile,
                                           const std::optional<std::string>& home) {
  std::ifstream in(userDirsFile);
  std::optional<std::string> found;
  std::string line;
  while (std::getline(in, line)) {
    std::size_t p = line.find_first_not_of(" \t");
    const std::string_view name = "XDG_DOCUMENTS_DIR";
    if (p == line.npos || line.compare(p, name.size(), name) != 0) continue;
    p = line.find_first_not_of(" \t", p + name.size());
    if (p == line.npos || line[p] != '=') continue;
    p = line.find_first_not_of(" \t", p + 1);
    if (p == line.npos || line[p] != '"') continue;
    ++p;
    std::string dir;
    if (line.compare(p, 6, "$HOME/") == 0) {
      if (!home) continue;
      dir = *home + '/';
      p += 6;
    } else if (p >= line.size() || line[p] != '/') {
      continue;
    }
    for (; p < line.size() && line[p] != '"'; ++p) {
      if (line[p] == '\\' && p + 1 < line.size()) ++p;
      dir += line[p];
    }
    found = dir;
  }
  return found;
}

// The file a chain of links ends at, whether it is there or not; a link's
// relative target counts from the link's folder. After as many links as the
// system follows, the last one is given, where stat then fails with ELOOP.
std::string LinkTarget(std::string file) {
  for (int links = 0; links < 40; ++links) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(file, ec))) break;
    const fs::path next = fs::read_symlink(file, ec);
    if (ec) break;
    file = (fs::path(file).parent_path() / next).string();
  }
  return file;
}

class PosixSettingsPlatform : public SettingsPlatform {
 public:
  std::string ProgramDir() override {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::current_path(ec) / "program";
    if (ec) return "./";
    return exe.parent_path().string() + '/';
  }

  std::optional<std::string> DocumentsFolder() override {
    const std::optional<std::string> home = Environment("HOME");
    const std::optional<std::string> config = Environment("XDG_CONFIG_HOME");
    std::optional<std::string> userDirs;
    if (config)
      userDirs = *config + "/user-dirs.dirs";
    else if (home)
      userDirs = *home + "/.config/user-dirs.dirs";
    if (userDirs) {
      if (auto xdg = XdgDocumentsDir(*userDirs, home)) return xdg;
    }
    if (home) return *home + "/Documents";
    return std::nullopt;
  }

  bool CreateFolders(const std::string& folder) override {
    fs::path path(folder);
    while (path.has_relative_path() && !path.has_filename()) path = path.parent_path();  // trailing '/'
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
  }

  bool ReplaceFile(const std::string& file, std::string_view contents) override {
    // A link stays a link: the file it names is the one replaced, or made.
    const std::string target = LinkTarget(file);
    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists) {
      // A file without any write permission is read-only for root as well,
      // as the read-only attribute is on Windows; rename would otherwise
      // replace it for anyone who may write to its folder.
      if (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)
        return false;
    } else if (errno != ENOENT) {
      return false;  // a loop of links among others
    }

    // A sibling in the same folder (so the rename stays on one file system),
    // hidden, with a name nobody else holds.
    const fs::path targetPath(target);
    std::random_device random;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
      temp =
          (targetPath.parent_path() / ("." + targetPath.filename().string() + "." + std::to_string(random())))
              .string();
      fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    if (exists) {
      fchmod(fd, old.st_mode & 07777);
      if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only root may give the file away; ours it stays.
      }
    }

    bool ok = true;
    for (std::size_t done = 0; ok && done < contents.size();) {
      const ssize_t n = write(fd, contents.data() + done, contents.size() - done);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
      unlink(temp.c_str());
      return false;
    }
    // The rename itself reaches the disk with the folder.
    const std::string folder = targetPath.has_parent_path() ? targetPath.parent_path().string() : ".";
    if (int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
      fsync(dir);
      close(dir);
    }
    return true;
  }
};

}  // namespace

SettingsPlatform& DefaultSettingsPlatform() {
  static PosixSettingsPlatform platform;
  return platform;
}
