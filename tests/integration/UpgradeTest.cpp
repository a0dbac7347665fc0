// kq30 upgrade and kq30 bootloader against the simulated unit: whole
// upgrades, the boot loader's faults, a cable pulled part-way and the
// single boot-loader operations. The tool runs as a child process; the unit
// runs in this process, so its flash and what it heard can be inspected.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "IntegrationSupport.h"
#include "device/FirmwareImage.h"
#include "sim/SimulatedUnit.h"

namespace fs = std::filesystem;

namespace {

const fs::path SampleFirmware = KQ30_SAMPLE_FIRMWARE;

// The tool's message for a port that went away under the upgrade.
const char* const PortGone =
    "the port or its adapter went away during the upgrade, and the unit waits in its boot loader; once it is "
    "plugged in again, kq30 upgrade --recover brings it back";

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

struct TimedResult : Result {
  double seconds = 0;
};

TimedResult RunTimed(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  TimedResult r;
  static_cast<Result&>(r) = RunShell(command);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return r;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "$body*hh", the checksum worked out here rather than by the codec.
std::string Sentence(const std::string& body) {
  unsigned sum = 0;
  for (unsigned char c : body) sum ^= c;
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum);
  return "$" + body + "*" + hex;
}

bool Heard(const SimulatedUnit& unit, const std::string& line, unsigned speed) {
  for (const auto& r : unit.ReceivedLines())
    if (r.Line == line && r.Speed == speed) return true;
  return false;
}

bool HeardBootLoaderRequest(const SimulatedUnit& unit) {
  for (const auto& r : unit.ReceivedLines())
    if (r.Line.rfind("$PTST,,,,,00008", 0) == 0) return true;
  return false;
}

// The offset of the first byte of the programmed length where the unit's
// flash differs from the image; ProgramLength() when they agree.
long FirstDifference(const SimulatedUnit& unit, const FirmwareFile& firmware) {
  const auto flash = unit.Flash();
  const auto length = static_cast<std::size_t>(std::max(firmware.ProgramLength(), 0));
  if (flash.size() < length) return -1;
  return std::mismatch(firmware.FirmwareImage.begin(), firmware.FirmwareImage.begin() + length, flash.begin())
             .first -
         firmware.FirmwareImage.begin();
}

bool Blank(const SimulatedUnit& unit) {
  const auto flash = unit.Flash();
  return std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// Intel HEX of `size` bytes at the start of program flash; every 512-byte
// block differs from the others, so a block written to the wrong place shows.
std::string ProgramHex(std::size_t size) {
  std::string hex = ":020000041D00DD\n";
  for (std::size_t at = 0; at < size; at += 16) {
    const std::size_t n = std::min<std::size_t>(16, size - at);
    unsigned sum = static_cast<unsigned>(n + (at >> 8) + (at & 0xFF));
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X00", static_cast<unsigned>(n), static_cast<unsigned>(at));
    hex += text;
    for (std::size_t i = at; i < at + n; ++i) {
      const auto byte = static_cast<std::uint8_t>(i * 7 + i / 512 * 13);
      std::snprintf(text, sizeof text, "%02X", byte);
      hex += text;
      sum += byte;
    }
    std::snprintf(text, sizeof text, "%02X\n", static_cast<unsigned>(-sum & 0xFF));
    hex += text;
  }
  return hex + ":00000001FF\n";
}

// A scratch folder for firmware files, and the small firmware that the
// shorter runs use: 1500 bytes, a program length of 1504, so three writes
// (512, 512, 480 bytes) are requests 1-3 and their reads 4-6.
class UpgradeTool : public ::testing::Test {
 protected:
  static constexpr int LastWrite = 3;
  static constexpr int FirstRead = 4;
  static constexpr int LastRead = 6;

  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kq30-upgrade-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    std::ofstream(dir_ / "small.hex") << ProgramHex(1500);
    small_ = dir_ / "small.bin";
    const Result r = RunShell(Tool() + " firmware pack " + Quoted(dir_ / "small.hex") + " -o " + Quoted(small_) +
                              " --version 1.07 --date '2026/01/02 03:04'");
    ASSERT_EQ(r.status, 0) << r.output;
    smallImage_ = LoadFirmwareImage(small_.string());
    ASSERT_TRUE(smallImage_.FitToFlash()) << smallImage_.Reason;
    ASSERT_EQ(smallImage_.ProgramLength(), 1504);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_, small_;
  FirmwareFile smallImage_;
};

TEST_F(UpgradeTool, AWholeUpgradeProgramsTheUnitAndTellsItTheNewVersion) {
  const FirmwareFile image = LoadFirmwareImage(SampleFirmware.string());
  ASSERT_TRUE(image.FitToFlash()) << image.Reason;
  ASSERT_EQ(image.Version, "SAMPLE 1.10");
  // The second unit is connected at a rate the boot loader does not speak:
  // the port is reopened at 38400 for it, and the notice goes at 115200.
  for (unsigned baud : {38400u, 115200u}) {
    SCOPED_TRACE(baud);
    TestPortFolder folder;
    SimulatedUnit unit(UnitOn(folder, 3, baud));
    unit.Start();
    const std::string rate = " --port 3 --baud " + std::to_string(baud);
    const TimedResult r = RunTimed(Tool() + " upgrade" + rate + " --yes --firmware " + Quoted(SampleFirmware));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Contains(r.output, "upgraded to SAMPLE 1.10")) << r.output;
    EXPECT_LT(r.seconds, 30);
    EXPECT_EQ(FirstDifference(unit, image), image.ProgramLength());
    EXPECT_EQ(unit.LengthReceived(), std::optional<std::uint32_t>(image.ProgramLength()));
    EXPECT_FALSE(unit.InBootLoader());
    EXPECT_TRUE(Heard(unit, Sentence("PTPS,002,SAMPLE 1.10"), baud)) << "no version notice at " << baud;
    const Result after = RunShell(Tool() + " connect" + rate);
    EXPECT_EQ(after.status, 0) << after.output;
    EXPECT_TRUE(Contains(after.output, "software_version: SAMPLE 1.10\n")) << after.output;
  }
}

TEST_F(UpgradeTool, EachBootLoaderFaultFailsWithTheWizardsMessageInBoundedTime) {
  const std::string programmingFail = "Programming Fail! Please try again.";
  const std::string verifyFail = "Verify Fail!! ";
  // The wizard's messages are for a port that is still there; a pulled
  // cable is named as such, at once, and nothing is blamed on the flash.
  const std::string portGone = PortGone;
  const std::string finishingLost =
      "the unit was programmed and verified, but the finishing commands may not have reached it; if it does not "
      "restart, run kq30 upgrade --recover";
  // A lost or unreadable reply is noticed when the request's time runs out
  // (4.7 s for a write, 3.1 s for a read); a wrong byte and a pulled cable
  // at once (under a second here, connecting included).
  const struct {
    const char* name;
    std::function<void(SimOptions&)> fault;
    std::string message;
    double atLeast, atMost;
    bool lengthTaken = false;  // the length command went through before the fault
  } cases[] = {
      {"write unanswered", [](SimOptions& o) { o.NoAckRequest = 2; }, programmingFail, 4.7, 9.7},
      {"unit hangs while writing", [](SimOptions& o) { o.SilentFromRequest = LastWrite; }, programmingFail, 4.7, 9.7},
      {"read back altered", [](SimOptions& o) { o.CorruptReadRequest = FirstRead; }, verifyFail, 0, 5},
      {"read with a bad checksum", [](SimOptions& o) { o.BadChecksumRequest = LastRead; }, verifyFail, 3.1, 8.1},
      {"cable pulled while writing", [](SimOptions& o) { o.UnplugAtRequest = 2; }, portGone, 0, 3.5},
      {"cable pulled while verifying", [](SimOptions& o) { o.UnplugAtRequest = FirstRead + 1; }, portGone, 0, 3.5},
      {"cable pulled as the length goes out", [](SimOptions& o) { o.UnplugAtRequest = LastRead + 1; }, portGone, 0, 3.5},
      // Programmed and verified; the run command lost with the cable, which
      // nobody can know: the finishing steps end without their wait.
      {"cable pulled as the run command goes out", [](SimOptions& o) { o.UnplugAtRequest = LastRead + 2; },
       finishingLost, 3.1, 6, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestPortFolder folder;
    SimOptions options = UnitOn(folder, 3, 38400);
    c.fault(options);
    SimulatedUnit unit(options);
    unit.Start();
    const TimedResult r =
        RunTimed(Tool() + " upgrade --port 3 --baud 38400 --yes --firmware " + Quoted(small_));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(Contains(r.output, c.message)) << r.output;
    EXPECT_FALSE(Contains(r.output, "upgraded to")) << r.output;
    // One message for one fault.
    EXPECT_FALSE(Contains(r.output, "Serial port open error")) << r.output;
    EXPECT_GT(r.seconds, c.atLeast);
    EXPECT_LT(r.seconds, c.atMost);
    // A failed pass goes no further: the unit is not told a length (unless the
    // fault came after it) nor started.
    EXPECT_EQ(unit.LengthReceived().has_value(), c.lengthTaken);
    EXPECT_TRUE(unit.InBootLoader());
  }
}

TEST_F(UpgradeTool, AnUpgradeCutShortByThePulledCableIsCompletedInTheBootLoader) {
  const FirmwareFile image = LoadFirmwareImage(SampleFirmware.string());
  ASSERT_TRUE(image.FitToFlash()) << image.Reason;
  TestPortFolder folder;
  SimOptions options = UnitOn(folder, 3, 38400);
  options.UnplugAtRequest = 100;
  SimulatedUnit unit(options);
  unit.Start();
  const TimedResult cut = RunTimed(Tool() + " upgrade --port 3 --baud 38400 --yes --firmware " + Quoted(SampleFirmware));
  EXPECT_EQ(cut.status, 1) << cut.output;
  EXPECT_TRUE(Contains(cut.output, PortGone)) << cut.output;
  EXPECT_FALSE(Contains(cut.output, "upgraded to")) << cut.output;
  EXPECT_LT(cut.seconds, 15);
  EXPECT_EQ(unit.BootRequests().size(), 100u);
  EXPECT_TRUE(unit.InBootLoader());

  unit.Replug();
  const Result done = RunShell(Tool() + " bootloader write --port 3 --firmware " + Quoted(SampleFirmware));
  EXPECT_EQ(done.status, 0) << done.output;
  EXPECT_EQ(FirstDifference(unit, image), image.ProgramLength());
  EXPECT_EQ(unit.LengthReceived(), std::optional<std::uint32_t>(image.ProgramLength()));
  EXPECT_FALSE(unit.InBootLoader());
  // The version notice goes to the new application at the port's rate.
  EXPECT_TRUE(Heard(unit, Sentence("PTPS,002,SAMPLE 1.10"), 38400));
  EXPECT_EQ(unit.SoftwareVersion(), "SAMPLE 1.10");
}

TEST_F(UpgradeTool, BootLoaderVerifyAndEraseReportTheFlashAsItIs) {
  TestPortFolder folder;
  SimOptions options = UnitOn(folder, 3, 38400);
  options.StartInBootLoader = true;
  // Request 4, the first read back, is altered: the write pass's data stays
  // in flash and the unit stays in its boot loader for what follows.
  options.CorruptReadRequest = FirstRead;
  SimulatedUnit unit(options);
  unit.Start();
  const std::string port = " --port 3 --firmware " + Quoted(small_);
  const Result written = RunShell(Tool() + " bootloader write" + port);
  EXPECT_EQ(written.status, 1) << written.output;
  EXPECT_TRUE(Contains(written.output, "Verify Fail!! ")) << written.output;
  ASSERT_EQ(FirstDifference(unit, smallImage_), 1504);

  const Result same = RunShell(Tool() + " bootloader verify" + port);
  EXPECT_EQ(same.status, 0) << same.output;
  EXPECT_TRUE(Contains(same.output, "matches")) << same.output;

  const Result erased = RunShell(Tool() + " bootloader erase --port 3");
  EXPECT_EQ(erased.status, 0) << erased.output;
  EXPECT_TRUE(Contains(erased.output, "Erase Success!!")) << erased.output;
  EXPECT_TRUE(Blank(unit));

  const Result blank = RunShell(Tool() + " bootloader verify" + port);
  EXPECT_EQ(blank.status, 1) << blank.output;
  EXPECT_TRUE(Contains(blank.output, "Verify Fail!! ")) << blank.output;
  EXPECT_TRUE(unit.InBootLoader());
}

TEST_F(UpgradeTool, AnUnfitFirmwareFileIsRefusedBeforeAnythingReachesTheUnit) {
  const fs::path garbage = dir_ / "garbage.bin";
  std::ofstream(garbage) << std::string(300, 'G');
  const FirmwareFile unfit = LoadFirmwareImage(garbage.string());
  ASSERT_FALSE(unfit.FitToFlash());
  ASSERT_FALSE(unfit.Reason.empty());
  const struct {
    const char* command;
    bool inBootLoader;
  } cases[] = {
      {" upgrade --baud 38400 --yes", false},
      {" bootloader write", true},
      {" bootloader verify", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    TestPortFolder folder;
    SimOptions options = UnitOn(folder, 3, 38400);
    options.StartInBootLoader = c.inBootLoader;
    SimulatedUnit unit(options);
    unit.Start();
    const Result r = RunShell(Tool() + c.command + " --port 3 --firmware " + Quoted(garbage));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(Contains(r.output, unfit.Reason)) << r.output;
    EXPECT_TRUE(unit.BootRequests().empty());
    EXPECT_FALSE(HeardBootLoaderRequest(unit));
  }
}

TEST_F(UpgradeTool, WithoutYesOnlyAnAnsweredYesUpgrades) {
  for (const char* answer : {"echo n", "echo", "true"}) {  // no, an empty line, no answer at all
    SCOPED_TRACE(answer);
    TestPortFolder folder;
    SimulatedUnit unit(UnitOn(folder, 3, 38400));
    unit.Start();
    const Result r =
        RunShell(std::string(answer) + " | " + Tool() + " upgrade --port 3 --baud 38400 --firmware " + Quoted(small_));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(Contains(r.output, "not upgraded")) << r.output;
    EXPECT_TRUE(Contains(r.output, "unit_version: 1.05")) << r.output;
    EXPECT_FALSE(HeardBootLoaderRequest(unit));
    EXPECT_FALSE(unit.InBootLoader());
    EXPECT_TRUE(Blank(unit));
  }
}

}  // namespace

TEST_F(UpgradeTool, ATraceLogsTheSessionAndAnUnwritableOneIsAUsageError) {
  TestPortFolder folder;
  SimOptions options = UnitOn(folder, 3, 38400);
  options.BadChecksumRequest = FirstRead;
  SimulatedUnit unit(options);
  unit.Start();
  const fs::path trace = dir_ / "trace.txt";
  // An earlier session's trace is kept; this one follows it.
  const std::string earlier = "12:00:00.000 kq30 upgrade, started 2026-01-01 12:00:00 +0000\n";
  std::ofstream(trace) << earlier;
  const Result r = RunShell(Tool() + " upgrade --port 3 --baud 38400 --yes --firmware " + Quoted(small_) +
                            " --trace " + Quoted(trace));
  EXPECT_EQ(r.status, 1) << r.output;
  std::ifstream in(trace);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const std::string& part : std::vector<std::string>{"kq30 upgrade, started ", "port \\\\\\\\.\\\\COM3 (" + unit.DevicePath() + ") at 38400 baud, 8 data bits",
        " sentence out: $PTST,,,,,00016*18\n", " line in: [END OF STATIC DATA]\n",
        " sentence out: $PTST,,,,,00008*17\n", " packet out: write 0x9D000000, 512 bytes, checksum ok\n",
        " packet in: write 0x9D000000, 512 bytes, checksum ok\n",
        " packet out: read 0x9D000000, 512 bytes, checksum ok\n", " packet in: checksum bad: 55 55 55 55 01 00 80",
        " message (Warning): Verify Fail!! \n", " last packet in: 55 55 55 55 01 00 80",
        " outcome: exit status 1\n"})
    EXPECT_TRUE(Contains(log, part)) << part << "\nin\n" << log;
  EXPECT_EQ(log.rfind(earlier, 0), 0u) << log;
  // Each line starts with its time.
  EXPECT_EQ(log.find_first_not_of("0123456789", earlier.size()), earlier.size() + 2);
  EXPECT_EQ(log.substr(earlier.size() + 8, 1), ".");

  const size_t heard = unit.ReceivedLines().size();
  const Result refused = RunShell(Tool() + " upgrade --port 3 --yes --firmware " + Quoted(small_) +
                                  " --trace " + Quoted(dir_ / "no-such-folder" / "trace.txt"));
  EXPECT_EQ(refused.status, 2) << refused.output;
  EXPECT_TRUE(Contains(refused.output, "--trace")) << refused.output;
  EXPECT_EQ(unit.ReceivedLines().size(), heard);
}

// A trace or report that stops taking lines part-way (here at the file-size
// limit, as on a full disk) is said, and the run is no success though the
// unit was upgraded.
TEST_F(UpgradeTool, AnOutputFileThatStopsTakingLinesFailsTheRun) {
  const struct {
    const char* option;
    std::string earlier;  // what the file holds before
    std::string problem;
  } cases[] = {
      {"--trace", "", " is incomplete: File too large"},
      {"--report",
       "time,port,serial_code,model,version_before,version_after,outcome,seconds,tool_version,firmware_file,"
       "firmware_sha256,adapter,adapter_serial,host,message\r\n" + std::string(800, 'x') + "\r\n",
       "the row of COM3 is missing from the report "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    TestPortFolder folder;
    SimulatedUnit unit(UnitOn(folder, 3, 38400));
    unit.Start();
    const fs::path file = dir_ / "output";
    std::ofstream(file, std::ios::trunc) << c.earlier;
    // The limit, in blocks of 512 bytes: 1 KiB.
    const Result r = RunShell("trap '' XFSZ; ulimit -f 2; " + Tool() + " upgrade --port 3 --baud 38400 --yes --firmware " +
                              Quoted(small_) + " " + c.option + " " + Quoted(file));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(Contains(r.output, c.problem)) << r.output;
    EXPECT_EQ(FirstDifference(unit, smallImage_), 1504);
  }
}

// Ctrl+C stops a one-unit upgrade where it is, also while it connects; the
// trace is had whole, the stop and what it left in the unit are said, and
// the run fails.
TEST_F(UpgradeTool, CtrlCStopsTheUpgradeAndKeepsTheWholeTrace) {
  const struct {
    const char* name;
    bool unit;            // else a port where nobody answers
    const char* pressAt;  // Ctrl+C once the output or the trace shows it
    const char* after;    // and this many seconds more
    std::string said;
  } cases[] = {
      {"while connecting", false, "started", "0.5",
       "kq30 upgrade: stopped by Ctrl+C; nothing was written into the unit\n"},
      {"while writing", true, "Programming", "0",
       "kq30 upgrade: stopped by Ctrl+C before the upgrade had finished; the unit waits in its boot loader, and kq30 "
       "upgrade --recover brings it back\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestPortFolder folder;
    std::unique_ptr<SimulatedUnit> unit;
    if (c.unit) (unit = std::make_unique<SimulatedUnit>(UnitOn(folder, 3, 38400)))->Start();
    else folder.LinkSilentPort(3);
    const fs::path trace = dir_ / (std::string(c.name) + ".trace"), output = dir_ / "output";
    // In the background, a shell's job would ignore SIGINT but for the tool's own handler.
    const TimedResult r = RunTimed(
        Tool() + " upgrade --port 3 --baud 38400 --yes --firmware " + Quoted(SampleFirmware) + " --trace " +
        Quoted(trace) + " >" + Quoted(output) + " 2>&1 & tool=$!; for i in $(seq 300); do cat " + Quoted(output) +
        " " + Quoted(trace) + " 2>/dev/null | grep -q " + c.pressAt + " && break; sleep 0.1; done; sleep " + c.after +
        "; kill -INT $tool; wait $tool");
    const std::string out = ReadAll(output);
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_TRUE(Contains(out, c.said)) << out;
    EXPECT_LT(r.seconds, 10);  // a connection attempt would take 21 s, the whole upgrade more
    const std::string log = ReadAll(trace);
    EXPECT_TRUE(Contains(log, " Ctrl+C\n")) << log;
    EXPECT_TRUE(log.ends_with(" outcome: exit status 1\n")) << log;
    if (!unit) continue;
    // Every request the unit took is in the trace.
    std::size_t packetsOut = 0;
    for (auto at = log.find(" packet out: "); at != std::string::npos; at = log.find(" packet out: ", at + 1))
      ++packetsOut;
    EXPECT_GE(packetsOut, unit->BootRequests().size());
    EXPECT_GT(unit->BootRequests().size(), 0u);
    EXPECT_TRUE(unit->InBootLoader());
  }
}
