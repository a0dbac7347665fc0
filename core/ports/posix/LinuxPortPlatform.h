#pragma once
// The Linux port table: links in the port folder first, then the kernel's
// serial devices with COM numbers kept for the life of the process.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "ports/ComNumbering.h"
#include "ports/PortPlatform.h"

class SerialDeviceMonitor;

class LinuxPortPlatform : public PortPlatform {
 public:
  using Prober = std::function<PortProbe(const std::string& device)>;

  // prober opens a device exclusively and closes it again; folder "" means
  // the usual port folder.
  explicit LinuxPortPlatform(Prober prober, std::string folder = "", bool useKernelDevices = true);
  ~LinuxPortPlatform() override;

  std::optional<std::vector<PortInfo>> ListPortDevices() override;
  PortProbe ProbePort(const PortInfo& port) override;
  std::optional<std::string> DevicePath(int number) override;
  void Watch(std::function<void()> onChange) override;

  const std::string& Folder() const { return folder_; }

  // The table of this machine: the port folder and, unless
  // KQ30_NO_KERNEL_PORTS is set, the kernel's serial devices.
  static std::unique_ptr<LinuxPortPlatform> ForThisMachine();
  std::string NoPortHint() const override;

 private:
  void WatchFolder();
  void WatchLoop(std::function<void()> onChange);

  Prober prober_;
  std::string folder_;
  bool useKernelDevices_;
  std::mutex mutex_;  // the table is read by TComm's resolver from any thread
  ComNumbering numbering_;
  std::map<int, PortInfo> table_;  // the last list, by number
  std::thread watcher_;
  int stopFd_ = -1;
  int inotifyFd_ = -1;
  int folderWatch_ = -1;
  std::unique_ptr<SerialDeviceMonitor> monitor_;
};
