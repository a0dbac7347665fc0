// The port object on pseudo-terminals: the real POSIX layer, the event
// thread and the hand-over to a window thread that the test pumps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "PseudoTerminal.h"
#include "TestSupport.h"
#include "comm/Comm.h"
#include "common/Exception.h"
#include "common/QueueDispatcher.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class CommPtyTest : public ::testing::Test {
 protected:
  CommPtyTest() {
    comm.SetDeviceName(pty.path);
    comm.OnRxChar = [this](TThreadComm*, uint32_t count) {
      rxCounts.push_back(count);
      std::string buffer(count, '\0');
      int32_t n = comm.Read(buffer.data(), int32_t(count));
      readCounts.push_back(n);
      received.append(buffer.data(), size_t(std::max(n, 0)));
    };
  }
  void OpenPort() {
    comm.Open();
    ASSERT_TRUE(comm.Connected());
  }
  bool Pump(const std::function<bool()>& done) { return dispatcher.RunUntil(done, 3s); }
  // Runs action on a thread of its own while this thread, the window thread,
  // does nothing, and says whether it returned within the deadline. One that
  // did not is released by running the window thread's queue, so that the
  // test fails instead of hanging.
  bool ReturnsWithin(std::chrono::milliseconds deadline, std::function<void()> action) {
    std::packaged_task<void()> task(std::move(action));
    std::future<void> done = task.get_future();
    std::thread runner(std::move(task));
    const auto finished = [&] { return done.wait_for(0s) == std::future_status::ready; };
    const bool inTime = done.wait_for(deadline) == std::future_status::ready;
    for (auto giveUp = std::chrono::steady_clock::now() + 5s; !finished(); dispatcher.RunFor(10ms)) {
      if (std::chrono::steady_clock::now() > giveUp) {
        std::fprintf(stderr, "the action still blocks with the window thread's queue run\n");
        std::abort();
      }
    }
    runner.join();
    return inTime;
  }

  PseudoTerminal pty;
  QueueDispatcher dispatcher;
  TComm comm{dispatcher};
  std::vector<uint32_t> rxCounts;
  std::vector<int32_t> readCounts;
  std::string received;
};

TEST_F(CommPtyTest, NamesThatOpenNoDeviceLeaveThePortClosedQuietly) {
  const std::string names[] = {
      "/dev/kq30-no-such-device", "\\\\.\\COM65000", "\\\\.\\COM7x", "\\\\.\\COM", "COM0", "relative/tty", "",
      "Com2/../../dev/ptmx",      "/etc/hostname",   "/tmp"};
  setenv("KQ30_PORT_DIR", "/nonexistent-kq30-port-folder", 1);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    TComm port(dispatcher);
    port.SetDeviceName(name);
    EXPECT_NO_THROW(port.Open());
    EXPECT_FALSE(port.Connected());
  }
  unsetenv("KQ30_PORT_DIR");
}

TEST_F(CommPtyTest, ComNamesResolveThroughThePortFolder) {
  fs::path folder = fs::temp_directory_path() / ("kq30-comm-test-" + std::to_string(getpid()));
  fs::create_directories(folder);
  fs::create_symlink(pty.path, folder / "com7");
  setenv("KQ30_PORT_DIR", folder.c_str(), 1);
  for (const char* name : {"\\\\.\\COM7", "COM7", "\\\\.\\com7"}) {
    SCOPED_TRACE(name);
    TComm port(dispatcher);
    port.SetDeviceName(name);
    port.Open();
    EXPECT_TRUE(port.Connected());
  }
  TComm port(dispatcher);
  port.SetDeviceName("\\\\.\\COM07");
  port.Open();
  EXPECT_FALSE(port.Connected());
  unsetenv("KQ30_PORT_DIR");
  fs::remove_all(folder);

  // The port table can take over the names.
  std::vector<std::string> asked;
  port.SetDeviceNameResolver([&](const std::string& name) -> std::optional<std::string> {
    asked.push_back(name);
    return pty.path;
  });
  port.SetDeviceName("\\\\.\\COM3");
  port.Open();
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(asked, std::vector<std::string>{"\\\\.\\COM3"});
}

