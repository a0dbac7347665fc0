#include <algorithm>
#include <string>

#include "Command.h"

CLI::Validator WholeNumber(unsigned long min, unsigned long max) {
  const std::string range = std::to_string(min) + " to " + std::to_string(max);
  return CLI::Validator(
      [min, max, range](std::string& text) -> std::string {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
          return "'" + text + "' is not a whole number";
        text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
        if (text.size() > 19 || std::stoull(text) < min || std::stoull(text) > max)
          return text + " is not from " + range;
        return "";
      },
      "(" + range + ")");
}
