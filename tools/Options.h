#pragma once
// Long GNU-style options: "--name value", "--name=value" and "--flag".
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class Options {
 public:
  // Empty text when args parse; else the problem, for a usage line.
  std::string Parse(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                    const std::set<std::string>& flagOptions);

  bool Has(const std::string& name) const { return values_.count(name) || flags_.count(name); }
  std::string Get(const std::string& name, const std::string& fallback = "") const;
  // The value as a whole non-negative number no larger than max; nothing when
  // it is absent or isn't one.
  std::optional<unsigned long> Number(const std::string& name, unsigned long max) const;
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  std::map<std::string, std::string> values_;
  std::set<std::string> flags_;
  std::vector<std::string> positional_;
};
