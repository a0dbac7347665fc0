// The adapter behind a Windows port, from its instance id.
#include <gtest/gtest.h>

#include "ports/win32/Win32PortIdentity.h"

TEST(Win32PortIdentity, FromTheInstanceId) {
  const struct {
    const char* id;
    const char *vendor, *product, *serial;
  } rows[] = {
      {"USB\\VID_10C4&PID_EA60\\0001", "10C4", "EA60", "0001"},
      {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "0403", "6001", "A50285BIA"},
      {"USB\\vid_1a86&pid_7523\\5&2A3B4C&0&2", "1A86", "7523", ""},  // an id Windows made up: no serial
      {"ACPI\\PNP0501\\1", "", "", ""},                               // a board's own port
      {"USB\\VID_12&PID_XYZW\\1", "", "", "1"},
      {"", "", "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    const PortIdentity id = IdentityFromInstanceId(row.id, "FTDI", "USB Serial Port");
    EXPECT_EQ(id.VendorId, row.vendor);
    EXPECT_EQ(id.ProductId, row.product);
    EXPECT_EQ(id.Serial, row.serial);
    EXPECT_EQ(id.Manufacturer, "FTDI");
    EXPECT_EQ(AdapterNotes(id).size(), id.VendorId == "0403" ? 1u : 0u);
  }
  EXPECT_NE(AdapterNotes({"0403", "", "", "", ""}).at(0).find("Latency Timer"), std::string::npos);
}
