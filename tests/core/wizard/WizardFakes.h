#pragma once
// Stand-ins for the port table (and the message boxes and the serial port,
// shared with the device tests), so the connection logic can be
// stepped tick by tick.
#include <algorithm>
#include <functional>
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
  std::optional<std::string> DevicePath(int) override { return std::nullopt; }
  void Watch(std::function<void()>) override {}
  void SetPorts(std::initializer_list<int> numbers) {
    Present.clear();
    for (int n : numbers) Present.push_back({n, "/dev/fake" + std::to_string(n), "fake"});
  }
};
