#include "wizard/Connection.h"

#include <algorithm>

#include "common/BaudRates.h"
#include "common/Exception.h"

namespace {
const char* const EndOfStaticData = "[END OF STATIC DATA]";
}  // namespace

Connection::Connection(UnitPort& port, PortLists& lists, WizardTimer& timer1, WizardTimer& timerConnection,
                       MessageBoxes& boxes, const LanguageTexts& texts)
    : port_(port), lists_(lists), timer1_(timer1), timerConnection_(timerConnection), boxes_(boxes), texts_(texts) {
  lists_.OnRefreshed = [this] { FillPortList(); };
  Page.ConnectCaption = texts_.ButtonCaptions[0];
}

void Connection::Changed() {
  if (OnChanged) OnChanged();
}

void Connection::ShowConnectionStatus(int index, const std::string& text) {
  Page.ToDeviceImage = index;
  Page.TwoWayImage = index;
  if (text == texts_.Disconnect) Page.Look = StatusLook::Disabled;
  else if (text == texts_.Connecting) Page.Look = StatusLook::Black;
  else if (text == texts_.Connected) Page.Look = StatusLook::Blue;
  Page.StatusText = text;
}

void Connection::ShowButtonCaption() {
  if (Page.ConnectTag == 0 || Page.ConnectTag == 1) Page.ConnectCaption = texts_.ButtonCaptions[Page.ConnectTag];
}

void Connection::ShowStatusText() {
  switch (ConnectPhase) {
    case TConnectPhase::Disconnected: Page.StatusText = texts_.Disconnect; break;
    case TConnectPhase::Connecting: Page.StatusText = texts_.Connecting; break;
    case TConnectPhase::Connected: Page.StatusText = texts_.Connected; break;
  }
}

void Connection::ResetConnection() {
  ConnectPhase = TConnectPhase::Disconnected;
  ConnectTicks = 0;
  UnitConnected = false;
  Page.AutoPortText.clear();
  Page.AutoBaudText.clear();
  timer1_.SetEnabled(false);
  timerConnection_.SetEnabled(false);
  ShowConnectionStatus(0, texts_.Disconnect);
  Page.ControlsEnabled = true;
}

void Connection::FillPortList() {
  Page.ComPortEntries = lists_.PortListEntries();
  if (Page.ConnectTag == 1) {
    // While a connection is wanted the list keeps the port in use: the
    // upgrade reopens the port by this text, and a device that arrives
    // meanwhile must not take its place.
    SelectPortEntry(Page.ComPortText);
  } else {
    Page.ComPortIndex = 0;
    Page.ComPortText = Page.ComPortEntries.front();
  }
  Changed();
}

void Connection::SelectPortEntry(const std::string& text) {
  Page.ComPortText = text;
  auto entry = std::find(Page.ComPortEntries.begin(), Page.ComPortEntries.end(), text);
  Page.ComPortIndex = entry == Page.ComPortEntries.end() ? -1 : static_cast<int>(entry - Page.ComPortEntries.begin());
}

void Connection::SelectBaudChoice(int position) {
  Page.BaudRateIndex = position;
  port_.SetBaudRate(BaudChoices[position]);
}

void Connection::OpenPortClick(bool byUser) {
  if (byUser) {
    // The framework toggles a speed button before its handler runs; pressing
    // one button of the group releases the other.
    Page.ConnectDown = !Page.ConnectDown;
    if (Page.ConnectDown) Page.ContinueDown = false;
  }
  if (Page.ConnectTag == 1) {
    Page.ConnectTag = 0;
    Page.ConnectDown = false;
    if (port_.Connected()) port_.Close();
  } else if (!port_.Connected()) {
    Page.ConnectTag = 1;
  } else {
    Page.ConnectDown = false;
  }
  ResetConnection();

  if (Page.ConnectTag == 1) {
    EvaluateReplyLine(std::nullopt);
    if (!Page.AutoMode) {
      if (!ConfirmManualPort()) {
        Changed();
        return;
      }
    } else {
      lists_.RefreshPortLists();
      Page.ComPortIndex = 0;
      Page.ComPortText = Page.ComPortEntries.front();
      if (lists_.OpenableCount() > 0) {
        for (int i = 0; i < lists_.PortCount(); ++i) {
          Page.ComPortIndex = i;
          Page.ComPortText = Page.ComPortEntries[i];
          if (lists_.PortNumbers[i] == lists_.OpenablePorts[0]) {
            Page.AutoPortText = Page.ComPortText;
            break;
          }
        }
        Page.BaudRateIndex = DefaultBaudChoice;
        Page.AutoBaudText = BaudRateNames[BaudChoices[DefaultBaudChoice]];
      } else {
        Page.AutoPortText = "N/A";
        Page.AutoBaudText = "N/A";
      }
    }
    Page.ConnectCaption = texts_.ButtonCaptions[1];
    // A failure of this first step shows its message before the timers run;
    // the connection then ends one tick after the box is closed.
    ConnectionStep();
    // A query that could not be written in Manual mode has ended the
    // connection already; the timers then stay stopped.
    if (Page.ConnectTag == 0) {
      Changed();
      return;
    }
    ConnectTicks += 1;
    timer1_.SetEnabled(true);
    timerConnection_.SetEnabled(true);
    ShowConnectionStatus(1, texts_.Connecting);
    Page.ControlsEnabled = false;
  } else {
    Page.ConnectCaption = texts_.ButtonCaptions[0];
    timer1_.SetEnabled(false);
    timerConnection_.SetEnabled(false);
    ShowConnectionStatus(0, texts_.Disconnect);
    Page.ControlsEnabled = true;
  }
  Changed();
}

