// The Windows serial port against a scripted driver: how it opens, what
// reaches the DCB, and how waits end on events, a removed device and Close.
#include <gtest/gtest.h>

#include <future>
#include <tuple>
#include <vector>

#include "ScriptedKernel32.h"
#include "TestSupport.h"
#include "comm/Comm.h"
#include "comm/platform/win32/Win32SerialPlatform.h"
#include "common/QueueDispatcher.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kDeadline = 2s;

class Win32SerialTest : public ::testing::Test {
 protected:
  std::unique_ptr<SerialDevice> Open() {
    auto port = platform.CreateFile("\\\\.\\COM3");
    EXPECT_TRUE(port);
    return port;
  }

  // A wait on a thread of its own: whether it succeeded, the events and
  // that thread's LastError().
  using WaitResult = std::tuple<bool, uint32_t, int>;
  std::future<WaitResult> WaitAsync(SerialDevice& port) {
    return std::async(std::launch::async, [&] {
      uint32_t mask = 0;
      bool ok = port.WaitCommEvent(mask);
      return WaitResult{ok, mask, platform.LastError()};
    });
  }

  // A wait that must end by itself; one that doesn't fails the test and is
  // cancelled, so that the test goes on.
  WaitResult WaitWithin(SerialDevice& port) {
    auto wait = WaitAsync(port);
    if (wait.wait_for(kDeadline) == std::future_status::ready) return wait.get();
    ADD_FAILURE() << "the wait did not end";
    port.CancelWait();
    return wait.get();
  }

  ScriptedKernel32 kernel;
  Win32SerialPlatform platform{kernel};
};

TEST_F(Win32SerialTest, OpensTheDeviceExclusivelyForOverlappedIoAndClosesEveryHandle) {
  auto port = Open();
  EXPECT_EQ(kernel.name, "\\\\.\\COM3");
  EXPECT_EQ(kernel.access, DWORD(GENERIC_READ | GENERIC_WRITE));
  EXPECT_EQ(kernel.share, 0u);
  EXPECT_EQ(kernel.disposition, DWORD(OPEN_EXISTING));
  EXPECT_EQ(kernel.flags, DWORD(FILE_FLAG_OVERLAPPED));
  EXPECT_FALSE(kernel.extras);
  port.reset();
  EXPECT_EQ(kernel.openHandles, 0);
}

TEST_F(Win32SerialTest, BusyPortGivesNothingAndAccessDeniedOnThisThreadOnly) {
  kernel.openError = ERROR_ACCESS_DENIED;
  EXPECT_FALSE(platform.CreateFile("\\\\.\\COM3"));
  kernel.openError = ERROR_FILE_NOT_FOUND;
  int other = std::async(std::launch::async, [&] {
                platform.CreateFile("\\\\.\\COM4");
                return platform.LastError();
              }).get();
  EXPECT_EQ(other, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform.LastError(), int(ERROR_ACCESS_DENIED));
  EXPECT_EQ(kernel.openHandles, 0);
}

TEST_F(Win32SerialTest, NameWithANulOpensNothing) {
  EXPECT_FALSE(platform.CreateFile(std::string("\\\\.\\COM3\0x", 10)));
  EXPECT_EQ(platform.LastError(), ERROR_INVALID_NAME);
  EXPECT_EQ(kernel.name, "");
}

