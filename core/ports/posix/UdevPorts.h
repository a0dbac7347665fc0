#pragma once
// The kernel's serial devices, from libudev: subsystem tty with a parent device
// (legacy ttyS ports only where a UART is really present).
#include <string>
#include <vector>

#include "ports/PortInfo.h"

struct KernelSerialDevice {
  std::string Name;         // "ttyUSB0"
  std::string Device;       // "/dev/ttyUSB0"
  std::string Description;  // "FT232R USB UART"
  PortIdentity Identity;
  bool ModemManagerIgnores = false;  // marked ID_MM_DEVICE_IGNORE
};

std::vector<KernelSerialDevice> ListKernelSerialDevices();

// Arrivals and removals of tty devices: the udev daemon's monitor where one
// runs, else the kernel's own netlink monitor. Fd() is polled for input;
// Drain() reads what is pending and says whether a tty device came or went.
class SerialDeviceMonitor {
 public:
  SerialDeviceMonitor();
  ~SerialDeviceMonitor();
  SerialDeviceMonitor(const SerialDeviceMonitor&) = delete;
  SerialDeviceMonitor& operator=(const SerialDeviceMonitor&) = delete;

  int Fd() const;  // -1 when no monitor could be set up
  bool Drain();

 private:
  struct udev* udev_ = nullptr;
  struct udev_monitor* monitor_ = nullptr;
};
