// A unit left in its boot loader by an upgrade that did not finish: found
// after a connection times out, and given its firmware.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "IntegrationSupport.h"
#include "WizardHarness.h"
#include "device/FirmwareImage.h"
#include "sim/SimulatedUnit.h"

using namespace std::chrono_literals;

namespace {
// The wizard with the sample firmware, set to connect on COM3.
struct RescueRig {
  TestPortFolder folder;
  SimulatedUnit unit{UnitOn(folder, 3, 38400, true)};
  std::unique_ptr<Wizard> wizard;
  RescueRig() {
    unit.Start();  // before the wizard lists its ports
    wizard = std::make_unique<Wizard>(folder.Path());
    wizard->EnableUpgrade();
    wizard->core.Firmware = LoadFirmwareImage(KQ30_SAMPLE_FIRMWARE);
  }
};

// Intel HEX of program flash whose bytes at [from, to) of each range are
// data, block by block different; what lies between is blank.
std::string ProgramHex(const std::vector<std::pair<unsigned, unsigned>>& ranges) {
  std::string hex = ":020000041D00DD\n";
  for (auto [from, to] : ranges)
    for (unsigned at = from; at < to; at += 16) {
      const unsigned n = std::min(16u, to - at);
      unsigned sum = n + (at >> 8) + (at & 0xFF);
      char text[16];
      std::snprintf(text, sizeof text, ":%02X%04X00", n, at);
      hex += text;
      for (unsigned i = at; i < at + n; ++i) {
        const auto byte = static_cast<unsigned>((i * 7 + i / 512 * 13) & 0xFF);
        std::snprintf(text, sizeof text, "%02X", byte);
        hex += text;
        sum += byte;
      }
      std::snprintf(text, sizeof text, "%02X\n", -sum & 0xFF);
      hex += text;
    }
  return hex + ":00000001FF\n";
}

bool FlashHoldsImage(const SimulatedUnit& unit, const FirmwareFile& file) {
  const auto flash = unit.Flash();
  return std::equal(file.FirmwareImage.begin(), file.FirmwareImage.begin() + file.ProgramLength(), flash.begin());
}
}  // namespace

TEST(Rescue, ManualAndAutoFindTheUnitAndYesUpgradesIt) {
  for (bool automatic : {false, true}) {
    SCOPED_TRACE(automatic ? "Auto" : "Manual");
    RescueRig rig;
    Wizard& w = *rig.wizard;
    SimulatedUnit& unit = rig.unit;
    w.boxes.YesNoAnswer = MsgResult::Yes;
    if (automatic) {
      w.conn.RadioButtonConnectionModeAutoClick(true);
    } else {
      // The unit's own rate, where its new application will hear the version notice.
      w.conn.cbxComPortChange("3");
      w.conn.cbxBaudRateChange(2);
    }
    w.conn.OpenPortClick(true);
    for (int i = 0; i < 25 && w.boxes.Texts.size() < 2; ++i) w.Second();
    ASSERT_EQ(w.boxes.Texts.size(), 2u);
    EXPECT_EQ(w.boxes.Texts[0], automatic ? "Serial port detecting failed!" : "Serial port connection time out!");
    EXPECT_NE(w.boxes.Texts[1].find("waiting in its boot loader on COM3"), std::string::npos) << w.boxes.Texts[1];
    EXPECT_NE(w.boxes.Texts[1].find("SAMPLE 1.10"), std::string::npos);
    ASSERT_TRUE(w.UpgradedWithin(60s));
    EXPECT_TRUE(w.core.Upgrade.TpsSent);
    EXPECT_TRUE(FlashHoldsImage(unit, w.core.Firmware));
    w.window.RunFor(200ms);
    EXPECT_EQ(unit.SoftwareVersion(), "SAMPLE 1.10");
    // The finished upgrade ends its connection as the Finish button does;
    // the unit then answers with its new version.
    w.conn.EndWantedConnection();
    w.conn.RadioButtonConnectionModeAutoClick(false);
    w.conn.cbxComPortChange("3");
    w.conn.cbxBaudRateChange(2);
    w.conn.OpenPortClick(true);
    ASSERT_TRUE(w.AnsweredWithin(2s));
    EXPECT_EQ(w.core.Link.OriginalVersion, "SAMPLE 1.10");
  }
}

