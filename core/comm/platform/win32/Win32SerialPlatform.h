#pragma once
// The serial port on Windows: a COM device opened for overlapped I/O, every
// SerialDevice call mapped onto its kernel32 call, and waits that Close can
// break from the window thread.
#include "comm/platform/SerialPlatform.h"
#include "comm/platform/win32/Kernel32.h"

class Win32SerialPlatform : public SerialPlatform {
 public:
  explicit Win32SerialPlatform(Kernel32& kernel = RealKernel32()) : kernel_(kernel) {}

  // A busy port (open in this or another program) fails with
  // ERROR_ACCESS_DENIED, a missing one with ERROR_FILE_NOT_FOUND.
  std::unique_ptr<SerialDevice> CreateFile(const std::string& devicePath) override;
  // The error of the last call that failed on this thread.
  int LastError() override;

 private:
  Kernel32& kernel_;
};
