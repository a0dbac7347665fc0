#pragma once
// The fifteen line speeds in the order of the serial port's rate codes, and
// the five the serial-port page offers.
#include <array>
#include <string>

inline constexpr std::array<const char*, 15> BaudRateNames = {
    "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600", "115200", "128000", "256000"};

// Position p of the page's rate list stands for rate code BaudChoices[p]:
// "4800", "9600", "38400", "57600", "115200".
inline constexpr std::array<int, 5> BaudChoices = {5, 6, 9, 11, 12};

// Position 4, "115200", wherever the program resets the list.
inline constexpr int DefaultBaudPosition = 4;
