#include "UpgradeMany.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "Console.h"
#include "CsvField.h"
#include "StopRequest.h"
#include "UnitRecord.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {
// The USB adapter behind the row's port, as the port list knows it.
void NoteAdapter(UnitRow& row, const UnitSession& session) {
  if (!row.Adapter.empty() || row.Port.rfind("COM", 0) != 0) return;
  const auto details = session.Core.Lists.PortDetails(std::atoi(row.Port.c_str() + 3));
  if (!details) return;
  const PortIdentity& id = details->Port.Identity;
  if (!id.VendorId.empty() || !id.ProductId.empty()) row.Adapter = Printable(id.VendorId + ":" + id.ProductId);
  row.AdapterSerial = Printable(id.Serial);
}

// The port and the identity the unit answered with.
void Identify(UnitRow& row, const UnitSession& session) {
  const DeviceLink& link = session.Core.Link;
  row.Port = "COM" + session.Core.Conn.Page.ComPortText;
  row.SerialCode = Printable(link.DeviceInfo.ModelSerialCode);
  row.Model = Printable(link.DeviceInfo.ModelId);
  row.VersionBefore = Printable(link.OriginalVersion);
  NoteAdapter(row, session);
  if (session.Events) session.Events->Connected(row);
}

void Conclude(UnitRow& row, const UnitSession& session, bool upgraded, Clock::time_point began) {
  row.Upgraded = upgraded;
  row.VersionAfter = upgraded ? Printable(session.Core.Firmware.Version) : "";
  row.Message = upgraded ? "" : Printable(session.Failure);
  row.Outcome = upgraded ? "upgraded" : "failed: " + row.Message;
  row.Took = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - began);
  NoteAdapter(row, session);
  if (session.Events) session.Events->Concluded(row);
}

// The last byte of a file; 0 when there is none to read.
char LastByte(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  char last = 0;
  if (in && in.tellg() > 0 && in.seekg(-1, std::ios::end)) in.get(last);
  return last;
}

// The first line of a file, without its line end; "" when there is none.
std::string FirstLine(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  for (char c; line.size() <= ReportHeader().size() && in.get(c) && c != '\n';) line += c;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// --report: one row per unit appended as the unit is done, so that the
// rows so far survive whatever comes later; a header starts an empty file.
class Report {
 public:
  // A file that does not open for appending, or takes no header, is a
  // usage error, found before anything is sent; so is a file whose rows
  // have other columns (an earlier version's report): rows of two kinds
  // in one file would be read under the wrong names.
  void Open(const std::string& path, const std::string& firmwarePath) {
    if (path.empty()) return;
    path_ = path;
    run_ = RecordOfRun(firmwarePath);
    std::error_code error;
    const bool fresh = std::filesystem::file_size(path, error) == 0 || error;
    const std::string header = ReportHeader().substr(0, ReportHeader().size() - 2);
    if (!fresh && FirstLine(path) != header)
      throw CLI::ValidationError("--report", Printable(path) + " does not begin with the header of this version's "
                                             "reports (" + header + "); its rows have other columns: give a new file");
    file_.reset(std::fopen(path.c_str(), "ab"));
    if (!file_) throw CLI::ValidationError("--report", "cannot append to " + Printable(path) + ": " + std::strerror(errno));
    // Unbuffered: a row that does not reach the file is never left behind to
    // come out glued to the next.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    // A file that does not end in a line end (cut short, or saved so by an
    // editor) gets one: the first row must not be glued to its last line.
    const std::string start = fresh ? ReportHeader() : LastByte(path) != '\n' ? "\r\n" : "";
    if (!start.empty() && !Write(start))
      throw CLI::ValidationError("--report", "cannot write " + Printable(path) + ": " + problem_);
  }

  void Append(const UnitRow& row) {
    if (!file_) return;
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    if (!Write(ReportLine(row, run_, stamp)))
      std::fprintf(stderr, "kq30 upgrade: the row of %s is missing from the report %s: %s\n", row.Port.c_str(),
                   Printable(path_).c_str(), problem_.c_str());
  }

  // Every row reached the file.
  bool Whole() const { return problem_.empty(); }

 private:
  bool Write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), file_.get()) == text.size() && std::fflush(file_.get()) == 0)
      return true;
    problem_ = std::strerror(errno);
    std::clearerr(file_.get());
    return false;
  }

  struct Close {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Close> file_;
  std::string path_;
  RunRecord run_;
  std::string problem_;  // why the last row lost was; "" while none was
};

