#pragma once
// The text of an INI file, read and edited the way the Windows private-profile
// functions do, so the settings and language files stay ordinary INI files:
//   - section and key names compare without regard to case (ASCII), and may
//     hold blanks ("Firmware Upgrade"); blanks around names and values go;
//   - a value in matching double or single quotes loses them;
//   - a line that starts with ';' is a comment; later on a line ';' is text;
//   - of two sections with one name only the first is searched, and of two
//     keys in it the first wins; a line without '=' is no key, and keys
//     before the first section belong to none;
//   - a value is read up to IniValueMax characters.
// Pure functions on the text; IniFile reads and writes the files.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The longest value text a read returns; longer values are cut.
constexpr std::size_t IniValueMax = 2047;

// The value of key in section, or nothing when the file holds no such key.
std::optional<std::string> ReadIniValue(std::string_view contents, std::string_view section,
                                        std::string_view key);

// The text with key of section set to value: only the key's line changes, or
// the key is added at the end of the section, or the section at the end of
// the text; comments, order and everything else stay. Line ends follow the
// text's own (CR LF or LF). A value that would not read back as itself (blanks
// at its ends, or matching quotes around it) is written in double quotes.
// Nothing when the names or the value can't be stored: a line break or NUL
// anywhere, an empty name, '=' in the key, or a key that would read as a
// comment or a section.
std::optional<std::string> WriteIniValue(std::string_view contents, std::string_view section,
                                         std::string_view key, std::string_view value);

// An integer as the INI reader reads one: a text of three characters or more
// that starts with "0x" or "0X" is hexadecimal; otherwise an optional sign and
// decimal digits, or '$' and hexadecimal digits, all of the text. Decimal must
// fit a 32-bit signed integer; hexadecimal takes up to 32 bits (so $FFFFFFFF
// is -1). Anything else gives defaultValue.
int IniTextToInteger(std::string_view text, int defaultValue);
