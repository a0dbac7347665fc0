#include "UnitSession.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

#include "Command.h"
#include "Console.h"
#include "StopRequest.h"
#include "UnitRecord.h"
#include "comm/platform/ComDeviceName.h"
#include "common/BaudRates.h"

namespace {
std::vector<std::string> BaudRates() {
  std::vector<std::string> rates;
  for (int code : BaudChoices) rates.push_back(BaudRateNames[code]);
  return rates;
}
}  // namespace

std::string FitLine(const std::string& head, int done, int total, const std::string& tail, int width) {
  // A column per character: UTF-8's continuation bytes take none.
  const auto columns = [](const std::string& text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  };
  const int room = std::max(width - 1, 0);
  std::string bar;
  constexpr int Widest = 30, Narrowest = 5;
  if (const int cells = std::min(Widest, room - columns(head) - columns(tail) - 3); total > 0 && cells >= Narrowest) {
    const int filled = static_cast<int>(static_cast<long long>(std::clamp(done, 0, total)) * cells / total);
    bar = "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "] ";
  }
  const std::string line = head + bar + tail;
  // Cut before the character that would take column room + 1.
  int taken = 0;
  for (std::size_t i = 0; i < line.size(); ++i)
    if ((line[i] & 0xC0) != 0x80 && ++taken > room) return line.substr(0, i);
  return line;
}

std::string Duration(std::chrono::seconds s) {
  char text[32];
  if (s.count() >= 60) std::snprintf(text, sizeof text, "%ld min %02ld s", long(s.count() / 60), long(s.count() % 60));
  else std::snprintf(text, sizeof text, "%ld s", long(s.count()));
  return text;
}

int BaudPosition(const std::string& rate) {
  const auto rates = BaudRates();
  return static_cast<int>(std::find(rates.begin(), rates.end(), rate) - rates.begin());
}

CLI::Option* AddPortOptions(CLI::App& app, PortArgs& a, bool withAuto, const std::string& defaultBaud,
                            bool several) {
  a.baud = defaultBaud;
  CLI::Option_group* port = app.add_option_group("Port", "the port of the unit");
  CLI::Option* automatic = nullptr;
  if (withAuto)
    automatic = port->add_flag("--auto", a.automatic,
                               "try every free port at every rate, as the wizard's Auto mode does");
  const char* portHelp = several ? "a unit's COM number (as often as there are units)" : "the port's COM number";
  const char* deviceHelp = several ? "a unit's device, such as /dev/ttyUSB0 (as often as there are units)"
                                   : "the port's device, such as /dev/ttyUSB0";
  (several ? port->add_option("--port", a.ports, portHelp) : port->add_option("--port", a.port, portHelp))
      ->type_name("N")
      ->transform(WholeNumber(1, 65535));
  (several ? port->add_option("--device", a.devices, deviceHelp) : port->add_option("--device", a.device, deviceHelp))
      ->type_name("PATH")
      ->check([](const std::string& path) { return path.empty() ? std::string("needs a path") : std::string(); });
  port->add_option("--port-serial", a.serial, "the serial number of the port's USB adapter (see kq30 ports)")
      ->type_name("SERIAL")
      ->check([](const std::string& serial) { return serial.empty() ? std::string("needs a serial number") : std::string(); });
  port->require_option(1);
  CLI::Option* baud = app.add_option("--baud", a.baud, "the rate to connect at")
                          ->type_name("B")
                          ->capture_default_str()
                          ->check(CLI::IsMember(BaudRates()));
  if (automatic) automatic->excludes(baud);
  app.add_option("--trace", a.trace, "write a timestamped log of the session into FILE, for support")
      ->type_name("FILE")
      ->check([](const std::string& path) { return path.empty() ? std::string("needs a file") : std::string(); });
  return baud;
}

void RefuseFirmwareAsOutput(const std::string& option, const std::string& path, const std::string& firmware) {
  std::error_code error;
  if (!path.empty() && std::filesystem::equivalent(path, firmware, error))
    throw CLI::ValidationError(option, Printable(path) + " is the firmware file " + Printable(firmware) +
                                           "; writing it would destroy the firmware");
}

