#include "wizard/WizardCore.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <memory>

#include <gtest/gtest.h>

#include "WizardFakes.h"
#include "common/BaudRates.h"
#include "common/QueueDispatcher.h"

using namespace std::chrono_literals;

TEST(WizardCore, AHangUpBehindTheOpenPortEndsTheConnection) {
  // A unit on a pseudo-terminal whose far side goes away while the link to
  // it stays: no removal is reported, only the port's error event.
  int master = -1, slave = -1;
  char name[256];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  close(slave);
  auto platform = std::make_unique<FakePortPlatform>();
  platform->SetPorts({3});
  platform->Devices[3] = name;
  QueueDispatcher dispatcher;
  ScriptedBoxes boxes;
  ManualTimer timer1(1000), timerConnection(200);
  WizardCore core(dispatcher, boxes, timer1, timerConnection, std::move(platform));
  core.CreateSerialPort();
  core.Conn.cbxComPortChange("3");
  core.Conn.OpenPortClick(true);
  ASSERT_TRUE(core.Comm.Connected());
  const char answer[] = "[END OF STATIC DATA]\r\n";
  ASSERT_EQ(write(master, answer, sizeof answer - 1), static_cast<ssize_t>(sizeof answer - 1));
  ASSERT_TRUE(dispatcher.RunUntil([&] { return core.Conn.UnitConnected; }, 5s));
  close(master);
  EXPECT_TRUE(dispatcher.RunUntil([&] { return core.Conn.Page.ConnectTag == 0; }, 5s));
  EXPECT_FALSE(core.Comm.Connected());
  EXPECT_EQ(core.Conn.Page.ConnectCaption, "Connect");
  EXPECT_TRUE(boxes.Calls.empty());
}

namespace {
// A core whose COM3 is a pseudo-terminal; the test holds the unit's side.
struct CoreOnPty {
  int master = -1, slave = -1;
  FakePortPlatform* platform = nullptr;  // the core's
  QueueDispatcher dispatcher;
  ScriptedBoxes boxes;
  ManualTimer timer1{1000}, timerConnection{200};
  std::unique_ptr<WizardCore> core;

  CoreOnPty() {
    char name[256];
    EXPECT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    auto ports = std::make_unique<FakePortPlatform>();
    platform = ports.get();
    platform->SetPorts({3});
    platform->Devices[3] = name;
    core = std::make_unique<WizardCore>(dispatcher, boxes, timer1, timerConnection, std::move(ports));
    core->CreateSerialPort();
    core->Conn.cbxComPortChange("3");
  }
  ~CoreOnPty() {
    core.reset();
    close(master);
    close(slave);
  }
  // What the PC side wrote since the last call.
  std::string Drain() {
    std::string out;
    char buffer[512];
    for (pollfd p{master, POLLIN, 0}; poll(&p, 1, 200) > 0 && (p.revents & POLLIN);) {
      ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      out.append(buffer, static_cast<size_t>(n));
    }
    return out;
  }
};
}  // namespace

TEST(WizardCore, BaudRateConfigTellsTheUnitThenEndsTheConnection) {
  struct Row {
    int rs232, nmea;
    const char* sentence;
  } rows[] = {{0, 0, "$PDBG,040,0,042,0,,,,*13\r\n"}, {5, 1, "$PDBG,040,5,042,1,,,,*17\r\n"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sentence);
    CoreOnPty rig;
    WizardCore& core = *rig.core;
    core.Conn.OpenPortClick(true);
    ASSERT_TRUE(core.Comm.Connected());
    const char answer[] = "[END OF STATIC DATA]\r\n";
    ASSERT_EQ(write(rig.master, answer, sizeof answer - 1), static_cast<ssize_t>(sizeof answer - 1));
    ASSERT_TRUE(rig.dispatcher.RunUntil([&] { return core.Conn.UnitConnected; }, 5s));
    rig.Drain();
    rig.boxes.Calls.clear();

    EXPECT_TRUE(core.spbBaudRateClick(row.rs232, row.nmea));
    EXPECT_EQ(rig.Drain(), row.sentence);
    EXPECT_FALSE(core.Comm.Connected());
    EXPECT_EQ(core.Conn.Page.ConnectTag, 0);
    EXPECT_FALSE(core.Conn.Page.ConnectDown);
    ASSERT_EQ(rig.boxes.Calls.size(), 1u);
    EXPECT_EQ(rig.boxes.Calls[0].Text,
              "Device's baud rate has been changed.\nPlease change PC's baud rate in accordance.");
    EXPECT_EQ(rig.boxes.Calls[0].Caption, "Baud Rate Changed");
    EXPECT_EQ(rig.boxes.Calls[0].Buttons, MsgButtons::OK);
    EXPECT_EQ(rig.boxes.Calls[0].Icon, MsgIcon::None);
  }
}

