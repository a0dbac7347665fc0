#include "ports/posix/ProbeSerialDevice.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "comm/platform/SerialPlatform.h"

namespace {
std::string OwningGroup(const std::string& device) {
  struct stat st {};
  if (stat(device.c_str(), &st) != 0) return "";
  const group* g = getgrgid(st.st_gid);
  return g ? g->gr_name : std::to_string(st.st_gid);
}
}  // namespace

PortProbe ProbeSerialDevice(const std::string& device) {
  SerialPlatform& platform = DefaultSerialPlatform();
  if (platform.CreateFile(device)) return {true, ""};  // closed again at once
  int error = platform.LastError();
  switch (error) {
    case EBUSY:
    case EWOULDBLOCK:
      return {false, "busy: in use by this or another program"};
    case EACCES:
    case EPERM: {
      std::string group = OwningGroup(device);
      if (group.empty() || group == "root") return {false, "permission denied"};
      return {false, "permission denied: add your user to the group '" + group + "' (sudo usermod -aG " + group +
                         " $USER), then log in again"};
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return {false, "the device is gone"};
    case ENOTTY:
      return {false, "not a serial device"};
    default:
      return {false, std::strerror(error)};
  }
}
