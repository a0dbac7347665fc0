#pragma once
// The three interface languages: English, Traditional and Simplified Chinese.
// Each has a language file and a read-me file in the folder "Lang" beside the
// program, written in the legacy code page that goes with the language.
#include <string>

struct LanguagePack {
  int Index;          // LanguageIndex, and the tag of the language's menu entry
  const char* Code;   // the files' suffix: Lang-<Code>.ini, ReadMe-<Code>.txt
  int FontCharset;    // the character set of the window fonts
  int CodePage;       // the code page of the two files
};

// The language of a menu entry's tag, or nullptr for any tag but 0, 1 and 2.
const LanguagePack* LanguagePackForTag(int tag);

// The menu entry that shows a saved LanguageIndex: 1 and 2 their own, any
// other value English.
int LanguageMenuTag(int languageIndex);

// ProgramDir followed by Lang/Lang-<Code>.ini and Lang/ReadMe-<Code>.txt,
// with the system's separator.
std::string LanguageFilePath(const std::string& programDir, const LanguagePack& pack);
std::string ReadMeFilePath(const std::string& programDir, const LanguagePack& pack);
