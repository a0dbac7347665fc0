// Device names on Windows: COM port n is the device \\.\COMn, which also
// reaches ports above COM9.
#include "comm/platform/ComDeviceName.h"
#include "comm/platform/SerialPlatform.h"

std::optional<std::string> DefaultResolveDeviceName(const std::string& deviceName) {
  if (int number = ComPortNumber(deviceName)) return "\\\\.\\COM" + std::to_string(number);
  return std::nullopt;
}
