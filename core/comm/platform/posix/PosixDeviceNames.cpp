// Device names on Linux. COM port n is the link "comN" in the port folder,
// which the port table (and the simulated unit, and the user) fill.
#include "comm/platform/ComDeviceName.h"
#include "comm/platform/SerialPlatform.h"
#include "common/PortFolder.h"

std::optional<std::string> DefaultResolveDeviceName(const std::string& deviceName) {
  if (int number = ComPortNumber(deviceName)) {
    std::string folder = PortFolderPath();
    if (!PortFolderTrusted(folder)) return std::nullopt;
    return folder + "/com" + std::to_string(number);
  }
  // A device path such as /dev/ttyUSB0 is used as it is; any other text
  // names no device.
  if (!deviceName.empty() && deviceName[0] == '/' && deviceName.find('\0') == std::string::npos)
    return deviceName;
  return std::nullopt;
}
