// The process's start from the kernel's own record (/proc/self/stat, in
// clock ticks since boot).
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "common/ProcessClock.h"

double MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  // Field 22 (starttime); fields from 3 on follow the command name.
  for (int i = 3; i <= 22 && (fields >> field); ++i) {
  }
  if (field.empty()) return -1;
  const double start = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return (now.tv_sec + now.tv_nsec / 1e9 - start) * 1000.0;
}