TEST(WizardCore, BaudRateConfigWithThePortClosed) {
  // Manual: the port-open error and nothing else. Auto: the unsent sentence
  // counts as sent, but no connection attempt may start from the button.
  for (bool automatic : {false, true}) {
    SCOPED_TRACE(automatic ? "Auto" : "Manual");
    CoreOnPty rig;
    WizardCore& core = *rig.core;
    core.Conn.RadioButtonConnectionModeAutoClick(automatic);
    core.Link.BaudRs232Index = 3;
    core.Link.BaudNmeaIndex = 1;
    EXPECT_EQ(core.spbBaudRateClick(1, 0), automatic);
    EXPECT_EQ(rig.Drain(), "");
    ASSERT_EQ(rig.boxes.Calls.size(), 1u);
    EXPECT_EQ(rig.boxes.Calls[0].Caption, automatic ? "Baud Rate Changed" : "Error");
    EXPECT_EQ(rig.boxes.Calls[0].Text,
              automatic ? "Device's baud rate has been changed.\nPlease change PC's baud rate in accordance."
                        : "Serial port open error! Please check!");
    EXPECT_EQ(core.Conn.Page.ConnectTag, 0);
    EXPECT_FALSE(core.Comm.Connected());
    EXPECT_EQ(core.Link.BaudRs232Index, 3);
    EXPECT_EQ(core.Link.BaudNmeaIndex, 1);
  }
}

// The port going away under an upgrade is named as such, once, and the
// upgrade ends at once: a hang-up of the open port (its link staying), or
// a device gone while the port was closed to reopen at the boot loader's
// rate.
TEST(WizardCore, APortGoneUnderAnUpgradeIsNamedAsSuch) {
  for (bool hangUp : {true, false}) {
    SCOPED_TRACE(hangUp ? "hang-up" : "gone before the reopen");
    CoreOnPty rig;
    WizardCore& core = *rig.core;
    core.Firmware.Opened = core.Firmware.Completed = true;
    core.Firmware.Verdict = fvFit;
    core.Firmware.ImageEnd = FlashBase + 4096;
    core.Conn.Page.BaudRateIndex = BaudChoicePosition(hangUp ? br38400 : br115200);
    core.Upgrade.Pause = [&](std::chrono::milliseconds) {
      if (hangUp) return;
      rig.platform->SetPorts({});
      rig.platform->Devices.clear();
    };
    ASSERT_TRUE(OpenComPort(core.Port, "3", BaudChoices[core.Conn.Page.BaudRateIndex]));
    EXPECT_EQ(core.Upgrade.SpeedButtonFrmVerWantToContinueYesClick(), hangUp);
    if (hangUp) {
      ASSERT_EQ(core.Upgrade.UpgradeState, usWriting);
      close(rig.master);
      rig.master = open("/dev/null", O_RDONLY);  // closed once more by the rig
      EXPECT_TRUE(rig.dispatcher.RunUntil([&] { return !rig.boxes.Calls.empty(); }, 5s));
      EXPECT_EQ(core.Upgrade.UpgradeState, usIdle);
    }
    ASSERT_EQ(rig.boxes.Calls.size(), 1u);
    EXPECT_EQ(rig.boxes.Calls[0].Text, LanguageTexts{}.PortLostDuringUpgrade);
    EXPECT_EQ(rig.boxes.Calls[0].Caption, "Warning");
  }
}
