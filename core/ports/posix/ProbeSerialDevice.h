#pragma once
#include <string>

#include "ports/PortInfo.h"

// Opens the device exclusively, as the serial port does, closes it again, and
// says in words a Linux user can act on why it did not open.
PortProbe ProbeSerialDevice(const std::string& device);
