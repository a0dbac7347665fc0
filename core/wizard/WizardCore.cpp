#include "wizard/WizardCore.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "comm/platform/ComDeviceName.h"
#include "codec/Sentence.h"
#include "common/BaudRates.h"

WizardCore::WizardCore(WindowDispatcher& dispatcher, MessageBoxes& boxes, WizardTimer& timer1,
                       WizardTimer& timerConnection, std::unique_ptr<PortPlatform> platform)
    : Platform(platform ? std::move(platform) : DefaultPortPlatform()),
      Comm(dispatcher),
      Conn(Port, Lists, timer1, timerConnection, boxes, Texts),
      Upgrade(Port, Link, Firmware, boxes, Texts),
      Rescue(Port, Conn, Upgrade, Firmware, boxes, Texts),
      dispatcher_(dispatcher),
      boxes_(boxes) {
  Conn.SendQuery = [this] { return Link.SendTestRequest(16); };
  Link.EvaluateReplyLine = [this](std::string_view line) { Conn.EvaluateReplyLine(line); };
  Link.FeedBootByte = [this](uint8_t b) { Upgrade.Receiver.FeedBootByte(b); };
  // The boot loader is reached on the port and rate the serial-port page shows.
  Upgrade.ChosenRate = [this] { return BaudChoices[Conn.Page.BaudRateIndex]; };
  Upgrade.ChosenPort = [this] { return Conn.Page.ComPortText; };
  Conn.AttemptTimedOut = [this](const std::vector<std::string>& ports) { Rescue.AttemptTimedOut(ports); };
  Rescue.OnFound = [this](const std::string& port) { Rescue.OfferRecovery(port); };
  // A sentence that could not be written: in Auto mode a silent port is one
  // without the unit; otherwise the connection ends and the user is told.
  Link.WriteFailed = [this] {
    if (Conn.Page.AutoMode) return true;
    if (Conn.Page.ConnectDown) Conn.OpenPortClick();
    ShowPortOpenError();
    return false;
  };
  // The port closed for the boot loader's rate does not open again: when
  // its device has gone meanwhile, the cable was pulled under the upgrade,
  // and the unit, told to go to its boot loader, waits there.
  Upgrade.PortOpenFailed = [this] {
    Lists.RefreshPortLists();
    if (Lists.CheckOpenPortRemoved(true, Port.DeviceName()))
      boxes_.Show(Texts.PortLostDuringUpgrade, Texts.Warning, MsgButtons::OK, MsgIcon::None);
    else
      ShowPortOpenError();
  };
}

void WizardCore::ShowPortOpenError() {
  boxes_.Show(Texts.PortOpenError, Texts.Error, MsgButtons::OK, MsgIcon::Error);
}

WizardCore::~WizardCore() {
  Comm.OnRxChar = nullptr;
  if (Comm.Connected()) Comm.Close();
}

void WizardCore::CreateSerialPort() {
  // COM numbers resolve through the port table, so a device the table found
  // (a USB adapter, a linked pseudo-terminal) opens under its number.
  Comm.SetDeviceNameResolver([this](const std::string& name) -> std::optional<std::string> {
    if (int n = ComPortNumber(name)) return Platform->DevicePath(n);
    return DefaultResolveDeviceName(name);
  });
  Comm.SetDeviceName("\\\\.\\COM1");
  Comm.SetBaudRate(br115200);
  Comm.SetParity(paNone);
  Comm.SetDataBits(da8);
  Comm.SetStopBits(sb10);
  Comm.OnRxChar = [this](TThreadComm*, uint32_t count) { Link.DeviceDataReceived(count); };
  // A line error (framing, parity, overrun) is only noise; an I/O error
  // means the device is gone.
  Comm.OnError = [this](TThreadComm*, int32_t errors) {
    if (!(static_cast<uint32_t>(errors) & CommErr::IoError)) return;
    Conn.PortHungUp();
    Upgrade.PortWentAway(Texts.PortLostDuringUpgrade, Texts.Warning);
  };
  Lists.RefreshPortLists();
  Conn.Page.BaudRateIndex = DefaultBaudChoice;
}

void WizardCore::StartWatching() {
  Lists.StartWatching(dispatcher_, [this] {
    Conn.DeviceChanged();
    // The upgrade's port may be one the connection does not hold (a unit
    // rescued in its boot loader, the engineering page's port).
    if (Lists.CheckOpenPortRemoved(true, Port.DeviceName()))
      Upgrade.PortWentAway(Texts.PortLostDuringUpgrade, Texts.Warning);
  });
}

bool WizardCore::spbBaudRateClick(int rs232Index, int nmeaIndex) {
  if (rs232Index < 0 || rs232Index >= static_cast<int>(DeviceLink::Rs232Rates.size()) || nmeaIndex < 0 ||
      nmeaIndex >= static_cast<int>(DeviceLink::NmeaRates.size()))
    return false;
  ProcessSentenceDataStore().DBG = {.Codes = {40, 42, 999, 999},
                                    .Values = {rs232Index, nmeaIndex, kAbsentDbgValue, kAbsentDbgValue},
                                    .SubfieldLetter = 0};
  if (!Link.SendSentence("P", "DBG")) return false;
  // Closing the port discards what the driver has not sent yet: the sentence
  // (under 32 bytes of 10 bits each) gets its time on the line first.
  if (Port.Connected()) {
    const uint32_t rate = std::max<uint32_t>(BaudRateValue(static_cast<TBaudRate>(Port.BaudRate())), 1);
    const std::chrono::milliseconds lineTime{32 * 10 * 1000 / rate + 50};
    if (Upgrade.Pause) Upgrade.Pause(lineTime);
    else std::this_thread::sleep_for(lineTime);
  }
  // Only a connection that is there is ended: with no port open (Auto mode
  // reports the unsent sentence as sent) the button must not start one.
  Conn.Page.ConnectDown = false;
  Conn.EndWantedConnection();
  boxes_.Show(Texts.DeviceBaudRateHasBeenChanged + "\n" + Texts.PleaseChangePcBaudRateInAccordance,
              Texts.BaudRateChanged, MsgButtons::OK, MsgIcon::None);
  return true;
}
