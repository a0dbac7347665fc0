// Code pages through Windows' own conversion tables, one character at a time,
// so that a damaged byte costs only itself, as with iconv on POSIX.
#include <windows.h>

#include <string>

#include "common/win32/WideText.h"
#include "lang/TextDecoding.h"

namespace {

const wchar_t Replacement = 0xFFFD;

// Windows fills the holes of its tables where iconv reports an invalid byte:
// the undefined bytes of a single-byte code page become the C1 control of the
// same value (1250's 0x81 is U+0081), and the user-defined and unassigned
// pairs of the Chinese code pages land in the Private Use Area. Neither is a
// character a language file can mean, so both count as damage here, and a
// text decodes as it does on POSIX. The one block of private characters
// iconv's tables map as well, Big5's C6A1 to C8FE, stays.
bool IsCharacter(const unsigned char* bytes, std::size_t length, const wchar_t* units, int count,
                 UINT codePage, bool singleByteCodePage) {
  const wchar_t first = units[0];
  if (first >= 0xE000 && first <= 0xF8FF) {
    const unsigned code = length == 2 ? bytes[0] << 8 | bytes[1] : bytes[0];
    if (codePage != 950 || code < 0xC6A1 || code > 0xC8FE) return false;
  }
  if (singleByteCodePage && first >= 0x80 && first <= 0x9F) return false;
  return count == 1 ||
         (count == 2 && first >= 0xD800 && first <= 0xDBFF && units[1] >= 0xDC00 && units[1] <= 0xDFFF);
}

}  // namespace

std::optional<std::string> DecodeWithSystemTables(std::string_view bytes, int codePage) {
  CPINFO info{};
  if (codePage <= 0 || !IsValidCodePage(static_cast<UINT>(codePage)) ||
      !GetCPInfo(static_cast<UINT>(codePage), &info))
    return std::nullopt;
  std::wstring wide;
  wide.reserve(bytes.size());
  const UINT cp = static_cast<UINT>(codePage);
  const bool singleByte = info.MaxCharSize == 1;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      wide += static_cast<wchar_t>(byte);
      ++i;
      continue;
    }
    const std::size_t length = !singleByte && IsDBCSLeadByteEx(cp, byte) ? 2 : 1;
    wchar_t units[2];
    const int count = i + length <= bytes.size()
                          ? MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data() + i,
                                                static_cast<int>(length), units, 2)
                          : 0;  // a lead byte cut off by the end of the text
    if (count > 0 && IsCharacter(reinterpret_cast<const unsigned char*>(bytes.data()) + i, length, units,
                                 count, cp, singleByte)) {
      wide.append(units, static_cast<std::size_t>(count));
      i += length;
    } else {
      // No character: one replacement for this byte, then on with the next.
      wide += Replacement;
      ++i;
    }
  }
  return Utf8FromWide(wide);
}
