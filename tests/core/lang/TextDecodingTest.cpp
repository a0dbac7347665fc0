#include <gtest/gtest.h>

#include <string>

#include "lang/TextDecoding.h"

namespace {
const std::string R = "\xEF\xBF\xBD";  // U+FFFD
}

TEST(TextDecoding, CodePagesAndDamagedBytes) {
  const struct {
    int codePage;
    std::string bytes;
    std::string utf8;
  } rows[] = {
      {950, "\xA4\xA4\xA4\xE5", "\u4E2D\u6587"},        // Big5 中文
      {936, "\xD6\xD0\xCE\xC4", "\u4E2D\u6587"},        // GB2312 中文
      {950, "\xB3\x73\xBD\x75", "\u9023\u7DDA"},        // 連線: a trail byte in the ASCII range
      {936, "OK \xC1\xAC\xBD\xD3", "OK \u8FDE\u63A5"},  // 连接
      {950, "A\xA4", "A" + R},                           // cut inside a character
      {950,
       "\xA4\x0A"
       "B",
       R + "\nB"},                      // a lead byte without its trail
      {936, "\xFF\xFF", R + R},          // no character at all
      {1250, "plain", "plain"},
      // Where a code page has no character, Windows' tables still give one
      // (a C1 control for the holes of a single-byte page, a private-use
      // character for the user-defined pairs), iconv's give none; a text
      // decodes alike on both.
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
