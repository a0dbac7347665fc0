#pragma once
// A field of the tool's CSV files (RFC 4180), safe to open in a spreadsheet.
#include <string>

// Quoted when it holds a separator, a quote or a line break, its quotes
// doubled; a text that a spreadsheet would take for a formula (one that
// begins with = + - @, a tab or a carriage return: the unit's texts and the
// file's come from outside) gets a leading apostrophe, which shows it as
// the text it is.
std::string CsvField(const std::string& text);