bool Connection::ConfirmManualPort() {
  PortNotConfirmed = false;
  for (int n : lists_.OpenablePorts)
    if (std::to_string(n) == Page.ComPortText) return true;
  Changed();
  MsgResult answer = boxes_.Show(texts_.ForceConnect, texts_.Warning, MsgButtons::OKCancel, MsgIcon::Warning);
  if (answer == MsgResult::OK) return true;
  PortNotConfirmed = true;
  Page.ConnectTag = 0;
  Page.ConnectDown = false;
  ConnectPhase = TConnectPhase::Disconnected;  // no attempt runs
  return false;
}

void Connection::Timer1Timer() {
  ConnectionStep();
  ConnectTicks += 1;
  Changed();
}

void Connection::ConnectionStep() {
  switch (ConnectPhase) {
    case TConnectPhase::Disconnected:
      if (UnitConnected || ConnectFailed) {
        OpenPortClick();
        UnitConnected = false;
        ConnectFailed = false;
      }
      break;
    case TConnectPhase::Connecting:
      if (Page.AutoMode) {
        if (ConnectTicks == 0) {
          DetectTickLimit = lists_.OpenableCount() <= 1 ? 20 : lists_.OpenableCount() * 15 + 2;
          if (lists_.OpenableCount() == 0) {
            Fail(texts_.NoSerialPortExist, texts_.Warning, MsgIcon::Warning);
            return;
          }
        }
        if (ConnectTicks > DetectTickLimit) {
          std::vector<std::string> tried;
          for (int n : lists_.OpenablePorts) tried.push_back(std::to_string(n));
          Fail(texts_.DetectingFailed, texts_.Error, MsgIcon::Error, tried);
          return;
        }
        AutoDetectStep();
      } else {
        if (ConnectTicks == 0) {
          if (!port_.Connected()) {
            int position = std::clamp(Page.BaudRateIndex, 0, static_cast<int>(BaudChoices.size()) - 1);
            OpenComPort(port_, Page.ComPortText, BaudChoices[position]);
          }
          if (!port_.Connected()) {
            Fail(texts_.PortOpenError, texts_.Error, MsgIcon::Error);
            return;
          }
        }
        ManualConnectStep();
      }
      break;
    case TConnectPhase::Connected:
      break;
  }
}

void Connection::AutoDetectStep() {
  if (UnitConnected) return;
  if (ConnectTicks == 0) {
    DetectPortCursor = 0;
    DetectBaudCursor = 4;
  }
  switch (ConnectTicks % 3) {
    case 0:  // a new port or rate
      try {
        SelectBaudChoice(DetectBaudCursor);
      } catch (const Exception&) {
        // A port whose device went away takes no settings: like a silent
        // port it has no unit, and the next port or rate is tried.
      }
      Page.AutoBaudText = BaudRateNames[BaudChoices[DetectBaudCursor]];
      if (DetectBaudCursor == 4) {
        if (DetectPortCursor >= lists_.OpenableCount()) DetectPortCursor = 0;
        // A refresh during the attempt may have left no openable port (the
        // port we hold is busy to the probe); then there is nothing to open.
        if (lists_.OpenableCount() > 0) OpenPortNumber(lists_.OpenablePorts[DetectPortCursor]);
        else port_.Close();
        DetectPortCursor += 1;
        Page.AutoPortText = Page.ComPortText;
        UnitFound = false;
      }
      if (SendQuery && SendQuery()) DetectBaudCursor = DetectBaudCursor == 0 ? 4 : DetectBaudCursor - 1;
      break;
    case 2:
      if (SendQuery) SendQuery();
      break;
    default:
      break;
  }
}

void Connection::OpenPortNumber(int n) {
  port_.Close();
  if (port_.Connected()) return;
  SelectPortEntry(std::to_string(n));
  OpenComPort(port_, Page.ComPortText, port_.BaudRate());
}

void Connection::ManualConnectStep() {
  if (UnitConnected) return;
  if (ConnectTicks > 20) {
    Fail(texts_.ManualConnectTimeOut, texts_.Error, MsgIcon::Error, {Page.ComPortText});
    return;
  }
  if (ConnectTicks % 3 != 1 && SendQuery) SendQuery();
}

