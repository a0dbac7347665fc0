#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "settings/SettingsFile.h"

namespace {

TEST(SettingsFile, LanguageIsReadAsWrittenAndZeroWhereThereIsNone) {
  const struct {
    const char* name;
    std::optional<std::string> contents;  // nothing: no file
    int want;
  } cases[] = {
      {"missing file", std::nullopt, 0},
      {"Language=1", "[VIEW]\nLanguage=1\n", 1},
      {"Language=0x2", "[VIEW]\nLanguage=0x2\n", 2},
      {"Language=$1", "[VIEW]\nLanguage=$1\n", 1},
      {"Language=7, kept as read", "[VIEW]\nLanguage=7\n", 7},
      {"Language=-1, kept as read", "[VIEW]\nLanguage=-1\n", -1},
      {"Language=abc", "[VIEW]\nLanguage=abc\n", 0},
      {"missing section", "[OTHER]\nLanguage=2\n", 0},
      {"missing key", "[VIEW]\nLang=2\n", 0},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const std::string file = folder / "KQ-30_Firmware.ini";
    if (c.contents) WriteFile(file, *c.contents);
    EXPECT_EQ(ReadLanguageSetting(file), c.want) << c.name;
  }
}

TEST(SettingsFile, WriteLanguageSettingMakesTheFileThenChangesOnlyTheLanguage) {
  TempFolder folder;
  const std::string file = folder / "KQ-30_Firmware.ini";
  WriteLanguageSetting(file, 1);
  EXPECT_EQ(ReadFile(file), "[VIEW]\nLanguage=1\n");
  WriteFile(file, "[VIEW]\nLanguage=1\nMine=yes\n[USER]\nA=1\n");
  WriteLanguageSetting(file, 2);
  EXPECT_EQ(ReadFile(file), "[VIEW]\nLanguage=2\nMine=yes\n[USER]\nA=1\n");
  EXPECT_EQ(ReadLanguageSetting(file), 2);
}

TEST(SettingsPlatform, DocumentsFolderIsTheXdgOneElseHomesDocuments) {
  // In the rows, ~ stands for $HOME and @ for the test's own folder.
  const struct {
    const char* name;
    bool home;
    bool configHome;       // XDG_CONFIG_HOME set to @/config
    const char* userDirs;  // the text of user-dirs.dirs, or none
    std::optional<std::string> want;
  } cases[] = {
      {"XDG folder under $HOME", true, false, "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", "~/Dokumente"},
      {"XDG_CONFIG_HOME's file", true, true, "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "~/Docs"},
      {"absolute, escaped, the last line wins", true, false,
       "# XDG_DOCUMENTS_DIR=\"$HOME/no\"\nXDG_DOCUMENTS_DIR=\"$HOME/first\"\n  XDG_DOCUMENTS_DIR = \"@/My\\ "
       "\\\"Docs\"\n",
       "@/My \"Docs"},
      {"relative entry ignored", true, false, "XDG_DOCUMENTS_DIR=\"Docs\"\n", "~/Documents"},
      {"$HOME without a folder ignored", true, false, "XDG_DOCUMENTS_DIR=\"$HOME\"\n", "~/Documents"},
      {"no user-dirs.dirs", true, false, nullptr, "~/Documents"},
      {"no HOME", false, false, nullptr, std::nullopt},
      {"no HOME but an absolute XDG folder", false, true, "XDG_DOCUMENTS_DIR=\"@/Docs\"\n", "@/Docs"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const std::string root = folder.Path().string(), home = root + "/home";
    auto expand = [&](std::string s) {
      for (auto [mark, with] : {std::pair{'~', home}, std::pair{'@', root}})
        for (std::size_t at; (at = s.find(mark)) != s.npos;) s.replace(at, 1, with);
      return s;
    };
    ScopedEnv homeEnv("HOME", c.home ? std::optional(home) : std::nullopt);
    ScopedEnv configEnv("XDG_CONFIG_HOME", c.configHome ? std::optional(root + "/config") : std::nullopt);
    // A file where the other variable would look, which must not be read.
    WriteFile(home + "/.config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/wrong\"\n");
    if (c.userDirs)
      WriteFile((c.configHome ? root + "/config" : home + "/.config") + "/user-dirs.dirs",
                expand(c.userDirs));
    else
      fs::remove(home + "/.config/user-dirs.dirs");
    const std::optional<std::string> got = DefaultSettingsPlatform().DocumentsFolder();
    EXPECT_EQ(got, c.want ? std::optional(expand(*c.want)) : std::nullopt) << c.name;
  }
}

TEST(SettingsPlatform, ProgramDirIsTheFolderOfTheProgramFile) {
  const std::string dir = DefaultSettingsPlatform().ProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(fs::equivalent(dir + fs::read_symlink("/proc/self/exe").filename().string(), "/proc/self/exe"));
}

// The system's platform with the documents folder and the program's folder
// the test gives.
class FoldersAt : public SettingsPlatform {
 public:
  FoldersAt(std::string programDir, std::optional<std::string> documents)
      : programDir_(std::move(programDir)), documents_(std::move(documents)) {}
  std::string ProgramDir() override { return programDir_; }
  std::optional<std::string> DocumentsFolder() override { return documents_; }
  bool CreateFolders(const std::string& folder) override {
    return DefaultSettingsPlatform().CreateFolders(folder);
  }
  bool ReplaceFile(const std::string& file, std::string_view contents) override {
    return DefaultSettingsPlatform().ReplaceFile(file, contents);
  }

 private:
  std::string programDir_;
  std::optional<std::string> documents_;
};

TEST(SettingsPaths, SettingsFolderIsMadeUnderTheDocumentsFolderElseTheFileLiesThere) {
  const struct {
    const char* name;
    std::optional<std::string> documents;  // under the test's folder; nothing: none
    const char* blocker;                   // a file put in the way, if any
    std::string wantDir;                   // under the test's folder
  } cases[] = {
      {"first start: the folder chain is made", "Docs", nullptr, "Docs/ORVO/Bridgeset/"},
      {"documents with a trailing separator", "Docs/", nullptr, "Docs/ORVO/Bridgeset/"},
      {"no documents folder: the program's", std::nullopt, nullptr, "program/ORVO/Bridgeset/"},
      {"folder can't be made", "Docs", "Docs/ORVO", "Docs/"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    const std::string root = folder.Path().string() + "/";
    fs::create_directory(root + "program");
    if (c.blocker) WriteFile(root + c.blocker, "");
    FoldersAt platform(root + "program/", c.documents ? std::optional(root + *c.documents) : std::nullopt);
    const SettingsPaths paths = WorkOutSettingsPaths(platform);
    EXPECT_EQ(paths.ProgramDir, root + "program/") << c.name;
    EXPECT_EQ(paths.SettingsDir, root + c.wantDir) << c.name;
    EXPECT_EQ(paths.SettingsFile, root + c.wantDir + "KQ-30_Firmware.ini") << c.name;
    if (!c.blocker) {
      EXPECT_TRUE(fs::is_directory(paths.SettingsDir)) << c.name;
    }
  }
}

}  // namespace
