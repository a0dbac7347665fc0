// Our INI reader and writer against the system's private-profile functions on
// the same files: where the two read a file differently, a row says why, and
// the test checks that the difference is still the one described.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "Win32TestFolder.h"
#include "settings/IniFile.h"
#include "settings/IniText.h"

namespace {

using std::nullopt;

// What GetPrivateProfileStringA reads, with the reader's room (a value of
// IniValueMax characters and its NUL); nothing for a missing key.
std::optional<std::string> ProfileString(const std::string& file, const char* section, const char* key) {
  const std::string missing = "\x01missing";
  std::string buffer(IniValueMax + 1, '\0');
  const DWORD n = GetPrivateProfileStringA(section, key, missing.c_str(), buffer.data(),
                                           static_cast<DWORD>(buffer.size()), file.c_str());
  buffer.resize(n);
  if (buffer == missing) return nullopt;
  return buffer;
}

// What our reader reads from the file; nothing for a missing key.
std::optional<std::string> OurString(const std::string& file, const char* section, const char* key) {
  const std::optional<std::string> text = ReadIniFileText(file);
  if (!text) return nullopt;
  return ReadIniValue(*text, section, key);
}

std::string Show(const std::optional<std::string>& value) { return value ? '"' + *value + '"' : "(missing)"; }

struct Lookup {
  const char* section;
  const char* key;
  // Why the system reads this one otherwise, or nullptr where both agree.
  const char* differs = nullptr;
};

struct ReadCase {
  const char* name;
  std::string contents;
  std::vector<Lookup> lookups;
};

TEST(PrivateProfile, ReadsFilesAsGetPrivateProfileStringDoes) {
  const ReadCase cases[] = {
      {"names without regard to case",
       "[View]\r\nLanguage=1\r\n",
       {{"VIEW", "language"}, {"view", "LANGUAGE"}, {"View", "Other"}, {"Other", "Language"}}},
      {"blanks in and around names and values",
       "  [ TAB_BAUD ]  \r\n\t Firmware Upgrade  =  Upgrade now \t\r\nBaud  Rate=2\r\n",
       {{"TAB_BAUD", "Firmware Upgrade"}, {" TAB_BAUD ", " Firmware Upgrade "}, {"TAB_BAUD", "Baud Rate"}}},
      {"quotes",
       "[S]\r\nD=\" a \"\r\nS='b'\r\nM=\"b'\r\nL=\"\r\nI=a \"b\" c\r\nE=\"\"\r\n",
       {{"S", "D"}, {"S", "S"}, {"S", "M"}, {"S", "L"}, {"S", "I"}, {"S", "E"}}},
      {"comments",
       "; head\r\n[S]\r\n;K=1\r\n  ; J=2\r\nK=3 ; three\r\n",
       {{"S", "K"}, {"S", "J"}, {"S", ";K", "a comment line is no key for us; the system reads key \";K\""}}},
      {"two sections with one name, two keys with one name",
       "[S]\r\nA=1\r\nK=first\r\nk=second\r\n[T]\r\nB=2\r\n[s]\r\nK=third\r\nC=3\r\n",
       {{"S", "K"}, {"S", "A"}, {"S", "C"}, {"T", "B"}}},
      {"lines that are no key",
       "K=before\r\n[S]\r\nlone\r\n=novalue\r\nA=a=b\r\nE=\r\n",
       {{"S", "K"},
        {"S", "lone"},
        {"S", "A"},
        {"S", "E"},
        {"S", "", "a line with no name before '=' is no key for us; the system reads an empty key"}}},
      {"section headers",
       "[S] trailing\r\nA=1\r\n[T\r\nB=2\r\n[U]x]\r\nC=3\r\n",
       {{"S", "A"}, {"S", "B"}, {"T", "B"}, {"U]x", "C"}, {"U", "C"}}},
      {"LF line ends, no end at the last line", "[S]\nA=1\nB=2", {{"S", "A"}, {"S", "B"}}},
      {"CR line ends",
       "[S]\rA=1\rB=2\r",
       {{"S", "A", "a lone CR ends no line for us, so the file is one header line; the system splits at it"},
        {"S", "B", "as above"}}},
      {"a name without '=' before the key",
       "[S]\r\nK\r\nK=5\r\n",
       {{"S", "K",
         "a line without '=' is no key for us, so K=5 is the first; the system stops at the name"}}},
      {"control characters",
       "[S]\r\nA=1\x1a\r\nB\t=\v2\f\r\n\x1a\r\n",
       {{"S", "A", "the system takes Ctrl+Z (the old end-of-file mark) for a blank; we keep it in the value"},
        {"S", "B"}}},
      {"UTF-16",
       std::string("\xFF\xFE[\0S\0]\0\r\0\n\0A\0=\0\x31\0\r\0\n\0", 22),
       {{"S", "A", "the system reads UTF-16 files (byte-order mark FF FE); we read bytes only"}}},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF[S]\r\nA=1\r\n", {{"S", "A"}}},
      {"a long value", "[S]\r\nK=" + std::string(3000, 'x') + "\r\n", {{"S", "K"}}},
      {"empty file", "", {{"S", "K"}}},
  };
  Win32TestFolder folder;
  int n = 0;
  for (const ReadCase& c : cases) {
    // A file of its own for each case: the system caches what it read.
    const std::string file = folder / ("read" + std::to_string(n++) + ".ini");
    WriteWholeFile(file, c.contents);
    for (const Lookup& l : c.lookups) {
      const auto ours = OurString(file, l.section, l.key);
      const auto system = ProfileString(file, l.section, l.key);
      const std::string where = std::string(c.name) + ": [" + l.section + "] " + l.key;
      if (l.differs)
        EXPECT_NE(ours, system) << where << " no longer differs (" << l.differs << ")";
      else
        EXPECT_EQ(ours, system) << where << ": ours " << Show(ours) << ", the system's " << Show(system);
    }
  }
}

TEST(PrivateProfile, ReadsIntegersAsGetPrivateProfileIntDoes) {
  const int def = 77;
  const struct {
    std::string line;  // of section [VIEW]
    const char* differs = nullptr;
  } cases[] = {
      {"Language=2"},
      {"Language=0x2"},
      {"Language=-1"},
      {"Language=0"},
      {"Language= 12 "},
      {"Language="},
      {"Other=1"},
      {"Language=2147483647"},
      {"Language=0xFFFFFFFF"},
      {"Language=$10", "'$' starts hexadecimal for us (16); the system reads 0"},
      {"Language=abc", "no number is the default for us; the system reads 0"},
      {"Language=12abc", "text after the digits makes the default for us; the system reads the digits"},
      {"Language=99999999999", "beyond 32 bits is the default for us; the system wraps around"},
  };
  Win32TestFolder folder;
  int n = 0;
  for (const auto& c : cases) {
    const std::string file = folder / ("int" + std::to_string(n++) + ".ini");
    WriteWholeFile(file, "[VIEW]\r\n" + c.line + "\r\n");
    const int ours = IniFile(file).ReadInteger("VIEW", "Language", def);
    const int system = static_cast<int>(GetPrivateProfileIntA("VIEW", "Language", def, file.c_str()));
    if (c.differs)
      EXPECT_NE(ours, system) << c.line << " no longer differs (" << c.differs << ")";
    else
      EXPECT_EQ(ours, system) << c.line;
  }
}

TEST(PrivateProfile, EachWriterWritesWhatTheOtherReads) {
  const std::string contents =
      "; settings\r\n[VIEW]\r\nOther = x\r\n  language = 0 \r\n\r\n[MORE]\r\nA=1\r\n[VIEW]\r\nLanguage=9\r\n";
  const struct {
    const char* section;
    const char* key;
    std::string value;
  } cases[] = {
      {"VIEW", "Language", "1"},
      {"view", "LANGUAGE", "2"},
      {"MORE", "B", "new key"},
      {"NEW", "K", "new section"},
      {"TAB_BAUD", "Firmware Upgrade", "blanks in the key"},
      {"VIEW", "Language", " padded "},
      {"VIEW", "Language", "\"q\""},
      {"VIEW", "Language", "'q'"},
      {"VIEW", "Language", ""},
      {"VIEW", "Language", "a ; b"},
  };
  const Lookup others[] = {
      {"VIEW", "Other"}, {"VIEW", "Language"}, {"MORE", "A"}, {"MORE", "B"}, {"NEW", "K"}};
  Win32TestFolder folder;
  int n = 0;
  for (const auto& c : cases) {
    const std::string where = std::string("[") + c.section + "] " + c.key + "=" + c.value;
    const std::string ourFile = folder / ("ours" + std::to_string(n) + ".ini");
    const std::string systemFile = folder / ("system" + std::to_string(n++) + ".ini");
    WriteWholeFile(ourFile, contents);
    WriteWholeFile(systemFile, contents);

    IniFile(ourFile).WriteString(c.section, c.key, c.value);
    ASSERT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value.c_str(), systemFile.c_str())) << where;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, systemFile.c_str());  // to disk now

    // Our file as the system reads it, the system's as ours reads it.
    EXPECT_EQ(ProfileString(ourFile, c.section, c.key), c.value) << where;
    EXPECT_EQ(OurString(systemFile, c.section, c.key), ProfileString(systemFile, c.section, c.key)) << where;
    // Every other key reads in both files as in the other.
    for (const Lookup& l : others) {
      if (_stricmp(l.section, c.section) == 0 && _stricmp(l.key, c.key) == 0) continue;
      EXPECT_EQ(ProfileString(ourFile, l.section, l.key), ProfileString(systemFile, l.section, l.key))
          << where << ": [" << l.section << "] " << l.key;
    }
  }
}

}  // namespace