// The closing table on out, its columns as wide as their widest entry.
void PrintTable(const std::vector<UnitRow>& rows, std::FILE* out) {
  std::vector<std::vector<std::string>> lines{{"port", "serial_code", "model", "before", "after", "outcome", "time"}};
  for (const UnitRow& r : rows)
    lines.push_back({r.Port, r.SerialCode, r.Model, r.VersionBefore, r.VersionAfter.empty() ? "-" : r.VersionAfter,
                     r.Outcome, Duration(r.Took)});
  std::vector<std::size_t> widths(lines[0].size(), 0);
  for (const auto& line : lines)
    for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  for (const auto& line : lines) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i)
      text += i + 1 < line.size() ? line[i] + std::string(widths[i] - line[i].size() + 2, ' ') : line[i];
    std::fprintf(out, "%s\n", text.c_str());
  }
  std::fflush(out);
}

// --json: the events on standard output; none without.
std::unique_ptr<UpgradeEvents> EventsFor(const UpgradeArgs& a) {
  return a.json ? std::make_unique<UpgradeEvents>(stdout) : nullptr;
}

// Every event reached standard output; otherwise said, as the run failed
// the dashboard that follows it.
bool EventsWhole(const UpgradeEvents* events) {
  if (!events || events->Problem().empty()) return true;
  std::fprintf(stderr, "kq30 upgrade: events are missing from standard output: %s\n", events->Problem().c_str());
  return false;
}

// A run that upgraded no unit at all has not done its work either.
bool EveryUnitUpgraded(const std::vector<UnitRow>& rows) {
  return !rows.empty() && std::all_of(rows.begin(), rows.end(), [](const UnitRow& r) { return r.Upgraded; });
}

// One of the units upgraded at the same time.
struct Unit {
  std::string name;  // how its lines start until it has answered: "COM3", a device
  std::unique_ptr<UnitSession> session;
  UnitRow row;
  Clock::time_point began;
  bool connecting = false, connected = false, upgrading = false;
  bool started = false;  // its upgrade was started (it may have ended since)
  bool absent = false;   // Auto found nobody on its port: no line, no row

  std::string Label() const { return row.Port.empty() ? name : row.Port; }
  // Its line on a terminal width columns wide.
  std::string Line(int width) const {
    const UnitSession::Progress& bar = session->Bar;
    const bool drawn = upgrading && bar.Total > 0;
    const std::string state = drawn           ? bar.Tail
                              : upgrading     ? "starting"
                              : connecting    ? "connecting"
                              : !row.Outcome.empty() ? row.Outcome + " (" + Duration(row.Took) + ")"
                                                     : "connected";
    return FitLine(Label() + "  " + (row.VersionBefore.empty() ? "-" : row.VersionBefore) + "  ", bar.Done,
                   drawn ? bar.Total : 0, state, width);
  }
};

// What the units print: on a terminal a line per unit drawn again in place,
// with their messages above it; otherwise each message as a line of a log.
class UnitLines {
 public:
  explicit UnitLines(const std::deque<Unit>& units) : units_(units), terminal_(IsTerminal(stderr)) {}

  void Say(const Unit& unit, const std::string& line) {
    Clear();
    std::fprintf(stderr, "%s: %s\n", unit.Label().c_str(), line.c_str());
    Draw();
  }

  void Draw() {
    if (!terminal_) return;
    Clear();
    // Each line one row: the redraw moves up a row per unit.
    const int width = TerminalWidth(stderr);
    drawn_ = 0;
    for (const Unit& unit : units_)
      if (!unit.absent) std::fprintf(stderr, "\r\033[K%s\n", unit.Line(width).c_str()), ++drawn_;
    std::fflush(stderr);
  }

  // The lines go, before the table or a question.
  void Clear() {
    if (drawn_ > 0) std::fprintf(stderr, "\033[%dA\033[J", drawn_);
    drawn_ = 0;
  }

 private:
  const std::deque<Unit>& units_;
  const bool terminal_;
  int drawn_ = 0;
};
}  // namespace

