#include "ports/posix/AdapterIdentity.h"

#include <cctype>
#include <filesystem>
#include <fstream>

const char ModemManagerNote[] =
    "ModemManager runs and may send this port AT commands; see the README to make it leave the port alone";

PortIdentity IdentityFromUdev(const UdevLookup& property, const UdevLookup& usbAttribute) {
  const auto first = [&](std::initializer_list<const char*> keys, const char* attribute) {
    for (const char* key : keys)
      if (std::string v = property(key); !v.empty()) return v;
    return usbAttribute(attribute);
  };
  return {.VendorId = first({"ID_VENDOR_ID"}, "idVendor"),
          .ProductId = first({"ID_MODEL_ID"}, "idProduct"),
          .Manufacturer = first({"ID_VENDOR_FROM_DATABASE", "ID_VENDOR"}, "manufacturer"),
          .Product = first({"ID_MODEL_FROM_DATABASE", "ID_MODEL"}, "product"),
          .Serial = first({"ID_SERIAL_SHORT"}, "serial")};
}

bool ModemManagerRunning(const std::string& procFolder) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(procFolder, error)) {
    const std::string pid = entry.path().filename().string();
    if (!std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
    // A process that ended meanwhile has no name to read.
    std::ifstream comm(entry.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name == "ModemManager") return true;
  }
  return false;
}
