#pragma once
// Texts the system gives as UTF-16 (registry values, device names, error
// messages, converted code pages), handed on as UTF-8.
#include <string>

// The UTF-8 text of wide, or "" when it is empty or can't be converted.
std::string Utf8FromWide(const std::wstring& wide);