bool Confirmed(bool yes, const std::string& question) {
  if (yes) return true;
  std::fprintf(stderr, "%s [y/N] ", question.c_str());
  std::fflush(stderr);
  std::string answer;
  if (!std::getline(std::cin, answer)) answer.clear();
  return answer == "y" || answer == "Y" || answer == "yes";
}

int UpgradeAtOnce(const UpgradeArgs& a, const FirmwareFile& firmware) {
  Report report;
  const std::unique_ptr<UpgradeEvents> events = EventsFor(a);
  // With --json, standard output holds only the events.
  std::FILE* const out = events ? stderr : stdout;
  EventLoop loop;
  // One port table for every unit's session: one COM numbering.
  SharedPorts ports;
  std::deque<Unit> units;  // a deque: the sessions' messages hold on to their unit
  UnitLines lines(units);
  std::vector<UnitRow> rows;
  const auto sayFor = [&lines](const Unit& u) {
    return [&lines, &u](const std::string& line) { lines.Say(u, line); };
  };
  // A unit's session; with onlyPort, one that sees that port alone.
  const auto add = [&](const std::string& name, int onlyPort = 0) -> Unit& {
    Unit& u = units.emplace_back();
    u.name = name;
    u.began = Clock::now();
    u.session = std::make_unique<UnitSession>("upgrade", a.port.force, "", &loop, &ports, onlyPort);
    u.session->Core.Firmware = firmware;
    u.session->DrawsBar = false;
    u.session->Say = sayFor(u);
    u.session->Events = events.get();
    return u;
  };
  const auto startConnect = [&](Unit& u, const PortArgs& port) {
    u.connecting = u.session->StartConnect(port);
  };
  const auto endConnect = [&](Unit& u) {
    u.connecting = false;
    u.connected = u.session->EndConnect();
    if (u.connected) Identify(u.row, *u.session);
  };
  const auto conclude = [&](Unit& u, bool upgraded) {
    Conclude(u.row, *u.session, upgraded, u.began);
    report.Append(u.row);
    rows.push_back(u.row);
  };

  // The units --port, --device and --port-serial name (none with --auto),
  // each with its port as given, then as the COM number it names.
  struct Named {
    std::string option, value;
    PortArgs port;
    bool resolved = false;
  };
  PortArgs none = a.port;
  none.port = 0;
  none.device.clear();
  none.serial.clear();
  std::vector<Named> named;
  for (int n : a.port.ports) named.push_back({"--port", std::to_string(n), none}), named.back().port.port = n;
  for (const std::string& device : a.port.devices)
    named.push_back({"--device", device, none}), named.back().port.device = device;
  if (!a.port.serial.empty())
    named.push_back({"--port-serial", a.port.serial, none}), named.back().port.serial = a.port.serial;
  // One unit per port: the session of a port named twice (a device also
  // under another name) would find it busy, and report as failed a unit
  // that was upgraded.
  std::map<std::string, const Named*> taken;
  for (Named& n : named) {
    Unit& u = add(n.option == "--port" ? "COM" + n.value : n.option == "--device" ? n.value : "adapter " + n.value);
    const std::string number = u.session->PortText(n.port);
    // Its row names the port also when the unit never answers there.
    u.row.Port = number.empty() ? u.name : "COM" + number;
    if (number.empty()) continue;  // said why; the unit fails below
    if (const auto [first, fresh] = taken.emplace(number, &n); !fresh)
      throw CLI::ValidationError(n.option, n.value + " names COM" + number + ", as " + first->second->option + " " +
                                               first->second->value + " does; each unit needs a port of its own");
    n.port = none;
    n.port.port = std::stoi(number);
    n.resolved = true;
  }
  report.Open(a.report, a.firmware);

  // Continue, then Yes on the unit's version page; it starts with its
  // boot-loader pause, during which the loop runs the units started before.
  const auto startUpgrade = [&](Unit& u) {
    u.started = true;
    u.session->Core.Conn.SB_COMPortDetectContinueClick();
    u.began = Clock::now();
    u.upgrading = u.session->StartUpgrade([&u] { return u.session->Core.Upgrade.SpeedButtonFrmVerWantToContinueYesClick(); });
    if (!u.upgrading) conclude(u, false);
  };
  const auto connecting = [&] {
    return std::any_of(units.begin(), units.end(), [](const Unit& u) { return u.session->Connecting(); });
  };
  // Runs the connections to their ends. With --yes nobody is asked, so a
  // unit's upgrade begins as soon as it has answered: a port where nobody
  // answers, which takes the whole time-out, holds up no unit.
  const auto connectAll = [&] {
    const auto answered = [](const Unit& u) { return u.connecting && u.session->Answered(); };
    while (connecting()) {
      loop.RunUntil([&] { return !connecting() || (a.yes && std::any_of(units.begin(), units.end(), answered)); },
                    200ms);
      // Every unit that has answered is told as such before the first of
      // them starts (each start pauses for the boot loader).
      std::vector<Unit*> ready;
      for (Unit& u : units)
        if (a.yes && answered(u)) {
          endConnect(u);
          u.session->Say = sayFor(u);  // Auto's were quiet while connecting
          ready.push_back(&u);
        }
      for (Unit* u : ready) startUpgrade(*u);
      lines.Draw();
    }
  };
  if (a.port.automatic) {
    // Every free port at the same time, each with a connection of its own
    // that tries every rate on that port alone, as Auto does: finding the
    // units takes one port's round of rates, however many there are.
    const auto table = ports.ForSession();
    PortLists free(*table);
    free.RefreshPortLists();
    for (int n : free.OpenablePorts) {
      Unit& u = add("COM" + std::to_string(n), n);
      // Quiet until it is known whether anybody answers on the port.
      u.session->Say = [](const std::string&) {};
      startConnect(u, a.port);
    }
    connectAll();
    std::string tried;
    for (Unit& u : units) {
      if (!u.started) endConnect(u);
      u.session->Say = sayFor(u);
      tried += (tried.empty() ? "" : ", ") + u.name;
      if (u.connected) continue;
      // Nobody on the port: no unit of this run.
      u.absent = u.session->BootLoaderPort.empty();
      if (u.absent) continue;
      // A unit waiting in its boot loader is named and has its row.
      u.row.Port = "COM" + u.session->BootLoaderPort;
      u.session->Say(u.session->Failure);
      conclude(u, false);
    }
    if (std::all_of(units.begin(), units.end(), [](const Unit& u) { return u.absent; })) {
      lines.Clear();
      std::fprintf(stderr, "kq30 upgrade: %s\n",
                   tried.empty() ? "no serial port opens (see kq30 ports)"
                                 : ("no unit answered on " + tried + " at any rate").c_str());
      return 1;
    }
  } else {
    for (std::size_t i = 0; i < named.size(); ++i)
      if (named[i].resolved) startConnect(units[i], named[i].port);
    connectAll();
    for (Unit& u : units) {
      if (u.started) continue;
      endConnect(u);
      if (!u.connected) conclude(u, false);
    }
  }

  // Every unit's version beside the file's, and one question for them all
  // (with --yes their upgrades are under way already).
  lines.Clear();
  const auto connected = std::count_if(units.begin(), units.end(), [](const Unit& u) { return u.connected; });
  for (const Unit& u : units)
    if (u.connected)
      std::fprintf(out, "%s: unit_version: %s (%s %s)\n", u.row.Port.c_str(), u.row.VersionBefore.c_str(),
                   u.row.Model.c_str(), u.row.SerialCode.c_str());
  std::fprintf(out, "file_version: %s (%s)\n", Printable(firmware.Version).c_str(), Printable(firmware.Date).c_str());
  std::fflush(out);
  if (connected > 0 && !Confirmed(a.yes, "Write firmware " + Printable(firmware.Version) + " into the " +
                                             std::to_string(connected) +
                                             " units above? Keep them powered and connected until it is done.")) {
    for (Unit& u : units) u.session->Core.Conn.EndWantedConnection();
    std::fprintf(stderr, "not upgraded\n");
    return 1;
  }

  for (Unit& u : units)
    if (u.connected && !u.started) startUpgrade(u);
  const auto ended = [](const Unit& u) { return u.upgrading && !u.session->Upgrading(); };
  while (std::any_of(units.begin(), units.end(), [](const Unit& u) { return u.upgrading; })) {
    loop.RunUntil([&] { return std::any_of(units.begin(), units.end(), ended); }, 200ms);
    for (Unit& u : units) {
      if (!ended(u)) continue;
      u.upgrading = false;
      conclude(u, u.session->EndUpgrade() == 0);
    }
    lines.Draw();
  }
  lines.Clear();
  PrintTable(rows, out);
  return EveryUnitUpgraded(rows) && report.Whole() && EventsWhole(events.get()) ? 0 : 1;
}

