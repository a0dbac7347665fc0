// Code pages through the C library's iconv, which knows Windows' tables by
// their names CP1250, CP936 and CP950.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "lang/TextDecoding.h"

namespace {

const char* const Replacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string DecodeToUtf8(std::string_view bytes, int codePage) {
  if (IsAscii(bytes)) return std::string(bytes);  // the same in every code page
  const std::string from = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  std::string out;
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // A code page the system can't convert: only the ASCII characters show.
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) out += c;
      else out += Replacement;
    }
    return out;
  }
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
    out += Replacement;
    ++in;
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}
