#pragma once
// The Windows port table: the devices of the Ports class with a COMn port
// name, and the ports that drivers list only in the registry's SERIALCOMM
// key (Wine's, some virtual COM ports), probed by an exclusive open (Bluetooth ports aside), and arrivals and
// removals of serial ports reported by a watcher thread with a hidden window
// of its own (the console tool has no window to receive them).
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "comm/platform/win32/Kernel32.h"
#include "ports/PortPlatform.h"
#include "ports/win32/SetupApi.h"

// The window class of the watcher's hidden top-level window, and the message
// that ends the watcher (any other program may close a top-level window).
inline constexpr char PortWatcherWindowClass[] = "KQ30PortWatcher";
inline constexpr UINT PortWatcherStop = WM_APP + 1;

class Win32PortPlatform : public PortPlatform {
 public:
  explicit Win32PortPlatform(SetupApi& setup = RealSetupApi(), Kernel32& kernel = RealKernel32())
      : setup_(setup), kernel_(kernel) {}
  ~Win32PortPlatform() override;
  Win32PortPlatform(const Win32PortPlatform&) = delete;
  Win32PortPlatform& operator=(const Win32PortPlatform&) = delete;

  std::optional<std::vector<PortInfo>> ListPortDevices() override;
  // A Bluetooth port is not opened: an outgoing one calls its paired device
  // for seconds before it opens or fails.
  PortProbe ProbePort(const PortInfo& port) override;
  std::optional<std::string> DevicePath(int number) override;
  void Watch(std::function<void()> onChange) override;
  std::string WatchProblem() const override { return watchProblem_; }
  std::string NoPortHint() const override;

 private:
  SetupApi& setup_;
  Kernel32& kernel_;
  std::set<int> bluetooth_;  // the Bluetooth ports of the last list
  std::thread watcher_;
  HWND window_ = nullptr;  // the watcher's, while it runs
  std::string watchProblem_;
};