void Connection::Fail(const std::string& text, const std::string& caption, MsgIcon icon,
                      const std::vector<std::string>& tried) {
  // The state is complete before the box opens: ticks go on while it is up.
  ConnectPhase = TConnectPhase::Disconnected;
  ConnectFailed = true;
  Changed();
  boxes_.Show(text, caption, MsgButtons::OK, icon);
  if (!tried.empty() && AttemptTimedOut) AttemptTimedOut(tried);
}

void Connection::EndFailedAttempt() {
  EndWantedConnection();
  ConnectFailed = false;
  Changed();
}

void Connection::AdoptPort(const std::string& text) {
  Page.ConnectTag = 1;
  SelectPortEntry(text);
  Changed();
}

void Connection::EvaluateReplyLine(std::optional<std::string_view> line) {
  switch (ConnectPhase) {
    case TConnectPhase::Disconnected:
      if (UnitConnected && Page.ConnectDown) return;
      // Also a line that arrives after a failure: the attempt starts again.
      UnitFound = false;
      ConnectPhase = TConnectPhase::Connecting;
      ConnectTicks = 0;
      break;
    case TConnectPhase::Connecting:
      if (!line || UnitConnected) return;
      if (line->find(EndOfStaticData) != std::string_view::npos) {
        UnitFound = true;
        Page.ContinueEnabled = true;
      }
      if (UnitFound) {
        UnitConnected = true;
        ConnectTicks = 0;
        ConnectPhase = TConnectPhase::Connected;
      }
      Changed();
      break;
    case TConnectPhase::Connected:
      break;
  }
}

void Connection::TimerConnectionTimer() {
  if (UnitConnected) {
    ShowConnectionStatus(1, texts_.Connected);
    TimerConnectionTag = 2;
    timerConnection_.SetEnabled(false);
    timer1_.SetEnabled(false);
    Changed();
    return;
  }
  int t = TimerConnectionTag;
  if (t >= 7) AnimationUp = false;
  else if (t <= 2) AnimationUp = true;
  TimerConnectionTag = AnimationUp ? t + 1 : t - 1;
  StatusBlinkTag = StatusBlinkTag >= 7 ? 0 : StatusBlinkTag + 1;
  Page.TwoWayImage = TimerConnectionTag;
  Page.Look = StatusBlinkTag < 3 ? StatusLook::Red : StatusLook::Black;
  Page.StatusText = texts_.Connecting;
  Changed();
}

void Connection::RadioButtonConnectionModeAutoClick(bool autoSelected) {
  Page.AutoMode = autoSelected;
  lists_.RefreshPortLists();
  if (autoSelected) {
    Page.AutoPortText.clear();
    Page.AutoBaudText.clear();
  } else {
    Page.ComPortIndex = 0;
    Page.ComPortText = Page.ComPortEntries.front();
    Page.BaudRateIndex = DefaultBaudChoice;
  }
  Changed();
}

void Connection::cbxComPortChange(const std::string& text) {
  SelectPortEntry(text);
  if (!port_.Connected()) port_.SetDeviceName(ComDevicePrefix + text);
  Changed();  // the device shown beside the list follows the choice
}

void Connection::cbxBaudRateChange(int position) {
  if (position < 0 || position >= static_cast<int>(BaudChoices.size())) return;
  SelectBaudChoice(position);
}

void Connection::SelectDefaults() {
  if (Page.ComPortEntries.empty()) FillPortList();
  Page.ComPortIndex = 0;
  Page.ComPortText = Page.ComPortEntries.front();
  Page.BaudRateIndex = DefaultBaudChoice;
  Changed();
}

bool Connection::SB_COMPortDetectContinueClick() {
  if (!Page.ContinueEnabled) return false;  // a disabled button does nothing
  // Pressing Continue releases the Connect button (one button group); the
  // connection stays open for the version page and the upgrade.
  Page.ContinueDown = true;
  Page.ConnectDown = false;
  if (!UnitFound) {
    Changed();
    boxes_.Show(texts_.PleaseConnectFirst, texts_.Message, MsgButtons::OK, MsgIcon::None);
    return false;
  }
  Page.ContinueDown = false;
  Page.ContinueTag = 0;
  Page.ContinueEnabled = false;
  Changed();
  return true;
}

void Connection::EndWantedConnection() {
  if (Page.ConnectTag == 1) OpenPortClick();
  // The port may have been opened outside a connection (again for the boot
  // loader, after the connection had ended): left open, Connect would find
  // it open and do nothing.
  if (port_.Connected()) port_.Close();
}

void Connection::DeviceChanged() {
  // The lists were refreshed (and the port list filled) before this runs.
  if (lists_.CheckOpenPortRemoved(UnitConnected, port_.DeviceName())) {
    OpenPortClick();
    FillPortList();  // the port in use has gone: entry 0, as any refresh selects
  }
  Changed();
}

void Connection::PortHungUp() {
  if (!UnitConnected) return;
  OpenPortClick();
  // A hang-up often comes just before the device's removal is reported:
  // the lists are read afresh (and entry 0 selected) now.
  lists_.RefreshPortLists();
  Changed();
}