TEST_F(CommPtyTest, PortIsExclusiveUntilClosed) {
  OpenPort();
  TComm second(dispatcher);
  second.SetDeviceName(pty.path);
  second.Open();
  EXPECT_FALSE(second.Connected());
  // Another program asking for the device the same way is kept out, root too.
  int fd = open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
    close(fd);
  } else {
    EXPECT_EQ(errno, EBUSY);  // TIOCEXCL, for a user other than root
  }
  comm.Close();
  second.Open();
  EXPECT_TRUE(second.Connected());
  second.Close();

  // A program that holds the line with TIOCEXCL keeps it, also against root.
  ASSERT_EQ(ioctl(pty.slave, TIOCEXCL), 0);
  comm.Open();
  EXPECT_FALSE(comm.Connected());
  ASSERT_EQ(ioctl(pty.slave, TIOCNXCL), 0);
  OpenPort();
}

TEST_F(CommPtyTest, EveryByteValuePassesUnchangedBothWays) {
  OpenPort();
  std::string all;
  for (int i = 0; i < 256; ++i) all += char(i);
  all += "\r\n\x11\x13\x03\x04\x7f";  // no line editing, no XON/XOFF, no signals
  pty.Send(all);
  ASSERT_TRUE(Pump([&] { return received.size() >= all.size(); }));
  EXPECT_EQ(received, all);
  EXPECT_EQ(comm.Write(all.data(), int32_t(all.size())), int32_t(all.size()));
  EXPECT_EQ(pty.Receive(all.size()), all);
}

TEST_F(CommPtyTest, OpenTwiceRaisesAndThePortGoesOnWorking) {
  OpenPort();
  EXPECT_EQ(RaisedText([&] { comm.Open(); }), "Port already assigned (open) (Error: -1)");
  ASSERT_TRUE(comm.Connected());
  pty.Send("$PTST*18\r\n");
  EXPECT_TRUE(Pump([&] { return received.size() == 10; }));
  EXPECT_EQ(received, "$PTST*18\r\n");
  EXPECT_EQ(comm.Write("ok", 2), 2);
  EXPECT_EQ(pty.Receive(2), "ok");
}

TEST_F(CommPtyTest, DeviceNameSetWhileOpenIsDropped) {
  PseudoTerminal other;
  OpenPort();
  comm.SetDeviceName(other.path);
  EXPECT_EQ(comm.DeviceName(), pty.path);
  comm.Close();
  OpenPort();
  pty.Send("x");
  EXPECT_TRUE(Pump([&] { return received == "x"; }));
}

TEST_F(CommPtyTest, LineSettingsReachTheLineAtOnce) {
  OpenPort();
  const struct {
    TBaudRate rate;
    uint32_t speed;
  } rates[] = {{br110, 110},     {br300, 300},       {br600, 600},       {br1200, 1200},     {br2400, 2400},
               {br4800, 4800},   {br14400, 14400},   {br19200, 19200},   {br38400, 38400},   {br56000, 56000},
               {br57600, 57600}, {br115200, 115200}, {br128000, 128000}, {br256000, 256000}, {br9600, 9600}};
  for (const auto& row : rates) {
    comm.SetBaudRate(row.rate);
    EXPECT_EQ(ReadLine(pty.master).speed, row.speed);
  }

  comm.SetStopBits(sb20);
  EXPECT_TRUE(ReadLine(pty.master).twoStopBits);
  comm.SetStopBits(sb10);
  EXPECT_FALSE(ReadLine(pty.master).twoStopBits);

  // Flow control is the driver's, whatever the property says.
  comm.SetFlowControl(fcCTS);
  EXPECT_FALSE(ReadLine(pty.master).rtscts);

  comm.EventChars().SetXOnChar(0x01);
  EXPECT_EQ(ReadLine(pty.master).xon, 0x01);
}