TEST_F(Win32SerialTest, RatesParitiesAndStopBitsReachTheDcbAndComeBack) {
  auto port = Open();
  auto roundTrip = [&](auto ours, auto theirs, const auto& rows) {
    for (const auto& [value, expected] : rows) {
      SCOPED_TRACE(::testing::Message() << "value " << +value);
      DeviceControlBlock sent;
      sent.*ours = value;
      ASSERT_TRUE(port->SetCommState(sent));
      EXPECT_EQ(kernel.applied.DCBlength, sizeof(DCB));
      EXPECT_EQ(kernel.applied.*theirs, expected);
      kernel.state = kernel.applied;
      DeviceControlBlock back;
      back.*ours = 0x5A;
      ASSERT_TRUE(port->GetCommState(back));
      EXPECT_EQ(back.*ours, value);
    }
  };
  const std::pair<uint32_t, DWORD> rates[] = {
      {BaudRateValue(br110), CBR_110},       {BaudRateValue(br300), CBR_300},
      {BaudRateValue(br600), CBR_600},       {BaudRateValue(br1200), CBR_1200},
      {BaudRateValue(br2400), CBR_2400},     {BaudRateValue(br4800), CBR_4800},
      {BaudRateValue(br9600), CBR_9600},     {BaudRateValue(br14400), CBR_14400},
      {BaudRateValue(br19200), CBR_19200},   {BaudRateValue(br38400), CBR_38400},
      {BaudRateValue(br56000), CBR_56000},   {BaudRateValue(br57600), CBR_57600},
      {BaudRateValue(br115200), CBR_115200}, {BaudRateValue(br128000), CBR_128000},
      {BaudRateValue(br256000), CBR_256000}};
  const std::pair<uint8_t, BYTE> parities[] = {{paNone, NOPARITY},
                                               {paOdd, ODDPARITY},
                                               {paEven, EVENPARITY},
                                               {paMark, MARKPARITY},
                                               {paSpace, SPACEPARITY}};
  const std::pair<uint8_t, BYTE> stopBits[] = {{sb10, ONESTOPBIT}, {sb15, ONE5STOPBITS}, {sb20, TWOSTOPBITS}};
  roundTrip(&DeviceControlBlock::BaudRate, &DCB::BaudRate, rates);
  roundTrip(&DeviceControlBlock::Parity, &DCB::Parity, parities);
  roundTrip(&DeviceControlBlock::StopBits, &DCB::StopBits, stopBits);
}

TEST_F(Win32SerialTest, EveryFieldOfTheDcbGoesBothWays) {
  auto port = Open();
  DeviceControlBlock d;  // every field off its default
  d.BaudRate = 57600, d.fBinary = false, d.fParity = d.fOutxCtsFlow = d.fOutxDsrFlow = true;
  d.fDtrControl = CommLineControl::Handshake, d.fDsrSensitivity = d.fTXContinueOnXoff = true;
  d.fOutX = d.fInX = d.fErrorChar = d.fNull = d.fAbortOnError = true, d.fRtsControl = CommLineControl::Toggle;
  d.XonLim = 100, d.XoffLim = 200, d.ByteSize = 7, d.Parity = CommParity::Even, d.StopBits = CommStopBits::Two;
  d.XonChar = 'a', d.XoffChar = 'b', d.ErrorChar = '?', d.EofChar = 0x1A, d.EvtChar = '\n';
  auto fields = [](const auto& w) {
    return std::vector<long long>{w.BaudRate, w.fBinary,  w.fParity,   w.fOutxCtsFlow,    w.fOutxDsrFlow,
                                  w.fDtrControl, w.fDsrSensitivity, w.fTXContinueOnXoff, w.fOutX, w.fInX,
                                  w.fErrorChar,  w.fNull,   w.fRtsControl, w.fAbortOnError, w.XonLim, w.XoffLim,
                                  w.ByteSize,    w.Parity,  w.StopBits,  w.XonChar,         w.XoffChar,
                                  w.ErrorChar,   w.EofChar, w.EvtChar};
  };
  ASSERT_TRUE(port->SetCommState(d));
  EXPECT_EQ(kernel.applied.DCBlength, sizeof(DCB));
  EXPECT_EQ(fields(kernel.applied), fields(d));
  kernel.state = kernel.applied;
  DeviceControlBlock back;
  ASSERT_TRUE(port->GetCommState(back));
  EXPECT_EQ(fields(back), fields(d));
}

