// kq30 upgrade: a whole upgrade as the wizard runs it: connect, show the
// unit's version beside the file's, ask, then write, verify and start the
// new firmware.
#include <cstdio>
#include <iostream>
#include <memory>

#include "Command.h"
#include "UnitSession.h"
#include "common/BaudRates.h"

namespace {
struct UpgradeArgs {
  PortArgs port;
  std::string firmware = FirmwareFileName;
  bool yes = false;
  bool recover = false;
  bool baudGiven = false;
};

// The user's go-ahead: --yes, or "y" typed at the question.
bool Confirmed(const UpgradeArgs& a, const WizardCore& core) {
  if (a.yes) return true;
  std::fprintf(stderr, "Write firmware %s into the unit? Keep it powered and connected until it is done. [y/N] ",
               Printable(core.Firmware.Version).c_str());
  std::fflush(stderr);
  std::string answer;
  if (!std::getline(std::cin, answer)) answer.clear();
  return answer == "y" || answer == "Y" || answer == "yes";
}

// A unit left in its boot loader by an upgrade that did not finish: found by
// asking for block 0 at 38400 baud, then written, verified and started.
int Recover(const UpgradeArgs& a, UnitSession& session) {
  WizardCore& core = session.Core;
  const std::vector<std::string> ports = session.PortsToAsk(a.port);
  if (ports.empty()) return 1;
  const auto found = core.Rescue.FindBootLoader(ports);
  if (!found) {
    std::fprintf(stderr, "kq30 upgrade: no unit is waiting in its boot loader on COM%s\n",
                 ports.size() == 1 ? ports[0].c_str() : "s tried");
    return 1;
  }
  core.Conn.cbxComPortChange(*found);
  // The new application gets its version notice at --baud, else where the
  // boot loader listens.
  core.Conn.Page.BaudRateIndex =
      a.baudGiven ? BaudPosition(a.port.baud) : BaudChoicePosition(UpgradeSequencer::BootLoaderRateCode);
  std::printf("port: COM%s (the unit waits in its boot loader)\n", found->c_str());
  std::printf("file_version: %s (%s)\n", Printable(core.Firmware.Version).c_str(),
              Printable(core.Firmware.Date).c_str());
  std::fflush(stdout);
  if (!Confirmed(a, core)) {
    std::fprintf(stderr, "not upgraded\n");
    return 1;
  }
  return session.RunUpgrade([&] { return core.Rescue.StartRecovery(*found); });
}

int Upgrade(UnitSession& session, const UpgradeArgs& a) {
  WizardCore& core = session.Core;
  // The file is checked before anything reaches the unit.
  core.Firmware = LoadFirmwareImage(a.firmware);
  if (!core.Firmware.FitToFlash()) {
    std::fprintf(stderr, "kq30 upgrade: %s\n", core.Firmware.Reason.c_str());
    return 1;
  }
  if (a.recover) return Recover(a, session);
  if (!session.Connect(a.port)) return 1;
  std::printf("port: COM%s\n", core.Conn.Page.ComPortText.c_str());
  std::printf("unit_version: %s\n", Printable(core.Link.OriginalVersion).c_str());
  std::printf("file_version: %s (%s)\n", Printable(core.Firmware.Version).c_str(),
              Printable(core.Firmware.Date).c_str());
  std::fflush(stdout);
  if (!Confirmed(a, core)) {
    core.Conn.EndWantedConnection();
    std::fprintf(stderr, "not upgraded\n");
    return 1;
  }
  // Continue, then Yes on the version page.
  core.Conn.SB_COMPortDetectContinueClick();
  return session.RunUpgrade([&] { return core.Upgrade.SpeedButtonFrmVerWantToContinueYesClick(); });
}

int RunUpgrade(const UpgradeArgs& a) {
  UnitSession session("upgrade", a.port.force, a.port.trace);
  return session.Finish(Upgrade(session, a));
}

Command::Run AddUpgrade(CLI::App& app) {
  auto a = std::make_shared<UpgradeArgs>();
  CLI::Option* baud = AddPortOptions(app, a->port, true, BaudRateNames[BaudChoices[DefaultBaudChoice]]);
  app.add_option("--firmware", a->firmware, "the firmware file")->type_name("FILE")->capture_default_str();
  app.add_flag("--yes", a->yes, "upgrade without asking");
  app.add_flag("--recover", a->recover,
               "write the firmware into a unit left waiting in its boot loader by an upgrade that did not finish");
  app.add_flag("--force", a->port.force, "answer OK to the wizard's questions, such as whether to connect anyway");
  return [a, baud] {
    a->baudGiven = baud->count() > 0;
    return RunUpgrade(*a);
  };
}

Command upgradeCommand("upgrade", "upgrade the unit's firmware as the wizard does", AddUpgrade);
}  // namespace