namespace {
// What the station remembers of its units, so that it goes by what a unit
// says (its serial code) and not by a failed connection alone: a cable
// that stays plugged in never fails one, however quickly the units on its
// far end are changed, and a unit left in its boot loader says nothing.
class StationMemory {
 public:
  enum class Verdict { Take, StillThere, UpgradedAlready };

  explicit StationMemory(bool again) : again_(again) {}

  // The unit that answered with serial: a unit that came since the last
  // one was handled is taken, unless it was upgraded in this run and
  // --again was not given. A unit that does not say its serial code can't
  // be told from the last one: it is taken only once the cable was empty.
  Verdict Judge(const std::string& serial) const {
    const bool came = empty_ || (!serial.empty() && serial != last_);
    if (!came) return Verdict::StillThere;
    if (!serial.empty() && upgraded_.count(serial) > 0 && !again_) return Verdict::UpgradedAlready;
    return Verdict::Take;
  }
  // An attempt found no unit: neither an answer nor a boot loader.
  void CableEmpty() { empty_ = true; }
  // The unit with serial is being handled; upgraded once it has the firmware.
  void Handling(const std::string& serial) {
    last_ = serial;
    empty_ = false;
  }
  void Upgraded(const std::string& serial) {
    if (!serial.empty()) upgraded_.insert(serial);
  }

