#include "wizard/Connection.h"

#include <gtest/gtest.h>

#include "WizardFakes.h"

namespace {
struct Rig {
  FakePortPlatform platform;
  PortLists lists{platform};
  FakePort port;
  ManualTimer timer1{1000}, timerConnection{200};
  ScriptedBoxes boxes;
  LanguageTexts texts;
  Connection c{port, lists, timer1, timerConnection, boxes, texts};
  std::vector<int> queries;  // the steps at which the query went out
  std::vector<std::string> queryPorts;

  explicit Rig(std::initializer_list<int> ports) {
    platform.SetPorts(ports);
    for (int n : ports) port.Openable.insert("\\\\.\\COM" + std::to_string(n));
    c.SendQuery = [this] {
      queries.push_back(c.ConnectTicks);
      queryPorts.push_back(port.DeviceName() + "@" + std::to_string(port.Rate));
      return true;
    };
    lists.RefreshPortLists();
    c.ResetConnection();
  }
  // One Timer1 tick, as the running timer would deliver it.
  void Tick() { timer1.Fire(); }
  void TickUntilStopped(int limit = 100) {
    for (int i = 0; i < limit && timer1.Enabled(); ++i) Tick();
  }
};
}  // namespace

TEST(Connection, ManualQueriesAtTheirStepsAndTimesOutAt21) {
  Rig r{3};
  r.timer1.OnTimer = [&] { r.c.Timer1Timer(); };
  r.c.OpenPortClick(true);
  EXPECT_EQ(r.c.ConnectPhase, TConnectPhase::Connecting);
  EXPECT_EQ(r.port.Opened, (std::vector<std::string>{"\\\\.\\COM3@12"}));
  EXPECT_TRUE(r.timer1.Enabled() && r.timerConnection.Enabled());
  EXPECT_EQ(r.c.Page.ConnectCaption, "Disconnect");
  EXPECT_FALSE(r.c.Page.ControlsEnabled);
  for (int i = 0; i < 21; ++i) r.Tick();
  EXPECT_EQ(r.queries, (std::vector<int>{0, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18, 20}));
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_EQ(r.boxes.Calls[0].Text, "Serial port connection time out!");
  EXPECT_EQ(r.boxes.Calls[0].Caption, "Error");
  EXPECT_EQ(r.boxes.Calls[0].Icon, MsgIcon::Error);
  EXPECT_TRUE(r.port.Connected());  // the port stays open until the next tick
  r.Tick();
  EXPECT_FALSE(r.port.Connected());
  EXPECT_FALSE(r.timer1.Enabled());
  EXPECT_EQ(r.c.Page.ConnectCaption, "Connect");
  EXPECT_EQ(r.c.Page.StatusText, "Disconnect...");
  EXPECT_EQ(r.c.Page.ConnectTag, 0);
  EXPECT_FALSE(r.c.ConnectFailed);
  EXPECT_TRUE(r.c.Page.ControlsEnabled);
}

TEST(Connection, AutoTriesEveryPortAndRateThenFailsAtStep48) {
  Rig r{3, 5, 7};
  r.timer1.OnTimer = [&] { r.c.Timer1Timer(); };
  r.c.RadioButtonConnectionModeAutoClick(true);
  r.c.OpenPortClick(true);
  EXPECT_EQ(r.c.Page.AutoPortText, "3");
  for (int i = 0; i < 48; ++i) r.Tick();
  // Each pair of port and rate gets the query at its first and third step.
  std::vector<std::string> expected;
  const char* rates[] = {"12", "11", "9", "6", "5"};
  int ports[] = {3, 5, 7, 3};
  for (int p = 0; p < 4; ++p)
    for (int k = 0; k < (p < 3 ? 5 : 1); ++k)
      for (int twice = 0; twice < 2; ++twice)
        expected.push_back("\\\\.\\COM" + std::to_string(ports[p]) + "@" + rates[k]);
  EXPECT_EQ(r.queryPorts, expected);
  EXPECT_EQ(r.queries.front(), 0);
  EXPECT_EQ(r.queries.back(), 47);
  EXPECT_EQ(r.port.Opened.size(), 4u);  // COM3, COM5, COM7, COM3 again at step 45
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_EQ(r.boxes.Calls[0].Text, "Serial port detecting failed!");
  EXPECT_EQ(r.c.DetectTickLimit, 47);
}

