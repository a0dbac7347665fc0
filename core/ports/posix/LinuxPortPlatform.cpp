#include "ports/posix/LinuxPortPlatform.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "ports/posix/AdapterIdentity.h"
#include "ports/posix/PortFolder.h"
#include "ports/posix/ProbeSerialDevice.h"
#include "ports/posix/UdevPorts.h"

LinuxPortPlatform::LinuxPortPlatform(Prober prober, std::string folder, bool useKernelDevices)
    : prober_(std::move(prober)),
      folder_(folder.empty() ? PortFolderPath() : std::move(folder)),
      useKernelDevices_(useKernelDevices) {}

std::unique_ptr<LinuxPortPlatform> LinuxPortPlatform::ForThisMachine() {
  const char* noKernel = std::getenv("KQ30_NO_KERNEL_PORTS");
  return std::make_unique<LinuxPortPlatform>(ProbeSerialDevice, "", !(noKernel && *noKernel));
}

std::unique_ptr<PortPlatform> DefaultPortPlatform() { return LinuxPortPlatform::ForThisMachine(); }

std::string LinuxPortPlatform::NoPortHint() const { return "links comN in " + folder_ + " name ports too"; }

LinuxPortPlatform::~LinuxPortPlatform() {
  if (watcher_.joinable()) {
    uint64_t one = 1;
    (void)!write(stopFd_, &one, sizeof one);
    watcher_.join();
  }
  if (stopFd_ >= 0) close(stopFd_);
  if (inotifyFd_ >= 0) close(inotifyFd_);
}

std::optional<std::vector<PortInfo>> LinuxPortPlatform::ListPortDevices() {
  std::vector<PortInfo> ports = ScanPortFolder(folder_);
  std::set<int> taken;
  std::set<std::string> linkedDevices;
  for (const auto& p : ports) {
    taken.insert(p.Number);
    linkedDevices.insert(p.Device);
  }

  std::vector<KernelSerialDevice> kernel;
  if (useKernelDevices_) kernel = ListKernelSerialDevices();
  std::map<std::string, PortInfo> known;  // device -> what the kernel tells of it
  std::vector<std::string> names;
  const bool modemManager = !kernel.empty() && ModemManagerRunning();
  for (const auto& k : kernel) {
    PortInfo& info = known[k.Device];
    info = {0, k.Device, k.Description, k.Identity, {}};
    if (modemManager && !k.ModemManagerIgnores) info.Notes.push_back(ModemManagerNote);
    if (!linkedDevices.count(k.Device)) names.push_back(k.Name);
  }
  // A port: its number and device, with what the kernel tells of the device.
  const auto port = [&known](int number, const std::string& device) {
    auto k = known.find(device);
    PortInfo p = k != known.end() ? k->second : PortInfo{};
    if (k == known.end()) p.Description = device.rfind("/dev/pts/", 0) == 0 ? "pseudo-terminal" : "serial device";
    p.Number = number;
    p.Device = device;
    return p;
  };

  std::lock_guard lock(mutex_);
  for (auto& p : ports) p = port(p.Number, p.Device);
  for (const auto& [name, number] : numbering_.Assign(names, taken)) {
    // A link made later in the port folder owns its number; the kernel
    // device keeps its own number and shows again when the link goes.
    if (taken.count(number)) continue;
    for (const auto& k : kernel)
      if (k.Name == name) ports.push_back(port(number, k.Device));
  }
  table_.clear();
  for (const auto& p : ports) table_[p.Number] = p;
  return ports;
}

PortProbe LinuxPortPlatform::ProbePort(const PortInfo& port) { return prober_(port.Device); }

std::optional<std::string> LinuxPortPlatform::DevicePath(int number) {
  // A link is looked up afresh, so a port linked a moment ago opens before
  // the next refresh of the lists.
  for (const auto& p : ScanPortFolder(folder_))
    if (p.Number == number) return p.Device;
  std::lock_guard lock(mutex_);
  auto it = table_.find(number);
  if (it == table_.end() || it->second.Device.empty()) return std::nullopt;
  return it->second.Device;
}

void LinuxPortPlatform::Watch(std::function<void()> onChange) {
  if (watcher_.joinable()) return;
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd_ < 0) return;
  // The folder is watched before Watch returns, so no link made afterwards
  // goes unseen.
  inotifyFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  WatchFolder();
  monitor_ = std::make_unique<SerialDeviceMonitor>();
  watcher_ = std::thread([this, onChange = std::move(onChange)] { WatchLoop(onChange); });
}

void LinuxPortPlatform::WatchFolder() {
  const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
  if (inotifyFd_ >= 0 && folderWatch_ < 0 && EnsurePortFolder(folder_))
    folderWatch_ = inotify_add_watch(inotifyFd_, folder_.c_str(), mask);
}

void LinuxPortPlatform::WatchLoop(std::function<void()> onChange) {
  for (;;) {
    // The folder may be removed and made again while we run: keep watching it.
    WatchFolder();
    pollfd fds[3] = {{stopFd_, POLLIN, 0}, {inotifyFd_, POLLIN, 0}, {monitor_->Fd(), POLLIN, 0}};
    if (poll(fds, 3, folderWatch_ < 0 ? 1000 : -1) < 0) continue;
    if (fds[0].revents) break;
    bool changed = false;
    if (fds[1].revents & POLLIN) {
      alignas(inotify_event) char buffer[4096];
      ssize_t n;
      while ((n = read(inotifyFd_, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
          auto* ev = reinterpret_cast<inotify_event*>(p);
          if (ev->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
            folderWatch_ = -1;  // the folder went, and its links with it
            changed = true;
          } else if (ev->len > 0 && PortLinkNumber(ev->name) > 0) {
            changed = true;
          }
          p += sizeof(inotify_event) + ev->len;
        }
      }
    }
    if ((fds[2].revents & POLLIN) && monitor_->Drain()) changed = true;
    if (changed) onChange();
  }
}
