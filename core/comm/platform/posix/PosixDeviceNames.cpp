// Device names on Linux. COM port n is the link "comN" in the port folder,
// which the port table (and the simulated unit, and the user) fill.
#include <unistd.h>

#include <cstdlib>

#include "comm/platform/ComDeviceName.h"
#include "comm/platform/SerialPlatform.h"

namespace {

// $KQ30_PORT_DIR, else $XDG_RUNTIME_DIR/kq30-ports, else /tmp/kq30-ports-<uid>.
std::string ComLinkFolder() {
  if (const char* dir = std::getenv("KQ30_PORT_DIR"); dir && *dir) return dir;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return std::string(runtime) + "/kq30-ports";
  return "/tmp/kq30-ports-" + std::to_string(getuid());
}

}  // namespace

std::optional<std::string> DefaultResolveDeviceName(const std::string& deviceName) {
  if (int number = ComPortNumber(deviceName)) return ComLinkFolder() + "/com" + std::to_string(number);
  // A device path such as /dev/ttyUSB0 is used as it is; any other text
  // names no device.
  if (!deviceName.empty() && deviceName[0] == '/' && deviceName.find('\0') == std::string::npos)
    return deviceName;
  return std::nullopt;
}