TEST(Connection, AutoTreatsAPortThatDiedAsSilentAndGoesOn) {
  Rig r{3, 5};
  r.timer1.OnTimer = [&] { r.c.Timer1Timer(); };
  r.c.RadioButtonConnectionModeAutoClick(true);
  r.c.OpenPortClick(true);
  r.port.Dead = true;  // COM3 went while it was open
  for (int i = 0; i < 16; ++i) EXPECT_NO_THROW(r.Tick());
  r.port.Dead = false;
  EXPECT_EQ(r.queryPorts.back(), "\\\\.\\COM5@12");
  EXPECT_TRUE(r.boxes.Calls.empty());
}

TEST(Connection, AutoWithOnePortReopensItAtStep15AndFailsAt21) {
  Rig r{4};
  r.timer1.OnTimer = [&] { r.c.Timer1Timer(); };
  r.c.RadioButtonConnectionModeAutoClick(true);
  r.c.OpenPortClick(true);
  for (int i = 0; i < 21; ++i) r.Tick();
  EXPECT_EQ(r.port.Opened.size(), 2u);
  EXPECT_EQ(r.queryPorts.back(), "\\\\.\\COM4@11");  // tried again at 115200 and 57600
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_EQ(r.boxes.Calls[0].Text, "Serial port detecting failed!");
}

TEST(Connection, AutoWithNoOpenablePortFailsAtOnce) {
  Rig r{6};
  r.platform.Busy = {6};
  r.c.RadioButtonConnectionModeAutoClick(true);
  bool timersRanDuringBox = true;
  r.boxes.WhileOpen = [&] { timersRanDuringBox = r.timer1.Enabled(); };
  r.c.OpenPortClick(true);
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_EQ(r.boxes.Calls[0].Text, "All serial ports are occupied or no existing!");
  EXPECT_EQ(r.boxes.Calls[0].Caption, "Warning");
  EXPECT_EQ(r.boxes.Calls[0].Icon, MsgIcon::Warning);
  EXPECT_FALSE(timersRanDuringBox);  // step 0's box comes before the timers start
  EXPECT_EQ(r.c.Page.AutoPortText, "N/A");
  EXPECT_EQ(r.c.Page.AutoBaudText, "N/A");
  EXPECT_TRUE(r.timer1.Enabled());
  r.timer1.OnTimer = [&] { r.c.Timer1Timer(); };
  r.Tick();
  EXPECT_EQ(r.c.Page.ConnectTag, 0);
  EXPECT_FALSE(r.timer1.Enabled());
}

TEST(Connection, ForceConnectQuestionForAPortThatDoesNotOpen) {
  for (MsgResult answer : {MsgResult::OK, MsgResult::Cancel}) {
    Rig r{3};
    r.c.cbxComPortChange("9");
    r.boxes.Answer = answer;
    r.c.OpenPortClick(true);
    ASSERT_GE(r.boxes.Calls.size(), 1u);
    EXPECT_EQ(r.boxes.Calls[0].Text,
              "Note! Any force connect this serial port may cause unpredictable mistakes. Continue?");
    EXPECT_EQ(r.boxes.Calls[0].Buttons, MsgButtons::OKCancel);
    if (answer == MsgResult::Cancel) {
      EXPECT_EQ(r.boxes.Calls.size(), 1u);
      EXPECT_EQ(r.c.ConnectPhase, TConnectPhase::Disconnected);
      EXPECT_EQ(r.c.Page.ConnectTag, 0);
      EXPECT_FALSE(r.c.Page.ConnectDown);
      EXPECT_EQ(r.c.Page.ConnectCaption, "Connect");
      EXPECT_EQ(r.c.Page.StatusText, "Disconnect...");
      EXPECT_FALSE(r.timer1.Enabled());
    } else {
      // OK goes on; COM9 does not open.
      ASSERT_EQ(r.boxes.Calls.size(), 2u);
      EXPECT_EQ(r.boxes.Calls[1].Text, "Serial port open error! Please check!");
      EXPECT_TRUE(r.timer1.Enabled());
      r.timer1.OnTimer = [&] { r.c.Timer1Timer(); };
      r.Tick();
      EXPECT_EQ(r.c.Page.ConnectCaption, "Connect");
    }
  }
}