 private:
  const bool again_;
  std::set<std::string> upgraded_;  // the serial codes upgraded in this run
  std::string last_;                // the serial code of the unit handled last
  bool empty_ = true;               // no unit on the cable since then
};

// Connection attempts on the station's port, quietly, until a unit answers
// that is to be upgraded (true) or Ctrl+C (false). A failed attempt is
// only a port without a unit yet, tried again a second later; a unit
// upgraded already is said once each time it comes, and waited past.
bool WaitForUnit(UnitSession& session, const PortArgs& port, StationMemory& memory, const std::string& portName) {
  const auto say = std::exchange(session.Say, [](const std::string&) {});
  std::string told;  // the serial code of the unit said to be upgraded already
  bool take = false;
  while (!take && !StopRequested()) {
    session.BootLoaderPort.clear();
    session.Core.Link.DeviceInfo = {};  // what this attempt's unit says, none of an earlier one's
    if (session.StartConnect(port))
      session.Loop.RunUntil([&] { return !session.Connecting() || StopRequested(); }, std::chrono::minutes(1));
    if (session.EndConnect() && !StopRequested()) {
      const std::string serial = Printable(session.Core.Link.DeviceInfo.ModelSerialCode);
      const StationMemory::Verdict verdict = memory.Judge(serial);
      take = verdict == StationMemory::Verdict::Take;
      if (verdict == StationMemory::Verdict::UpgradedAlready && serial != told) {
        told = serial;
        std::fprintf(stderr,
                     "%s: the unit %s was upgraded earlier in this run and is not upgraded again (--again would); "
                     "connect the next\n",
                     portName.c_str(), serial.c_str());
      }
    } else if (session.BootLoaderPort.empty()) {
      memory.CableEmpty();
      told.clear();
    }
    if (take) break;
    session.Core.Conn.EndWantedConnection();  // the next attempt starts afresh
    session.Loop.RunUntil(StopRequested, 1s);
  }
  session.Say = say;
  return take;
}

// Runs the upgrade or rescue start() begins to its end: Ctrl+C meanwhile
// waits for that end, and says so. True when it succeeded.
bool RunToEnd(UnitSession& session, const std::function<bool()>& start) {
  if (!session.StartUpgrade(start)) return false;
  for (int heard = StopRequests(); session.Upgrading();) {
    session.Loop.RunUntil([&] { return !session.Upgrading() || StopRequests() != heard; }, std::chrono::hours(24));
    if (StopRequests() == heard) continue;
    session.Say(heard == 0 ? "Ctrl+C: the station stops once this unit's upgrade has finished"
                           : "Ctrl+C again: still finishing this unit's upgrade, which must not be cut short");
    heard = StopRequests();
  }
  return session.EndUpgrade() == 0;
}
}  // namespace

