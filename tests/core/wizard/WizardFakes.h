#pragma once
// Stand-ins for the port table (and the message boxes and the serial port,
// shared with the device tests), so the connection logic can be
// stepped tick by tick.
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ports/PortPlatform.h"
#include "core/common/ScriptedBoxes.h"
#include "core/device/FakePort.h"

class FakePortPlatform : public PortPlatform {
 public:
  std::vector<PortInfo> Present;
  std::set<int> Busy;
  std::optional<std::vector<PortInfo>> ListPortDevices() override { return Present; }
  PortProbe ProbePort(const PortInfo& p) override { return {!Busy.count(p.Number), Busy.count(p.Number) ? "busy" : ""}; }
  std::map<int, std::string> Devices;  // device paths of real ports, by number
  std::optional<std::string> DevicePath(int n) override {
    if (auto d = Devices.find(n); d != Devices.end()) return d->second;
    return std::nullopt;
  }
  void Watch(std::function<void()>) override {}
  void SetPorts(std::initializer_list<int> numbers) {
    Present.clear();
    for (int n : numbers) Present.push_back({n, "/dev/fake" + std::to_string(n), "fake", {}, {}});
  }
};
