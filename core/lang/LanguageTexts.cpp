#include "lang/LanguageTexts.h"

const LanguageTexts& EnglishTexts() {
  static const LanguageTexts english;
  return english;
}

namespace {
template <typename Values>
std::string FillInValues(std::string_view text, const Values& values) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const auto n = static_cast<std::size_t>(text[i + 1] - '1');
      if (n < values.size()) {
        out += *(values.begin() + static_cast<std::ptrdiff_t>(n));
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}
}  // namespace

std::string FillIn(std::string_view text, std::initializer_list<std::string_view> values) {
  return FillInValues(text, values);
}

std::string FillIn(std::string_view text, const std::vector<std::string>& values) {
  return FillInValues(text, values);
}
