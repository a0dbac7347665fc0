#include "ports/ComNumbering.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace {
int FamilyRank(const std::string& name) {
  static const char* const families[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA"};
  for (int i = 0; i < 4; ++i) {
    std::string f = families[i];
    if (name.size() > f.size() && name.compare(0, f.size(), f) == 0 &&
        std::all_of(name.begin() + f.size(), name.end(), [](unsigned char c) { return std::isdigit(c); }))
      return i;
  }
  return 4;
}

// "ttyUSB10" -> ("ttyUSB", 10), so that ttyUSB2 comes before ttyUSB10.
std::pair<std::string, long> SplitTrailingNumber(const std::string& name) {
  size_t end = name.size();
  while (end > 0 && std::isdigit(static_cast<unsigned char>(name[end - 1]))) --end;
  std::string digits = name.substr(end);
  if (digits.empty() || digits.size() > 9) return {name, -1};
  return {name.substr(0, end), std::stol(digits)};
}
}  // namespace

void ComNumbering::SortNatural(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    auto ka = std::make_tuple(FamilyRank(a), SplitTrailingNumber(a), a);
    auto kb = std::make_tuple(FamilyRank(b), SplitTrailingNumber(b), b);
    return ka < kb;
  });
}

std::map<std::string, int> ComNumbering::Assign(std::vector<std::string> names, const std::set<int>& taken) {
  SortNatural(names);
  std::map<std::string, int> result;
  std::set<int> inUse;  // numbers given out in this call
  for (const auto& name : names) {
    auto it = known_.find(name);
    if (it != known_.end()) {
      result[name] = it->second;
      inUse.insert(it->second);
    }
  }
  for (const auto& name : names) {
    if (result.count(name)) continue;
    int n = 1;
    // The first scan only avoids numbers in use now; later arrivals also avoid
    // every number handed out before, so a device that is away keeps its number.
    while (taken.count(n) || inUse.count(n) || (scanned_ && used_.count(n))) ++n;
    known_[name] = n;
    used_.insert(n);
    inUse.insert(n);
    result[name] = n;
  }
  scanned_ = true;
  return result;
}
