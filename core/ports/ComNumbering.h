#pragma once
// COM numbers for the kernel's serial devices, kept for the life of the
// process: the first scan hands out the lowest free numbers in natural order
// (ttyS, ttyUSB, ttyACM, ttyAMA, then the rest); a later arrival gets the
// lowest number not used before in this run; a device that comes back gets its
// old number.
#include <map>
#include <set>
#include <string>
#include <vector>

class ComNumbering {
 public:
  // Numbers for the devices present now (identified by their kernel name,
  // "ttyUSB0"). Numbers in `taken` (held by links in the port folder) are not
  // handed out. Returns name -> number for every device given.
  std::map<std::string, int> Assign(std::vector<std::string> names, const std::set<int>& taken);

  // Sorts kernel names in the order the first scan numbers them.
  static void SortNatural(std::vector<std::string>& names);

 private:
  std::map<std::string, int> known_;  // every device seen in this run
  std::set<int> used_;                // every number handed out in this run
  bool scanned_ = false;
};
