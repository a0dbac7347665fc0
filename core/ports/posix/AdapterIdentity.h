#pragma once
// What udev tells about the adapter behind a tty device, and whether
// ModemManager may get in the way: it probes serial devices with AT
// commands, which a boot loader takes for noise at best.
#include <functional>
#include <string>

#include "ports/PortInfo.h"

// A value by name, "" when there is none (also for a device gone meanwhile).
using UdevLookup = std::function<std::string(const char* name)>;

// The identity from the device's udev properties (ID_VENDOR_ID,
// ID_MODEL_ID, ID_VENDOR_FROM_DATABASE or ID_VENDOR, ID_MODEL_FROM_DATABASE
// or ID_MODEL, ID_SERIAL_SHORT), each missing one from the USB device's own
// attributes (idVendor, idProduct, manufacturer, product, serial), which are
// all there is where no udev daemon runs.
PortIdentity IdentityFromUdev(const UdevLookup& property, const UdevLookup& usbAttribute);

// True when a process named ModemManager runs, from the process folder.
bool ModemManagerRunning(const std::string& procFolder = "/proc");

// The note for a port ModemManager may probe: one not marked
// ID_MM_DEVICE_IGNORE while it runs.
extern const char ModemManagerNote[];
