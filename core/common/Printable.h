#pragma once
// Text from outside (the unit's replies, a device's USB strings) made safe
// for a terminal or a label: control characters and bytes above 0x7E as
// \xHH and the backslash doubled, so such text can neither clear nor retitle
// a terminal, and bytes that are no UTF-8 still show what they are.
#include <string>

std::string Printable(const std::string& text);

// A JSON string holding Printable(text): only its quotes and backslashes
// need escaping, so what a script reads is what a terminal shows.
std::string JsonString(const std::string& text);

// A JSON string holding text as it stands (UTF-8): its quotes, backslashes
// and control characters escaped. For text that is printable already.
std::string JsonQuoted(const std::string& text);
