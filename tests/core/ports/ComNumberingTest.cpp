#include "ports/ComNumbering.h"

#include <gtest/gtest.h>

TEST(ComNumbering, FirstScanNumbersInNaturalOrderAroundTakenNumbers) {
  ComNumbering numbering;
  auto n = numbering.Assign({"ttyACM0", "ttyUSB10", "ttyUSB2", "ttyS0", "rfcomm0"}, {2});
  EXPECT_EQ(n["ttyS0"], 1);
  EXPECT_EQ(n["ttyUSB2"], 3);  // 2 belongs to a link in the port folder
  EXPECT_EQ(n["ttyUSB10"], 4);
  EXPECT_EQ(n["ttyACM0"], 5);
  EXPECT_EQ(n["rfcomm0"], 6);
}

TEST(ComNumbering, NumbersStayWhileDevicesComeAndGo) {
  ComNumbering numbering;
  numbering.Assign({"ttyUSB0", "ttyUSB1"}, {});
  // ttyUSB0 is pulled; a new adapter must not take its number.
  auto n = numbering.Assign({"ttyUSB1", "ttyACM0"}, {});
  EXPECT_EQ(n["ttyUSB1"], 2);
  EXPECT_EQ(n["ttyACM0"], 3);
  // ttyUSB0 comes back and gets its old number; another new one gets 4.
  n = numbering.Assign({"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyACM1"}, {});
  EXPECT_EQ(n["ttyUSB0"], 1);
  EXPECT_EQ(n["ttyACM1"], 4);
}
