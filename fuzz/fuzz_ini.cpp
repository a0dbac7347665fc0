// The INI reader and writer on hostile text and names: nothing crashes, no
// value read is longer than the reader's limit, a value written reads back as
// itself, writing it again changes nothing, and no other key changes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/IniText.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// A name as the reader compares it: without blanks around it, in lower case.
std::string Folded(std::string s) {
  const char* blanks = " \t\r\v\f";
  s.erase(0, s.find_first_not_of(blanks));
  s.erase(s.find_last_not_of(blanks) + 1);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(64);
  const std::string key = in.ConsumeRandomLengthString(64);
  const std::string other = in.ConsumeRandomLengthString(64);  // another key of the same section
  const std::string value = in.ConsumeRandomLengthString(4096);
  const int number = in.ConsumeIntegral<int>();
  const std::string contents = in.ConsumeRemainingBytesAsString();

  const auto before = ReadIniValue(contents, section, key);
  if (before) {
    Check(before->size() <= IniValueMax);
    IniTextToInteger(*before, 0);
  }
  Check(IniTextToInteger(std::to_string(number), number == 0 ? 1 : 0) == number);

  const auto written = WriteIniValue(contents, section, key, value);
  if (!written) return 0;
  const auto after = ReadIniValue(*written, section, key);
  Check(after && *after == value.substr(0, IniValueMax));
  Check(WriteIniValue(*written, section, key, value) == written);
  if (Folded(other) != Folded(key))
    Check(ReadIniValue(*written, section, other) == ReadIniValue(contents, section, other));
  return 0;
}