TEST(Connection, EndOfStaticDataConnectsAndTheAnimationShowsIt) {
  Rig r{3};
  r.c.OpenPortClick(true);
  std::vector<int> frames;
  for (int i = 0; i < 14; ++i) {
    r.c.TimerConnectionTimer();
    frames.push_back(r.c.TimerConnectionTag);
  }
  EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 3, 4}));
  r.c.EvaluateReplyLine("Software Version Code = (1.05)\r\n");
  EXPECT_EQ(r.c.ConnectPhase, TConnectPhase::Connecting);
  r.c.EvaluateReplyLine("xx[END OF STATIC DATA]yy\r\n");
  EXPECT_EQ(r.c.ConnectPhase, TConnectPhase::Connected);
  EXPECT_TRUE(r.c.UnitFound && r.c.UnitConnected);
  EXPECT_TRUE(r.c.Page.ContinueEnabled);
  r.c.TimerConnectionTimer();
  EXPECT_EQ(r.c.Page.StatusText, "Connected...");
  EXPECT_EQ(r.c.Page.Look, StatusLook::Blue);
  EXPECT_EQ(r.c.Page.ToDeviceImage, 1);
  EXPECT_FALSE(r.timer1.Enabled() || r.timerConnection.Enabled());
  EXPECT_FALSE(r.c.Page.ControlsEnabled);
  // The next attempt starts its animation at frame 3.
  r.c.OpenPortClick(true);  // Disconnect
  r.c.OpenPortClick(true);  // Connect
  EXPECT_FALSE(r.c.UnitFound);
  r.c.TimerConnectionTimer();
  EXPECT_EQ(r.c.TimerConnectionTag, 3);
}

TEST(Connection, BlinkIsRedForThreeTicksOfEight) {
  Rig r{3};
  r.c.OpenPortClick(true);
  std::string looks;
  for (int i = 0; i < 16; ++i) {
    r.c.TimerConnectionTimer();
    looks += r.c.Page.Look == StatusLook::Red ? 'R' : 'b';
  }
  EXPECT_EQ(looks, "RRbbbbbRRRbbbbbR");
}

TEST(Connection, DisconnectWhileConnectingStopsEverything) {
  Rig r{3};
  r.c.OpenPortClick(true);
  r.c.TimerConnectionTimer();
  r.c.TimerConnectionTimer();
  r.c.OpenPortClick(true);
  EXPECT_FALSE(r.port.Connected());
  EXPECT_FALSE(r.timer1.Enabled() || r.timerConnection.Enabled());
  EXPECT_EQ(r.c.Page.ToDeviceImage, 0);
  EXPECT_EQ(r.c.Page.TwoWayImage, 0);
  EXPECT_TRUE(r.c.Page.ControlsEnabled);
  EXPECT_EQ(r.c.TimerConnectionTag, 2);  // kept for the next attempt
  EXPECT_EQ(r.c.ConnectPhase, TConnectPhase::Disconnected);
}