int RunStation(const UpgradeArgs& a, const FirmwareFile& firmware) {
  Report report;
  report.Open(a.report, a.firmware);
  const std::unique_ptr<UpgradeEvents> events = EventsFor(a);
  std::FILE* const out = events ? stderr : stdout;  // with --json, standard output holds only the events
  const std::string port = a.port.device.empty() ? "COM" + std::to_string(a.port.port) : a.port.device;
  std::fprintf(out, "file_version: %s (%s)\n", Printable(firmware.Version).c_str(), Printable(firmware.Date).c_str());
  std::fflush(out);
  if (!Confirmed(a.yes, "Write firmware " + Printable(firmware.Version) + " into each unit connected to " + port +
                            "? Keep each powered and connected until it is done.")) {
    std::fprintf(stderr, "not upgraded\n");
    return 1;
  }
  CatchStopRequests();
  std::vector<UnitRow> rows;
  // One numbering for the whole run: --port names the same adapter for
  // every unit.
  SharedPorts ports;
  StationMemory memory(a.again);
  while (a.count == 0 || static_cast<int>(rows.size()) < a.count) {
    std::fprintf(stderr, "%s: waiting for a unit (Ctrl+C stops)\n", port.c_str());
    if (events) events->Waiting(port);
    // A session of its own for each unit, on the station's port table.
    UnitSession session("upgrade", a.port.force, "", nullptr, &ports);
    session.Core.Firmware = firmware;
    session.Events = events.get();
    if (!WaitForUnit(session, a.port, memory, port)) break;
    UnitRow& row = rows.emplace_back();
    Identify(row, session);
    const std::string number = session.Core.Conn.Page.ComPortText;
    const std::string serial = Printable(session.Core.Link.DeviceInfo.ModelSerialCode);
    memory.Handling(serial);
    session.Say = [&row](const std::string& line) { std::fprintf(stderr, "%s: %s\n", row.Port.c_str(), line.c_str()); };
    session.Say("unit_version: " + row.VersionBefore + " (" + row.Model + " " + row.SerialCode + ")");
    // From Yes on, Ctrl+C waits for the upgrade's end, and says so.
    session.Core.Conn.SB_COMPortDetectContinueClick();
    const auto began = Clock::now();
    bool upgraded = RunToEnd(session, [&] { return session.Core.Upgrade.SpeedButtonFrmVerWantToContinueYesClick(); });
    Conclude(row, session, upgraded, began);
    // A unit that failed is still the station's: left in its boot loader,
    // it is offered the rescue on the same port before the next unit.
    const auto waiting = upgraded ? std::nullopt : session.Core.Rescue.FindBootLoader({number});
    if (waiting && StopRequested()) {
      const std::string option = a.port.device.empty() ? "--port " + *waiting : "--device " + a.port.device;
      session.Say("the unit waits in its boot loader; kq30 upgrade " + option + " --recover rescues it");
    } else if (waiting && Confirmed(a.yes, row.Port + ": the unit waits in its boot loader. Rescue it: write firmware " +
                                               Printable(firmware.Version) + " into it again?")) {
      session.Say("rescuing the unit: writing the firmware into it again");
      const std::string failure = Printable(session.Failure);
      upgraded = RunToEnd(session, [&] { return session.Core.Rescue.StartRecovery(*waiting); });
      Conclude(row, session, upgraded, began);
      row.Outcome = upgraded ? "rescued after: " + failure
                             : "rescue failed: " + Printable(session.Failure) + ", after: " + failure;
    }
    if (upgraded) memory.Upgraded(serial);
    report.Append(row);
    session.Core.Conn.EndWantedConnection();
    if (StopRequested() || static_cast<int>(rows.size()) == a.count) break;
    session.Say("done; disconnect the unit and connect the next");
  }
  // Stopped before the units counted on came, the station has not done its work.
  const int done = static_cast<int>(rows.size());
  const bool shortOfCount = a.count > 0 && done < a.count;
  if (StopRequested()) {
    const std::string when = done == 0      ? " before any unit"
                             : shortOfCount ? " after " + std::to_string(done) + " of " + std::to_string(a.count) + " units"
                                            : "";
    std::fprintf(stderr, "%s: stopped%s\n", port.c_str(), when.c_str());
  }
  PrintTable(rows, out);
  return EveryUnitUpgraded(rows) && !shortOfCount && report.Whole() && EventsWhole(events.get()) ? 0 : 1;
}
