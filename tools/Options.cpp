#include "Options.h"

std::string Options::Parse(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                           const std::set<std::string>& flagOptions) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0 || arg == "--") {
      positional_.push_back(arg);
      continue;
    }
    size_t eq = arg.find('=');
    std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    if (flagOptions.count(name)) {
      if (eq != std::string::npos) return "--" + name + " takes no value";
      flags_.insert(name);
    } else if (valueOptions.count(name)) {
      if (eq != std::string::npos) {
        values_[name] = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        values_[name] = args[++i];
      } else {
        return "--" + name + " needs a value";
      }
    } else {
      return "unknown option --" + name;
    }
  }
  return "";
}

std::string Options::Get(const std::string& name, const std::string& fallback) const {
  auto it = values_.find(name);
  return it == values_.end() ? fallback : it->second;
}

std::optional<unsigned long> Options::Number(const std::string& name, unsigned long max) const {
  auto it = values_.find(name);
  if (it == values_.end() || it->second.empty() || it->second.size() > 10) return std::nullopt;
  unsigned long n = 0;
  for (char c : it->second) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned long>(c - '0');
  }
  if (n > max) return std::nullopt;
  return n;
}
