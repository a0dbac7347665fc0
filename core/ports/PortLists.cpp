#include "ports/PortLists.h"

#include <algorithm>

#include "comm/platform/ComDeviceName.h"

PortLists::PortLists(PortPlatform& platform) : platform_(platform) {}

void PortLists::RefreshPortLists() {
  ListPortDevices();
  ProbeOpenablePorts();
  if (OnRefreshed) OnRefreshed();
}

void PortLists::ListPortDevices() {
  auto listed = platform_.ListPortDevices();
  if (!listed) return;  // the list can't be had: keep the previous one
  std::sort(listed->begin(), listed->end(), [](const PortInfo& a, const PortInfo& b) { return a.Number < b.Number; });
  if (listed->size() > MaxPorts) listed->resize(MaxPorts);
  present_ = std::move(*listed);
  PortNumbers.clear();
  for (const auto& p : present_) PortNumbers.push_back(p.Number);
}

void PortLists::ProbeOpenablePorts() {
  // With no port present the last probe stands: Auto mode then tries those
  // ports and fails by time-out.
  if (PortCount() == 0) return;
  OpenablePorts.clear();
  probed_.clear();
  for (const auto& port : present_) {
    PortProbe probe = platform_.ProbePort(port);
    if (probe.Openable) OpenablePorts.push_back(port.Number);
    probed_.push_back({port, probe});
  }
}

std::vector<std::string> PortLists::PortListEntries() const {
  if (PortNumbers.empty()) return {"N/A"};
  std::vector<std::string> entries;
  for (int n : PortNumbers) entries.push_back(std::to_string(n));
  return entries;
}

std::optional<PortLists::Details> PortLists::PortDetails(int number) const {
  for (const auto& d : probed_)
    if (d.Port.Number == number) return d;
  for (const auto& p : present_)
    if (p.Number == number) return Details{p, {}};
  return std::nullopt;
}

bool PortLists::CheckOpenPortRemoved(bool connected, const std::string& deviceName) const {
  if (!connected) return false;
  if (int n = ComPortNumber(deviceName)) return std::find(PortNumbers.begin(), PortNumbers.end(), n) == PortNumbers.end();
  // A port opened by its device path has gone when no listed port leads to it.
  return std::none_of(present_.begin(), present_.end(), [&](const PortInfo& p) { return p.Device == deviceName; });
}

void PortLists::StartWatching(WindowDispatcher& dispatcher, std::function<void()> onDeviceChange) {
  std::weak_ptr<bool> alive = alive_;
  platform_.Watch([this, alive, &dispatcher, onDeviceChange] {
    dispatcher.Post([this, alive, onDeviceChange] {
      if (alive.expired()) return;  // the lists are gone
      RefreshPortLists();
      if (onDeviceChange) onDeviceChange();
    });
  });
}
