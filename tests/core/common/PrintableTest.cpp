// Text from outside, made safe for a terminal and for JSON.
#include <gtest/gtest.h>

#include "common/Printable.h"

TEST(Printable, EscapesControlCharactersBytesBeyondAsciiAndTheBackslash) {
  const struct {
    std::string text, printable, json;
  } rows[] = {
      {"FT232R USB UART", "FT232R USB UART", "\"FT232R USB UART\""},
      {"a\"b\\c", "a\"b\\\\c", "\"a\\\"b\\\\\\\\c\""},
      {"\x1b]0;t\x07\n", "\\x1B]0;t\\x07\\x0A", "\"\\\\x1B]0;t\\\\x07\\\\x0A\""},
      {"Caf\xc3\xa9 \xff", "Caf\\xC3\\xA9 \\xFF", "\"Caf\\\\xC3\\\\xA9 \\\\xFF\""},
      {std::string("a\0b", 3), "a\\x00b", "\"a\\\\x00b\""},
      {"", "", "\"\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.printable);
    EXPECT_EQ(Printable(row.text), row.printable);
    EXPECT_EQ(JsonString(row.text), row.json);
  }
}
