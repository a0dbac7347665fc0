#pragma once
// Turning field values into the text of a field. An absent value gives an
// empty text, so that two delimiters meet.
#include <string>

#include "codec/SentenceFields.h"

// printf into a text that grows as needed; gcc and clang check the arguments
// against the format.
#if defined(__GNUC__) || defined(__clang__)
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
#else
std::string FormatText(const char* format, ...);
#endif

// A float field is absent when it is below -99999 or not a finite number.
bool FloatPresent(float value);
// The float under a conversion such as "%4.2f", or empty when absent.
std::string FloatText(float value, const char* format);

// hhmmss.ss, without any check of the values.
std::string TimeText(const SentenceTime& time);

// A character field: the character itself; a stored zero is an empty field.
std::string CharText(char c);

// Decimal degrees split for the ddmm.mmmmm form: whole degrees (truncated),
// minutes (remainder times 60 in single precision, truncated) and the
// five-digit fraction of the minute (truncated). Meant for a value from 0 up
// to a few hundred; a negative, non-finite or huge value gives all zero.
struct SplitDegreesResult {
  int Degrees = 0;
  int Minutes = 0;
  int Fraction = 0;
};
SplitDegreesResult SplitDegrees(float value);
