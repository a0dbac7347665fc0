#pragma once
// The message texts that follow the interface language, named by their keys
// in the language files. Built with the English defaults.
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

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

  // The welcome page's Start button's tool tip.
  std::string StartHint = "Start the Firmware Upgrade";
  // The serial-port page: the caption of message boxes that only tell, the
  // questions and failures of connecting, and the line beside a port
  // number no port has (%1: the number).
  std::string Message = "Message";
  std::string ForceConnect =
      "Note! Any force connect this serial port may cause unpredictable mistakes. Continue?";
  std::string DetectingFailed = "Serial port detecting failed!";
  std::string PleaseConnectFirst = "Please connect first";
  std::string PortNotPresent = "COM%1 is not present";
  // What the port list and the Auto mode's fields show for "N/A": no port
  // to list, or none to try.
  std::string NotAvailable = "N/A";
  // The version page: the firmware file beside its version (%1 its name,
  // %2 its folder).
  std::string FirmwareFileInFolder = "%1 in %2";
  // The progress page: the notice above the bar while the upgrade runs and
  // once it is done, the status line as designed, in each pass with its
  // two looks of dots, and at the end, and the time left (%1: a number).
  std::string UpgradeInProcess = "   Upgrade in process!               Please wait a moment";
  std::string UpgradeFinished = "        Upgrade finished        Please restart your device!";
  std::string FirmwareStatus = "Firmware Status:";
  std::string Programming = "Programming..";
  std::string ProgrammingDots = "Programming....";
  std::string Verifying = "Verifying..";
  std::string VerifyingDots = "Verifying....";
  std::string Success = "Success!!";
  std::string SecondsLeft = "About %1 s left";
  std::string MinutesLeft = "About %1 min left";
  // The upgrade's and the engineering page's failures and the erase's end.
  std::string ProgrammingFail = "Programming Fail! Please try again.";
  std::string VerifyFail = "Verify Fail!! ";
  std::string EraseSuccess = "Erase Success!!";
  std::string EraseFail = "Erase Fail!!";
  // The rescue of a unit waiting in its boot loader: what was found (%1:
  // the COM number) and the question (%1: the firmware's version), shown
  // as two paragraphs; the port that does not open again (%1: the number).
  std::string RescueFound =
      "A KQ-30 is waiting in its boot loader on COM%1: an earlier upgrade did not finish.";
  std::string RescueQuestion =
      "Write the firmware %1 into it now? Keep the unit powered and connected until it is done.";
  std::string RescuePortNotOpen = "COM%1 does not open.";

  // Why a firmware file is not fit to flash: a run without a record end
  // (%1: where it starts, %2: how long a record may be), a damaged record
  // (%1: its number, %2: where it starts, %3: its data count), a file too
  // short for its header (%1: its length, %2: the header's), a checksum that
  // differs (%1: the file's, %2: the header's), no program data (%1 to %2:
  // the addresses), and a file that can't be opened or read (%1: its name,
  // %2: the system's words).
  std::string FirmwareUnended =
      "The firmware file is truncated or damaged: at byte %1 more than %2 characters follow without a record "
      "end. "
      "Reading stopped there.";
  std::string FirmwareBadCharacter =
      "The firmware file is damaged: record %1 (at byte %2) holds a character that is not a hexadecimal "
      "digit.";
  std::string FirmwareOddDigits =
      "The firmware file is damaged: record %1 (at byte %2) has an odd number of digits.";
  std::string FirmwareNoAddress =
      "The firmware file is damaged: record %1 (at byte %2) is too short to hold an address and a type.";
  std::string FirmwareTooLong =
      "The firmware file is damaged: record %1 (at byte %2) declares %3 data bytes, more than a record can "
      "hold. "
      "Loading stopped there.";
  std::string FirmwareFewerBytes =
      "The firmware file is damaged: record %1 (at byte %2) holds fewer data bytes than its count of %3 "
      "says.";
  std::string FirmwareNoUpperAddress =
      "The firmware file is damaged: record %1 (at byte %2) is an extended address record without its two "
      "address "
      "bytes.";
  std::string FirmwareEmpty = "The firmware file is empty.";
  std::string FirmwareNoHeader =
      "The firmware file is only %1 bytes long, too short to hold its %2-byte header.";
  std::string FirmwareChecksum =
      "The firmware file is damaged or is not a KQ-30 firmware file: its checksum is %1 but its header "
      "expects %2.";
  std::string FirmwareNoProgramData =
      "The firmware file holds no data for the unit's program flash (addresses %1 to %2).";
  std::string FirmwareFit = "The firmware file is fit to flash.";
  std::string FirmwareNotRegular =
      "The firmware file \"%1\" is not a regular file (it is a folder, a device or a pipe).";
  std::string FirmwareCannotOpen = "The firmware file \"%1\" cannot be opened: %2.";
  std::string FirmwareCannotRead = "The firmware file \"%1\" cannot be read: %2.";

  // Puts every text back to its English default.
  void SetDefaultMessages() { *this = LanguageTexts{}; }
};

// The English texts, for those who show no language (the command-line tool).
const LanguageTexts& EnglishTexts();

// text with %1, %2, ... replaced by the values in order; a number without a
// value, and any other %, stay as they are. The values are never looked at
// again, so a value holding "%1" is shown as it is.
std::string FillIn(std::string_view text, std::initializer_list<std::string_view> values);
std::string FillIn(std::string_view text, const std::vector<std::string>& values);
