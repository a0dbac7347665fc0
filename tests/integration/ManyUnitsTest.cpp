// kq30 upgrade on more than one unit: several ports at once, every unit
// Auto finds, and a station upgrading unit after unit on one port. The
// units are simulated in this process; the tool runs as a child.
#include <signal.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "IntegrationSupport.h"
#include "device/FirmwareImage.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {
std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string ReportHeader =
    "time,port,serial_code,model,version_before,version_after,outcome,seconds,tool_version,firmware_file,"
    "firmware_sha256,adapter,adapter_serial,host,message";

// The report's rows after its header, each as its fields, quotes undone.
std::vector<std::vector<std::string>> CsvRows(const fs::path& p) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row(1);
  bool quoted = false;
  const std::string text = ReadAll(p);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') row.back() += text[++i];
    else if (c == '"') quoted = !quoted;
    else if (!quoted && c == ',') row.emplace_back();
    else if (!quoted && c == '\n') rows.push_back(std::exchange(row, std::vector<std::string>(1)));
    else if (quoted || c != '\r') row.back() += c;
  }
  EXPECT_FALSE(rows.empty());
  if (!rows.empty()) {
    std::string header;
    for (const std::string& name : rows[0]) header += (header.empty() ? "" : ",") + name;
    EXPECT_EQ(header, ReportHeader);
    for (const auto& row : rows) EXPECT_EQ(row.size(), rows[0].size());
    rows.erase(rows.begin());
  }
  return rows;
}

bool FlashHolds(const SimulatedUnit& unit, const FirmwareFile& file) {
  const auto flash = unit.Flash();
  return std::equal(file.FirmwareImage.begin(), file.FirmwareImage.begin() + file.ProgramLength(), flash.begin());
}

// The tool running in the background, its output into a file.
class Background {
 public:
  Background(const std::string& args, fs::path log) : log_(std::move(log)) {
    const std::string command = "exec " + Tool() + " " + args + " >" + Quoted(log_) + " 2>&1";
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Waits up to limit for what() to hold of the output so far.
  bool Shows(const std::function<bool(const std::string&)>& what, std::chrono::seconds limit) const {
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(100ms))
      if (what(ReadAll(log_))) return true;
    return false;
  }
  void Signal(int signal) const { kill(pid_, signal); }
  // The exit status, or -1 when it did not exit within limit (or died by a signal).
  int Exit(std::chrono::seconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(100ms)) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
    }
    return -1;
  }
  std::string Output() const { return ReadAll(log_); }

 private:
  fs::path log_;
  pid_t pid_ = -1;
  bool exited_ = false;
};

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class ManyUnits : public ::testing::Test {
 protected:
  TestPortFolder folder;
  const fs::path report = folder.Path() / "report.csv";
  const fs::path log = folder.Path() / "log";
  const FirmwareFile image = LoadFirmwareImage(KQ30_SAMPLE_FIRMWARE);
  const std::string firmware = std::string(" --firmware ") + Quoted(KQ30_SAMPLE_FIRMWARE);
};
}  // namespace

