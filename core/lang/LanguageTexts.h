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

  // Puts every text back to its English default.
  void SetDefaultMessages() { *this = LanguageTexts{}; }
};
