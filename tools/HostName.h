#pragma once
// The name of the machine the tool runs on, as its report names the station
// that upgraded a unit. posix/ asks gethostname, win32/ the computer's DNS
// host name.
#include <string>

// "" when the system does not say.
std::string HostName();
