// The adapter behind a tty device, from udev, and whether ModemManager runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "ports/posix/AdapterIdentity.h"

namespace fs = std::filesystem;

namespace {
UdevLookup From(std::map<std::string, std::string> values) {
  return [values](const char* name) {
    auto it = values.find(name);
    return it == values.end() ? std::string() : it->second;
  };
}
}  // namespace

TEST(AdapterIdentity, FromUdevPropertiesElseTheUsbDevicesAttributes) {
  const UdevLookup none = From({});
  const std::map<std::string, std::string> ftdi = {
      {"ID_VENDOR_ID", "0403"},       {"ID_MODEL_ID", "6001"},
      {"ID_VENDOR", "FTDI"},          {"ID_VENDOR_FROM_DATABASE", "Future Technology Devices International, Ltd"},
      {"ID_MODEL", "FT232R_USB_UART"}, {"ID_SERIAL_SHORT", "A50285BI"}};
  const std::map<std::string, std::string> attributes = {{"idVendor", "10c4"},   {"idProduct", "ea60"},
                                                         {"manufacturer", "SL"}, {"product", "CP2102"},
                                                         {"serial", "0001"}};
  const struct {
    const char* what;
    UdevLookup property, usb;
    std::string text;
  } rows[] = {
      {"udev's database first", From(ftdi), From(attributes),
       "USB 0403:6001 Future Technology Devices International, Ltd FT232R_USB_UART, serial A50285BI"},
      {"no udev daemon: the USB device's own", none, From(attributes), "USB 10c4:ea60 SL CP2102, serial 0001"},
      {"a device gone while it is read", none, none, ""},
      {"control characters and bytes that are no UTF-8, escaped",
       From({{"ID_VENDOR", "Evil\x1b]0;title\x07"}, {"ID_MODEL", "Caf\xe9\\"}, {"ID_SERIAL_SHORT", "1\n2"}}), none,
       "Evil\\x1B]0;title\\x07 Caf\\xE9\\\\, serial 1\\x0A2"},
      {"a serial number alone", From({{"ID_SERIAL_SHORT", "X1"}}), none, "serial X1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(IdentityText(IdentityFromUdev(row.property, row.usb)), row.text);
  }
  // The raw bytes are kept for matching a serial number given on the command line.
  EXPECT_EQ(IdentityFromUdev(From({{"ID_SERIAL_SHORT", "1\n2"}}), none).Serial, "1\n2");
}

TEST(AdapterIdentity, ModemManagerIsFoundByItsProcessName) {
  const fs::path proc = fs::temp_directory_path() / ("kq30-proc-" + std::to_string(getpid()));
  fs::create_directories(proc / "1");
  std::ofstream(proc / "1" / "comm") << "systemd\n";
  fs::create_directories(proc / "42");  // a process that ended while the folder was read
  fs::create_directories(proc / "self");
  std::ofstream(proc / "self" / "comm") << "ModemManager\n";  // not a process number
  EXPECT_FALSE(ModemManagerRunning(proc.string()));
  fs::create_directories(proc / "777");
  std::ofstream(proc / "777" / "comm") << "ModemManager\n";
  EXPECT_TRUE(ModemManagerRunning(proc.string()));
  EXPECT_FALSE(ModemManagerRunning((proc / "not-installed").string()));
  fs::remove_all(proc);
}
