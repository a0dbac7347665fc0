// kq30 baud against the simulated unit: the unit takes the new rate and is
// found there afterwards.
#include <chrono>
#include <thread>

#include "IntegrationSupport.h"
#include "sim/SimulatedUnit.h"

using namespace std::chrono_literals;

TEST(Baud, TheUnitTakesTheNewRateAndIsFoundThere) {
  TestPortFolder folder;
  SimulatedUnit unit(UnitOn(folder, 3, 38400));
  unit.Start();
  const Result set = RunShell(Tool() + " baud --port 3 --baud 38400 --rs232 9600 --nmea 4800");
  ASSERT_EQ(set.status, 0) << set.output;
  EXPECT_NE(set.output.find("rs232: 9600\nnmea: 4800\n"), std::string::npos) << set.output;
  EXPECT_NE(set.output.find("Device's baud rate has been changed."), std::string::npos) << set.output;

  const auto until = std::chrono::steady_clock::now() + 2s;
  while (unit.Baud() != 4800 && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(unit.Baud(), 4800u);
  const auto lines = unit.ReceivedLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().Line, "$PDBG,040,4,042,1,,,,*16");
  EXPECT_EQ(lines.back().Speed, 38400u);

  const Result now = RunShell(Tool() + " connect --port 3 --baud 4800");
  EXPECT_EQ(now.status, 0) << now.output;
  EXPECT_NE(now.output.find("baud: 4800\n"), std::string::npos) << now.output;
}
