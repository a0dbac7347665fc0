#pragma once
// Line settings of an open terminal through termios2, which also carries the
// rates that have no B-constant (14400, 56000, 128000, 256000). Kept apart
// from the rest of the POSIX port because the kernel's termios2 header and
// the C library's <termios.h> can't share a file.
#include "comm/platform/SerialPlatform.h"

// Overlays what the terminal's settings say onto dcb: speed, data bits,
// parity, stop bits, RTS/CTS handshake, parity checking and the XON/XOFF
// characters. The other fields are left as they are.
bool ReadLineSettings(int fd, DeviceControlBlock& dcb);

// Applies dcb to the terminal, in raw mode for binary data. What Linux or the driver can't do fails with
// EINVAL and leaves the previous settings in place, never a silent other
// setting. errno holds the reason of a failure.
bool WriteLineSettings(int fd, const DeviceControlBlock& dcb);
