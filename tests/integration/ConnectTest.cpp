// Connecting to the simulated unit over pseudo-terminals, with the very
// objects the window uses; the timers are stepped by hand, the serial port's
// notifications arrive through a pumped window thread.
#include <chrono>
#include <filesystem>

#include "IntegrationSupport.h"
#include "WizardHarness.h"
#include "sim/SimulatedUnit.h"

using namespace std::chrono_literals;

TEST(Connect, ManualAtTheUnitsRateShowsConnectedAndTheVersion) {
  TestPortFolder folder;
  SimulatedUnit unit(UnitOn(folder, 3, 38400));
  unit.Start();
  Wizard w(folder.Path());
  w.conn.cbxComPortChange("3");
  w.conn.cbxBaudRateChange(2);  // 38400
  w.conn.OpenPortClick(true);
  ASSERT_TRUE(w.AnsweredWithin(2s));
  EXPECT_EQ(w.conn.Page.StatusText, "Connected...");
  EXPECT_FALSE(w.timer1.Enabled());
  EXPECT_TRUE(w.conn.Page.ContinueEnabled);
  EXPECT_EQ(w.core.Link.OriginalVersion, "1.05");
  EXPECT_EQ(w.core.Link.DeviceInfo.ModelId, "KQ-30");
  EXPECT_EQ(w.core.Link.BaudRs232Index, 2);  // "38400" in the engineering page's list
  auto lines = unit.ReceivedLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].Line, "$PTST,,,,,00016*18");
  EXPECT_EQ(lines[0].Speed, 38400u);
  EXPECT_TRUE(w.boxes.Texts.empty());
}

TEST(Connect, AWrongManualRateTimesOut) {
  TestPortFolder folder;
  SimulatedUnit unit(UnitOn(folder, 3, 38400));
  unit.Start();
  Wizard w(folder.Path());
  w.conn.cbxComPortChange("3");
  w.conn.OpenPortClick(true);  // at 115200
  for (int i = 0; i < 21; ++i) w.Second();
  EXPECT_EQ(w.boxes.Texts, (std::vector<std::string>{"Serial port connection time out!"}));
  EXPECT_EQ(unit.AnswersSent(), 0);
  EXPECT_EQ(unit.ReceivedLines().size(), 14u);  // the queries at steps 0, 2, 3, ..., 20
  w.Second();
  EXPECT_EQ(w.conn.Page.ConnectCaption, "Connect");
  EXPECT_FALSE(w.core.Comm.Connected());
}

TEST(Connect, AutoFindsA9600UnitOnTheSecondOfThreePorts) {
  TestPortFolder folder;
  folder.LinkSilentPort(2);
  SimulatedUnit unit(UnitOn(folder, 4, 9600));
  unit.Start();
  folder.LinkSilentPort(6);
  Wizard w(folder.Path());
  w.conn.RadioButtonConnectionModeAutoClick(true);
  w.conn.OpenPortClick(true);
  int seconds = 0;
  while (!w.conn.UnitConnected && seconds < 48) {
    w.Second();
    ++seconds;
  }
  ASSERT_TRUE(w.conn.UnitConnected);
  // COM2 takes steps 0-14; on COM4 9600 is the fourth rate, from step 24,
  // the 24th tick after the press.
  EXPECT_EQ(seconds, 24);
  EXPECT_EQ(w.conn.Page.AutoPortText, "4");
  EXPECT_EQ(w.conn.Page.AutoBaudText, "9600");
  EXPECT_EQ(w.conn.Page.ComPortText, "4");
  EXPECT_EQ(w.conn.Page.BaudRateIndex, 1);
  EXPECT_EQ(w.core.Link.OriginalVersion, "1.05");
  EXPECT_EQ(w.conn.Page.StatusText, "Connected...");
}

TEST(Connect, PullingTheConnectedPortEndsTheConnectionAsDisconnectDoes) {
  TestPortFolder folder;
  folder.LinkSilentPort(1);
  SimulatedUnit unit(UnitOn(folder, 3, 115200));
  unit.Start();
  Wizard w(folder.Path());
  w.conn.cbxComPortChange("3");
  w.conn.OpenPortClick(true);
  ASSERT_TRUE(w.AnsweredWithin(2s));
  unit.Unplug();
  ASSERT_TRUE(w.window.RunUntil([&] { return w.conn.Page.ConnectTag == 0; }, 5s));
  EXPECT_FALSE(w.core.Comm.Connected());
  EXPECT_EQ(w.conn.Page.StatusText, "Disconnect...");
  EXPECT_EQ(w.conn.Page.ConnectCaption, "Connect");
  EXPECT_EQ(w.conn.Page.ComPortEntries, (std::vector<std::string>{"1"}));
  EXPECT_TRUE(w.conn.UnitFound);  // Continue still leads to the version page
}