TEST(Rescue, NoLeavesThePageAsAPlainFailureAndNothingIsWritten) {
  RescueRig rig;
  Wizard& w = *rig.wizard;
  w.conn.cbxComPortChange("3");
  w.conn.OpenPortClick(true);
  for (int i = 0; i < 23; ++i) w.Second();
  ASSERT_EQ(w.boxes.Texts.size(), 2u);
  EXPECT_EQ(w.conn.Page.StatusText, "Disconnect...");
  EXPECT_EQ(w.conn.Page.ConnectCaption, "Connect");
  EXPECT_EQ(w.conn.Page.ConnectTag, 0);
  EXPECT_FALSE(w.core.Comm.Connected());
  const auto requests = rig.unit.BootRequests();
  ASSERT_EQ(requests.size(), 1u);  // the one question: block 0 read
  EXPECT_EQ(requests[0][0], 0x01);
}

TEST(Rescue, ASilentPortAndAUnitAtAnotherRateAreNoBootLoader) {
  TestPortFolder folder;
  folder.LinkSilentPort(1);
  SimulatedUnit unit(UnitOn(folder, 2, 115200, false));
  unit.Start();
  Wizard w(folder.Path());
  w.EnableUpgrade();
  EXPECT_FALSE(w.core.Rescue.FindBootLoader({"1", "2"}));
  EXPECT_TRUE(w.boxes.Texts.empty());
  EXPECT_FALSE(unit.InBootLoader());
  EXPECT_TRUE(unit.BootRequests().empty());
  EXPECT_EQ(w.core.Comm.BaudRate(), br115200);  // the page's rate again
}

TEST(RecoverTool, CompletesAnUpgradeInterruptedAtBlock100) {
  TestPortFolder folder;
  SimOptions o = UnitOn(folder, 4, 38400, false);
  o.UnplugAtRequest = 100;
  SimulatedUnit unit(o);
  unit.Start();
  const std::string common = "KQ30_NO_KERNEL_PORTS=1 " + Tool() + " upgrade --port 4 --baud 38400 --yes --firmware '" +
                             KQ30_SAMPLE_FIRMWARE + "'";
  Result cut = RunShell(common);
  EXPECT_EQ(cut.status, 1) << cut.output;
  ASSERT_TRUE(unit.InBootLoader());
  unit.Replug();
  Result recovered = RunShell(common + " --recover");
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  EXPECT_TRUE(FlashHoldsImage(unit, LoadFirmwareImage(KQ30_SAMPLE_FIRMWARE)));
  EXPECT_EQ(unit.SoftwareVersion(), "SAMPLE 1.10");
}

// A cable pulled at any request of an upgrade, from the first write to the
// run command, leaves a unit that --recover brings back once it is plugged
// in again as it was left: half-written, in its boot loader.
TEST(RecoverTool, ACablePulledAtEveryRequestInTurnLeavesAUnitTheRescueBringsBack) {
  TestPortFolder folder;
  // Three blocks, the middle one blank: a write, a blank block and a write,
  // three reads, the length and the run command.
  const auto hex = folder.Path() / "small.hex", firmware = folder.Path() / "small.bin";
  std::ofstream(hex) << ProgramHex({{0, 512}, {1024, 1124}});
  const Result packed = RunShell(Tool() + " firmware pack '" + hex.string() + "' -o '" + firmware.string() +
                                 "' --version 1.07 --date '2026/01/02 03:04'");
  ASSERT_EQ(packed.status, 0) << packed.output;
  const FirmwareFile image = LoadFirmwareImage(firmware.string());
  ASSERT_TRUE(image.FitToFlash()) << image.Reason;
  const std::string common = "KQ30_NO_KERNEL_PORTS=1 " + Tool() +
                             " upgrade --port 4 --baud 38400 --yes --firmware '" + firmware.string() + "'";
  const int requests = 2 * 3 + 2;
  std::string commands;  // the command byte of each request cut short, in turn
  for (int cut = 1; cut <= requests; ++cut) {
    SCOPED_TRACE("the cable pulled at request " + std::to_string(cut));
    SimOptions o = UnitOn(folder, 4, 38400, false);
    o.UnplugAtRequest = cut;
    SimulatedUnit unit(o);
    unit.Start();
    const Result pulled = RunShell(common);
    EXPECT_EQ(pulled.status, 1) << pulled.output;
    EXPECT_NE(pulled.output.find("--recover"), std::string::npos) << pulled.output;
    ASSERT_EQ(unit.BootRequests().size(), static_cast<size_t>(cut));
    char command[4];
    std::snprintf(command, sizeof command, "%02X ", unit.BootRequests().back()[0]);
    commands += command;
    ASSERT_TRUE(unit.InBootLoader());
    unit.Replug();
    const Result recovered = RunShell(common + " --recover");
    EXPECT_EQ(recovered.status, 0) << recovered.output;
    EXPECT_TRUE(FlashHoldsImage(unit, image));
    EXPECT_EQ(unit.SoftwareVersion(), "1.07");
  }
  EXPECT_EQ(commands, "02 22 02 01 01 01 08 00 ");
}
