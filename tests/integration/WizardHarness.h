#pragma once
// The very objects the window uses, with the timers stepped by hand and the
// serial port's notifications arriving through a pumped window thread.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/QueueDispatcher.h"
#include "ports/posix/LinuxPortPlatform.h"
#include "ports/posix/ProbeSerialDevice.h"
#include "wizard/WizardCore.h"

class RecordingBoxes : public MessageBoxes {
 public:
  std::vector<std::string> Texts;
  MsgResult YesNoAnswer = MsgResult::No;
  MsgResult Show(const std::string& text, const std::string&, MsgButtons buttons, MsgIcon) override {
    Texts.push_back(text);
    return buttons == MsgButtons::YesNo ? YesNoAnswer : MsgResult::OK;
  }
};

struct Wizard {
  QueueDispatcher window;
  RecordingBoxes boxes;
  ManualTimer timer1{1000}, timerConnection{200}, picTimer{1, true};
  WizardCore core;
  Connection& conn = core.Conn;
  int resets = 0;  // failed passes that sent the wizard back to the start

  explicit Wizard(const std::filesystem::path& folder)
      : core(window, boxes, timer1, timerConnection,
             std::make_unique<LinuxPortPlatform>(ProbeSerialDevice, folder.string(), false)) {
    using namespace std::chrono_literals;
    timer1.OnTimer = [this] { conn.Timer1Timer(); };
    timerConnection.OnTimer = [this] { conn.TimerConnectionTimer(); };
    core.CreateSerialPort();
    core.StartWatching();
  }
  // The upgrade's hooks as the window sets them, and a unit in its boot
  // loader asked for after a time-out.
  void EnableUpgrade() {
    picTimer.OnTimer = [this] { core.Upgrade.PIC_TimerTimer(); };
    core.Upgrade.Pause = [this](std::chrono::milliseconds pause) { window.RunFor(pause); };
    core.Upgrade.ResetWizard = [this] {
      ++resets;
      conn.EndWantedConnection();
    };
    core.Rescue.WaitUntil = [this](const std::function<bool()>& done, std::chrono::milliseconds limit) {
      return window.RunUntil(done, limit);
    };
  }
  // One second of the attempt: a Timer1 tick, then what the line brings.
  void Second() {
    using namespace std::chrono_literals;
    timer1.Fire();
    window.RunFor(60ms);
    timerConnection.Fire();
  }
  bool AnsweredWithin(std::chrono::milliseconds limit) {
    bool found = window.RunUntil([&] { return conn.UnitConnected; }, limit);
    timerConnection.Fire();
    return found;
  }
  // PIC_Timer ticks, each after what the line brought, until the upgrade
  // has succeeded or failed.
  bool UpgradedWithin(std::chrono::seconds limit) {
    using namespace std::chrono_literals;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!core.Upgrade.Succeeded() && resets == 0 && std::chrono::steady_clock::now() < end) {
      picTimer.Fire();
      window.RunFor(1ms);
    }
    return core.Upgrade.Succeeded();
  }
};
