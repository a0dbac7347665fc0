#pragma once
// What the Windows port table makes of the system's answers, kept apart from
// the calls so it can be checked without a serial port: the "PortName" values
// and names of the Ports class's devices, the registry's list of serial ports,
// and the errors of opening a port.
#include <optional>
#include <string>
#include <vector>

#include "ports/PortInfo.h"

// One device of the Ports class as SetupAPI and the registry describe it.
struct PortDevice {
  std::string PortName;      // the "PortName" value: "COM3", "LPT1", ...
  std::string FriendlyName;  // "USB Serial Port (COM3)", or empty
  std::string Description;   // the device description, or empty
  PortIdentity Identity;     // the adapter behind it
};

// The serial ports among the devices: those whose port name is COMn (1 to
// 65535, blanks around it aside), in the order given; of two devices that
// claim one number the first is kept. The description is the friendly name
// without the "(COMn)" the list shows anyway, else the device description;
// the identity comes with the notes for its adapter.
std::vector<PortInfo> PortsFromDevices(const std::vector<PortDevice>& devices);

// One value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, where serial drivers list
// their ports: the driver's device ("\Device\Serial0") and the value's type
// and bytes, as many as the registry gave.
struct SerialCommValue {
  std::string Device;
  unsigned long Type = 0;
  std::string Data;
};

// The ports of the Ports class (from PortsFromDevices), then those that only
// SERIALCOMM lists (Wine's, some virtual COM ports): a text value (REG_SZ)
// that is COMn up to its first NUL, blanks around it aside, and whose number
// no port before has. Their description names the driver's device.
std::vector<PortInfo> WithSerialCommPorts(std::vector<PortInfo> ports, const std::vector<SerialCommValue>& values);

// "\\.\COMn", the name that opens port n (COM10 and above open only so);
// nothing for a number no port can have.
std::optional<std::string> ComDevicePath(int number);

// What an exclusive open that failed with error (GetLastError) says to the
// user; systemMessage is the system's text for errors without a sentence of
// our own. Error 0 is an open that succeeded.
PortProbe ProbeFromError(unsigned long error, const std::string& systemMessage);

// Whether a device instance identifier is a Bluetooth one ("BTHENUM\...").
bool IsBluetoothInstance(const std::string& instanceId);