TEST_F(CommPtyTest, WhatLinuxCannotDoIsAnErrorNotAnotherSetting) {
  OpenPort();
  comm.SetStopBits(sb10);
  const std::function<void()> impossible[] = {
      [&] { comm.SetDataBits(da4); },
      [&] { comm.SetStopBits(sb15); },
      [&] { comm.SetOptions({coNullStrip}); },
      [&] { comm.SetOptions({coDsrSensitivity}); },
      [&] { comm.EventChars().SetXOffChar(0x11); },  // XON and XOFF alike
      // A pseudo-terminal always carries eight data bits without parity.
      [&] { comm.SetDataBits(da7); },
      [&] { comm.SetParity(paOdd); },
      [&] { comm.SetParity(paSpace); },
  };
  for (const auto& action : impossible) {
    SCOPED_TRACE(&action - impossible);
    EXPECT_EQ(RaisedText(action), "Error updating DataControlBlock (Error: 22)");
    LineSettings line = ReadLine(pty.master);
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_FALSE(line.parity);
    EXPECT_FALSE(line.twoStopBits);
    EXPECT_EQ(line.xoff, 0x13);
    EXPECT_TRUE(comm.Connected());
    // Put the property back for the next row.
    comm.SetDataBits(da8);
    comm.SetStopBits(sb10);
    comm.SetOptions({});
    comm.SetParity(paNone);
    comm.EventChars().Assign(TCommEventChars(nullptr));
  }
  comm.SetOptions({coParityCheck, coErrorChar});  // a bad byte reads as NUL: what INPCK does
  EXPECT_TRUE(ReadLine(pty.master).inpck);
}

TEST_F(CommPtyTest, ModemLinesAreNoOpsOnAPseudoTerminalAndNeedAnOpenPort) {
  EXPECT_EQ(RaisedText([&] { comm.SetDTR(true); }), "Port not open (Error: -1)");
  OpenPort();
  EXPECT_NO_THROW(comm.SetRTS(true));
  EXPECT_NO_THROW(comm.SetDTR(true));
  EXPECT_NO_THROW(comm.SetDTR(false));
  EXPECT_EQ(RaisedText([&] { comm.EscapeComm(99); }), "EscapeCommFunction failure (Error: 22)");
}

TEST_F(CommPtyTest, CloseIsHarmlessTwiceAndIoOnAClosedPortReturnsMinusOne) {
  char buffer[4] = {};
  EXPECT_EQ(comm.Read(buffer, 4), -1);
  EXPECT_EQ(comm.Write(buffer, 4), -1);
  OpenPort();
  EXPECT_EQ(comm.Read(buffer, 0), 0);
  comm.Close();
  EXPECT_NO_THROW(comm.Close());
  EXPECT_FALSE(comm.Connected());
  EXPECT_EQ(comm.Read(buffer, 4), -1);
}

TEST_F(CommPtyTest, EveryWakeUpGivesOneRxCharWithTheWaitingCountAndReadTakesItAll) {
  OpenPort();
  std::string sent;
  for (int burst = 0; burst < 20; ++burst) {
    std::string bytes(size_t(1 + burst * 37), char('A' + burst));
    sent += bytes;
    pty.Send(bytes);
    if (burst % 3 == 0) std::this_thread::sleep_for(2ms);
  }
  ASSERT_TRUE(Pump([&] { return received.size() == sent.size(); }));
  EXPECT_EQ(received, sent);
  for (size_t i = 0; i < rxCounts.size(); ++i) {
    EXPECT_GT(rxCounts[i], 0u);
    EXPECT_EQ(int32_t(rxCounts[i]), readCounts[i]);
  }
  // No wake-up is left over once everything has been read.
  EXPECT_EQ(dispatcher.RunFor(100ms), 0u);
}

TEST_F(CommPtyTest, ReadWaitsUpToASecondForTheFirstBytes) {
  comm.SetMonitorEvents({});
  OpenPort();
  std::thread later([&] {
    std::this_thread::sleep_for(100ms);
    pty.Send("late");
  });
  char buffer[16] = {};
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(comm.Read(buffer, 16), 4);
  EXPECT_EQ(std::string(buffer, 4), "late");
  later.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 900ms);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(comm.Read(buffer, 16), 0);  // nothing comes: the read gives up after its second
  EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
  EXPECT_TRUE(comm.Connected());
}

TEST_F(CommPtyTest, UnreadBytesAreReportedOnceUntilMoreArrive) {
  comm.OnRxChar = [this](TThreadComm*, uint32_t count) { rxCounts.push_back(count); };
  OpenPort();
  pty.Send("abc");
  ASSERT_TRUE(Pump([&] { return !rxCounts.empty(); }));
  dispatcher.RunFor(100ms);
  EXPECT_EQ(rxCounts, std::vector<uint32_t>{3});
  pty.Send("de");
  ASSERT_TRUE(Pump([&] { return rxCounts.size() == 2; }));
  EXPECT_EQ(rxCounts[1], 5u);
}

