// kq30 connect: connects to the unit with the wizard's own connection logic
// and prints the unit's identity.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "CliMessageBoxes.h"
#include "Command.h"
#include "EventLoop.h"
#include "Options.h"
#include "common/BaudRates.h"
#include "wizard/WizardCore.h"

namespace {
extern Command connectCommand;

// Position of a rate in the serial-port page's list, or -1.
int BaudPosition(const std::string& rate) {
  for (size_t p = 0; p < BaudChoices.size(); ++p)
    if (rate == BaudRateNames[BaudChoices[p]]) return static_cast<int>(p);
  return -1;
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

int RunConnect(const std::vector<std::string>& args) {
  Options options;
  std::string problem = options.Parse(args, {"port", "device", "baud"}, {"auto", "force"});
  if (!problem.empty()) return UsageError(connectCommand, problem);
  if (!options.Positional().empty()) return UsageError(connectCommand, "no positional arguments expected");
  bool automatic = options.Has("auto");
  if (automatic == (options.Has("port") || options.Has("device")) || (options.Has("port") && options.Has("device")))
    return UsageError(connectCommand, "give --auto, or one of --port and --device");
  if (automatic && options.Has("baud")) return UsageError(connectCommand, "--auto tries every rate itself");
  int baudPosition = BaudPosition(options.Get("baud", "115200"));
  if (baudPosition < 0) return UsageError(connectCommand, "--baud must be one of 4800, 9600, 38400, 57600, 115200");

  EventLoop loop;
  LoopTimer timer1(1000), timerConnection(200);
  loop.Add(timer1);
  loop.Add(timerConnection);
  CliMessageBoxes boxes(options.Has("force") ? MsgResult::OK : MsgResult::Cancel);
  WizardCore core(loop.Dispatcher, boxes, timer1, timerConnection);
  Connection& conn = core.Conn;
  timer1.OnTimer = [&] { conn.Timer1Timer(); };
  timerConnection.OnTimer = [&] { conn.TimerConnectionTimer(); };
  core.CreateSerialPort();
  core.StartWatching();

  std::string shown;  // the port and rate last reported
  if (automatic) {
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
    std::string port = options.Get("port");
    if (options.Has("device")) {
      std::error_code error;
      std::string device = std::filesystem::canonical(options.Get("device"), error).string();
      port.clear();
      for (int n : core.Lists.PortNumbers)
        if (core.Lists.PortDetails(n)->Port.Device == device) port = std::to_string(n);
      if (port.empty()) {
        std::fprintf(stderr, "kq30 connect: %s is no serial port of this machine (see kq30 ports)\n",
                     options.Get("device").c_str());
        return 1;
      }
    } else if (!options.Number("port", 65535).value_or(0)) {
      return UsageError(connectCommand, "--port needs a COM number from 1 to 65535");
    }
    conn.cbxComPortChange(port);
    conn.cbxBaudRateChange(baudPosition);
  }

  conn.OpenPortClick(true);
  // Done when the success has been shown, or when the connection has ended.
  loop.RunUntil([&] { return (conn.UnitConnected && !timerConnection.Enabled()) || conn.Page.ConnectTag == 0; },
                std::chrono::minutes(30));
  if (conn.UnitConnected) {
    PrintIdentity(core);
    return 0;
  }
  if (boxes.LastText.rfind("Note!", 0) == 0) std::fprintf(stderr, "not connected: give --force to connect anyway\n");
  return 1;
}

Command connectCommand("connect", "connect (--port N | --device PATH) [--baud B] [--force] | connect --auto",
                "connect to the unit as the wizard does and print its identity", RunConnect);
}  // namespace
