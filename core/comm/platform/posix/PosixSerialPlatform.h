#pragma once
// The POSIX serial platform, over the one driver setting that tests stand in
// for: the serial flags of TIOCGSERIAL / TIOCSSERIAL. An open port asks the
// driver for ASYNC_LOW_LATENCY, so that a USB adapter hands over the unit's
// short answers at once instead of holding them for its latency timer
// (ftdi_sio: 16 ms, 1 ms with the flag); closing gives back the flags found.
#include <memory>

#include "comm/platform/SerialPlatform.h"

class SerialFlagCalls {
 public:
  virtual ~SerialFlagCalls() = default;
  // The ASYNC_ flags of an open terminal; false with errno set where the
  // driver has none (a pseudo-terminal answers ENOTTY).
  virtual bool GetSerialFlags(int fd, int& flags) = 0;
  virtual bool SetSerialFlags(int fd, int flags) = 0;
};

// The kernel's own.
SerialFlagCalls& KernelSerialFlags();

std::unique_ptr<SerialPlatform> NewPosixSerialPlatform(SerialFlagCalls& flags);
