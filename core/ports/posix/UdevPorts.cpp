#include "ports/posix/UdevPorts.h"

#include <libudev.h>
#include <unistd.h>

#include <memory>

#include "ports/posix/AdapterIdentity.h"

namespace {
std::string Attr(udev_device* dev, const char* name) {
  const char* v = dev ? udev_device_get_sysattr_value(dev, name) : nullptr;
  std::string s = v ? v : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

std::string Property(udev_device* dev, const char* name) {
  const char* v = udev_device_get_property_value(dev, name);
  return v ? v : "";
}

// A name a person recognises: the USB product string where there is one,
// else what udev's hardware database knows, else the driver.
std::string DescribeDevice(udev_device* dev) {
  if (std::string(udev_device_get_sysname(dev)).rfind("ttyS", 0) == 0) return "built-in serial port";
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
  std::string product = Attr(usb, "product");
  if (!product.empty()) return product;
  for (const char* key : {"ID_MODEL_FROM_DATABASE", "ID_MODEL", "ID_PCI_SUBCLASS_FROM_DATABASE"}) {
    std::string v = Property(dev, key);
    if (!v.empty()) return v;
  }
  udev_device* parent = udev_device_get_parent(dev);
  const char* driver = parent ? udev_device_get_driver(parent) : nullptr;
  return driver ? std::string("serial port (") + driver + ")" : "serial port";
}

bool IsRealSerialDevice(udev_device* dev) {
  if (!udev_device_get_parent(dev) || !udev_device_get_devnode(dev)) return false;
  std::string name = udev_device_get_sysname(dev);
  // Every PC has ttyS0..ttyS31 whether or not a UART sits behind them; the
  // kernel reports the UART type 0 (unknown) for the empty ones.
  if (name.rfind("ttyS", 0) == 0) {
    std::string type = Attr(dev, "type");
    return !type.empty() && type != "0";
  }
  return true;
}
}  // namespace

std::vector<KernelSerialDevice> ListKernelSerialDevices() {
  std::vector<KernelSerialDevice> devices;
  std::unique_ptr<udev, decltype(&udev_unref)> u(udev_new(), udev_unref);
  if (!u) return devices;
  std::unique_ptr<udev_enumerate, decltype(&udev_enumerate_unref)> e(udev_enumerate_new(u.get()),
                                                                     udev_enumerate_unref);
  if (!e) return devices;
  udev_enumerate_add_match_subsystem(e.get(), "tty");
  udev_enumerate_scan_devices(e.get());
  udev_list_entry* entry;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e.get())) {
    std::unique_ptr<udev_device, decltype(&udev_device_unref)> dev(
        udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(entry)), udev_device_unref);
    if (!dev || !IsRealSerialDevice(dev.get())) continue;
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
    devices.push_back({udev_device_get_sysname(dev.get()), udev_device_get_devnode(dev.get()),
                       DescribeDevice(dev.get()),
                       IdentityFromUdev([&](const char* key) { return Property(dev.get(), key); },
                                        [&](const char* name) { return Attr(usb, name); }),
                       Property(dev.get(), "ID_MM_DEVICE_IGNORE") == "1"});
  }
  return devices;
}

SerialDeviceMonitor::SerialDeviceMonitor() {
  udev_ = udev_new();
  if (!udev_) return;
  // Without a udev daemon (containers, build machines) nothing is sent on the
  // udev channel, so listen to the kernel's own announcements instead.
  const char* source = access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
  monitor_ = udev_monitor_new_from_netlink(udev_, source);
  if (!monitor_) return;
  udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr);
  if (udev_monitor_enable_receiving(monitor_) < 0) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
  }
}

SerialDeviceMonitor::~SerialDeviceMonitor() {
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

int SerialDeviceMonitor::Fd() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

bool SerialDeviceMonitor::Drain() {
  bool changed = false;
  while (udev_device* dev = monitor_ ? udev_monitor_receive_device(monitor_) : nullptr) {
    const char* action = udev_device_get_action(dev);
    if (action && (std::string(action) == "add" || std::string(action) == "remove")) changed = true;
    udev_device_unref(dev);
  }
  return changed;
}
