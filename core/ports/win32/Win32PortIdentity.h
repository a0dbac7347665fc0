#pragma once
// The adapter behind a Windows port, from its device instance id
// ("USB\VID_0403&PID_6001\A50285BI", "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000")
// and its registry properties; and what its user should know.
#include <string>
#include <vector>

#include "ports/PortInfo.h"

// Vendor and product id from the instance id's VID_ and PID_, the serial
// number where the id carries one (Windows makes up an id holding '&' for a
// device without), manufacturer and product as given.
PortIdentity IdentityFromInstanceId(const std::string& instanceId, const std::string& manufacturer,
                                    const std::string& product);

// An FTDI adapter (vendor 0403) holds short answers for its latency timer,
// a driver setting on Windows: where to set it to 1 ms.
std::vector<std::string> AdapterNotes(const PortIdentity& identity);
