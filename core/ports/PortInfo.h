#pragma once
// One serial port as the wizard lists it: its COM number, the device behind
// it and a description a person recognises.
#include <string>
#include <vector>

// The USB adapter behind a port, as far as the system tells: empty fields
// where it does not (a built-in port, a pseudo-terminal). The texts are the
// device's own bytes, which need not be UTF-8 nor free of control characters.
struct PortIdentity {
  std::string VendorId;      // "0403": four hex digits
  std::string ProductId;     // "6001"
  std::string Manufacturer;  // "FTDI"
  std::string Product;       // "FT232R USB UART"
  std::string Serial;        // "A50285BI"
};

struct PortInfo {
  int Number = 0;
  std::string Device;       // "/dev/ttyUSB0"
  std::string Description;  // "FT232R USB UART"
  PortIdentity Identity;
  // What the user should know before talking to a boot loader through it.
  std::vector<std::string> Notes;
};

// The identity in one line, printable (see Printable): "USB 0403:6001 FTDI
// FT232R USB UART, serial A50285BI"; "" when nothing is known.
std::string IdentityText(const PortIdentity& identity);

// Why a port does or does not open exclusively right now.
struct PortProbe {
  bool Openable = false;
  std::string Why;  // empty when openable; otherwise a sentence for the user
};