struct SharedPorts::State {
  std::mutex mutex;  // the sessions' watchers, called on the table's watcher thread
  std::map<int, std::function<void()>> watchers;
  int lastId = 0;
  bool watching = false;
  // Last, so that it goes first: its watcher thread ends before the
  // watchers it calls.
  std::unique_ptr<PortPlatform> platform = DefaultPortPlatform();
};

namespace {
// A session's view of the shared table.
class SessionPorts : public PortPlatform {
 public:
  SessionPorts(std::shared_ptr<SharedPorts::State> state, int onlyPort) : state_(std::move(state)), only_(onlyPort) {}
  // Once gone, the session hears no more changes, also none under way.
  ~SessionPorts() override {
    const std::lock_guard lock(state_->mutex);
    state_->watchers.erase(id_);
  }
  std::optional<std::vector<PortInfo>> ListPortDevices() override {
    auto listed = state_->platform->ListPortDevices();
    if (listed && only_ != 0) std::erase_if(*listed, [this](const PortInfo& p) { return p.Number != only_; });
    return listed;
  }
  PortProbe ProbePort(const PortInfo& port) override { return state_->platform->ProbePort(port); }
  std::optional<std::string> DevicePath(int number) override { return state_->platform->DevicePath(number); }
  void Watch(std::function<void()> onChange) override {
    {
      const std::lock_guard lock(state_->mutex);
      id_ = ++state_->lastId;
      state_->watchers[id_] = std::move(onChange);
      if (std::exchange(state_->watching, true)) return;
    }
    SharedPorts::State* state = state_.get();
    state_->platform->Watch([state] {
      const std::lock_guard lock(state->mutex);
      for (const auto& [id, watcher] : state->watchers) watcher();
    });
  }
  std::string WatchProblem() const override { return state_->platform->WatchProblem(); }
  std::string NoPortHint() const override { return state_->platform->NoPortHint(); }

 private:
  std::shared_ptr<SharedPorts::State> state_;
  const int only_;  // the one port the session sees; 0: every port
  int id_ = 0;
};
}  // namespace

SharedPorts::SharedPorts() : state_(std::make_shared<State>()) {}

std::unique_ptr<PortPlatform> SharedPorts::ForSession(int onlyPort) {
  return std::make_unique<SessionPorts>(state_, onlyPort);
}

UnitSession::UnitSession(std::string command, bool force, const std::string& tracePath, EventLoop* sharedLoop,
                         SharedPorts* ports, int onlyPort)
    : ownLoop_(sharedLoop ? nullptr : std::make_unique<EventLoop>()),
      Loop(sharedLoop ? *sharedLoop : *ownLoop_),
      Boxes(force ? MsgResult::OK : MsgResult::Cancel),
      Core(Loop.Dispatcher, Boxes, Timer1, TimerConnection, ports ? ports->ForSession(onlyPort) : nullptr),
      command_(std::move(command)),
      tracePath_(tracePath) {
  Say = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  Boxes.Print = [this](const std::string& line) { Say(line); };
  if (!tracePath.empty()) {
    try {
      trace_ = std::make_unique<SessionTrace>(tracePath, "kq30 " + command_);
    } catch (const std::runtime_error& e) {
      throw CLI::ValidationError("--trace", e.what());
    }
    Core.Link.OnTraffic = [this](bool written, std::span<const uint8_t> bytes) {
      trace_->Port(TracedPort());
      trace_->Traffic(written, bytes);
    };
    Boxes.OnShown = [this](const std::string& caption, const std::string& text) {
      trace_->Message(caption, text);
    };
  }
  for (LoopTimer* t : {&Timer1, &TimerConnection, &PIC_Timer}) Loop.Add(*t);
  Timer1.OnTimer = [this] { Core.Conn.Timer1Timer(); };
  TimerConnection.OnTimer = [this] { Core.Conn.TimerConnectionTimer(); };
  PIC_Timer.OnTimer = [this] { Core.Upgrade.PIC_TimerTimer(); };
  PIC_Timer.SetEnabled(true);  // as the window's, running from the start
  UpgradeSequencer& upgrade = Core.Upgrade;
  upgrade.Pause = [this](std::chrono::milliseconds pause) { Loop.RunUntil([] { return false; }, pause); };
  upgrade.ResetWizard = [this] {
    upgradeEnded_ = true;
    Core.Conn.EndWantedConnection();
  };
  upgrade.OnChanged = [this] { ShowProgress(false); };
  Core.Rescue.WaitUntil = [this](const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return Loop.RunUntil(done, limit);
  };
  // The tool does not write into a unit it was not asked to: it says how.
  Core.Rescue.OnFound = [this](const std::string& port) {
    BootLoaderPort = port;
    Failure = "a unit is waiting in its boot loader on COM" + port + "; run kq30 upgrade --recover";
    Say(Failure);
  };
  // The window's advice is to connect again; the tool's is its own option.
  Core.Texts.PortLostDuringUpgrade =
      "the port or its adapter went away during the upgrade, and the unit waits in its boot loader; once it is "
      "plugged in again, kq30 upgrade --recover brings it back";
  Core.CreateSerialPort();
  Core.StartWatching();
  if (const std::string problem = Core.Lists.WatchProblem(); !problem.empty())
    std::fprintf(stderr, "note: %s\n", problem.c_str());
  if (trace_) {
    // Wrapped once the core has wired its own.
    auto timedOut = Core.Conn.AttemptTimedOut;
    Core.Conn.AttemptTimedOut = [this, timedOut](const std::vector<std::string>& ports) {
      std::string tried;
      for (const std::string& p : ports) tried += (tried.empty() ? "COM" : ", COM") + p;
      trace_->Note("time-out: no answer from the unit on " + (tried.empty() ? std::string("no port") : tried));
      if (timedOut) timedOut(ports);
    };
  }
}

