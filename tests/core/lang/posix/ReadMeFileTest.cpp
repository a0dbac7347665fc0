// A read-me is read only from a regular file: a folder or a pipe in its
// place reads as a missing file, and a pipe never blocks start-up.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "lang/LanguageFile.h"

namespace fs = std::filesystem;

TEST(ReadMe, OnlyARegularFileIsRead) {
  const fs::path folder = fs::temp_directory_path() / ("kq30-read-me-test-" + std::to_string(getpid()));
  fs::create_directories(folder / "folder.txt");
  mkfifo((folder / "pipe.txt").c_str(), 0600);  // would block a reader that opened it
  for (const char* name : {"folder.txt", "pipe.txt"})
    EXPECT_FALSE(ReadMeLines((folder / name).string(), 950)) << name;
  fs::remove_all(folder);
}
