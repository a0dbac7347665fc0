// kq30 bootloader: the engineering page's four buttons, for a unit already
// in its boot loader: erase, run, write (going on into verification and
// the finishing steps) and verify.
#include <cstdio>
#include <memory>

#include "Command.h"
#include "StopRequest.h"
#include "UnitSession.h"
#include "common/BaudRates.h"

namespace {
struct BootloaderArgs {
  std::string operation;
  PortArgs port;
  std::string firmware = FirmwareFileName;
};

int Operate(UnitSession& session, const BootloaderArgs& a) {
  WizardCore& core = session.Core;
  UpgradeSequencer& upgrade = core.Upgrade;
  if (a.operation == "write" || a.operation == "verify") {
    core.Firmware = LoadFirmwareImage(a.firmware);
    // A verify pass reads nothing into the unit, but compares with nothing
    // useful either when the file is not fit.
    if (!core.Firmware.FitToFlash()) {
      std::fprintf(stderr, "kq30 bootloader: %s\n", core.Firmware.Reason.c_str());
      return 1;
    }
  }
  if (!session.OpenDirect(a.port)) return 1;
  if (a.operation == "run") {
    upgrade.SpeedButton_RunToApplicationClick();
    session.LetOutputLeave();
    return 0;
  }
  if (a.operation == "write") {
    CatchStopRequests();  // the trace and a word on the unit's state, not a killed process
    return session.RunUpgrade([&] { return upgrade.SpeedButton_WritePICFlashClick(); });
  }
  if (a.operation == "verify") upgrade.SpeedButton_VerifyPICFlashClick();
  else upgrade.SpeedButton_ErasePICFlashClick();
  // Both end in Idle: silently or with a message.
  session.Loop.RunUntil([&] { return upgrade.UpgradeState == usIdle; }, std::chrono::minutes(60));
  if (upgrade.Failed) return 1;
  if (a.operation == "verify") std::fprintf(stderr, "the unit's flash matches the firmware file\n");
  return 0;
}

int RunBootloader(const BootloaderArgs& a) {
  UnitSession session("bootloader", false, a.port.trace);
  return session.Finish(Operate(session, a));
}

Command::Run AddBootloader(CLI::App& app) {
  auto a = std::make_shared<BootloaderArgs>();
  app.add_option("operation", a->operation, "erase, run, write or verify")
      ->required()
      ->check(CLI::IsMember({"erase", "run", "write", "verify"}));
  AddPortOptions(app, a->port, false, BaudRateNames[UpgradeSequencer::BootLoaderRateCode]);
  app.add_option("--firmware", a->firmware, "the firmware file (write, verify)")
      ->type_name("FILE")
      ->capture_default_str();
  return [a] {
    RefuseFirmwareAsOutput("--trace", a->port.trace, a->firmware);
    return RunBootloader(*a);
  };
}

Command bootloaderCommand("bootloader", "one boot-loader operation, as on the engineering page", AddBootloader);
}  // namespace
