#pragma once
// Texts of the language files, in a Windows code page, turned into UTF-8 for
// the windows. Decoded by the system's own conversion tables.
#include <optional>
#include <string>
#include <string_view>

// The UTF-8 text of bytes in codePage (1250, 936 or 950). A byte or a pair
// that is no character of the code page, and a double-byte character cut
// off by the end of the text, each become U+FFFD, and decoding goes on with
// the next byte: a damaged file still shows everything that can be read.
std::string DecodeToUtf8(std::string_view bytes, int codePage);

// True when byte starts a two-byte character in codePage (the Chinese code
// pages); texts are cut only between characters.
bool IsLeadByte(unsigned char byte, int codePage);

// U+FFFD, the replacement character, in UTF-8.
inline constexpr std::string_view Utf8Replacement = "\xEF\xBF\xBD";

// The system's own conversion of a text that is not plain ASCII, as
// DecodeToUtf8 describes it, or nothing when the system has no table for
// codePage. posix/ and win32/ implement it.
std::optional<std::string> DecodeWithSystemTables(std::string_view bytes, int codePage);
