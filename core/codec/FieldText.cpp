#include "codec/FieldText.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(length));
  }
  va_end(again);
  return text;
}

bool FloatPresent(float value) { return std::isfinite(value) && !(value < -99999.0f); }

std::string FloatText(float value, const char* format) {
  return FloatPresent(value) ? FormatText(format, static_cast<double>(value)) : std::string();
}

std::string TimeText(const SentenceTime& time) {
  return FormatText("%02d%02d%02d.%02d", time.Hours, time.Minutes, time.Seconds, time.Hundredths);
}

std::string CharText(char c) { return c == 0 ? std::string() : std::string(1, c); }

SplitDegreesResult SplitDegrees(float value) {
  // Beyond this the whole degrees would not fit the conversion; no position
  // comes near it.
  if (!(value >= 0.0f) || !(value < 1.0e6f)) return {};
  SplitDegreesResult result;
  result.Degrees = static_cast<int>(value);
  const float minutes = (value - static_cast<float>(result.Degrees)) * 60.0f;
  result.Minutes = static_cast<int>(minutes);
  result.Fraction = static_cast<int>((minutes - static_cast<float>(result.Minutes)) * 100000.0f);
  return result;
}
