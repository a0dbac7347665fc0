// kq30 upgrade: a whole upgrade as the wizard runs it: connect, show the
// unit's version beside the file's, ask, then write, verify and start the
// new firmware.
#include <cstdio>
#include <memory>

#include "Command.h"
#include "StopRequest.h"
#include "UnitSession.h"
#include "UpgradeMany.h"
#include "common/BaudRates.h"

namespace {
// The question for the one unit: its version and the file's are printed above it.
bool ConfirmedForTheUnit(const UpgradeArgs& a, const WizardCore& core) {
  return Confirmed(a.yes, "Write firmware " + Printable(core.Firmware.Version) +
                              " into the unit? Keep it powered and connected until it is done.");
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
  if (!ConfirmedForTheUnit(a, core)) {
    std::fprintf(stderr, "not upgraded\n");
    return 1;
  }
  CatchStopRequests();
  return session.RunUpgrade([&] { return core.Rescue.StartRecovery(*found); });
}

// One unit: connect, show its version beside the file's, ask, then the
// upgrade (or the rescue of a unit waiting in its boot loader).
int UpgradeOne(UnitSession& session, const UpgradeArgs& a, const FirmwareFile& firmware) {
  WizardCore& core = session.Core;
  core.Firmware = firmware;
  // Ctrl+C ends the session with its trace and a word on the unit's state,
  // from the start where nothing is asked (a question must stay one that
  // Ctrl+C can break off), else from the answer on.
  if (a.yes) CatchStopRequests();
  if (a.recover) return Recover(a, session);
  if (!session.Connect(a.port)) return 1;
  std::printf("port: COM%s\n", core.Conn.Page.ComPortText.c_str());
  std::printf("unit_version: %s\n", Printable(core.Link.OriginalVersion).c_str());
  std::printf("file_version: %s (%s)\n", Printable(core.Firmware.Version).c_str(),
              Printable(core.Firmware.Date).c_str());
  std::fflush(stdout);
  if (!ConfirmedForTheUnit(a, core)) {
    core.Conn.EndWantedConnection();
    std::fprintf(stderr, "not upgraded\n");
    return 1;
  }
  CatchStopRequests();
  // Continue, then Yes on the version page.
  core.Conn.SB_COMPortDetectContinueClick();
  return session.RunUpgrade([&] { return core.Upgrade.SpeedButtonFrmVerWantToContinueYesClick(); });
}

int RunUpgrade(const UpgradeArgs& a) {
  // The file is checked before anything reaches the unit.
  const FirmwareFile firmware = LoadFirmwareImage(a.firmware);
  if (!firmware.FitToFlash()) {
    std::fprintf(stderr, "kq30 upgrade: %s\n", firmware.Reason.c_str());
    return 1;
  }
  if (a.station) return RunStation(a, firmware);
  // One unit with a report or events is a run of one: one way to record a unit.
  if (!a.recover &&
      (a.port.automatic || a.port.ports.size() + a.port.devices.size() > 1 || !a.report.empty() || a.json))
    return UpgradeAtOnce(a, firmware);
  UnitSession session("upgrade", a.port.force, a.port.trace);
  return session.Finish(UpgradeOne(session, a, firmware));
}

Command::Run AddUpgrade(CLI::App& app) {
  auto a = std::make_shared<UpgradeArgs>();
  CLI::Option* baud = AddPortOptions(app, a->port, true, BaudRateNames[BaudChoices[DefaultBaudChoice]], true);
  app.add_option("--firmware", a->firmware, "the firmware file")->type_name("FILE")->capture_default_str();
  app.add_flag("--yes", a->yes, "upgrade without asking");
  CLI::Option* recover = app.add_flag(
      "--recover", a->recover,
      "write the firmware into a unit left waiting in its boot loader by an upgrade that did not finish");
  app.add_flag("--force", a->port.force, "answer OK to the wizard's questions, such as whether to connect anyway");
  CLI::Option* station =
      app.add_flag("--station", a->station,
                   "upgrade unit after unit on the one port: wait for each to answer, and after its upgrade for it "
                   "to go; Ctrl+C stops once the upgrade under way has finished")
          ->excludes(recover);
  app.add_option("--count", a->count, "the station stops after this many units")
      ->type_name("K")
      ->transform(WholeNumber(1, 1000000))
      ->needs(station);
  app.add_flag("--again", a->again,
               "the station upgrades a unit it has upgraded earlier in the run (told by its serial code) again "
               "when it comes again, instead of waiting past it")
      ->needs(station);
  app.add_option("--report", a->report, "append a CSV row per unit to this file")
      ->type_name("FILE")
      ->excludes(recover);
  app.add_flag("--json", a->json,
               "print the run's events as JSON Lines on standard output; the rest goes to standard error")
      ->excludes(recover);
  return [a, baud] {
    a->baudGiven = baud->count() > 0;
    const std::size_t named = a->port.ports.size() + a->port.devices.size();
    // A station's port is one fixed cable: a serial number would be looked
    // up again for every unit, and an adapter changed meanwhile taken.
    if (a->station && (a->port.automatic || named > 1 || !a->port.serial.empty()))
      throw CLI::ValidationError("--station", "takes one --port or --device");
    if (a->recover && named > 1) throw CLI::ValidationError("--recover", "takes one --port or --device, or --auto");
    // One trace is one unit's session.
    const bool many =
        a->station || (!a->recover && (a->port.automatic || named > 1 || !a->report.empty() || a->json));
    if (many && !a->port.trace.empty())
      throw CLI::ValidationError(
          "--trace", a->station || a->port.automatic || named > 1
                         ? "traces the upgrade of one unit: give one --port, --device or --port-serial"
                         : "traces the upgrade of one unit alone: not with --report or --json");
    RefuseFirmwareAsOutput("--trace", a->port.trace, a->firmware);
    RefuseFirmwareAsOutput("--report", a->report, a->firmware);
    // One unit: its port as the single-port commands have it.
    if (!a->port.ports.empty()) a->port.port = a->port.ports.front();
    if (!a->port.devices.empty()) a->port.device = a->port.devices.front();
    return RunUpgrade(*a);
  };
}

Command upgradeCommand("upgrade", "upgrade the unit's firmware as the wizard does", AddUpgrade);
}  // namespace
