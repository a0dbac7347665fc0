// The frame's tail: "*", two upper-case hexadecimal digits, CR LF.
#include <gtest/gtest.h>

#include <string>

#include "codec/Sentence.h"

namespace {

struct ChecksumCase {
  const char* Name;
  std::string Text;
  std::string Expected;
};

class AppendChecksumTest : public testing::TestWithParam<ChecksumCase> {};

TEST_P(AppendChecksumTest, AppendsTheTail) {
  std::string text = GetParam().Text;
  ASSERT_TRUE(AppendChecksum(text));
  EXPECT_EQ(text, GetParam().Expected);
  EXPECT_EQ(text.c_str()[text.size()], '\0');
}

INSTANTIATE_TEST_SUITE_P(Cases, AppendChecksumTest,
                         testing::Values(
                             // The static-data request: XOR of the 14 characters after "$" is 0x18.
                             ChecksumCase{"StaticDataRequest", "$PTST,,,,,00016", "$PTST,,,,,00016*18\r\n"},
                             ChecksumCase{"BootLoaderRequest", "$PTST,,,,,00008", "$PTST,,,,,00008*17\r\n"},
                             // 0x3A: upper-case letter digit.
                             ChecksumCase{"UpperCaseDigit", "$:", "$:*3A\r\n"},
                             // 'A' ^ 'N' = 0x0F keeps its leading zero.
                             ChecksumCase{"LeadingZero", "$AN", "$AN*0F\r\n"},
                             // The start character is not covered, whichever it is.
                             ChecksumCase{"DollarNotCovered", "$A", "$A*41\r\n"},
                             ChecksumCase{"BangNotCovered", "!A", "!A*41\r\n"},
                             // Commas are covered: 'A' ^ ',' = 0x6D.
                             ChecksumCase{"CommaCovered", "$A,", "$A,*6D\r\n"},
                             ChecksumCase{"StartCharacterAlone", "$", "$*00\r\n"}),
                         [](const testing::TestParamInfo<ChecksumCase>& info) { return info.param.Name; });

TEST(AppendChecksum, AcceptsTheLongestTextItsPositionsCanCount) {
  std::string text = "$" + std::string(65533, 'A');  // 65,534 characters
  ASSERT_TRUE(AppendChecksum(text));
  // 65,533 'A's XOR to 'A'.
  EXPECT_EQ(text.substr(65534), "*41\r\n");
}

TEST(AppendChecksum, RefusesATextTooLongAndLeavesItUnchanged) {
  for (size_t size : {size_t{65535}, size_t{65536}, size_t{100000}}) {
    std::string text = "$" + std::string(size - 1, 'A');
    const std::string before = text;
    EXPECT_FALSE(AppendChecksum(text)) << size;
    EXPECT_EQ(text, before) << size;
  }
}

TEST(AppendChecksum, RefusesAnEmptyText) {
  std::string text;
  EXPECT_FALSE(AppendChecksum(text));
  EXPECT_TRUE(text.empty());
}

}  // namespace
