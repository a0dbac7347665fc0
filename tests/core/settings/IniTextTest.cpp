#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "settings/IniText.h"

namespace {

using std::nullopt;

struct ReadCase {
  const char* name;
  std::string contents;
  const char* section;
  const char* key;
  std::optional<std::string> want;
};

TEST(ReadIniValue, ReadsAsThePrivateProfileFunctionsDo) {
  const std::string longValue(3000, 'x');
  const ReadCase cases[] = {
      {"plain", "[VIEW]\nLanguage=1\n", "VIEW", "Language", "1"},
      {"names without regard to case", "[view]\nLANGUAGE=2", "View", "language", "2"},
      {"blanks around names and values", "  [ TAB_BAUD ]  \n\t Firmware Upgrade  =  Upgrade now \r\n",
       "TAB_BAUD", "Firmware Upgrade", "Upgrade now"},
      {"blanks around the names asked for", "[S]\nKey=1\n", " S ", " Key ", "1"},
      {"blanks inside a key count", "[S]\nFirmware  Upgrade=x\n", "S", "Firmware Upgrade", nullopt},
      {"double quotes keep blanks", "[S]\nK=\" a \"\n", "S", "K", " a "},
      {"single quotes", "[S]\nK='b'\n", "S", "K", "b"},
      {"quotes that don't match stay", "[S]\nK=\"b'\n", "S", "K", "\"b'"},
      {"a lone quote stays", "[S]\nK=\"\n", "S", "K", "\""},
      {"a comment line is no key", "[S]\n ;K=1\nK=2\n", "S", "K", "2"},
      {"';' later on a line is text", "[S]\nK=1 ; one\n", "S", "K", "1 ; one"},
      {"only the first of two sections is searched", "[S]\nA=1\n[T]\n[s]\nK=2\n", "S", "K", nullopt},
      {"the first of two keys wins", "[S]\nK=1\nk=2\n", "S", "K", "1"},
      {"a line without '=' is no key", "[S]\nK\n", "S", "K", nullopt},
      {"keys before the first section belong to none", "K=1\n[S]\n", "S", "K", nullopt},
      {"'[' without ']' is no section", "[S\nK=1\n", "S", "K", nullopt},
      {"text after ']' is ignored", "[S] trailing\nK=1\n", "S", "K", "1"},
      {"empty value", "[S]\nK=\n", "S", "K", ""},
      {"value holding '='", "[S]\nK=a=b\n", "S", "K", "a=b"},
      {"missing section", "[T]\nK=1\n", "S", "K", nullopt},
      {"empty file", "", "S", "K", nullopt},
      {"byte-order mark", "\xEF\xBB\xBF[S]\nK=1\n", "S", "K", "1"},
      {"long value cut", "[S]\nK=" + longValue + "\n", "S", "K", longValue.substr(0, IniValueMax)},
  };
  for (const ReadCase& c : cases) EXPECT_EQ(ReadIniValue(c.contents, c.section, c.key), c.want) << c.name;
}

TEST(IniTextToInteger, HexadecimalDecimalOrTheDefault) {
  const int def = 42;
  const struct {
    const char* text;
    int want;
  } cases[] = {
      {"1", 1},
      {"0x2", 2},
      {"0X1f", 31},
      {"$1", 1},
      {"$fF", 255},
      {"-$10", -16},
      {"7", 7},
      {"-1", -1},
      {"+5", 5},
      {" 3", 3},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"$FFFFFFFF", -1},
      {"0x7fffffff", INT_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(IniTextToInteger(c.text, def), c.want) << '"' << c.text << '"';
  for (const char* text : {"abc", "", "0x", "$", "-", "12abc", "1 2", "3 ", "0x-1", "x1", "2147483648",
                           "$100000000", "99999999999999999999999"})
    EXPECT_EQ(IniTextToInteger(text, def), def) << '"' << text << '"';
}

struct WriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  std::string value;
  std::optional<std::string> after;
};

TEST(WriteIniValue, ChangesOnlyTheKeysLine) {
  const WriteCase cases[] = {
      {"new file", "", "VIEW", "Language", "1", "[VIEW]\nLanguage=1\n"},
      {"key's line replaced, its spelling kept, the rest as it was",
       "; settings\n[VIEW]\nOther = x\n  language = 0 \n\n[MORE]\nA=1\n", "VIEW", "Language", "1",
       "; settings\n[VIEW]\nOther = x\nlanguage=1\n\n[MORE]\nA=1\n"},
      {"key added after the section's last line", "[VIEW]\nOther=x\n;end\n\n[MORE]\nA=1", "view", "Language",
       "1", "[VIEW]\nOther=x\n;end\nLanguage=1\n\n[MORE]\nA=1"},
      {"key added to a header at the end", "[VIEW]", "VIEW", "Language", "1", "[VIEW]\nLanguage=1\n"},
      {"section added after an unterminated line", "[MORE]\nA=1", "VIEW", "Language", "2",
       "[MORE]\nA=1\n[VIEW]\nLanguage=2\n"},
      {"CR LF kept", "[VIEW]\r\nLanguage=0\r\nB=2\r\n", "VIEW", "Language", "1",
       "[VIEW]\r\nLanguage=1\r\nB=2\r\n"},
      {"CR LF for new lines", "[A]\r\n", "VIEW", "Language", "1", "[A]\r\n[VIEW]\r\nLanguage=1\r\n"},
      {"into the first of two sections", "[VIEW]\nA=1\n[VIEW]\nLanguage=0\n", "VIEW", "Language", "1",
       "[VIEW]\nA=1\nLanguage=1\n[VIEW]\nLanguage=0\n"},
      {"key with blanks", "[TAB_BAUD]\n", "TAB_BAUD", "Firmware Upgrade", "x",
       "[TAB_BAUD]\nFirmware Upgrade=x\n"},
      {"blanks at the ends quoted", "", "S", "K", " padded ", "[S]\nK=\" padded \"\n"},
      {"a quoted value quoted again", "", "S", "K", "'q'", "[S]\nK=\"'q'\"\n"},
      {"line break in the value", "", "S", "K", "a\nb", nullopt},
      {"CR in the value", "", "S", "K", "a\rb", nullopt},
      {"NUL in the value", "", "S", "K", std::string("a\0b", 3), nullopt},
      {"line break in the section", "", "S\n[T]", "K", "1", nullopt},
      {"'=' in the key", "", "S", "a=b", "1", nullopt},
      {"key read as a comment", "", "S", ";K", "1", nullopt},
      {"key read as a section", "", "S", "[K]", "1", nullopt},
      {"empty key", "", "S", " ", "1", nullopt},
      {"empty section", "", "", "K", "1", nullopt},
  };
  for (const WriteCase& c : cases) {
    const std::optional<std::string> got = WriteIniValue(c.before, c.section, c.key, c.value);
    EXPECT_EQ(got, c.after) << c.name;
    if (got) {
      EXPECT_EQ(ReadIniValue(*got, c.section, c.key), c.value) << c.name << ": read back";
    }
  }
}

}  // namespace
