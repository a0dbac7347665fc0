#pragma once
// One serial port as the wizard lists it: its COM number, the device behind
// it and a description a person recognises.
#include <string>

struct PortInfo {
  int Number = 0;
  std::string Device;       // "/dev/ttyUSB0"
  std::string Description;  // "FT232R USB UART"
};

// Why a port does or does not open exclusively right now.
struct PortProbe {
  bool Openable = false;
  std::string Why;  // empty when openable; otherwise a sentence for the user
};
