#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "SettingsTestSupport.h"
#include "common/Exception.h"
#include "settings/IniFile.h"

namespace {

const std::string OldText = "; kept\n[VIEW]\nLanguage=0\n";

// Runs body in a child process and returns whether it returned true. An
// unprivileged child runs as nobody when we are root, for whom permissions
// don't hold; a file size limit makes every write past it fail.
bool InChild(const std::function<bool()>& body, bool unprivileged, rlim_t fileSizeLimit) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (unprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(2);
    if (fileSizeLimit != RLIM_INFINITY) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
    }
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(IniFile, AWriteThatFailsSaysSoAndLeavesTheOldFileWhole) {
  const struct {
    const char* name;
    // Puts the file (and what keeps it from being written) in place.
    std::function<void(const TempFolder&, const std::string& file)> prepare;
    bool unprivileged;
    rlim_t fileSizeLimit;
  } cases[] = {
      {"read-only file",
       [](const TempFolder&, const std::string& file) {
         WriteFile(file, OldText);
         chmod(file.c_str(), 0444);
       },
       false, RLIM_INFINITY},
      {"folder nobody may write to",
       [](const TempFolder& folder, const std::string& file) {
         WriteFile(file, OldText);
         chmod(file.c_str(), 0666);
         chmod(folder.Path().c_str(), 0555);
       },
       true, RLIM_INFINITY},
      {"disk full midway", [](const TempFolder&, const std::string& file) { WriteFile(file, OldText); },
       false, OldText.size() / 2},
      {"a folder in the file's place",
       [](const TempFolder&, const std::string& file) { fs::create_directory(file); }, false, RLIM_INFINITY},
      {"missing folder", [](const TempFolder&, const std::string&) {}, false, RLIM_INFINITY},
      {"a file saved as UTF-16 (its 8-bit keys would be appended to it)",
       [](const TempFolder&, const std::string& file) {
         WriteFile(file, std::string("\xFF\xFE[\0V\0]\0\r\0\n\0", 12));
       },
       false, RLIM_INFINITY},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const std::string file = c.name == std::string("missing folder") ? folder / "gone/KQ-30_Firmware.ini"
                                                                     : folder / "KQ-30_Firmware.ini";
    c.prepare(folder, file);
    const std::string before = ReadFile(file);
    EXPECT_TRUE(InChild(
        [&] {
          try {
            IniFile(file).WriteString("VIEW", "Language", std::string(100, '1'));
          } catch (const Exception& e) {
            return e.what() == "Unable to write to " + file;
          }
          return false;
        },
        c.unprivileged, c.fileSizeLimit))
        << c.name;
    EXPECT_EQ(ReadFile(file), before) << c.name;
    chmod(folder.Path().c_str(), 0700);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()),
              fs::exists(file) ? 1 : 0)
        << c.name << ": a sibling was left behind";
  }
}

TEST(IniFile, ReadsDefaultsWhereThereIsNothingToRead) {
  TempFolder folder;
  fs::create_directory(folder / "folder.ini");
  mkfifo((folder / "pipe.ini").c_str(), 0600);  // would block a reader that opened it
  for (const char* name : {"missing.ini", "folder.ini", "pipe.ini"}) {
    const IniFile ini(folder / name);
    EXPECT_EQ(ini.ReadString("VIEW", "Language", "dflt"), "dflt") << name;
    EXPECT_EQ(ini.ReadInteger("VIEW", "Language", 5), 5) << name;
  }
}

TEST(IniFile, WritesMakeTheFileAndGoThroughALinkToTheFileItNames) {
  TempFolder folder;
  const std::string target = folder / "real.ini", link = folder / "link.ini";
  IniFile(target).WriteInteger("VIEW", "Language", -1);
  EXPECT_EQ(ReadFile(target), "[VIEW]\nLanguage=-1\n");
  chmod(target.c_str(), 0640);
  fs::create_symlink(target, link);

  IniFile(link).WriteString("VIEW", "Language", "2");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "[VIEW]\nLanguage=2\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(IniFile(link).ReadInteger("view", "LANGUAGE", 0), 2);

  // A link to a file not made yet makes that file, counted from the link's
  // own folder, and stays a link.
  fs::create_directory(folder / "sub");
  const std::string dangling = folder / "sub/dangling.ini";
  fs::create_symlink("made.ini", dangling);
  IniFile(dangling).WriteInteger("VIEW", "Language", 1);
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(ReadFile(folder / "sub/made.ini"), "[VIEW]\nLanguage=1\n");
}

}  // namespace