TEST(Connection, ALineAfterAFailureStartsTheAttemptAgain) {
  Rig r{3};
  r.timer1.OnTimer = [&] { r.c.Timer1Timer(); };
  r.c.OpenPortClick(true);
  for (int i = 0; i < 21; ++i) r.Tick();
  ASSERT_EQ(r.c.ConnectPhase, TConnectPhase::Disconnected);
  r.c.EvaluateReplyLine("noise\r\n");
  EXPECT_EQ(r.c.ConnectPhase, TConnectPhase::Connecting);
  EXPECT_EQ(r.c.ConnectTicks, 0);
  size_t before = r.queries.size();
  r.Tick();  // step 0 again, on the port that is still open
  EXPECT_EQ(r.queries.size(), before + 1);
  EXPECT_TRUE(r.port.Connected());
}

TEST(Connection, TicksDuringAFailureBoxEndTheConnection) {
  Rig r{3};
  r.timer1.OnTimer = [&] { r.c.Timer1Timer(); };
  r.boxes.WhileOpen = [&] { r.Tick(); };  // one second passes while the box is up
  r.c.OpenPortClick(true);
  for (int i = 0; i < 21; ++i) r.Tick();
  EXPECT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_FALSE(r.port.Connected());
  EXPECT_FALSE(r.timer1.Enabled());
}

TEST(Connection, EndingTheWizardClosesAPortOpenedOutsideTheConnection) {
  Rig r{3};
  r.c.OpenPortClick(true);
  r.c.OpenPortClick();  // the connection ended (a hang-up, a removal) ...
  ASSERT_TRUE(OpenComPort(r.port, "3", 9));  // ... and the upgrade opened the port again
  r.c.EndWantedConnection();  // the failed upgrade goes back to the start
  EXPECT_FALSE(r.port.Connected());
  r.c.OpenPortClick(true);
  EXPECT_EQ(r.c.ConnectPhase, TConnectPhase::Connecting);
  EXPECT_EQ(r.port.Opened.size(), 3u);
}

TEST(Connection, ContinueNeedsTheUnitAndRemovalEndsTheConnection) {
  Rig r{3, 5};
  r.c.OpenPortClick(true);
  r.c.EvaluateReplyLine("[END OF STATIC DATA]\r\n");
  r.c.TimerConnectionTimer();
  // Removing another port only refreshes the list.
  r.platform.SetPorts({3});
  r.lists.RefreshPortLists();
  r.c.DeviceChanged();
  EXPECT_EQ(r.c.Page.ConnectTag, 1);
  // Removing the port in use ends the connection as Disconnect does.
  r.platform.SetPorts({5});
  r.lists.RefreshPortLists();
  r.c.DeviceChanged();
  EXPECT_EQ(r.c.Page.ConnectTag, 0);
  EXPECT_FALSE(r.port.Connected());
  EXPECT_EQ(r.c.Page.StatusText, "Disconnect...");
  EXPECT_EQ(r.c.Page.ComPortText, "5");
  // Continue still leads on: the unit was found.
  EXPECT_TRUE(r.c.SB_COMPortDetectContinueClick());
  EXPECT_FALSE(r.c.Page.ContinueEnabled);
}

TEST(Connection, ARefreshKeepsThePortInUseAndAChoiceIsReported) {
  Rig r{3, 5};
  int changes = 0;
  r.c.OnChanged = [&] { ++changes; };
  r.c.cbxComPortChange("5");
  EXPECT_EQ(changes, 1);  // the window shows the device of COM5 now
  EXPECT_EQ(r.c.Page.ComPortIndex, 1);
  r.c.OpenPortClick(true);
  r.c.EvaluateReplyLine("[END OF STATIC DATA]\r\n");
  EXPECT_TRUE(r.c.SB_COMPortDetectContinueClick());
  // A device arriving while connected (and after Continue) leaves the port in use.
  r.platform.SetPorts({1, 3, 5});
  r.lists.RefreshPortLists();
  r.c.DeviceChanged();
  EXPECT_EQ(r.c.Page.ComPortText, "5");
  EXPECT_EQ(r.c.Page.ComPortIndex, 2);
  // Without a connection a refresh selects entry 0.
  r.c.EndWantedConnection();
  r.lists.RefreshPortLists();
  EXPECT_EQ(r.c.Page.ComPortText, "1");
}