std::string UnitSession::TracedPort() const {
  const std::string name = Core.Port.DeviceName();
  const std::string device = Core.Platform->DevicePath(ComPortNumber(name)).value_or(name);
  return name + " (" + device + ") at " + BaudRateNames[Core.Port.BaudRate()] + " baud, 8 data bits, no parity, "
         "1 stop bit, RTS and DTR raised";
}

int UnitSession::Finish(int status) {
  if (!trace_) return status;
  trace_->Note("outcome: exit status " + std::to_string(status) + (status == 0 ? " (success)" : ""));
  // The trace was asked for: one that lost lines is no success.
  if (const std::string problem = trace_->Flush(); !problem.empty()) {
    std::fprintf(stderr, "kq30 %s: the trace %s is incomplete: %s\n", command_.c_str(), Printable(tracePath_).c_str(),
                 problem.c_str());
    return status == 0 ? 1 : status;
  }
  return status;
}

UnitSession::~UnitSession() {
  for (LoopTimer* t : {&Timer1, &TimerConnection, &PIC_Timer}) Loop.Remove(*t);
}

void UnitSession::Fail(const std::string& text) {
  Say("kq30 " + command_ + ": " + text);
  Failure = text;
}

std::string UnitSession::PortText(const PortArgs& a) {
  if (!a.serial.empty()) return PortOfSerial(a.serial);
  if (a.device.empty()) return std::to_string(a.port);
  std::error_code error;
  const std::string device = std::filesystem::canonical(a.device, error).string();
  for (int n : Core.Lists.PortNumbers)
    if (Core.Lists.PortDetails(n)->Port.Device == device) return std::to_string(n);
  Fail(a.device + " is no serial port of this machine (see kq30 ports)");
  return "";
}

std::string UnitSession::PortOfSerial(const std::string& serial) {
  std::vector<PortInfo> matches;
  for (int n : Core.Lists.PortNumbers)
    if (const auto d = Core.Lists.PortDetails(n); d->Port.Identity.Serial == serial) matches.push_back(d->Port);
  if (matches.size() == 1) return std::to_string(matches[0].Number);
  std::string candidates;
  for (const PortInfo& p : matches)
    candidates += (candidates.empty() ? "" : ", ") + ("COM" + std::to_string(p.Number)) + " (" + Printable(p.Device) + ")";
  if (matches.empty()) Fail("no adapter has the serial number " + Printable(serial) + " (see kq30 ports)");
  else
    Fail("the serial number " + Printable(serial) + " names more than one port: " + candidates +
         "; give --port or --device");
  return "";
}

bool UnitSession::Connect(const PortArgs& a) {
  if (!StartConnect(a)) return false;
  Loop.RunUntil([this] { return !Connecting() || StopRequested(); }, std::chrono::minutes(30));
  // Also a unit that has just answered: nothing is written into it after Ctrl+C.
  if (StopRequested()) {
    Core.Conn.EndFailedAttempt();
    Stopped("stopped by Ctrl+C; nothing was written into the unit");
    return false;
  }
  return EndConnect();
}

