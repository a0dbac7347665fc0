// The shipped language and read-me files decoded as the iconv program decodes
// them: the decoder's handling of chunks, pairs and line ends loses nothing.
#include <gtest/gtest.h>
#include <stdio.h>

#include <fstream>
#include <iterator>

#include "lang/LanguagePacks.h"
#include "lang/TextDecoding.h"

namespace {

std::string Iconv(int codePage, const std::string& path) {
  FILE* p = popen(("iconv -f CP" + std::to_string(codePage) + " -t UTF-8 '" + path + "'").c_str(), "r");
  std::string out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  EXPECT_EQ(pclose(p), 0) << path;
  return out;
}

}  // namespace

TEST(LanguageFile, ShippedFilesDecodeAsIconvDoes) {
  const std::string shipped = KQ30_SOURCE_DIR "/resources/";
  for (int tag : {0, 1, 2}) {
    const LanguagePack& pack = *LanguagePackForTag(tag);
    for (const std::string& file : {LanguageFilePath(shipped, pack), ReadMeFilePath(shipped, pack)}) {
      std::ifstream in(file, std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      EXPECT_EQ(DecodeToUtf8(bytes, pack.CodePage), Iconv(pack.CodePage, file)) << file;
    }
  }
}
