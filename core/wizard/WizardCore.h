#pragma once
// The objects behind the wizard's pages, owned by whoever hosts them (the
// main window, the command-line tool, a test): the serial port, the port
// lists, the device link and the connection logic, wired together.
#include <memory>

#include "comm/Comm.h"
#include "common/Dispatcher.h"
#include "common/MessageBoxes.h"
#include "common/WizardTimer.h"
#include "device/DeviceLink.h"
#include "device/FirmwareImage.h"
#include "device/UpgradeSequencer.h"
#include "lang/LanguageTexts.h"
#include "ports/PortLists.h"
#include "ports/PortPlatform.h"
#include "wizard/BootLoaderRescue.h"
#include "wizard/Connection.h"
#include "wizard/TCommUnitPort.h"

class WizardCore {
 public:
  // platform: the port table; nothing for the system's own.
  WizardCore(WindowDispatcher& dispatcher, MessageBoxes& boxes, WizardTimer& timer1, WizardTimer& timerConnection,
             std::unique_ptr<PortPlatform> platform = nullptr);
  ~WizardCore();

  // The serial port at 115200 baud, no parity, 8 data bits, 1 stop bit on
  // COM1, its received bytes going to the device link; then the port lists.
  void CreateSerialPort();
  // Arrivals and removals of serial devices, reported from now on: each
  // refreshes the port lists, and the removal of the port in use ends the
  // connection, and an upgrade on it at once (as does a hang-up of the port).
  void StartWatching();

  // The engineering page's "Baud Rate Config": tells the unit the rates of
  // its RS-232 and NMEA ports by their positions in DeviceLink::Rs232Rates
  // and DeviceLink::NmeaRates. Once the sentence is out the connection ends
  // (the unit no longer talks at the old rate) and the user is told to set
  // the PC to the new one. True when that happened; nothing is done for a
  // position outside its list, and a sentence that could not be written has
  // already been reported.
  bool spbBaudRateClick(int rs232Index, int nmeaIndex);

  LanguageTexts Texts;
  std::unique_ptr<PortPlatform> Platform;
  TComm Comm;
  TCommUnitPort Port{Comm};
  PortLists Lists{*Platform};
  DeviceLink Link{Port};
  Connection Conn;
  // The firmware file shipped beside the program, loaded once at start-up;
  // its verdict says whether the image may be flashed.
  FirmwareFile Firmware;
  // The upgrade: the boot-loader packets out, the answers in through the
  // device link. The host supplies ShowProgressPage, ResetWizard and Pause.
  UpgradeSequencer Upgrade;
  // After a connection attempt times out: a unit waiting in its boot loader
  // is found and offered its firmware. The host supplies WaitUntil.
  BootLoaderRescue Rescue;

 private:
  void ShowPortOpenError();

  WindowDispatcher& dispatcher_;
  MessageBoxes& boxes_;
};