void UnitSession::Stopped(const std::string& text) {
  if (trace_) trace_->Note("Ctrl+C");
  Fail(text);
}

bool UnitSession::StartConnect(const PortArgs& a) {
  Connection& conn = Core.Conn;
  Failure.clear();
  Boxes.LastText.clear();
  if (a.automatic) {
    conn.RadioButtonConnectionModeAutoClick(true);
    autoShown_.clear();
    conn.OnChanged = [this, &conn] {
      std::string now = conn.Page.AutoPortText + "@" + conn.Page.AutoBaudText;
      if (now != autoShown_ && !conn.Page.AutoPortText.empty() && conn.Page.AutoPortText != "N/A" &&
          conn.ConnectPhase == TConnectPhase::Connecting)
        Say("trying COM" + conn.Page.AutoPortText + " at " + conn.Page.AutoBaudText + " baud");
      autoShown_ = now;
    };
  } else {
    const std::string port = PortText(a);
    if (port.empty()) return false;
    conn.cbxComPortChange(port);
    conn.cbxBaudRateChange(BaudPosition(a.baud));
  }
  conn.OpenPortClick(true);
  return true;
}

bool UnitSession::Connecting() const {
  // Done when the success has been shown, or at the first failure: the
  // window would start again on the next line the unit sends.
  const Connection& conn = Core.Conn;
  return !((conn.UnitConnected && !TimerConnection.Enabled()) || conn.Page.ConnectTag == 0 || conn.ConnectFailed);
}

bool UnitSession::Answered() const { return Core.Conn.UnitConnected && !TimerConnection.Enabled(); }

bool UnitSession::EndConnect() {
  Connection& conn = Core.Conn;
  conn.OnChanged = nullptr;
  if (Answered()) return true;
  // Ended here, not on the next tick as in the window: the failure must not
  // be left behind to end the session's next attempt at once.
  conn.EndFailedAttempt();
  if (conn.PortNotConfirmed) Fail("not connected: give --force to connect anyway");
  if (Failure.empty()) Failure = Boxes.LastText.empty() ? "not connected" : Boxes.LastText;
  return false;
}

std::vector<std::string> UnitSession::PortsToAsk(const PortArgs& a) {
  std::vector<std::string> ports;
  if (a.automatic) {
    for (int n : Core.Lists.OpenablePorts) ports.push_back(std::to_string(n));
    if (ports.empty()) Fail("no serial port opens (see kq30 ports)");
  } else if (std::string port = PortText(a); !port.empty()) {
    ports.push_back(port);
  }
  return ports;
}

bool UnitSession::OpenDirect(const PortArgs& a) {
  const std::string port = PortText(a);
  if (port.empty()) return false;
  // The rate is the page's too: the version notice at the end of a write
  // goes to the new application at it.
  Core.Conn.Page.BaudRateIndex = BaudPosition(a.baud);
  if (OpenComPort(Core.Port, port, BaudChoices[Core.Conn.Page.BaudRateIndex])) return true;
  Fail("COM" + port + " does not open (see kq30 ports)");
  return false;
}

int UnitSession::RunUpgrade(const std::function<bool()>& start) {
  if (!StartUpgrade(start)) return 1;
  // A pass ends in success, in a failure message, or (the time-outs being
  // seconds) well within the day.
  Loop.RunUntil([this] { return !Upgrading() || StopRequested(); }, std::chrono::hours(24));
  if (!Upgrading()) return EndUpgrade();
  // Stopped where it is: nothing more goes to the unit, which stays in its
  // boot loader unless the run command has already gone out.
  UpgradeSequencer& upgrade = Core.Upgrade;
  const bool runCommandOut = upgrade.UpgradeState == usFinishing && upgrade.FinishStep >= 1;
  upgrade.ResetUpgradeCounters();
  Core.Conn.EndWantedConnection();
  ShowProgress(true);
  Stopped(runCommandOut ? "stopped by Ctrl+C once the unit was programmed and verified; if it does not restart, "
                          "run kq30 upgrade --recover"
                        : "stopped by Ctrl+C before the upgrade had finished; the unit waits in its boot loader, "
                          "and kq30 upgrade --recover brings it back");
  return 1;
}

