#pragma once
// What the serial-port page shows. The connection logic keeps it; the window
// (or the command-line tool) draws it whenever OnChanged is raised.
#include <string>
#include <vector>

// How the connection status label looks.
enum class StatusLook { Disabled, Black, Blue, Red };

struct SerialPage {
  bool AutoMode = false;  // RadioButtonConnectionModeAuto checked

  // cbxComPort: its entries, the selected entry (-1 for none) and its text,
  // which the user may also type.
  std::vector<std::string> ComPortEntries;
  int ComPortIndex = -1;
  std::string ComPortText;

  int BaudRateIndex = 4;  // selected position of cbxBaudRate

  std::string AutoPortText;  // EditAutoDetectComPort
  std::string AutoBaudText;  // EditAutoDetectBaudRate

  // The status pictures: an index into ImageListConnectToDevice and one into
  // ImageListConnectTwoWay, and the label under them.
  int ToDeviceImage = 0;
  int TwoWayImage = 0;
  std::string StatusText;
  StatusLook Look = StatusLook::Disabled;

  // GroupBoxConnectionMode, both radio buttons, cbxComPort and cbxBaudRate.
  bool ControlsEnabled = true;

  // OpenPort: a toggle button whose tag says whether a connection is wanted.
  std::string ConnectCaption = "Connect";
  bool ConnectDown = false;
  int ConnectTag = 0;

  // SB_COMPortDetectContinue, in one button group with OpenPort.
  bool ContinueEnabled = false;
  bool ContinueDown = false;
  int ContinueTag = 0;
};
