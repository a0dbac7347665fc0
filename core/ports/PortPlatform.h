#pragma once
// What the operating system tells about serial ports: the ports present, which
// of them open, and arrivals and removals. Linux: the port folder, udev and the
// kernel's netlink monitor. Windows: SetupAPI and device notifications.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/PortInfo.h"

class PortPlatform {
 public:
  virtual ~PortPlatform() = default;

  // The serial port devices present, in any order; nothing when the list
  // cannot be had (the wizard then keeps its previous list).
  virtual std::optional<std::vector<PortInfo>> ListPortDevices() = 0;

  // Tries to open a port exclusively and closes it again at once.
  virtual PortProbe ProbePort(const PortInfo& port) = 0;

  // The device of COM number n, as far as this table knows it.
  virtual std::optional<std::string> DevicePath(int number) = 0;

  // Starts reporting arrivals and removals of serial devices. onChange runs on
  // a watcher thread; the caller hands it over to the window thread. Stops
  // when the platform object is destroyed.
  virtual void Watch(std::function<void()> onChange) = 0;
  // After Watch: which changes go unreported, for the user; nothing when
  // all are seen.
  virtual std::string WatchProblem() const { return {}; }

  // What the user can do when no port is found, or nothing to say.
  virtual std::string NoPortHint() const { return {}; }
};

// The implementation of the system the program is built for.
std::unique_ptr<PortPlatform> DefaultPortPlatform();