bool UnitSession::StartUpgrade(const std::function<bool()>& start) {
  upgradeEnded_ = false;
  Failure.clear();
  Boxes.LastText.clear();
  upgradeBegan_ = std::chrono::steady_clock::now();
  toldState_ = usIdle;
  toldPercent_ = -1;
  if (start()) return true;
  Failure = Boxes.LastText.empty() ? "the upgrade did not start" : Boxes.LastText;
  return false;
}

bool UnitSession::Upgrading() const { return !Core.Upgrade.Succeeded() && !upgradeEnded_; }

int UnitSession::EndUpgrade() {
  UpgradeSequencer& upgrade = Core.Upgrade;
  ShowProgress(true);
  if (!upgrade.Succeeded()) {
    Failure = Boxes.LastText.empty() ? "the upgrade did not finish" : Boxes.LastText;
    return 1;
  }
  LetOutputLeave();
  // The finishing commands are not waited for: when the version notice
  // could not be sent, the port went with them, and whether the length and
  // run commands reached the unit is not known.
  if (!upgrade.TpsSent) {
    Fail("the unit was programmed and verified, but the finishing commands may not have reached it; "
         "if it does not restart, run kq30 upgrade --recover");
    return 1;
  }
  const auto took = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - upgradeBegan_);
  Say("upgraded to " + Printable(Core.Firmware.Version) + " in " + Duration(took) + "; restart the unit");
  return 0;
}

void UnitSession::LetOutputLeave() {
  // Closing the port discards what the driver has not sent yet; the last
  // sentence or packet needs a moment on the line first.
  Loop.RunUntil([] { return false; }, std::chrono::milliseconds(250));
}

void UnitSession::TellEvents() {
  const UpgradeSequencer& upgrade = Core.Upgrade;
  const UpgradeProgress p = upgrade.Progress();
  const std::string port = "COM" + Core.Conn.Page.ComPortText;
  constexpr int Block = UpgradeSequencer::BlockSize;
  if (upgrade.UpgradeState != toldState_ && (upgrade.UpgradeState == usWriting || upgrade.UpgradeState == usVerifying))
    Events->PassBegun(port, upgrade.UpgradeState == usWriting ? "write" : "verify",
                      (std::max(Core.Firmware.ProgramLength(), 0) + Block - 1) / Block);
  toldState_ = upgrade.UpgradeState;
  // Each whole percent once: enough for a bar, and few lines.
  if (p.BlocksTotal <= 0) return;
  if (const int percent = p.BlocksDone * 100 / p.BlocksTotal; percent != toldPercent_) {
    toldPercent_ = percent;
    Events->Progress(port, p.BlocksDone, p.BlocksTotal);
  }
}

void UnitSession::ShowProgress(bool final) {
  if (Events) TellEvents();
  const UpgradeProgress p = Core.Upgrade.Progress();
  if (p.BlocksTotal <= 0) return;
  const int percent = p.BlocksDone * 100 / p.BlocksTotal;
  if (!IsTerminal(stderr)) {
    // A log: one line each tenth of the way.
    if (percent / 10 != lastTenth_ && !final) {
      lastTenth_ = percent / 10;
      const std::string& status = Core.Upgrade.Page.StatusText;
      char line[96];
      std::snprintf(line, sizeof line, "%s: %d%% (%d/%d blocks)", status.empty() ? "Progress" : status.c_str(),
                    percent, p.BlocksDone, p.BlocksTotal);
      Say(line);
    }
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (!final && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
  lastDrawn_ = now;
  char text[128];
  std::snprintf(text, sizeof text, "%4d/%d blocks %3d%%  %5.1f kB/s  %-20s", p.BlocksDone, p.BlocksTotal, percent,
                p.BytesPerSecond / 1000, Core.Upgrade.Page.TimeLeft.c_str());
  Bar = {p.BlocksDone, p.BlocksTotal, text};
  if (!DrawsBar) return;
  std::fprintf(stderr, "\r%s", FitLine("", Bar.Done, Bar.Total, Bar.Tail, TerminalWidth(stderr)).c_str());
  if (final) std::fputc('\n', stderr);
  std::fflush(stderr);
}