TEST_F(Win32SerialTest, LineControlsTheDcbCannotHoldAreRefused) {
  auto port = Open();
  const std::pair<uint8_t, uint8_t> rows[] = {{CommLineControl::Toggle, CommLineControl::Enable},
                                              {4, CommLineControl::Enable},
                                              {CommLineControl::Enable, 4}};
  for (auto [dtr, rts] : rows) {
    DeviceControlBlock d;
    d.fDtrControl = dtr, d.fRtsControl = rts;
    EXPECT_FALSE(port->SetCommState(d)) << +dtr << " " << +rts;
    EXPECT_EQ(platform.LastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(kernel.applied.DCBlength, 0u) << "nothing reached the driver";
}

// A port without modem lines is a port: DTR and RTS refused as unsupported
// are no failure (any other refusal is, with the driver's error), and it is
// waited on without the lines' events, which it refuses to wait for.
TEST_F(Win32SerialTest, APortWithoutModemLinesIsAPort) {
  QueueDispatcher dispatcher;
  TComm comm(dispatcher, platform);
  comm.SetDeviceName("COM3");
  kernel.modemLines = false;
  comm.Open();
  ASSERT_TRUE(comm.Connected());
  const struct {
    uint32_t function;
    DWORD escapeError;
    const char* raised;
  } rows[] = {
      {CommEscape::SetDtr, 0, "(nothing raised)"},
      {CommEscape::ClrRts, ERROR_INVALID_FUNCTION, "(nothing raised)"},
      {CommEscape::SetRts, ERROR_GEN_FAILURE, "EscapeCommFunction failure (Error: 31)"},
      {CommEscape::SetBreak, ERROR_NOT_SUPPORTED, "EscapeCommFunction failure (Error: 50)"},
  };
  for (const auto& row : rows) {
    kernel.escapeError = row.escapeError;
    EXPECT_EQ(RaisedText([&] { comm.EscapeComm(row.function); }), row.raised) << row.function;
  }
  EXPECT_TRUE(comm.Connected());
  comm.Close();

  auto port = Open();
  ASSERT_TRUE(port->SetCommMask(CommEv::RxChar | CommEv::Cts | CommEv::Rlsd));
  kernel.waits = {{CommEv::RxChar}};
  const auto [ok, events, error] = WaitWithin(*port);
  EXPECT_TRUE(ok) << error;
  EXPECT_EQ(events, CommEv::RxChar);
  EXPECT_EQ(kernel.EventMask(), DWORD(EV_RXCHAR));
  ASSERT_TRUE(port->SetCommMask(CommEv::RxChar | CommEv::Dsr | CommEv::Err));
  EXPECT_EQ(kernel.EventMask(), DWORD(EV_RXCHAR | EV_ERR));
}

TEST_F(Win32SerialTest, TimeoutsPassThrough) {
  auto port = Open();
  ASSERT_TRUE(port->SetCommTimeouts({MAXDWORD, 2, 1000, 4, 2000}));
  const COMMTIMEOUTS& t = kernel.timeouts;
  EXPECT_EQ((std::vector<DWORD>{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                                t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant}),
            (std::vector<DWORD>{MAXDWORD, 2, 1000, 4, 2000}));
}

TEST_F(Win32SerialTest, AReadEndsWithWhatCameInTimeAndAPartWrittenIsAFailedWrite) {
  auto port = Open();
  kernel.transfersAtOnce = true;  // the bytes were there: the call itself ends the read
  kernel.input = "abc";
  char buffer[8] = {};
  uint32_t n = 0;
  ASSERT_TRUE(port->ReadFile(buffer, sizeof buffer, n));
  EXPECT_EQ(std::string(buffer, n), "abc");
  kernel.transfersAtOnce = false;
  kernel.transferTime = 50ms;  // the read waits for its time-out
  kernel.input = "d";
  kernel.readEnd = ERROR_TIMEOUT;  // how Wine ends a read at its time-out
  ASSERT_TRUE(port->ReadFile(buffer, sizeof buffer, n));
  EXPECT_EQ(n, 1u);
  kernel.readEnd = ERROR_BAD_COMMAND;
  EXPECT_FALSE(port->ReadFile(buffer, sizeof buffer, n));
  EXPECT_EQ(platform.LastError(), ERROR_BAD_COMMAND);
  ASSERT_TRUE(port->WriteFile("hello", 5, n));
  EXPECT_EQ(n, 5u);
  kernel.writeTakes = 2;  // the write time-out came first
  EXPECT_FALSE(port->WriteFile("hello", 5, n));
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(platform.LastError(), ERROR_TIMEOUT);
}

// A device that goes away ends the wait with one of these errors, as the
// wait ends or within the call.
TEST_F(Win32SerialTest, RemovalIsOneErrorEventThenTheWaitSleepsUntilCancelled) {
  const ScriptedKernel32::Wait removals[] = {{0, ERROR_OPERATION_ABORTED, false},
                                             {0, ERROR_BAD_COMMAND, false},
                                             {0, ERROR_ACCESS_DENIED, true},
                                             {0, ERROR_DEVICE_REMOVED, false}};
  for (const auto& removal : removals) {
    SCOPED_TRACE(::testing::Message() << "error " << removal.error);
    auto port = Open();
    ASSERT_TRUE(port && port->SetCommMask(CommEv::All));
    const int before = kernel.WaitCalls();
    kernel.waits = {{CommEv::RxChar}, removal};
    uint32_t mask = 0, errors = 0;
    ComStat stat;
    ASSERT_TRUE(port->WaitCommEvent(mask));
    EXPECT_EQ(mask, CommEv::RxChar);
    ASSERT_TRUE(port->WaitCommEvent(mask));
    EXPECT_EQ(mask, CommEv::Err);
    port->ClearCommError(errors, stat);
    EXPECT_EQ(errors, CommErr::IoError);

    auto third = WaitAsync(*port);
    EXPECT_EQ(third.wait_for(100ms), std::future_status::timeout) << "the wait sleeps";
    EXPECT_EQ(kernel.WaitCalls(), before + 2) << "and leaves the driver alone";
    port->CancelWait();
    ASSERT_EQ(third.wait_for(kDeadline), std::future_status::ready);
    EXPECT_EQ(third.get(), WaitResult(false, 0, ERROR_OPERATION_ABORTED));
  }
}

TEST_F(Win32SerialTest, RemovalOutsideTheMaskIsOneFailedWait) {
  auto port = Open();
  ASSERT_TRUE(port->SetCommMask(CommEv::RxChar));
  kernel.waits = {{0, ERROR_BAD_COMMAND}};
  EXPECT_EQ(WaitWithin(*port), WaitResult(false, 0, ERROR_BAD_COMMAND));
  auto next = WaitAsync(*port);
  EXPECT_EQ(next.wait_for(100ms), std::future_status::timeout);
  port->CancelWait();
  ASSERT_EQ(next.wait_for(kDeadline), std::future_status::ready);
  EXPECT_EQ(kernel.WaitCalls(), 1);
}

// A refused wait is no removal.
TEST_F(Win32SerialTest, AFailedWaitOnADeviceThatIsThereIsAskedAgainNextTime) {
  auto port = Open();
  ASSERT_TRUE(port && port->SetCommMask(CommEv::All));
  kernel.waits = {{0, ERROR_INVALID_PARAMETER, true, false}, {CommEv::RxChar}};
  EXPECT_EQ(WaitWithin(*port), WaitResult(false, 0, ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WaitWithin(*port), WaitResult(true, CommEv::RxChar, 0));
}

// Wine's driver on a port without modem lines ends every wait aborted a
// moment after it began, reporting only input already queued as the wait
// starts: the port waits again, and reports input that came meanwhile, with
// no failed wait. A driver that aborts waits at once gets them paced.
TEST_F(Win32SerialTest, WaitsAbortedOnADeviceThatIsThereGoOnUntilInputComes) {
  kernel.modemLines = false;
  auto port = Open();
  ASSERT_TRUE(port->SetCommMask(CommEv::RxChar | CommEv::Err));
  auto wait = WaitAsync(*port);
  EXPECT_EQ(wait.wait_for(100ms), std::future_status::timeout);
  EXPECT_GT(kernel.WaitCalls(), 2);
  kernel.Arrive("$");
  ASSERT_EQ(wait.wait_for(kDeadline), std::future_status::ready);
  EXPECT_EQ(wait.get(), WaitResult(true, CommEv::RxChar, 0));
  char byte;
  uint32_t n = 0;
  ASSERT_TRUE(port->ReadFile(&byte, 1, n) && n == 1);

  kernel.waits = std::deque<ScriptedKernel32::Wait>(20, {0, ERROR_OPERATION_ABORTED, true, false});
  kernel.waits.push_back({CommEv::Err, 0, true});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitWithin(*port), WaitResult(true, CommEv::Err, 0));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
}

// Events already waiting end the wait within the call; only those of the
// mask count.
TEST_F(Win32SerialTest, WaitingEventsOfTheMaskEndTheWaitWithinTheCall) {
  auto port = Open();
  ASSERT_TRUE(port->SetCommMask(CommEv::RxChar | CommEv::Cts));
  kernel.waits = {{CommEv::RxChar | CommEv::TxEmpty, 0, true}, {CommEv::Cts, 0, true}};
  EXPECT_EQ(WaitWithin(*port), WaitResult(true, CommEv::RxChar, 0));
  EXPECT_EQ(WaitWithin(*port), WaitResult(true, CommEv::Cts, 0));
  EXPECT_EQ(kernel.WaitCalls(), 2);
}

// A driver that keeps ending waits with no event gets its next wait only
// after a pause, instead of a processor's whole time.
TEST_F(Win32SerialTest, EmptyWakeUpsInARowArePaused) {
  auto port = Open();
  ASSERT_TRUE(port->SetCommMask(CommEv::All));
  kernel.waits = std::deque<ScriptedKernel32::Wait>(30, {0, 0, true});
  kernel.waits.push_back({CommEv::RxChar, 0, true});
  auto wait = WaitAsync(*port);
  EXPECT_EQ(wait.wait_for(200ms), std::future_status::timeout);
  EXPECT_LT(kernel.WaitCalls(), 30);
  ASSERT_EQ(wait.wait_for(kDeadline), std::future_status::ready);
  EXPECT_EQ(wait.get(), WaitResult(true, CommEv::RxChar, 0));
}

// With fAbortOnError on, a framing or overrun error aborts the wait and
// fails every call but ClearCommError, which clears the condition: the
// device is still there.
TEST_F(Win32SerialTest, AWaitAbortedByALineErrorIsNoRemoval) {
  auto port = Open();
  ASSERT_TRUE(port->SetCommMask(CommEv::All));
  kernel.waits = {{0, ERROR_OPERATION_ABORTED, false, false, true}, {CommEv::RxChar}};
  EXPECT_EQ(WaitWithin(*port), WaitResult(true, CommEv::RxChar, 0));
  uint32_t errors = 0;
  ComStat stat;
  EXPECT_TRUE(port->ClearCommError(errors, stat));
  EXPECT_EQ(errors, 0u);
}

TEST_F(Win32SerialTest, ChangedMaskEndsAPendingWaitWithoutAnEmptyReport) {
  auto port = Open();
  ASSERT_TRUE(port->SetCommMask(CommEv::RxChar));
  auto wait = WaitAsync(*port);
  ASSERT_TRUE(kernel.AwaitPending(kDeadline));
  kernel.waits = {{CommEv::TxEmpty}};
  ASSERT_TRUE(port->SetCommMask(CommEv::TxEmpty));
  ASSERT_EQ(wait.wait_for(kDeadline), std::future_status::ready);
  EXPECT_EQ(wait.get(), WaitResult(true, CommEv::TxEmpty, 0));
  EXPECT_EQ(kernel.WaitCalls(), 2);
}

// Later waits, also those after a CancelWait before any wait, end at once.
TEST_F(Win32SerialTest, CancelWaitEndsAPendingWaitAtOnceAndForGood) {
  auto port = Open();
  ASSERT_TRUE(port->SetCommMask(CommEv::RxChar));
  auto wait = WaitAsync(*port);
  ASSERT_TRUE(kernel.AwaitPending(kDeadline));
  port->CancelWait();
  ASSERT_EQ(wait.wait_for(kDeadline), std::future_status::ready);
  EXPECT_EQ(wait.get(), WaitResult(false, 0, ERROR_OPERATION_ABORTED));
  EXPECT_FALSE(kernel.Pending()) << "the driver let go of the wait before it returned";
  uint32_t mask = 0;
  EXPECT_FALSE(port->WaitCommEvent(mask));
  EXPECT_EQ(kernel.WaitCalls(), 1);
}

// The port component over this layer: a pulled adapter is one I/O error,
// and the port still closes at once.
TEST_F(Win32SerialTest, RemovedDeviceUnderAnOpenPortRaisesOneIoError) {
  QueueDispatcher dispatcher;
  TComm comm(dispatcher, platform);
  std::vector<int32_t> errors;
  comm.OnError = [&](TThreadComm*, int32_t e) { errors.push_back(e); };
  comm.SetDeviceName("COM3");
  kernel.waits = {{0, ERROR_BAD_COMMAND}};
  comm.Open();
  ASSERT_TRUE(comm.Connected());
  EXPECT_EQ(kernel.name, "\\\\.\\COM3");
  ASSERT_TRUE(dispatcher.RunUntil([&] { return !errors.empty(); }, kDeadline));
  EXPECT_TRUE(errors[0] & int32_t(CommErr::IoError));
  dispatcher.RunFor(200ms);
  EXPECT_EQ(errors.size(), 1u);
  auto start = std::chrono::steady_clock::now();
  comm.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, kDeadline);
  EXPECT_EQ(kernel.openHandles, 0);
}

// The driver's last program may have left fAbortOnError on; the port turns
// it off, so that a line error is no lasting failure.
TEST_F(Win32SerialTest, OpeningTurnsAbortOnErrorOff) {
  QueueDispatcher dispatcher;
  TComm comm(dispatcher, platform);
  comm.SetDeviceName("COM3");
  kernel.state.fAbortOnError = TRUE;
  kernel.state.fOutxCtsFlow = TRUE;
  comm.Open();
  ASSERT_TRUE(comm.Connected());
  EXPECT_FALSE(kernel.applied.fAbortOnError);
  EXPECT_TRUE(kernel.applied.fOutxCtsFlow) << "the handshake stays the driver's";
}

// A driver that never lets go of a cancelled wait costs Close a bounded
// time; the wait's record and event stay with the system, where the driver
// may still write when it ends the wait at last.
TEST_F(Win32SerialTest, CloseReturnsWhenTheDriverNeverEndsTheWait) {
  QueueDispatcher dispatcher;
  TComm comm(dispatcher, platform);
  comm.SetDeviceName("COM3");
  comm.Open();
  ASSERT_TRUE(kernel.AwaitPending(kDeadline));
  kernel.letsGo = false;
  auto closed = std::async(std::launch::async, [&] { comm.Close(); });
  if (closed.wait_for(kDeadline) != std::future_status::ready) {
    ADD_FAILURE() << "Close did not return";
    kernel.LetGoAtLast();
    return;
  }
  EXPECT_FALSE(comm.Connected());
  EXPECT_EQ(kernel.openHandles, 1) << "only the wait's event is left open";
  EXPECT_TRUE(kernel.LetGoAtLast());
}

TEST(Win32DeviceNames, ComNamesBecomeDevicePathsAndNothingElseNamesADevice) {
  const std::pair<const char*, std::optional<std::string>> rows[] = {
      {"COM3", "\\\\.\\COM3"},           {"com12", "\\\\.\\COM12"},
      {"\\\\.\\COM256", "\\\\.\\COM256"}, {"COM0", std::nullopt},
      {"COM01", std::nullopt},            {"COM1:", std::nullopt},
      {"\\\\.\\PhysicalDrive0", std::nullopt}, {"C:\\Windows\\win.ini", std::nullopt},
      {"", std::nullopt}};
  for (const auto& [name, path] : rows) EXPECT_EQ(DefaultResolveDeviceName(name), path) << name;
}

}  // namespace
