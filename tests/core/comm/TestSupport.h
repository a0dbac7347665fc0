#pragma once
// Small helpers shared by the port tests and the stress test.
#include <functional>
#include <string>

#include "common/Exception.h"

// The text of the error an action raises, or "(nothing raised)".
inline std::string RaisedText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(nothing raised)";
}

#ifndef _WIN32
#include <dirent.h>

// Open file descriptors of this process.
inline int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}
#endif
