#pragma once
// The program's one exception type: raised with a fixed text by the serial port
// component and shown by the window's top-level handler, after which the
// program goes on.
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};
