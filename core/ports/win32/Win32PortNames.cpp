#include "ports/win32/Win32PortNames.h"

#include <windows.h>

#include <cstring>
#include <set>

#include "comm/platform/ComDeviceName.h"
#include "ports/win32/Win32PortIdentity.h"

namespace {

std::string Trimmed(const std::string& s) {
  const std::size_t begin = s.find_first_not_of(" \t");
  if (begin == s.npos) return "";
  return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

// "USB Serial Port (COM3)" -> "USB Serial Port" for port 3.
std::string WithoutPortSuffix(const std::string& name, int number) {
  const std::string suffix = "(COM" + std::to_string(number) + ")";
  const std::string trimmed = Trimmed(name);
  if (trimmed.size() < suffix.size() ||
      trimmed.compare(trimmed.size() - suffix.size(), suffix.size(), suffix) != 0)
    return trimmed;
  const std::string rest = trimmed.substr(0, trimmed.size() - suffix.size());
  if (!rest.empty() && rest.back() != ' ' && rest.back() != '\t') return trimmed;  // "Port(COM3)" is one word
  return Trimmed(rest);
}

// The number of a port name "COMn", blanks around it aside; 0 for anything
// else, the long form "\\.\COMn" too.
int PortNameNumber(const std::string& text) {
  const std::string name = Trimmed(text);
  return name.rfind("\\", 0) == 0 ? 0 : ComPortNumber(name);
}

}  // namespace

std::vector<PortInfo> PortsFromDevices(const std::vector<PortDevice>& devices) {
  std::vector<PortInfo> ports;
  std::set<int> seen;
  for (const PortDevice& d : devices) {
    const int number = PortNameNumber(d.PortName);
    if (number == 0 || !seen.insert(number).second) continue;
    std::string description = WithoutPortSuffix(d.FriendlyName, number);
    if (description.empty()) description = Trimmed(d.Description);
    if (description.empty()) description = "serial port";
    ports.push_back({number, *ComDevicePath(number), description, d.Identity, AdapterNotes(d.Identity)});
  }
  return ports;
}

std::vector<PortInfo> WithSerialCommPorts(std::vector<PortInfo> ports, const std::vector<SerialCommValue>& values) {
  std::set<int> seen;
  for (const PortInfo& port : ports) seen.insert(port.Number);
  for (const SerialCommValue& v : values) {
    if (v.Type != REG_SZ) continue;
    const int number = PortNameNumber(v.Data.substr(0, v.Data.find('\0')));
    if (number == 0 || !seen.insert(number).second) continue;
    const std::string device = Trimmed(v.Device);
    ports.push_back({number, *ComDevicePath(number), device.empty() ? "serial port" : "serial port (" + device + ")",
                     {}, {}});
  }
  return ports;
}

std::optional<std::string> ComDevicePath(int number) {
  if (number < 1 || number > 65535) return std::nullopt;
  return "\\\\.\\COM" + std::to_string(number);
}

PortProbe ProbeFromError(unsigned long error, const std::string& systemMessage) {
  switch (error) {
    case ERROR_SUCCESS:
      return {true, ""};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      // A COM port opens for one handle at a time; our own open counts too.
      return {false, "busy: in use by this or another program"};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return {false, "the device is gone"};
    case ERROR_NOT_READY:
    case ERROR_GEN_FAILURE:
    case ERROR_SEM_TIMEOUT:
      return {false, "the device does not answer: unplug it and plug it in again"};
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return {false, "not a serial device"};
    default: {
      std::string text = Trimmed(systemMessage);
      while (!text.empty() &&
             (text.back() == '.' || text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
      const std::string code = "error " + std::to_string(error);
      return {false, text.empty() ? code : text + " (" + code + ")"};
    }
  }
}

bool IsBluetoothInstance(const std::string& instanceId) {
  constexpr char prefix[] = "BTHENUM\\";
  return instanceId.size() >= sizeof prefix - 1 && _strnicmp(instanceId.c_str(), prefix, sizeof prefix - 1) == 0;
}
