#pragma once
// The rates the serial-port page offers. A rate's position in BaudRateNames is
// its rate code, the ordinal of the serial port object's TBaudRate member
// (br110 = 0 ... br256000 = 14).
#include <array>

inline constexpr std::array<const char*, 15> BaudRateNames = {
    "110", "300", "600", "1200", "2400", "4800", "9600", "14400",
    "19200", "38400", "56000", "57600", "115200", "128000", "256000"};

// The rate codes of the list cbxBaudRate, in list order: 4800, 9600, 38400,
// 57600, 115200. Position p of the list stands for rate code BaudChoices[p].
inline constexpr std::array<int, 5> BaudChoices = {5, 6, 9, 11, 12};

// Wherever the program resets the rate list it selects 115200.
inline constexpr int DefaultBaudChoice = 4;

// The position of a rate code in the list cbxBaudRate, or -1.
constexpr int BaudChoicePosition(int rateCode) {
  for (int p = 0; p < static_cast<int>(BaudChoices.size()); ++p)
    if (BaudChoices[p] == rateCode) return p;
  return -1;
}
