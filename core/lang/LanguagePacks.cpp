#include "lang/LanguagePacks.h"

#include <filesystem>

namespace {

// English uses the Central European set and its code page, not ANSI; the
// English files are plain ASCII, which every one of them reads alike.
constexpr LanguagePack Packs[] = {
    {0, "EN", 238, 1250},  // EASTEUROPE_CHARSET
    {1, "TW", 136, 950},   // CHINESEBIG5_CHARSET, Big5
    {2, "CN", 134, 936},   // GB2312_CHARSET
};

std::string InLangFolder(const std::string& programDir, const std::string& name) {
  return programDir + "Lang" + char(std::filesystem::path::preferred_separator) + name;
}

}  // namespace

const LanguagePack* LanguagePackForTag(int tag) {
  for (const LanguagePack& pack : Packs)
    if (pack.Index == tag) return &pack;
  return nullptr;
}

int LanguageMenuTag(int languageIndex) { return languageIndex == 1 || languageIndex == 2 ? languageIndex : 0; }

std::string LanguageFilePath(const std::string& programDir, const LanguagePack& pack) {
  return InLangFolder(programDir, std::string("Lang-") + pack.Code + ".ini");
}

std::string ReadMeFilePath(const std::string& programDir, const LanguagePack& pack) {
  return InLangFolder(programDir, std::string("ReadMe-") + pack.Code + ".txt");
}