TEST_F(CommPtyTest, WithoutRxCharMonitoredReceivedBytesRaiseNothing) {
  int events = 0;
  comm.OnComStatEvent = [&](TThreadComm*, uint32_t, ComStat) { ++events; };
  comm.SetMonitorEvents({evBreak, evError, evTxEmpty});
  OpenPort();
  pty.Send("hello");
  dispatcher.RunFor(200ms);
  EXPECT_EQ(events, 0);
  EXPECT_TRUE(rxCounts.empty());
  char buffer[8];
  EXPECT_EQ(comm.Read(buffer, 8), 5);
}

TEST_F(CommPtyTest, WrittenBytesReachTheFarEndAndTxEmptyFollows) {
  int txEmpty = 0;
  comm.OnTxEmpty = [&](TThreadComm*) { ++txEmpty; };
  OpenPort();
  std::string text(3000, 'z');
  EXPECT_EQ(comm.Write(text.data(), int32_t(text.size())), 3000);
  EXPECT_EQ(pty.Receive(3000), text);
  EXPECT_TRUE(Pump([&] { return txEmpty == 1; }));
  EXPECT_EQ(comm.Write(text.data(), 0), 0);
}

TEST_F(CommPtyTest, NotificationQueuedBeforeCloseRaisesNothing) {
  int events = 0;
  comm.OnComStatEvent = [&](TThreadComm*, uint32_t, ComStat) { ++events; };
  OpenPort();
  pty.Send("late");
  // The event thread now waits in its hand-over for this very thread.
  for (int i = 0; i < 300 && dispatcher.Queued() == 0; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(dispatcher.Queued(), 1u);
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(ReturnsWithin(5s, [&] { comm.Close(); })) << "Close waits for the window thread";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_EQ(dispatcher.RunPending(), 1u);
  EXPECT_EQ(events, 0);
  EXPECT_TRUE(rxCounts.empty());
}

TEST_F(CommPtyTest, PortDestroyedWithANotificationQueued) {
  auto port = std::make_unique<TComm>(dispatcher);
  int events = 0;
  port->OnRxChar = [&](TThreadComm*, uint32_t) { ++events; };
  port->SetDeviceName(pty.path);
  port->Open();
  ASSERT_TRUE(port->Connected());
  pty.Send("x");
  for (int i = 0; i < 300 && dispatcher.Queued() == 0; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(dispatcher.Queued(), 1u);
  ASSERT_TRUE(ReturnsWithin(5s, [&] { port.reset(); })) << "destruction waits for the window thread";
  dispatcher.RunPending();
  EXPECT_EQ(events, 0);
}

TEST_F(CommPtyTest, HandlerMayCloseThePort) {
  int stats = 0;
  comm.OnRxChar = [&](TThreadComm*, uint32_t) { comm.Close(); };
  comm.OnComStatEvent = [&](TThreadComm*, uint32_t, ComStat) { ++stats; };
  OpenPort();
  pty.Send("bye");
  EXPECT_TRUE(Pump([&] { return !comm.Connected(); }));
  dispatcher.RunFor(50ms);
  EXPECT_EQ(stats, 0);
}

TEST_F(CommPtyTest, HangUpIsOneErrorAndThenTheThreadSleeps) {
  std::vector<int32_t> errors;
  comm.OnError = [&](TThreadComm*, int32_t e) { errors.push_back(e); };
  OpenPort();
  pty.CloseMaster();
  ASSERT_TRUE(Pump([&] { return !errors.empty(); }));
  EXPECT_TRUE(errors[0] & int32_t(CommErr::IoError));
  double cpuBefore = ProcessCpuSeconds();
  dispatcher.RunFor(400ms);
  double cpuUsed = ProcessCpuSeconds() - cpuBefore;
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_LT(cpuUsed, 0.1);
  char buffer[4];
  EXPECT_EQ(comm.Read(buffer, 4), 0);
  EXPECT_EQ(comm.Write("x", 1), 0);
  comm.Close();
  EXPECT_FALSE(comm.Connected());
}

TEST_F(CommPtyTest, OpenAndCloseLeaveNoDescriptorBehind) {
  OpenPort();
  comm.Close();
  int before = OpenDescriptors();
  for (int i = 0; i < 20; ++i) {
    OpenPort();
    pty.Send("x");
    comm.Close();
  }
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
