#include "ports/win32/Win32PortIdentity.h"

#include <cctype>

namespace {
std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The four hex digits after key ("VID_"), or "".
std::string HexAfter(const std::string& id, const char* key) {
  const std::size_t at = Upper(id).find(key);
  if (at == std::string::npos) return "";
  const std::string digits = id.substr(at + 4, 4);
  for (char c : digits)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
  return digits.size() == 4 ? Upper(digits) : "";
}
}  // namespace

PortIdentity IdentityFromInstanceId(const std::string& id, const std::string& manufacturer,
                                    const std::string& product) {
  PortIdentity identity{HexAfter(id, "VID_"), HexAfter(id, "PID_"), manufacturer, product, ""};
  const std::size_t first = id.find('\\'), last = id.rfind('\\');
  if (first == std::string::npos) return identity;
  const std::string bus = Upper(id.substr(0, first));
  if (bus == "USB" && last != first) {
    const std::string serial = id.substr(last + 1);
    if (serial.find('&') == std::string::npos) identity.Serial = serial;
  } else if (bus == "FTDIBUS") {
    // VID_0403+PID_6001+<serial>\0000
    const std::string middle = id.substr(first + 1, last - first - 1);
    const std::size_t plus = middle.find('+', middle.find('+') + 1);
    if (middle.find('+') != std::string::npos && plus != std::string::npos) identity.Serial = middle.substr(plus + 1);
  }
  return identity;
}

std::vector<std::string> AdapterNotes(const PortIdentity& identity) {
  if (identity.VendorId != "0403") return {};
  return {"an FTDI adapter: for a faster upgrade set its Latency Timer to 1 ms in Device Manager (the port, "
          "Port Settings, Advanced)"};
}
