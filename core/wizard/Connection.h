#pragma once
// Connecting to the unit. In Manual mode the attempt uses the chosen port and
// rate; in Auto mode it tries every openable port at 115200, 57600, 38400, 9600
// and 4800 baud in turn. Either way the static-data request goes out at set
// steps of the one-second timer until a line holding "[END OF STATIC DATA]"
// arrives; the 200 ms timer animates the status and shows the success.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/MessageBoxes.h"
#include "common/WizardTimer.h"
#include "lang/LanguageTexts.h"
#include "ports/PortLists.h"
#include "device/UnitPort.h"
#include "wizard/SerialPage.h"

enum class TConnectPhase { Disconnected = 0, Connecting = 1, Connected = 2 };

class Connection {
 public:
  Connection(UnitPort& port, PortLists& lists, WizardTimer& timer1, WizardTimer& timerConnection,
             MessageBoxes& boxes, const LanguageTexts& texts);

  SerialPage Page;

  TConnectPhase ConnectPhase = TConnectPhase::Disconnected;
  int ConnectTicks = 0;
  bool UnitFound = false;      // the end-of-static-data line has arrived
  bool UnitConnected = false;  // the attempt succeeded
  bool ConnectFailed = false;  // the attempt failed; the next step ends it
  // The chosen port is not among the openable ones and the user declined
  // to connect anyway.
  bool PortNotConfirmed = false;

  int DetectPortCursor = 0;  // position in OpenablePorts of the next port to try
  int DetectBaudCursor = 4;  // position in the rate list of the next rate to try
  int DetectTickLimit = 0;   // last step before Auto mode gives up
  bool AnimationUp = true;
  int TimerConnectionTag = 0;  // the animation frame
  int StatusBlinkTag = 0;      // 0..7; the status is red for 3 ticks of 8

  // Sends the static-data request (request code 16); true when handed over.
  std::function<bool()> SendQuery;
  // Raised whenever Page changed, and before any message box.
  std::function<void()> OnChanged;
  // After the time-out box of an attempt: the ports the attempt tried (the
  // one chosen, or every openable one in Auto mode).
  std::function<void(const std::vector<std::string>& ports)> AttemptTimedOut;

  // The Connect button: byUser when clicked (the button's pressed state has
  // not yet been toggled); without a user it ends a connection.
  void OpenPortClick(bool byUser = false);
  void Timer1Timer();
  void TimerConnectionTimer();
  void EvaluateReplyLine(std::optional<std::string_view> line);
  void ResetConnection();

  void RadioButtonConnectionModeAutoClick(bool autoSelected);
  void cbxComPortChange(const std::string& text);
  void cbxBaudRateChange(int position);
  // Start on the welcome page: entry 0 of the port list, 115200 baud.
  void SelectDefaults();
  // Continue: false (after "Please connect first") while the unit has not
  // answered; otherwise the version page may be shown.
  bool SB_COMPortDetectContinueClick();
  // Cancel, No and Finish end a wanted connection as Disconnect does, and
  // leave the port closed whoever opened it.
  void EndWantedConnection();
  // Ends an attempt that failed now rather than on the next tick, as the
  // tick would: the port closed, the page as after the failure.
  void EndFailedAttempt();
  // The port given (already open) becomes the connection's, so that the
  // end of an upgrade on it closes it as for a unit that answered.
  void AdoptPort(const std::string& text);
  // After an arrival or removal of a serial device: the refreshed list, and
  // the end of the connection when the device of the port in use has gone.
  void DeviceChanged();
  // The device behind the open port hung up (a killed peer, an adapter
  // gone behind a link that stays): the connection ends as on a removal.
  void PortHungUp();

  // cbxComPort from the port lists: entry 0 selected, or the single "N/A".
  void FillPortList();
  void ShowConnectionStatus(int index, const std::string& text);
  // After a language is loaded: the connect button's caption for its tag,
  // and the status text for the connect phase, in the new language.
  void ShowButtonCaption();
  void ShowStatusText();

 private:
  void ConnectionStep();
  void AutoDetectStep();
  void ManualConnectStep();
  void OpenPortNumber(int n);
  bool ConfirmManualPort();
  void SelectBaudChoice(int position);
  // cbxComPort shows text, selecting its entry if it has one.
  void SelectPortEntry(const std::string& text);
  void Fail(const std::string& text, const std::string& caption, MsgIcon icon,
            const std::vector<std::string>& tried = {});
  void Changed();

  UnitPort& port_;
  PortLists& lists_;
  WizardTimer& timer1_;
  WizardTimer& timerConnection_;
  MessageBoxes& boxes_;
  const LanguageTexts& texts_;
};