TEST(ConnectTool, AutoPrintsTheUnitsVersion) {
  TestPortFolder folder;
  folder.LinkSilentPort(1);
  SimulatedUnit unit(UnitOn(folder, 2, 57600));
  unit.Start();
  auto start = std::chrono::steady_clock::now();
  Result r = RunShell("KQ30_NO_KERNEL_PORTS=1 " + Tool() + " connect --auto");
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("software_version: 1.05\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("baud: 57600\n"), std::string::npos) << r.output;
  // Three seconds per port and rate: COM1's five rates, then COM2 at 115200
  // and 57600, answered at once.
  EXPECT_GT(seconds, 17.5);
  EXPECT_LT(seconds, 20.0);
}

TEST(ConnectTool, FailuresPrintTheWizardsMessage) {
  TestPortFolder folder;
  folder.LinkSilentPort(3);
  Result refused = RunShell(Tool() + " connect --port 9");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("Note! Any force connect this serial port may cause unpredictable mistakes."),
            std::string::npos);
  Result forced = RunShell(Tool() + " connect --port 9 --force");
  EXPECT_EQ(forced.status, 1);
  EXPECT_NE(forced.output.find("Serial port open error! Please check!"), std::string::npos) << forced.output;
  Result usage = RunShell(Tool() + " connect --port 3 --auto");
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.output.find("usage: kq30 connect"), std::string::npos);
}

TEST(ConnectTool, UnitTextIsEscapedAndAStreamWithoutTheMarkerEndsAtTheFirstFailure) {
  TestPortFolder folder;
  SimOptions hostile = UnitOn(folder, 3, 115200);
  hostile.VersionText = "\x1b]0;owned\x07\x1b[2J";
  SimulatedUnit unit(hostile);
  unit.Start();
  Result r = RunShell(Tool() + " connect --port 3");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("software_version: \\x1B]0;owned\\x07\\x1B[2J\n"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find('\x1b'), std::string::npos);

  // The window starts again on every line after a failure; the tool stops.
  SimOptions endless = UnitOn(folder, 4, 115200);
  endless.OmitEndMarker = true;
  SimulatedUnit streaming(endless);
  streaming.Start();
  const auto start = std::chrono::steady_clock::now();
  Result failed = RunShell(Tool() + " connect --port 4");
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.output.find("Serial port connection time out!"), std::string::npos) << failed.output;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 25s);
}

TEST(PortsTool, ListsEveryPortWithWhyItDoesNotOpen) {
  TestPortFolder folder;
  folder.LinkSilentPort(12);
  SimulatedUnit unit(UnitOn(folder, 3, 38400));
  unit.Start();
  QueueDispatcher window;
  TComm holder(window);
  holder.SetDeviceName(unit.LinkPath());
  holder.Open();
  ASSERT_TRUE(holder.Connected());
  Result r = RunShell("KQ30_NO_KERNEL_PORTS=1 " + Tool() + " ports");
  EXPECT_EQ(r.status, 0);
  ASSERT_NE(r.output.find("COM3 "), std::string::npos) << r.output;
  EXPECT_LT(r.output.find("COM3 "), r.output.find("COM12 "));
  std::string com3 = r.output.substr(r.output.find("COM3 "), r.output.find('\n', r.output.find("COM3 ")) - r.output.find("COM3 "));
  EXPECT_NE(com3.find(unit.DevicePath()), std::string::npos) << com3;
  EXPECT_NE(com3.find("not openable (busy"), std::string::npos) << com3;
  EXPECT_NE(r.output.find("COM12 "), std::string::npos);
  EXPECT_NE(r.output.substr(r.output.find("COM12 ")).find(" openable "), std::string::npos) << r.output;
}

TEST(PortsTool, JsonListsThePortsAndASerialNumberNoAdapterHasIsRefused) {
  TestPortFolder folder;
  SimulatedUnit unit(UnitOn(folder, 3, 38400));
  unit.Start();
  Result r = RunShell("KQ30_NO_KERNEL_PORTS=1 " + Tool() + " ports --json");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "[\n  {\"port\": 3, \"device\": \"" + unit.DevicePath() +
                          "\", \"openable\": true, \"why\": \"\", \"description\": \"pseudo-terminal\", "
                          "\"vendor_id\": \"\", \"product_id\": \"\", \"manufacturer\": \"\", \"product\": \"\", "
                          "\"serial\": \"\", \"notes\": []}\n]\n");
  unit.Stop();
  EXPECT_EQ(RunShell("KQ30_NO_KERNEL_PORTS=1 " + Tool() + " ports --json").output, "[]\n");

  for (const std::string command : {"connect", "upgrade --yes --firmware '" KQ30_SAMPLE_FIRMWARE "'", "bootloader run",
                                    "baud --rs232 4800 --nmea 4800"}) {
    SCOPED_TRACE(command);
    Result refused = RunShell("KQ30_NO_KERNEL_PORTS=1 " + Tool() + " " + command + " --port-serial A50285BI");
    EXPECT_EQ(refused.status, 1) << refused.output;
    EXPECT_NE(refused.output.find("no adapter has the serial number A50285BI"), std::string::npos) << refused.output;
  }
}
