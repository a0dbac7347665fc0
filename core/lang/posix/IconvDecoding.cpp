// Code pages through the C library's iconv, which knows Windows' tables by
// their names CP1250, CP936 and CP950.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "lang/TextDecoding.h"

std::optional<std::string> DecodeWithSystemTables(std::string_view bytes, int codePage) {
  const std::string from = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* next = buffer;
    size_t room = sizeof buffer;
    const size_t result = iconv(cd, &in, &inLeft, &next, &room);
    out.append(buffer, next - buffer);
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ (no character of the code page) or EINVAL (cut off at the
    // end): one replacement character for the byte, then on with the next.
    out += Utf8Replacement;
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}
