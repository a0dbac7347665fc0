#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

#include "Win32TestFolder.h"
#include "settings/IniFile.h"
#include "settings/SettingsPlatform.h"

namespace {

const std::string OldText = "[VIEW]\r\nLanguage=2\r\nOther=kept\r\n";

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool IsFolder(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int EntriesIn(const std::string& folder) {
  int n = 0;
  for (auto it = std::filesystem::directory_iterator(folder); it != std::filesystem::directory_iterator();
       ++it)
    ++n;
  return n;
}

TEST(Win32SettingsPlatform, ReplaceFileWritesWholeOrLeavesTheOldFile) {
  const std::string big(3 * 1024 * 1024 + 1, 'b');  // more than one write
  const struct {
    const char* name;
    // Puts the file (and what keeps it from being written) in place; returns
    // a handle to close afterwards, or INVALID_HANDLE_VALUE.
    std::function<HANDLE(const std::string& file)> prepare;
    std::string old;  // what the file holds before
    std::string contents;
    bool replaced;
  } cases[] = {
      {"new file", [](const std::string&) { return INVALID_HANDLE_VALUE; }, "", "new", true},
      {"old contents replaced",
       [](const std::string& file) {
         WriteWholeFile(file, OldText);
         return INVALID_HANDLE_VALUE;
       },
       OldText, big, true},
      {"read-only file",
       [](const std::string& file) {
         WriteWholeFile(file, OldText);
         SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
         return INVALID_HANDLE_VALUE;
       },
       OldText, "new", false},
      {"held open by another program",
       [](const std::string& file) {
         WriteWholeFile(file, OldText);
         return CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
       },
       OldText, "new", false},
      {"a folder in the file's place",
       [](const std::string& file) {
         CreateDirectoryA(file.c_str(), nullptr);
         return INVALID_HANDLE_VALUE;
       },
       "", "new", false},
  };
  for (const auto& c : cases) {
    Win32TestFolder folder;
    const std::string file = folder / "KQ-30_Firmware.ini";
    const HANDLE held = c.prepare(file);
    const DWORD attributesBefore = Attributes(file);

    EXPECT_EQ(DefaultSettingsPlatform().ReplaceFile(file, c.contents), c.replaced) << c.name;
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(ReadWholeFile(file), c.replaced ? c.contents : c.old) << c.name;
    if (!c.replaced) {
      EXPECT_EQ(Attributes(file), attributesBefore) << c.name;
    }
    EXPECT_EQ(EntriesIn(folder.Path()), 1) << c.name << ": a temporary file was left behind";
  }
  Win32TestFolder folder;
  EXPECT_FALSE(DefaultSettingsPlatform().ReplaceFile(folder / "gone\\KQ-30_Firmware.ini", "new"));
  EXPECT_EQ(EntriesIn(folder.Path()), 0);
}

TEST(Win32SettingsPlatform, ReplaceFileKeepsAHiddenFileHidden) {
  Win32TestFolder folder;
  const std::string file = folder / "hidden.ini";
  WriteWholeFile(file, OldText);
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(DefaultSettingsPlatform().ReplaceFile(file, "new"));
  EXPECT_EQ(ReadWholeFile(file), "new");
  EXPECT_TRUE(Attributes(file) & FILE_ATTRIBUTE_HIDDEN);
}

TEST(Win32SettingsPlatform, CreateFoldersMakesEveryMissingParent) {
  Win32TestFolder folder;
  WriteWholeFile(folder / "file", "x");
  CreateDirectoryA((folder / "there").c_str(), nullptr);
  const struct {
    const char* relative;
    bool made;
  } cases[] = {
      {"a\\b\\c", true},  {"d/e/f/", true},   {"g\\\\h\\", true}, {"there", true},
      {"there\\i", true}, {"file\\j", false}, {"file", false},
  };
  for (const auto& c : cases) {
    const std::string path = folder / c.relative;
    EXPECT_EQ(DefaultSettingsPlatform().CreateFolders(path), c.made) << c.relative;
    EXPECT_EQ(IsFolder(path), c.made) << c.relative;
  }
}

TEST(Win32SettingsPlatform, ProgramDirHoldsThisProgramAndDocumentsIsAFolder) {
  const std::string dir = DefaultSettingsPlatform().ProgramDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_NE(Attributes(dir + "test_settings.exe"), INVALID_FILE_ATTRIBUTES) << dir;
  const std::optional<std::string> documents = DefaultSettingsPlatform().DocumentsFolder();
  ASSERT_TRUE(documents);
  EXPECT_TRUE(IsFolder(*documents)) << *documents;
}

// A name in the system's code page with a character whose byte the standard
// library would take for another (Latin-1) one, or "" where the code page
// has none of the candidates.
std::string NameBeyondLatin1() {
  for (const wchar_t* candidate : {L"\u0160", L"\u0436", L"\u4E2D"}) {  // Š, ж, 中
    char bytes[8] = {};
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, candidate, 1, bytes, sizeof bytes - 1,
                                      nullptr, &lossy);
    if (n > 0 && !lossy && static_cast<unsigned char>(bytes[0]) != static_cast<unsigned>(candidate[0]))
      return std::string("settings-") + bytes + ".ini";
  }
  return "";
}

TEST(IniFile, FileNamedInTheSystemsCodePageIsReadAndKeepsItsOtherKeys) {
  const std::string name = NameBeyondLatin1();
  if (name.empty()) GTEST_SKIP() << "the system's code page has none of the characters tried";
  Win32TestFolder folder;
  const std::string file = folder / name;
  WriteWholeFile(file, OldText);
  ASSERT_EQ(ReadWholeFile(file), OldText) << "the test could not make its file";
  EXPECT_EQ(IniFile(file).ReadInteger("VIEW", "Language", 0), 2);
  IniFile(file).WriteInteger("VIEW", "Language", 1);
  EXPECT_EQ(ReadWholeFile(file), "[VIEW]\r\nLanguage=1\r\nOther=kept\r\n");
}

}  // namespace
