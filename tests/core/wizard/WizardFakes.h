#pragma once
// Stand-ins for the serial port, the port table and the message boxes, so
// the connection logic can be stepped tick by tick.
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/MessageBoxes.h"
#include "ports/PortPlatform.h"
#include "device/UnitPort.h"

class FakePort : public UnitPort {
 public:
  std::set<std::string> Openable;  // device names that open
  std::vector<std::string> Opened;  // "name@rate" for every successful open
  int Rate = 12;
  std::string Incoming;  // bytes the unit has sent, waiting to be read
  std::string Written;   // bytes written to the unit
  bool WriteFails = false;

  void Open() override {
    if (open_) return;
    if (Openable.count(name_)) {
      open_ = true;
      Opened.push_back(name_ + "@" + std::to_string(Rate));
    }
  }
  void Close() override { open_ = false; }
  bool Connected() const override { return open_; }
  void SetDeviceName(const std::string& name) override {
    if (!open_) name_ = name;
  }
  std::string DeviceName() const override { return name_; }
  void SetBaudRate(int code) override { Rate = code; }
  int BaudRate() const override { return Rate; }
  int32_t Read(void* buffer, int32_t count) override {
    if (!open_) return -1;
    int32_t n = std::min<int32_t>(count, static_cast<int32_t>(Incoming.size()));
    Incoming.copy(static_cast<char*>(buffer), n);
    Incoming.erase(0, n);
    return n;
  }
  int32_t Write(const void* buffer, int32_t count) override {
    if (!open_) return -1;
    if (WriteFails) return 0;
    Written.append(static_cast<const char*>(buffer), count);
    return count;
  }
  void SetRTS(bool) override {}
  void SetDTR(bool) override {}

 private:
  bool open_ = false;
  std::string name_ = "\\\\.\\COM1";
};

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
