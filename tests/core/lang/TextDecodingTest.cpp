#include <gtest/gtest.h>

#include <string>

#include "lang/TextDecoding.h"

namespace {
const std::string R = "\xEF\xBF\xBD";  // U+FFFD
}

// Where a code page has no character, Windows' tables still give one (a C1
// control for the holes of a single-byte page, a private-use character for
// the user-defined pairs), iconv's give none; a text decodes alike on both.
TEST(TextDecoding, HolesOfTheCodePageTablesAreDamage) {
  const struct {
    int codePage;
    std::string bytes;
    std::string utf8;
  } rows[] = {
      {1250,
       "a\x81"
       "b",
       "a" + R + "b"},                     // no character in 1250
      {1250, "\x80\x8A", "\u20AC\u0160"},  // its neighbours are
      {936, "\xAA\xA1", R + R},            // user-defined pair; then a lead byte cut off
      {950, "\xFA\x40", R + "@"},          // user-defined pair; its trail byte is ASCII
      {950, "\xC6\xA1", "\uF6B1"},         // the private block both tables map
      {950,
       "\x80"
       "A",
       "\u0080"
       "A"},  // a single byte both tables map to a control
  };
  for (const auto& row : rows)
    EXPECT_EQ(DecodeToUtf8(row.bytes, row.codePage), row.utf8) << row.codePage << " " << row.bytes;
}
