// The port asks the driver for low latency while it is open, over scripted
// serial flags on a real pseudo-terminal.
#include <gtest/gtest.h>
#include <linux/serial.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "PseudoTerminal.h"
#include "comm/Comm.h"
#include "comm/platform/posix/PosixSerialPlatform.h"
#include "common/QueueDispatcher.h"

using namespace std::chrono_literals;

namespace {

// A driver whose flags a test sets, and which can refuse to read or change them.
struct ScriptedFlags : SerialFlagCalls {
  int flags = 0x1200;
  int getError = 0, setError = 0;
  std::vector<int> set;  // every value the port asked for

  bool GetSerialFlags(int, int& out) override {
    if (getError) return errno = getError, false;
    out = flags;
    return true;
  }
  bool SetSerialFlags(int, int value) override {
    set.push_back(value);
    if (setError) return errno = setError, false;
    flags = value;
    return true;
  }
};

struct LowLatencyTest : ::testing::Test {
  PseudoTerminal pty;
  QueueDispatcher dispatcher;
  ScriptedFlags driver;
  std::unique_ptr<SerialPlatform> platform = NewPosixSerialPlatform(driver);
};

TEST_F(LowLatencyTest, SetWhileOpenAndTheFlagsFoundGivenBackOnClose) {
  TComm port(dispatcher, *platform);
  port.SetDeviceName(pty.path);
  port.Open();
  ASSERT_TRUE(port.Connected());
  EXPECT_EQ(driver.set, std::vector<int>{0x1200 | ASYNC_LOW_LATENCY});
  port.Close();
  EXPECT_EQ(driver.set, (std::vector<int>{0x1200 | ASYNC_LOW_LATENCY, 0x1200}));

  // Already set by someone else: left alone, also on close.
  driver.set.clear();
  driver.flags = ASYNC_LOW_LATENCY;
  port.Open();
  port.Close();
  EXPECT_TRUE(driver.set.empty());
}

TEST_F(LowLatencyTest, ADriverThatRefusesChangesNothingElse) {
  for (int error : {ENOTTY, EOPNOTSUPP, EINVAL}) {
    for (bool atSet : {false, true}) {
      SCOPED_TRACE(std::to_string(error) + (atSet ? " at set" : " at get"));
      driver = ScriptedFlags{};
      (atSet ? driver.setError : driver.getError) = error;
      std::string received;
      TComm port(dispatcher, *platform);
      port.OnRxChar = [&](TThreadComm*, uint32_t count) {
        std::string buffer(count, '\0');
        received.append(buffer.data(), size_t(std::max(port.Read(buffer.data(), int32_t(count)), 0)));
      };
      port.SetDeviceName(pty.path);
      port.Open();
      ASSERT_TRUE(port.Connected());
      port.SetBaudRate(br57600);
      EXPECT_EQ(ReadLine(pty.master).speed, 57600u);
      pty.Send("ok\r\n");
      EXPECT_TRUE(dispatcher.RunUntil([&] { return received == "ok\r\n"; }, 3s));
      EXPECT_EQ(port.Write("ab", 2), 2);
      EXPECT_EQ(pty.Receive(2), "ab");
      const size_t setsWhileOpen = driver.set.size();
      port.Close();
      EXPECT_EQ(driver.set.size(), setsWhileOpen);  // nothing to give back
      EXPECT_EQ(driver.flags, 0x1200);
    }
  }
}

}  // namespace
