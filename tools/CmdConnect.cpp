// kq30 connect: connects to the unit with the wizard's own connection logic
// and prints the unit's identity.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Command.h"
#include "UnitSession.h"
#include "common/BaudRates.h"

namespace {
void PrintIdentity(const WizardCore& core) {
  const TDeviceInfo& d = core.Link.DeviceInfo;
  const SerialPage& page = core.Conn.Page;
  std::string device = core.Platform->DevicePath(std::atoi(page.ComPortText.c_str())).value_or("?");
  std::printf("port: COM%s (%s)\n", page.ComPortText.c_str(), device.c_str());
  std::printf("baud: %s\n", BaudRateNames[BaudChoices[page.BaudRateIndex]]);
  // What the unit sent is shown escaped: it reaches a terminal.
  std::printf("software_version: %s\n", Printable(core.Link.OriginalVersion).c_str());
  std::printf("firmware_version: %s\n", Printable(d.FirmwareVersion).c_str());
  std::printf("model_id: %s\n", Printable(d.ModelId).c_str());
  std::printf("model_version: %s\n", Printable(d.ModelVersion).c_str());
  std::printf("model_serial_code: %s\n", Printable(d.ModelSerialCode).c_str());
  std::printf("product_code: %d\n", d.ProductCode);
  std::printf("database_version: %d\n", d.DatabaseVersion);
  std::printf("certification: %s\n", CertificationText(d.Certification));
  std::printf("load_equivalency: %d\n", d.LoadEquivalency);
}

int RunConnect(const PortArgs& a) {
  UnitSession session("connect", a.force, a.trace);
  if (!session.Connect(a)) return session.Finish(1);
  PrintIdentity(session.Core);
  return session.Finish(0);
}

Command::Run AddConnect(CLI::App& app) {
  auto a = std::make_shared<PortArgs>();
  AddPortOptions(app, *a, true, BaudRateNames[BaudChoices[DefaultBaudChoice]]);
  app.add_flag("--force", a->force, "answer OK to the wizard's questions, such as whether to connect anyway");
  return [a] { return RunConnect(*a); };
}

Command connectCommand("connect", "connect to the unit as the wizard does and print its identity", AddConnect);
}  // namespace
