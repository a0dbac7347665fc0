// kq30 connect: connects to the unit with the wizard's own connection logic
// and prints the unit's identity.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "CliMessageBoxes.h"
#include "Command.h"
#include "EventLoop.h"
#include "common/BaudRates.h"
#include "wizard/WizardCore.h"

namespace {
struct ConnectArgs {
  bool automatic = false;
  int port = 0;        // COM number; 0: not given
  std::string device;  // "": not given
  std::string baud = BaudRateNames[BaudChoices[DefaultBaudChoice]];
  bool force = false;
};

// The rates of the serial-port page's list, in its order.
std::vector<std::string> BaudRates() {
  std::vector<std::string> rates;
  for (int code : BaudChoices) rates.push_back(BaudRateNames[code]);
  return rates;
}

void PrintIdentity(const WizardCore& core) {
  const TDeviceInfo& d = core.Link.DeviceInfo;
  const SerialPage& page = core.Conn.Page;
  std::string device = core.Platform->DevicePath(std::atoi(page.ComPortText.c_str())).value_or("?");
  std::printf("port: COM%s (%s)\n", page.ComPortText.c_str(), device.c_str());
  std::printf("baud: %s\n", BaudRateNames[BaudChoices[page.BaudRateIndex]]);
  std::printf("software_version: %s\n", core.Link.OriginalVersion.c_str());
  std::printf("firmware_version: %s\n", d.FirmwareVersion.c_str());
  std::printf("model_id: %s\n", d.ModelId.c_str());
  std::printf("model_version: %s\n", d.ModelVersion.c_str());
  std::printf("model_serial_code: %s\n", d.ModelSerialCode.c_str());
  std::printf("product_code: %d\n", d.ProductCode);
  std::printf("database_version: %d\n", d.DatabaseVersion);
  std::printf("certification: %s\n", CertificationText(d.Certification));
  std::printf("load_equivalency: %d\n", d.LoadEquivalency);
}

int RunConnect(const ConnectArgs& a) {
  const auto rates = BaudRates();
  const int baudPosition = static_cast<int>(std::find(rates.begin(), rates.end(), a.baud) - rates.begin());

  EventLoop loop;
  LoopTimer timer1(1000), timerConnection(200);
  loop.Add(timer1);
  loop.Add(timerConnection);
  CliMessageBoxes boxes(a.force ? MsgResult::OK : MsgResult::Cancel);
  WizardCore core(loop.Dispatcher, boxes, timer1, timerConnection);
  Connection& conn = core.Conn;
  timer1.OnTimer = [&] { conn.Timer1Timer(); };
  timerConnection.OnTimer = [&] { conn.TimerConnectionTimer(); };
  core.CreateSerialPort();
  core.StartWatching();

  std::string shown;  // the port and rate last reported
  if (a.automatic) {
    conn.RadioButtonConnectionModeAutoClick(true);
    conn.OnChanged = [&] {
      std::string now = conn.Page.AutoPortText + "@" + conn.Page.AutoBaudText;
      if (now != shown && !conn.Page.AutoPortText.empty() && conn.Page.AutoPortText != "N/A" &&
          conn.ConnectPhase == TConnectPhase::Connecting)
        std::fprintf(stderr, "trying COM%s at %s baud\n", conn.Page.AutoPortText.c_str(),
                     conn.Page.AutoBaudText.c_str());
      shown = now;
    };
  } else {
    std::string port = std::to_string(a.port);
    if (!a.device.empty()) {
      std::error_code error;
      std::string device = std::filesystem::canonical(a.device, error).string();
      port.clear();
      for (int n : core.Lists.PortNumbers)
        if (core.Lists.PortDetails(n)->Port.Device == device) port = std::to_string(n);
      if (port.empty()) {
        std::fprintf(stderr, "kq30 connect: %s is no serial port of this machine (see kq30 ports)\n",
                     a.device.c_str());
        return 1;
      }
    }
    conn.cbxComPortChange(port);
    conn.cbxBaudRateChange(baudPosition);
  }

  conn.OpenPortClick(true);
  // Done when the success has been shown, or when the connection has ended.
  loop.RunUntil(
      [&] { return (conn.UnitConnected && !timerConnection.Enabled()) || conn.Page.ConnectTag == 0; },
      std::chrono::minutes(30));
  if (conn.UnitConnected) {
    PrintIdentity(core);
    return 0;
  }
  if (boxes.LastText.rfind("Note!", 0) == 0)
    std::fprintf(stderr, "not connected: give --force to connect anyway\n");
  return 1;
}

// One of --auto, --port and --device; --baud only with the last two.
Command::Run AddConnect(CLI::App& app) {
  auto a = std::make_shared<ConnectArgs>();
  CLI::Option_group* port = app.add_option_group("Port", "the port to connect on");
  CLI::Option* automatic = port->add_flag(
      "--auto", a->automatic, "try every free port at every rate, as the wizard's Auto mode does");
  port->add_option("--port", a->port, "the port's COM number")
      ->type_name("N")
      ->transform(WholeNumber(1, 65535));
  port->add_option("--device", a->device, "the port's device, such as /dev/ttyUSB0")
      ->type_name("PATH")
      ->check(
          [](const std::string& path) { return path.empty() ? std::string("needs a path") : std::string(); });
  port->require_option(1);
  CLI::Option* baud = app.add_option("--baud", a->baud, "the rate to connect at")
                          ->type_name("B")
                          ->capture_default_str()
                          ->check(CLI::IsMember(BaudRates()));
  automatic->excludes(baud);
  app.add_flag("--force", a->force, "answer OK to the wizard's questions, such as whether to connect anyway");
  return [a] { return RunConnect(*a); };
}

Command connectCommand("connect", "connect to the unit as the wizard does and print its identity",
                       AddConnect);
}  // namespace
