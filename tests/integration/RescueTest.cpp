// A unit left in its boot loader by an upgrade that did not finish: found
// after a connection times out, and given its firmware.
#include <chrono>
#include <memory>

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
