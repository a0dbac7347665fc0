// The port object against a scripted driver: what reaches the driver, when,
// and the fixed error texts.
#include <gtest/gtest.h>

#include <chrono>

#include "FakeSerialPlatform.h"
#include "TestSupport.h"
#include "comm/Comm.h"
#include "common/Exception.h"
#include "common/QueueDispatcher.h"

using namespace std::chrono_literals;

namespace {

class CommSettingsTest : public ::testing::Test {
 protected:
  CommSettingsTest() {
    // The scripted driver takes any name; how names resolve is not tested here.
    comm.SetDeviceNameResolver([](const std::string& name) { return std::optional<std::string>(name); });
    comm.SetDeviceName("/dev/fake0");
  }
  void OpenPort() {
    comm.Open();
    ASSERT_TRUE(comm.Connected());
  }
  const DeviceControlBlock& Applied() { return driver.statesSet.back(); }

  FakeSerialPlatform platform;
  FakeDriver& driver = platform.driver;
  QueueDispatcher dispatcher;
  TComm comm{dispatcher, platform};
};

TEST_F(CommSettingsTest, NewPortHasItsDefaults) {
  TComm fresh(dispatcher, platform);
  EXPECT_EQ(fresh.DeviceName(), "Com2");
  EXPECT_EQ(fresh.ReadTimeout(), 1000);
  EXPECT_EQ(fresh.WriteTimeout(), 1000);
  EXPECT_EQ(fresh.ReadBufSize(), 4096);
  EXPECT_EQ(fresh.WriteBufSize(), 2048);
  EXPECT_EQ(fresh.SuspendTime(), 5u);
  EXPECT_EQ(fresh.MonitorEvents(), AllCommEvents);
  EXPECT_EQ(fresh.BaudRate(), br9600);
  EXPECT_EQ(fresh.Parity(), paNone);
  EXPECT_EQ(fresh.StopBits(), sb10);
  EXPECT_EQ(fresh.DataBits(), da8);
  EXPECT_TRUE(fresh.Options().Empty());
  EXPECT_EQ(fresh.FlowControl(), fcDefault);
  EXPECT_EQ(fresh.EventChars().XOnChar(), 0x11);
  EXPECT_EQ(fresh.EventChars().XOffChar(), 0x13);
  EXPECT_FALSE(fresh.Connected());
  EXPECT_TRUE(driver.calls.empty());
}

TEST_F(CommSettingsTest, EveryRateReachesTheDriverWithAWriteAllowanceOfItsLineTime) {
  struct Row {
    TBaudRate rate;
    uint32_t bitsPerSecond;
    uint32_t writeMultiplier;
  };
  // Milliseconds per byte: the line time of 12 bits, rounded up.
  const Row rows[] = {{br110, 110, 110},      {br300, 300, 40},       {br600, 600, 20},       {br1200, 1200, 10},
                      {br2400, 2400, 5},      {br4800, 4800, 3},      {br9600, 9600, 2},      {br14400, 14400, 1},
                      {br19200, 19200, 1},    {br38400, 38400, 1},    {br56000, 56000, 1},    {br57600, 57600, 1},
                      {br115200, 115200, 1},  {br128000, 128000, 1},  {br256000, 256000, 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bitsPerSecond);
    comm.Close();
    comm.SetBaudRate(row.rate);
    OpenPort();
    EXPECT_EQ(Applied().BaudRate, row.bitsPerSecond);
    EXPECT_EQ(driver.timeouts.WriteTotalTimeoutMultiplier, row.writeMultiplier);
    EXPECT_EQ(driver.timeouts.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(driver.timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(driver.timeouts.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(driver.timeouts.WriteTotalTimeoutConstant, 2000u);
  }
}

TEST_F(CommSettingsTest, LineFormatAndOptionsMapOntoTheControlBlock) {
  driver.reported.fOutxCtsFlow = true;  // the driver's handshake stays, whatever FlowControl says
  driver.reported.fOutX = true;
  driver.reported.fRtsControl = CommLineControl::Handshake;
  driver.reported.EofChar = 0x1A;
  comm.SetParity(paOdd);
  comm.SetStopBits(sb20);
  comm.SetDataBits(da7);
  comm.SetFlowControl(fcNone);
  comm.SetOptions({coParityCheck, coIgnoreXOff, coNullStrip});
  comm.EventChars().SetEvtChar('\n');
  OpenPort();
  const DeviceControlBlock& dcb = Applied();
  EXPECT_EQ(dcb.Parity, CommParity::Odd);
  EXPECT_EQ(dcb.StopBits, CommStopBits::Two);
  EXPECT_EQ(dcb.ByteSize, 7);
  EXPECT_TRUE(dcb.fParity);
  EXPECT_FALSE(dcb.fDsrSensitivity);
  EXPECT_TRUE(dcb.fTXContinueOnXoff);
  EXPECT_FALSE(dcb.fErrorChar);
  EXPECT_TRUE(dcb.fNull);
  EXPECT_EQ(dcb.XonLim, 1024);
  EXPECT_EQ(dcb.XoffLim, 1024);
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  EXPECT_EQ(dcb.EofChar, 0);  // from EventChars, not from the driver
  EXPECT_EQ(dcb.EvtChar, '\n');
  EXPECT_TRUE(dcb.fOutxCtsFlow);
  EXPECT_TRUE(dcb.fOutX);
  EXPECT_EQ(dcb.fRtsControl, CommLineControl::Handshake);

  const struct {
    TParity parity;
    uint8_t code;
  } parities[] = {{paNone, 0}, {paOdd, 1}, {paEven, 2}, {paMark, 3}, {paSpace, 4}};
  for (const auto& row : parities) {
    comm.SetParity(row.parity);
    EXPECT_EQ(Applied().Parity, row.code);
  }
  comm.SetDataBits(da4);
  EXPECT_EQ(Applied().ByteSize, 4);
  comm.SetStopBits(sb15);
  EXPECT_EQ(Applied().StopBits, CommStopBits::OneAndHalf);
}

TEST_F(CommSettingsTest, SettersOnAnOpenPort) {
  OpenPort();
  size_t applied = driver.statesSet.size();
  // Line settings reach the driver at once; an unchanged value does not touch it.
  comm.SetBaudRate(br115200);
  EXPECT_EQ(driver.statesSet.size(), ++applied);
  EXPECT_EQ(Applied().BaudRate, 115200u);
  comm.SetBaudRate(br115200);
  comm.SetParity(paNone);
  comm.SetStopBits(sb10);
  comm.SetDataBits(da8);
  comm.SetFlowControl(fcDefault);
  comm.SetOptions({});
  EXPECT_EQ(driver.statesSet.size(), applied);
  comm.SetFlowControl(fcCTS);
  EXPECT_EQ(driver.statesSet.size(), ++applied);
  EXPECT_FALSE(Applied().fOutxCtsFlow);
  comm.SetOptions({coErrorChar});
  EXPECT_EQ(driver.statesSet.size(), ++applied);
  EXPECT_TRUE(Applied().fErrorChar);

  // Kept for the next open: these are dropped while open.
  comm.SetDeviceName("/dev/fake1");
  comm.SetMonitorEvents({evRxChar});
  comm.SetReadBufSize(1);
  comm.SetWriteBufSize(2);
  comm.SetSuspendTime(9);
  EXPECT_EQ(comm.DeviceName(), "/dev/fake0");
  EXPECT_EQ(comm.MonitorEvents(), AllCommEvents);
  EXPECT_EQ(comm.ReadBufSize(), 4096);
  EXPECT_EQ(comm.WriteBufSize(), 2048);
  EXPECT_EQ(comm.SuspendTime(), 5u);
  // Only stored, open or not.
  comm.SetReadTimeout(7);
  comm.SetWriteTimeout(8);
  EXPECT_EQ(comm.ReadTimeout(), 7);
  EXPECT_EQ(comm.WriteTimeout(), 8);
  EXPECT_EQ(driver.statesSet.size(), applied);

  comm.Close();
  comm.SetMonitorEvents({evRxChar, evError});
  OpenPort();
  EXPECT_EQ(driver.masks.back(), CommEv::RxChar | CommEv::Err);
}

TEST_F(CommSettingsTest, EventCharsReapplyButAssignDoesNot) {
  comm.EventChars().SetXOnChar(0x12);  // closed: nothing to apply
  EXPECT_TRUE(driver.statesSet.empty());
  OpenPort();
  size_t applied = driver.statesSet.size();
  comm.EventChars().SetXOnChar(0x12);  // unchanged, still applied
  EXPECT_EQ(driver.statesSet.size(), ++applied);
  comm.EventChars().SetXOffChar(0x14);
  EXPECT_EQ(driver.statesSet.size(), ++applied);
  EXPECT_EQ(Applied().XonChar, 0x12);
  EXPECT_EQ(Applied().XoffChar, 0x14);

  TCommEventChars other(nullptr);
  other.SetErrorChar('?');
  other.SetEofChar(0x1A);
  comm.EventChars().Assign(other);
  EXPECT_EQ(driver.statesSet.size(), applied);
  EXPECT_EQ(comm.EventChars().XOnChar(), 0x11);
  EXPECT_EQ(comm.EventChars().ErrorChar(), '?');
  comm.SetBaudRate(br4800);  // the next update carries the assigned characters
  EXPECT_EQ(Applied().ErrorChar, '?');
  EXPECT_EQ(Applied().EofChar, 0x1A);
}

TEST_F(CommSettingsTest, FailuresRaiseTheirFixedTexts) {
  EXPECT_EQ(RaisedText([&] { comm.SetDTR(true); }), "Port not open (Error: -1)");
  EXPECT_EQ(RaisedText([&] { comm.SetRTS(false); }), "Port not open (Error: -1)");
  EXPECT_EQ(RaisedText([&] { comm.EscapeComm(CommEscape::SetBreak); }), "Port not open (Error: -1)");

  OpenPort();
  EXPECT_EQ(RaisedText([&] { comm.Open(); }), "Port already assigned (open) (Error: -1)");
  EXPECT_TRUE(comm.Connected());
  comm.SetDTR(true);
  comm.SetRTS(true);
  EXPECT_EQ(driver.Count("Escape5"), 1);
  EXPECT_EQ(driver.Count("Escape3"), 1);
  driver.failEscape = true;
  driver.error = 22;
  EXPECT_EQ(RaisedText([&] { comm.SetDTR(false); }), "EscapeCommFunction failure (Error: 22)");
  EXPECT_TRUE(comm.Connected());

  driver.failSetState = true;
  driver.error = 5;
  EXPECT_EQ(RaisedText([&] { comm.SetBaudRate(br38400); }), "Error updating DataControlBlock (Error: 5)");
  EXPECT_EQ(comm.BaudRate(), br38400);
  EXPECT_TRUE(comm.Connected());
}

TEST_F(CommSettingsTest, FailedTimeoutsCloseThePortQuietly) {
  driver.failTimeouts = true;
  EXPECT_NO_THROW(comm.Open());
  EXPECT_FALSE(comm.Connected());
  EXPECT_EQ(driver.Count("CloseHandle"), 1);
  EXPECT_FALSE(driver.open);
}

TEST_F(CommSettingsTest, FailedControlBlockOnOpenLeavesThePortOpenWithoutEvents) {
  driver.failSetState = true;
  driver.error = 87;
  EXPECT_EQ(RaisedText([&] { comm.Open(); }), "Error updating DataControlBlock (Error: 87)");
  EXPECT_TRUE(comm.Connected());
  EXPECT_EQ(driver.masks, std::vector<uint32_t>{CommEv::All});  // no event thread set its mask
  comm.Close();
  EXPECT_FALSE(driver.open);
}

TEST_F(CommSettingsTest, FailedBufferSetupStillStartsTheEventThread) {
  driver.failSetupComm = true;
  driver.error = 12;
  EXPECT_EQ(RaisedText([&] { comm.Open(); }), "Error initializing Read/Write Buffers (Error: 12)");
  ASSERT_TRUE(comm.Connected());
  int wakeUps = 0;
  comm.OnComStatEvent = [&](TThreadComm*, uint32_t, ComStat) { ++wakeUps; };
  driver.Push(CommEv::TxEmpty);
  EXPECT_TRUE(dispatcher.RunUntil([&] { return wakeUps == 1; }, 2s));
}

TEST_F(CommSettingsTest, MissingDeviceIsNoError) {
  driver.failOpen = true;
  EXPECT_NO_THROW(comm.Open());
  EXPECT_FALSE(comm.Connected());
  EXPECT_NO_THROW(comm.Close());
  char byte = 0;
  EXPECT_EQ(comm.Read(&byte, 1), -1);
  EXPECT_EQ(comm.Write(&byte, 1), -1);
}

// Records the events of each wake-up in the order they come.
class CommEventOrderTest : public CommSettingsTest {
 protected:
  void SetUp() override {
    auto note = [this](const char* name) { return [this, name](TThreadComm*) { seen.push_back(name); }; };
    comm.OnBreak = note("Break");
    comm.OnCts = note("Cts");
    comm.OnDsr = note("Dsr");
    comm.OnError = [this](TThreadComm*, int32_t errors) { seen.push_back("Error" + std::to_string(errors)); };
    comm.OnRing = note("Ring");
    comm.OnRlsd = note("Rlsd");
    comm.OnRxChar = [this](TThreadComm*, uint32_t count) {
      seen.push_back("RxChar" + std::to_string(count));
    };
    comm.OnRxFlag = note("RxFlag");
    comm.OnTxEmpty = note("TxEmpty");
    comm.OnComStatEvent = [this](TThreadComm*, uint32_t status, ComStat stat) {
      seen.push_back("ComStat" + std::to_string(status) + "/" + std::to_string(stat.cbInQue));
    };
    OpenPort();
  }
  std::vector<std::string> WakeUp(uint32_t mask) {
    seen.clear();
    size_t before = driver.Count("ClearCommError");
    driver.Push(mask);
    EXPECT_TRUE(
        dispatcher.RunUntil([&] { return !seen.empty() && seen.back().rfind("ComStat", 0) == 0; }, 2s));
    EXPECT_EQ(driver.Count("ClearCommError"), int(before) + 1);
    return seen;
  }
  std::vector<std::string> seen;
};

TEST_F(CommEventOrderTest, EventsComeInTheirFixedOrderWithComStatLast) {
  driver.stat.cbInQue = 3;
  driver.errors = CommErr::Frame;
  const std::vector<std::string> all = {"Break", "Cts",     "Dsr",    "Error8",  "Ring",
                                        "Rlsd",  "RxChar3", "RxFlag", "TxEmpty", "ComStat511/3"};
  EXPECT_EQ(WakeUp(CommEv::All), all);
  EXPECT_EQ(WakeUp(CommEv::TxEmpty | CommEv::Break),
            (std::vector<std::string>{"Break", "TxEmpty", "ComStat68/3"}));
  EXPECT_EQ(WakeUp(0), std::vector<std::string>{"ComStat0/3"});
  driver.stat.cbInQue = 0;  // bytes gone before the window thread looked
  EXPECT_EQ(WakeUp(CommEv::RxChar), std::vector<std::string>{"ComStat1/0"});
}

TEST_F(CommEventOrderTest, HandlerThatClosesThePortEndsTheWakeUp) {
  driver.stat.cbInQue = 1;
  comm.OnDsr = [this](TThreadComm*) {
    seen.push_back("Dsr");
    comm.Close();
  };
  seen.clear();
  driver.Push(CommEv::All);
  dispatcher.RunFor(200ms);
  EXPECT_EQ(seen, (std::vector<std::string>{"Break", "Cts", "Dsr"}));
  EXPECT_FALSE(comm.Connected());
  EXPECT_EQ(driver.purges, 1);  // the event thread purged the port before it was closed
}

TEST_F(CommEventOrderTest, HandlerThatReopensDoesNotFinishTheOldWakeUp) {
  comm.OnCts = [this](TThreadComm*) {
    seen.push_back("Cts");
    comm.Close();
    comm.Open();
  };
  seen.clear();
  driver.Push(CommEv::Cts | CommEv::Dsr);
  dispatcher.RunFor(200ms);
  EXPECT_EQ(seen, std::vector<std::string>{"Cts"});
  EXPECT_TRUE(comm.Connected());
  EXPECT_EQ(WakeUp(CommEv::Dsr), (std::vector<std::string>{"Dsr", "ComStat16/0"}));
}

TEST_F(CommEventOrderTest, ExceptionFromHandlerReachesTheHostAndReleasesTheThread) {
  comm.OnTxEmpty = [](TThreadComm*) { throw Exception("handler failed"); };
  driver.Push(CommEv::TxEmpty);
  EXPECT_THROW(dispatcher.RunUntil([] { return false; }, 2s), Exception);
  comm.OnTxEmpty = nullptr;
  EXPECT_EQ(WakeUp(CommEv::Ring), (std::vector<std::string>{"Ring", "ComStat256/0"}));
}

}  // namespace
