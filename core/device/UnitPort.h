#pragma once
// What the wizard needs of the serial port to the unit: the window's TComm
// behind it, a scripted port in tests.
#include <cstdint>
#include <string>

#include "common/Exception.h"

class UnitPort {
 public:
  virtual ~UnitPort() = default;
  virtual void Open() = 0;  // a device that does not open leaves Connected() false
  virtual void Close() = 0;
  virtual bool Connected() const = 0;
  virtual void SetDeviceName(const std::string& name) = 0;  // ignored while open
  virtual std::string DeviceName() const = 0;
  virtual void SetBaudRate(int rateCode) = 0;  // applied at once to an open port
  virtual int BaudRate() const = 0;
  virtual void SetRTS(bool on) = 0;  // raise an error on a closed port
  virtual void SetDTR(bool on) = 0;
  // Byte counts, -1 on a closed port; never raise.
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
};

// The device name the wizard builds from a COM number's text.
inline constexpr char ComDevicePrefix[] = "\\\\.\\COM";

// Opens COM port comNumber at rateCode as a connection does, with RTS and
// DTR raised; true when it is open. The port must be closed.
inline bool OpenComPort(UnitPort& port, const std::string& comNumber, int rateCode) {
  port.SetDeviceName(ComDevicePrefix + comNumber);
  port.SetBaudRate(rateCode);
  port.Open();
  if (!port.Connected()) return false;
  port.SetRTS(true);
  port.SetDTR(true);
  return true;
}

// Closes the port and opens it again as OpenComPort does; false when it does
// not open, also for a device that goes as it is opened (the port is left
// closed then).
inline bool ReopenComPort(UnitPort& port, const std::string& comNumber, int rateCode) {
  port.Close();
  try {
    return OpenComPort(port, comNumber, rateCode);
  } catch (const Exception&) {
    port.Close();
    return false;
  }
}
