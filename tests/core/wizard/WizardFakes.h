#pragma once
// Stand-ins for the port table and the message boxes (and the serial port,
// shared with the device link's tests), so the connection logic can be
// stepped tick by tick.
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/MessageBoxes.h"
#include "ports/PortPlatform.h"
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

class ScriptedBoxes : public MessageBoxes {
 public:
  struct Shown {
    std::string Text, Caption;
    MsgButtons Buttons;
    MsgIcon Icon;
  };
  std::vector<Shown> Calls;
  MsgResult Answer = MsgResult::OK;
  std::function<void()> WhileOpen;  // runs as if ticks came while the box is up

  MsgResult Show(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon) override {
    Calls.push_back({text, caption, buttons, icon});
    if (WhileOpen) WhileOpen();
    return Answer;
  }
};
