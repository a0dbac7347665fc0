#pragma once
// The Windows port table: the devices of the Ports class with a COMn port
// name, probed by an exclusive open, and arrivals and removals of COM port
// interfaces reported by a watcher thread with a message-only window of its
// own (the console tool has no window to receive them).
#include <functional>
#include <thread>

#include "ports/PortPlatform.h"

// The window class of the watcher's message-only window.
inline constexpr char PortWatcherWindowClass[] = "KQ30PortWatcher";

class Win32PortPlatform : public PortPlatform {
 public:
  Win32PortPlatform() = default;
  ~Win32PortPlatform() override;
  Win32PortPlatform(const Win32PortPlatform&) = delete;
  Win32PortPlatform& operator=(const Win32PortPlatform&) = delete;

  std::optional<std::vector<PortInfo>> ListPortDevices() override;
  PortProbe ProbePort(const PortInfo& port) override;
  std::optional<std::string> DevicePath(int number) override;
  void Watch(std::function<void()> onChange) override;
  std::string NoPortHint() const override;

 private:
  std::thread watcher_;
  void* window_ = nullptr;  // the watcher's HWND, while it runs
};
