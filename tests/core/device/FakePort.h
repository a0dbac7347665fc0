#pragma once
// A serial port whose far end is two strings: what the unit has sent, and
// what was written to it. Only the device names in Openable open.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "device/UnitPort.h"

class FakePort : public UnitPort {
 public:
  std::set<std::string> Openable;  // device names that open
  std::vector<std::string> Opened;  // "name@rate" for every successful open
  int Rate = 12;
  std::string Incoming;  // bytes the unit has sent, waiting to be read
  std::string Written;   // bytes written to the unit
  bool WriteFails = false;
  int32_t WriteTakes = -1;  // the most bytes a write takes (a write time-out); -1: all
  bool Dead = false;  // the device went: line settings fail as on a pulled adapter
  bool OpenRaises = false;  // the device goes as it is opened

  void Open() override {
    if (open_) return;
    if (OpenRaises) throw Exception("Error opening serial port (Error: 2)");
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
  void SetBaudRate(int code) override {
    Rate = code;
    if (open_ && Dead) throw Exception("Error updating DataControlBlock (Error: 5)");
  }
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
    if (WriteTakes >= 0) count = std::min(count, WriteTakes);
    Written.append(static_cast<const char*>(buffer), count);
    return count;
  }
  void SetRTS(bool) override {}
  void SetDTR(bool) override {}

 private:
  bool open_ = false;
  std::string name_ = "\\\\.\\COM1";
};

