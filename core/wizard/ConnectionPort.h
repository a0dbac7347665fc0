#pragma once
// What connecting needs of the serial port: the window's TComm behind it, a
// scripted port in tests.
#include <string>

class ConnectionPort {
 public:
  virtual ~ConnectionPort() = default;
  virtual void Open() = 0;  // a device that does not open leaves Connected() false
  virtual void Close() = 0;
  virtual bool Connected() const = 0;
  virtual void SetDeviceName(const std::string& name) = 0;  // ignored while open
  virtual std::string DeviceName() const = 0;
  virtual void SetBaudRate(int rateCode) = 0;  // applied at once to an open port
  virtual void SetRTS(bool on) = 0;
  virtual void SetDTR(bool on) = 0;
};
