// The units' lines on a terminal: each fits one row of the terminal's width,
// the bar shrinking before anything else is cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "UnitSession.h"

namespace {

struct UnitState {
  std::string head;
  int done, total;
  std::string tail;
};

TEST(FitLine, EveryUnitsLineIsOneRowAndTheBarGoesFirst) {
  const std::string tail = " 600/1000 blocks  60%    3.1 kB/s  1 min 10 s left     ";
  const UnitState bar{"COM3  1.05  ", 600, 1000, tail};
  const UnitState longDevice{"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KQ30Z-if00-port0  -  ", 0, 0, "connecting"};
  const UnitState failed{"COM12  1.04  ", 0, 0, "failed: the unit did not answer the boot loader's erase (42 s)"};
  const struct {
    int width;
    std::vector<UnitState> units;
    int cells;  // of the bar; 0: none
  } cases[] = {
      {120, {bar}, 30},
      {80, {bar}, 9},
      {40, {bar}, 0},
      {120, {bar, longDevice, failed}, 30},
      {80, {bar, longDevice, failed}, 9},
      {40, {bar, longDevice, failed}, 0},
  };
  for (const auto& c : cases) {
    for (const UnitState& u : c.units) {
      const std::string line = FitLine(u.head, u.done, u.total, u.tail, c.width);
      SCOPED_TRACE(std::to_string(c.width) + ": " + line);
      EXPECT_LE(line.size(), std::size_t(c.width - 1));
      const int cells = u.total > 0 ? c.cells : 0;
      const int filled = cells * u.done / std::max(u.total, 1);
      if (cells > 0)
        EXPECT_EQ(line, u.head + "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "] " + u.tail);
      else  // no bar, and only the end cut
        EXPECT_EQ(line, (u.head + u.tail).substr(0, c.width - 1));
    }
  }
}

TEST(FitLine, ACutNeverSplitsACharacter) {
  // "/dev/ttyÜ0": Ü is two bytes and one column.
  EXPECT_EQ(FitLine("/dev/tty\xc3\x9c" "0  ", 0, 0, "connecting", 11), "/dev/tty\xc3\x9c" "0");
  EXPECT_EQ(FitLine("/dev/tty\xc3\x9c" "0  ", 0, 0, "connecting", 10), "/dev/tty\xc3\x9c");
}

}  // namespace
