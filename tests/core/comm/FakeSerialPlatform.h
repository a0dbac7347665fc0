#pragma once
// A scripted serial platform: records what the port asks of the driver, fails
// the calls a test names, and delivers the wake-ups a test pushes.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "comm/platform/SerialPlatform.h"

struct FakeDriver {
  // What the port did.
  std::vector<std::string> calls;
  std::vector<DeviceControlBlock> statesSet;
  CommTimeouts timeouts;
  std::vector<uint32_t> masks;
  int purges = 0;
  bool open = false;
  // Scripted answers.
  bool failOpen = false, failTimeouts = false, failSetupComm = false, failSetState = false,
       failEscape = false;
  int error = 0;                // the last error a failing call leaves
  DeviceControlBlock reported;  // what GetCommState says the driver has
  ComStat stat;
  uint32_t errors = 0;

  // Wake-ups for the event thread.
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<uint32_t> wakeUps;
  bool cancelled = false;

  void Push(uint32_t mask) {
    {
      std::lock_guard lock(mutex);
      wakeUps.push_back(mask);
    }
    changed.notify_all();
  }
  int Count(const std::string& call) {
    std::lock_guard lock(mutex);
    int n = 0;
    for (const auto& c : calls) n += c == call;
    return n;
  }
  void Record(const std::string& call) {
    std::lock_guard lock(mutex);
    calls.push_back(call);
  }
};

class FakeDevice : public SerialDevice {
 public:
  explicit FakeDevice(FakeDriver& d) : d_(d) { d_.open = true; }
  ~FakeDevice() override {
    d_.Record("CloseHandle");
    d_.open = false;
  }
  bool SetCommMask(uint32_t mask) override {
    d_.Record("SetCommMask");
    std::lock_guard lock(d_.mutex);
    d_.masks.push_back(mask);
    return true;
  }
  bool SetupComm(uint32_t, uint32_t) override { return Call("SetupComm", d_.failSetupComm); }
  bool GetCommState(DeviceControlBlock& dcb) override {
    dcb = d_.reported;
    return Call("GetCommState", false);
  }
  bool SetCommState(const DeviceControlBlock& dcb) override {
    if (!Call("SetCommState", d_.failSetState)) return false;
    d_.statesSet.push_back(dcb);
    return true;
  }
  bool SetCommTimeouts(const CommTimeouts& t) override {
    d_.timeouts = t;
    return Call("SetCommTimeouts", d_.failTimeouts);
  }
  bool EscapeCommFunction(uint32_t f) override { return Call("Escape" + std::to_string(f), d_.failEscape); }
  bool ClearCommError(uint32_t& errors, ComStat& stat) override {
    errors = d_.errors;
    stat = d_.stat;
    return Call("ClearCommError", false);
  }
  bool PurgeComm(uint32_t) override {
    std::lock_guard lock(d_.mutex);
    ++d_.purges;
    return true;
  }
  bool WaitCommEvent(uint32_t& mask) override {
    std::unique_lock lock(d_.mutex);
    d_.changed.wait(lock, [&] { return d_.cancelled || !d_.wakeUps.empty(); });
    if (d_.cancelled) return false;
    mask = d_.wakeUps.front();
    d_.wakeUps.pop_front();
    return true;
  }
  void CancelWait() override {
    {
      std::lock_guard lock(d_.mutex);
      d_.cancelled = true;
    }
    d_.changed.notify_all();
  }
  bool ReadFile(void*, uint32_t, uint32_t& n) override {
    n = 0;
    return Call("ReadFile", false);
  }
  bool WriteFile(const void*, uint32_t count, uint32_t& n) override {
    n = count;
    return Call("WriteFile", false);
  }

 private:
  bool Call(const std::string& name, bool fail) {
    d_.Record(name);
    return !fail;
  }
  FakeDriver& d_;
};

class FakeSerialPlatform : public SerialPlatform {
 public:
  std::unique_ptr<SerialDevice> CreateFile(const std::string& path) override {
    driver.Record("CreateFile " + path);
    if (driver.failOpen) return nullptr;
    {
      std::lock_guard lock(driver.mutex);
      driver.cancelled = false;
    }
    return std::make_unique<FakeDevice>(driver);
  }
  int LastError() override { return driver.error; }

  FakeDriver driver;
};
