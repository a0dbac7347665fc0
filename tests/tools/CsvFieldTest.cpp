// The report's fields: as RFC 4180 quotes them, and never a formula.
#include <gtest/gtest.h>

#include "CsvField.h"

namespace {

TEST(CsvField, FieldsAreQuotedAsNeededAndFormulasNeutralised) {
  const struct {
    const char* text;
    const char* field;
  } cases[] = {
      {"KQ-30", "KQ-30"},
      {"", ""},
      {"KQ-30, \"B\"", "\"KQ-30, \"\"B\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
      {"+1", "'+1"},
      {"-1+2", "'-1+2"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\t=1", "'\t=1"},
      {"\r=1", "\"'\r=1\""},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

}  // namespace