TEST_F(ManyUnits, EachPortGetsItsRowAndTheUnitThatFailedIsRecoveredAfterwards) {
  std::vector<std::unique_ptr<SimulatedUnit>> units;
  for (int port : {3, 4, 5}) {
    SimOptions o = UnitOn(folder, port, 38400);
    if (port == 4) o.ModelId = "=KQ-30, \"B\"";  // a field the report must quote, and no formula
    if (port == 5) o.NoAckRequest = 50;          // its 50th block goes unacknowledged
    units.push_back(std::make_unique<SimulatedUnit>(o));
    units.back()->Start();
  }
  // A report whose last line has no line end: the rows start on a line of their own.
  std::ofstream(report, std::ios::binary) << ReportHeader;
  const fs::path events = folder.Path() / "events";
  const auto began = std::chrono::steady_clock::now();
  const Result r = RunShell("(" + Tool() + " upgrade --port 3 --port 4 --port 5 --baud 38400 --yes --json --report " +
                            Quoted(report) + firmware + " >" + Quoted(events) + ")");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_TRUE(FlashHolds(*units[0], image));
  EXPECT_TRUE(FlashHolds(*units[1], image));
  EXPECT_EQ(units[0]->SoftwareVersion(), "SAMPLE 1.10");
  EXPECT_TRUE(units[2]->InBootLoader());
  // The failure neither stopped nor slowed the others: all at once take
  // about as long as one (30 s being the bound of one alone).
  EXPECT_LT(seconds, 30);
  const auto rows = CsvRows(report);
  ASSERT_EQ(rows.size(), 3u) << ReadAll(report);
  const std::vector<std::vector<std::string>> expected{
      {"COM3", "SIM0000001", "KQ-30", "1.05", "SAMPLE 1.10", "upgraded"},
      {"COM4", "SIM0000001", "'=KQ-30, \"B\"", "1.05", "SAMPLE 1.10", "upgraded"},
      {"COM5", "SIM0000001", "KQ-30", "1.05", "", "failed: Programming Fail! Please try again."}};
  for (const auto& want : expected) {
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row[1] == want[0]; });
    ASSERT_NE(row, rows.end()) << want[0];
    EXPECT_EQ(std::vector<std::string>(row->begin() + 1, row->begin() + 7), want);
  }
  // Each row names the tool, the file by its name and SHA-256, the machine
  // and the failure's message (the units' pseudo-terminals have no adapter).
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const std::string sha = RunShell("sha256sum " + Quoted(KQ30_SAMPLE_FIRMWARE)).output.substr(0, 64);
  for (const auto& row : rows)
    EXPECT_EQ(std::vector<std::string>(row.begin() + 8, row.end()),
              (std::vector<std::string>{KQ30_VERSION, KQ30_SAMPLE_FIRMWARE, sha, "", "", host,
                                        row[1] == "COM5" ? "Programming Fail! Please try again." : ""}));
  // Standard output holds the events alone, one object a line: each unit
  // answered and began its passes, and ended in one event.
  const std::string json = ReadAll(events);
  std::istringstream lines(json);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.size() > 2 && line.front() == '{' && line.back() == '}') << line;
  EXPECT_EQ(Count(json, R"({"event": "connected")"), 3u) << json;
  const int blocks = (image.ProgramLength() + 511) / 512;
  for (const std::string port : {"COM3", "COM4", "COM5"}) {
    const std::string at = R"(, "port": ")" + port + R"(", )";
    EXPECT_NE(json.find(at + R"("serial_code": "SIM0000001", "model": ")"), std::string::npos) << json;
    EXPECT_NE(json.find(at + R"("pass": "write", "blocks": )" + std::to_string(blocks)),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(at + R"("blocks_done": )"), std::string::npos) << json;
  }
  EXPECT_NE(json.find(R"("model": "=KQ-30, \"B\"")"), std::string::npos) << json;
  EXPECT_EQ(Count(json, R"("pass": "verify")"), 2u) << json;
  EXPECT_EQ(Count(json, R"("version_after": "SAMPLE 1.10")"), 2u) << json;
  EXPECT_NE(json.find(R"("event": "failed", "time": )"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("message": "Programming Fail! Please try again.")"), std::string::npos) << json;
  // The table, after the progress, names every unit's outcome (on stderr, beside the events).
  const auto line = r.output.find("\nCOM5 ");
  ASSERT_NE(line, std::string::npos) << r.output;
  EXPECT_NE(r.output.substr(line, r.output.find('\n', line + 1) - line).find("failed: Programming Fail!"),
            std::string::npos)
      << r.output;

  const Result recovered =
      RunShell(Tool() + " upgrade --port 5 --baud 38400 --recover --yes" + firmware);
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  EXPECT_TRUE(FlashHolds(*units[2], image));
  EXPECT_EQ(units[2]->SoftwareVersion(), "SAMPLE 1.10");
}

// The dashboard reading the events goes away after the first: the upgrades
// go on to their ends, and the run fails for the events lost.
TEST_F(ManyUnits, AutoUpgradesEveryUnitItFindsAtItsOwnRateThoughTheDashboardGoes) {
  SimulatedUnit slow(UnitOn(folder, 3, 38400)), fast(UnitOn(folder, 4, 115200));
  slow.Start();
  fast.Start();
  const Result r = RunShell("( (KQ30_NO_KERNEL_PORTS=1 " + Tool() + " upgrade --auto --yes --json" + firmware +
                            " 2>&3; echo \"exit $?\" >&3) | head -n 1 >/dev/null ) 3>&1");
  EXPECT_NE(r.output.find("kq30 upgrade: events are missing from standard output: Broken pipe\nexit 1\n"),
            std::string::npos)
      << r.output;
  for (const SimulatedUnit* unit : {&slow, &fast}) {
    EXPECT_TRUE(FlashHolds(*unit, image));
    EXPECT_EQ(unit->SoftwareVersion(), "SAMPLE 1.10");
  }
  EXPECT_NE(r.output.find("COM3: unit_version: 1.05"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("COM4: unit_version: 1.05"), std::string::npos) << r.output;
  // The search ends quietly once every port is taken.
  EXPECT_EQ(r.output.find("All serial ports are occupied"), std::string::npos) << r.output;
}

// A station tells its units by their serial codes. The unit upgraded is not
// upgraded again while it stays, nor when it comes again (unless --again);
// another unit is upgraded at once, also on a cable that stays plugged in;
// a unit that fails is rescued on the spot, and one left in its boot
// loader does not hold the station.
TEST_F(ManyUnits, AStationTellsItsUnitsByTheirSerialCodes) {
  const auto unitWith = [&](const std::string& serial, int noAck = 0, int badChecksum = 0) {
    SimOptions o = UnitOn(folder, 3, 38400);
    o.SerialCode = serial;
    o.NoAckRequest = noAck;
    o.BadChecksumRequest = badChecksum;
    return o;
  };
  // Requests that change the flash or start the unit (the rescue's search
  // for a boot loader only reads).
  const auto changes = [](const SimulatedUnit& unit) {
    const auto requests = unit.BootRequests();
    return std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r[0] != 0x01; });
  };
  const std::string refused = "was upgraded earlier in this run and is not upgraded again";
  const struct {
    const char* name;
    std::string args;
    SimOptions first, second;
    bool swapped;     // the second comes on the same line, which stays up; else after the cable was empty
    bool turnedAway;  // the second is waited past, and a third unit (SIM3) comes on the same line
    int status;
    std::vector<std::pair<std::string, std::string>> rows;  // serial code, the outcome's start
  } cases[] = {
      {"the next unit after the cable was empty", "", unitWith("SIM1"), unitWith("SIM2"), false, false, 0,
       {{"SIM1", "upgraded"}, {"SIM2", "upgraded"}}},
      {"a quick swap on a cable that stays plugged in", "", unitWith("SIM1"), unitWith("SIM2"), true, false, 0,
       {{"SIM1", "upgraded"}, {"SIM2", "upgraded"}}},
      {"the same unit again", "", unitWith("SIM1"), unitWith("SIM1"), false, true, 0,
       {{"SIM1", "upgraded"}, {"SIM3", "upgraded"}}},
      {"a unit that fails at block 40, rescued", "", unitWith("SIM1", 40), unitWith("SIM2"), true, false, 0,
       {{"SIM1", "rescued after: Programming Fail! Please try again."}, {"SIM2", "upgraded"}}},
      // The station's search for its boot loader is its request 41; the rescue's follow.
      {"a unit whose rescue fails too, left in its boot loader", "", unitWith("SIM1", 40, 60), unitWith("SIM2"),
       true, false, 1,
       {{"SIM1", "rescue failed: Programming Fail! Please try again., after: Programming Fail!"},
        {"SIM2", "upgraded"}}},
      {"the same unit again with --again", " --again", unitWith("SIM1"), unitWith("SIM1"), false, false, 0,
       {{"SIM1", "upgraded"}, {"SIM1", "upgraded"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(log);
    fs::remove(report);
    auto unit = std::make_unique<SimulatedUnit>(c.first);
    unit->Start();
    Background station("upgrade --port 3 --baud 38400 --station --count 2 --yes --json --report " + Quoted(report) +
                           c.args + firmware,
                       log);
    ASSERT_TRUE(station.Shows([](const std::string& out) { return out.find("connect the next") != std::string::npos; },
                              90s))
        << station.Output();
    // Still connected, the unit is left alone.
    const auto changed = changes(*unit);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(changes(*unit), changed);
    if (c.status == 0) {
      EXPECT_TRUE(FlashHolds(*unit, image));
    }
    if (c.swapped) {
      unit->Swap(c.second);
    } else {
      unit.reset();
      std::this_thread::sleep_for(2s);  // the time a hand takes to change units
      (unit = std::make_unique<SimulatedUnit>(c.second))->Start();
    }
    if (c.turnedAway) {
      EXPECT_TRUE(station.Shows([&](const std::string& out) { return out.find(refused) != std::string::npos; }, 30s))
          << station.Output();
      std::this_thread::sleep_for(3s);
      EXPECT_TRUE(unit->BootRequests().empty());
      unit->Swap(unitWith("SIM3"));
    }
    EXPECT_EQ(station.Exit(90s), c.status) << station.Output();
    EXPECT_TRUE(FlashHolds(*unit, image));
    const std::string out = station.Output();
    EXPECT_EQ(Count(out, "waiting for a unit"), 2u) << out;
    EXPECT_EQ(Count(out, R"({"event": "waiting", )"), 2u) << out;
    EXPECT_EQ(Count(out, refused), c.turnedAway ? 1u : 0u) << out;
    const auto rows = CsvRows(report);
    EXPECT_EQ(rows.size(), c.rows.size()) << ReadAll(report);
    for (std::size_t i = 0; i < std::min(rows.size(), c.rows.size()); ++i) {
      EXPECT_EQ(rows[i][2], c.rows[i].first);
      EXPECT_EQ(rows[i][6].rfind(c.rows[i].second, 0), 0u) << rows[i][6];
    }
  }
}

// Ctrl+C lets the upgrade under way finish, saying so at each press; a
// station stopped short of its units (none, or fewer than --count) fails.
TEST_F(ManyUnits, CtrlCAtAStationLetsTheUpgradeUnderWayFinishThenStops) {
  const struct {
    const char* args;
    bool unit;
    const char* signalAt;  // Ctrl+C once the output shows it
    int status;
    const char* stopped;
  } cases[] = {
      {"", true, "Programming", 0, "COM3: stopped\n"},
      {" --count 2", true, "Programming", 1, "COM3: stopped after 1 of 2 units\n"},
      {"", false, "waiting for a unit", 1, "COM3: stopped before any unit\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.args) + (c.unit ? " with a unit" : " without a unit"));
    fs::remove(log);  // the last case's output must not be taken for this one's
    std::unique_ptr<SimulatedUnit> unit;
    if (c.unit) (unit = std::make_unique<SimulatedUnit>(UnitOn(folder, 3, 38400)))->Start();
    Background station(std::string("upgrade --port 3 --baud 38400 --station --yes") + c.args + firmware, log);
    ASSERT_TRUE(station.Shows([&](const std::string& out) { return out.find(c.signalAt) != std::string::npos; }, 60s))
        << station.Output();
    station.Signal(SIGINT);
    if (c.unit) {
      ASSERT_TRUE(station.Shows([](const std::string& out) { return out.find("Ctrl+C: ") != std::string::npos; }, 5s))
          << station.Output();
      station.Signal(SIGINT);
    }
    EXPECT_EQ(station.Exit(60s), c.status) << station.Output();
    const std::string out = station.Output();
    EXPECT_NE(out.find(c.stopped), std::string::npos) << out;
    EXPECT_EQ(Count(out, "waiting for a unit"), 1u) << out;
    if (!c.unit) continue;
    EXPECT_TRUE(FlashHolds(*unit, image));
    EXPECT_EQ(unit->SoftwareVersion(), "SAMPLE 1.10");
    EXPECT_NE(out.find("COM3: Ctrl+C: the station stops once this unit's upgrade has finished"), std::string::npos) << out;
    EXPECT_NE(out.find("COM3: Ctrl+C again: still finishing"), std::string::npos) << out;
  }
}

// Whatever becomes of a unit named or found, it has its row in the report
// and in the table, under its port; every case has a unit not upgraded.
TEST_F(ManyUnits, EveryUnitNamedOrFoundIsAccountedFor) {
  const struct {
    const char* name;
    std::vector<SimOptions> units;
    std::string args;
    std::vector<std::pair<std::string, std::string>> rows;  // port, the outcome's start
  } cases[] = {
      {"an adapter's serial number no adapter has", {}, "--port-serial NOSUCH",
       {{"adapter NOSUCH", "failed: no adapter has the serial number NOSUCH"}}},
      {"ports without a unit", {}, "--port 4 --port 5", {{"COM4", "failed: not connected"}, {"COM5", "failed: not connected"}}},
      {"a device that is no port", {}, "--device /dev/no-such-port",
       {{"/dev/no-such-port", "failed: /dev/no-such-port is no serial port"}}},
      {"Auto after a unit finds one waiting in its boot loader",
       {UnitOn(folder, 3, 115200), UnitOn(folder, 4, 38400, true)},
       "--auto",
       {{"COM3", "upgraded"}, {"COM4", "failed: a unit is waiting in its boot loader on COM4; run kq30 upgrade --recover"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(report);
    std::vector<std::unique_ptr<SimulatedUnit>> units;
    for (const SimOptions& o : c.units) units.emplace_back(std::make_unique<SimulatedUnit>(o))->Start();
    const Result r = RunShell("KQ30_NO_KERNEL_PORTS=1 " + Tool() + " upgrade " + c.args + " --yes --report " +
                              Quoted(report) + firmware);
    EXPECT_EQ(r.status, 1) << r.output;
    const auto rows = CsvRows(report);
    ASSERT_EQ(rows.size(), c.rows.size()) << ReadAll(report);
    for (const auto& [port, outcome] : c.rows) {
      const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return row[1] == port; });
      ASSERT_NE(row, rows.end()) << port << "\n" << ReadAll(report);
      EXPECT_EQ((*row)[6].rfind(outcome, 0), 0u) << (*row)[6];
      EXPECT_NE(r.output.find("\n" + port + "  "), std::string::npos) << r.output;
    }
  }
}

// A port that does not open yet (--force: the cable is still unplugged) is
// only a station without a unit: the unit plugged in later is upgraded.
TEST_F(ManyUnits, AStationWaitsThroughAPortThatDoesNotOpenYet) {
  Background station("upgrade --port 3 --baud 38400 --station --count 1 --force --yes" + firmware, log);
  ASSERT_TRUE(station.Shows([](const std::string& out) { return out.find("waiting for a unit") != std::string::npos; },
                            10s))
      << station.Output();
  std::this_thread::sleep_for(3s);  // several attempts fail to open the port
  SimulatedUnit unit(UnitOn(folder, 3, 38400));
  unit.Start();
  EXPECT_EQ(station.Exit(60s), 0) << station.Output();
  EXPECT_TRUE(FlashHolds(unit, image));
}

// Usage errors found once the ports or the files are known: exit 2 with the
// option at fault and the usage line, before anything reaches the unit; the
// firmware file, under any of its names, is never written.
TEST_F(ManyUnits, UsageErrorsAreFoundBeforeAnythingIsSent) {
  SimulatedUnit unit(UnitOn(folder, 3, 38400));
  unit.Start();
  const fs::path copy = folder.Path() / "KQ-30.bin", link = folder.Path() / "linked.bin";
  fs::copy_file(KQ30_SAMPLE_FIRMWARE, copy);
  fs::create_hard_link(copy, link);
  // A report of an earlier version: rows of fewer columns.
  const fs::path old = folder.Path() / "old.csv";
  const std::string oldRows = "time,port,serial_code,model,version_before,version_after,outcome,seconds\r\n"
                              "2026-01-02 03:04:05,COM3,SIM0000001,KQ-30,1.05,1.10,upgraded,186\r\n";
  std::ofstream(old, std::ios::binary) << oldRows;
  const std::string full = "No space left on device";
  const struct {
    std::string args, problem;
  } cases[] = {
      {"upgrade --port 3 --port 3", "--port: 3 names COM3, as --port 3 does; each unit needs a port of its own"},
      {"upgrade --device " + Quoted(unit.LinkPath()) + " --device " + unit.DevicePath(),
       "--device: " + unit.DevicePath() + " names COM3, as --device " + unit.LinkPath() + " does"},
      {"upgrade --port 3 --trace " + Quoted(copy), "--trace: " + copy.string() + " is the firmware file"},
      {"upgrade --port 3 --trace " + Quoted(link), "--trace: " + link.string() + " is the firmware file"},
      {"bootloader write --port 3 --trace " + Quoted(link), "--trace: " + link.string() + " is the firmware file"},
      {"upgrade --port 3 --report " + Quoted(link), "--report: " + link.string() + " is the firmware file"},
      {"upgrade --port 3 --trace /dev/full", "--trace: cannot write /dev/full: " + full},
      {"upgrade --port 3 --report /dev/full", "--report: cannot write /dev/full: " + full},
      {"upgrade --port 3 --report " + Quoted(folder.Path() / "none" / "r.csv"), "--report: cannot append to "},
      {"upgrade --port 3 --station --report " + Quoted(old),
       "--report: " + old.string() + " does not begin with the header of this version's reports"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string command = c.args.substr(0, c.args.find(' '));
    const Result r = RunShell("KQ30_NO_KERNEL_PORTS=1 " + Tool() + " " + c.args +
                              (command == "upgrade" ? " --yes" : "") + " --firmware " + Quoted(copy));
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("kq30 " + command + ": " + c.problem), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\nusage: kq30 " + command + " "), std::string::npos) << r.output;
  }
  EXPECT_TRUE(unit.ReceivedLines().empty());
  EXPECT_EQ(ReadAll(copy), ReadAll(KQ30_SAMPLE_FIRMWARE));
  EXPECT_EQ(ReadAll(old), oldRows);
}
