// The process's creation time as Windows records it.
#include <windows.h>

#include "common/ProcessClock.h"

namespace {
double Milliseconds(const FILETIME& t) {  // FILETIME counts 100 ns
  return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
}
}  // namespace

double MillisecondsSinceProcessStart() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
  GetSystemTimeAsFileTime(&now);
  return Milliseconds(now) - Milliseconds(created);
}
