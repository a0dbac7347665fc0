#pragma once
// The port folder: links named comN in it make the device they point to COM N.
// The simulated unit links its pseudo-terminal there; a user may link any
// serial device (a /dev/serial/by-id path, a socat pseudo-terminal).
#include <string>
#include <vector>

#include "common/PortFolder.h"
#include "ports/PortInfo.h"

// The links "comN" (N from 1 to 65535, no leading zero) that lead to a
// character device. A dangling link or a link to anything else is no port.
// Two links to one device: the lower number names it, the other is left out.
std::vector<PortInfo> ScanPortFolder(const std::string& folder);

// "com12" -> 12; anything else -> 0.
int PortLinkNumber(const std::string& fileName);