TEST(Connection, ContinueAfterANewConnectAsksToConnectFirst) {
  Rig r{3};
  r.c.OpenPortClick(true);
  r.c.EvaluateReplyLine("[END OF STATIC DATA]\r\n");
  r.c.OpenPortClick(true);  // Disconnect: Continue stays enabled
  EXPECT_TRUE(r.c.Page.ContinueEnabled);
  r.c.OpenPortClick(true);  // a new Connect clears UnitFound
  EXPECT_FALSE(r.c.SB_COMPortDetectContinueClick());
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_EQ(r.boxes.Calls[0].Text, "Please connect first");
  EXPECT_EQ(r.boxes.Calls[0].Caption, "Message");
  EXPECT_FALSE(r.c.Page.ConnectDown);  // Continue released the Connect button
  EXPECT_EQ(r.c.Page.ConnectTag, 1);
}

TEST(Connection, AQueryThatCannotBeWrittenInManualModeEndsTheAttemptAtOnce) {
  Rig r{3};
  // What the wizard does when a write fails outside Auto mode.
  r.c.SendQuery = [&] {
    if (r.c.Page.ConnectDown) r.c.OpenPortClick();
    r.boxes.Show("Serial port open error! Please check!", "Error", MsgButtons::OK, MsgIcon::Error);
    return false;
  };
  r.c.OpenPortClick(true);
  ASSERT_EQ(r.boxes.Calls.size(), 1u);
  EXPECT_FALSE(r.port.Connected());
  EXPECT_FALSE(r.timer1.Enabled() || r.timerConnection.Enabled());
  EXPECT_EQ(r.c.Page.StatusText, "Disconnect...");
  EXPECT_EQ(r.c.Page.ConnectCaption, "Connect");
  EXPECT_TRUE(r.c.Page.ControlsEnabled);
}

TEST(Connection, NoPortShowsNA) {
  Rig r{};
  r.c.SelectDefaults();
  EXPECT_EQ(r.c.Page.ComPortEntries, (std::vector<std::string>{"N/A"}));
  EXPECT_EQ(r.c.Page.ComPortText, "N/A");
  EXPECT_EQ(r.c.Page.BaudRateIndex, 4);
}

TEST(Connection, ALanguageLoadedWhileConnectedShowsItsButtonAndStatusTexts) {
  Rig r{3};
  // The texts of a new language, then the button and status follow them.
  auto load = [&r](const char* suffix) {
    r.texts.ButtonCaptions[0] = std::string("BUTTON-CONNECT") + suffix;
    r.texts.ButtonCaptions[1] = std::string("BUTTON-DISCONNECT") + suffix;
    r.texts.Connected = std::string("STATUS-CONNECTED") + suffix;
    r.texts.Disconnect = std::string("STATUS-DISCONNECT") + suffix;
    r.c.ShowButtonCaption();
    r.c.ShowStatusText();
  };
  r.c.OpenPortClick(true);
  r.c.EvaluateReplyLine("[END OF STATIC DATA]\r\n");
  r.c.TimerConnectionTimer();
  load("-1");
  EXPECT_EQ(r.c.Page.ConnectCaption, "BUTTON-DISCONNECT-1");
  EXPECT_EQ(r.c.Page.StatusText, "STATUS-CONNECTED-1");
  // Once disconnected, the button and the status take the other two texts.
  r.c.OpenPortClick(true);
  load("-2");
  EXPECT_EQ(r.c.Page.ConnectCaption, "BUTTON-CONNECT-2");
  EXPECT_EQ(r.c.Page.StatusText, "STATUS-DISCONNECT-2");
}
