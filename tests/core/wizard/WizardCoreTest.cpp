#include "wizard/WizardCore.h"

#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "WizardFakes.h"
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
