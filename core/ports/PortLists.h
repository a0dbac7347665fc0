#pragma once
// The two port lists of the serial-port page: every serial port present
// (busy or free), and the ports that opened exclusively at the last probe.
// Both are rebuilt together, at start-up, on a mode switch, when Auto mode
// starts an attempt and when a serial device arrives or is removed.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Dispatcher.h"
#include "ports/PortPlatform.h"

class PortLists {
 public:
  static constexpr int MaxPorts = 256;  // room in each list; ports beyond are left out

  explicit PortLists(PortPlatform& platform);

  std::vector<int> PortNumbers;    // ascending
  std::vector<int> OpenablePorts;  // ascending
  int PortCount() const { return static_cast<int>(PortNumbers.size()); }
  int OpenableCount() const { return static_cast<int>(OpenablePorts.size()); }

  // ListPortDevices, then ProbeOpenablePorts; then OnRefreshed (the window
  // fills its port list there).
  void RefreshPortLists();
  void ListPortDevices();
  void ProbeOpenablePorts();

  // The entries of the port list: the numbers as text, or the single "N/A".
  std::vector<std::string> PortListEntries() const;

  // What is known of port n from the last refresh.
  struct Details {
    PortInfo Port;
    PortProbe Probe;
  };
  std::optional<Details> PortDetails(int number) const;

  // True when the device of the port named deviceName ("\\.\COM5" or a
  // device path) is no longer in the refreshed list; the caller then ends
  // the connection as Disconnect does. Nothing when not connected.
  bool CheckOpenPortRemoved(bool connected, const std::string& deviceName) const;

  // Reports arrivals and removals on the window thread: each one refreshes
  // the lists, then runs onDeviceChange. The dispatcher must outlive the
  // platform object; a notification that arrives after these lists are gone
  // is dropped.
  void StartWatching(WindowDispatcher& dispatcher, std::function<void()> onDeviceChange);
  // After StartWatching: which changes go unreported, or nothing.
  std::string WatchProblem() const { return platform_.WatchProblem(); }

  std::function<void()> OnRefreshed;

 private:
  PortPlatform& platform_;
  std::vector<PortInfo> present_;  // as listed, ascending, at most MaxPorts
  std::vector<Details> probed_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // watched by notifications in flight
};
