#include "common/PortFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

std::string PortFolderPath() {
  if (const char* dir = std::getenv("KQ30_PORT_DIR"); dir && *dir) return dir;
  // XDG_RUNTIME_DIR is often unset on build machines and in CI.
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return std::string(runtime) + "/kq30-ports";
  return "/tmp/kq30-ports-" + std::to_string(getuid());
}

bool EnsurePortFolder(const std::string& folder) {
  for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
    mkdir(folder.substr(0, slash).c_str(), 0700);
  mkdir(folder.c_str(), 0700);
  return PortFolderTrusted(folder);
}

bool PortFolderTrusted(const std::string& folder) {
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return (st.st_uid == getuid() || st.st_uid == 0) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
