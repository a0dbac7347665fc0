#pragma once
// COM port device names: "\\.\COM12" (the form the wizard builds) and the
// short "COM12". The number is parsed, never pasted into a path, so typed
// text can't reach the filesystem through a port name.
#include <string>

// The COM number a device name stands for (1 to 65535, written without
// leading zeros, "COM" in any case), or 0 when the text is no COM name.
inline int ComPortNumber(const std::string& deviceName) {
  std::string rest = deviceName;
  if (rest.rfind("\\\\.\\", 0) == 0) rest.erase(0, 4);
  if (rest.size() < 4 || rest.size() > 8) return 0;
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
  if (upper(rest[0]) != 'C' || upper(rest[1]) != 'O' || upper(rest[2]) != 'M' || rest[3] == '0') return 0;
  int n = 0;
  for (size_t i = 3; i < rest.size(); ++i) {
    if (rest[i] < '0' || rest[i] > '9') return 0;
    n = n * 10 + (rest[i] - '0');
  }
  return n <= 65535 ? n : 0;
}
