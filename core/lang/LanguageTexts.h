#pragma once
// The message texts that follow the interface language, named by their keys
// in the language files. Built with the English defaults.
#include <string>

struct LanguageTexts {
  std::string ButtonCaptions[2] = {"Connect", "Disconnect"};
  std::string Connecting = "Connecting...";
  std::string Connected = "Connected...";
  std::string Disconnect = "Disconnect...";
  std::string Exit_Caption = "Exit!";
  std::string QueryExit = "Are you sure to exit?";
  std::string DeviceBaudRateHasBeenChanged = "Device's baud rate has been changed.";
  std::string PleaseChangePcBaudRateInAccordance = "Please change PC's baud rate in accordance.";
  std::string BaudRateChanged = "Baud Rate Changed";
  std::string Warning = "Warning";
  std::string Error = "Error";
  std::string PortOpenError = "Serial port open error! Please check!";
  std::string NoSerialPortExist = "All serial ports are occupied or no existing!";
  std::string ManualConnectTimeOut = "Serial port connection time out!";
  // The port went away under an upgrade: the unit waits in its boot loader,
  // where connecting to it again finds it and offers the firmware anew.
  std::string PortLostDuringUpgrade =
      "The serial port or its adapter went away during the upgrade, and the unit waits in its boot loader. "
      "Plug it in again and connect: the program then offers to write the firmware into it again.";

  // Puts every text back to its English default.
  void SetDefaultMessages() { *this = LanguageTexts{}; }
};
