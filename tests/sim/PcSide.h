#pragma once
// The PC's end of the simulated unit's line, for the tests.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimulatedUnit.h"

using Bytes = std::vector<std::uint8_t>;

// The PC's end of the line, opened through the unit's link.
class PcSide {
 public:
  PcSide(const std::string& link, speed_t speed) {
    fd_ = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd_, TCSANOW, &t);
  }
  ~PcSide() { close(fd_); }
  bool ok() const { return fd_ >= 0; }
  void Send(const std::string& s) { ASSERT_EQ(write(fd_, s.data(), s.size()), (ssize_t)s.size()); }
  void Send(const Bytes& b) { ASSERT_EQ(write(fd_, b.data(), b.size()), (ssize_t)b.size()); }
  // Everything that arrives within the time given.
  std::string Receive(int ms = 300) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end && ReadSome(got)) {
    }
    return got;
  }
  // The bytes up to and including the end of one packet (an unescaped 0x04
  // after a start byte); empty when none is complete within the time given.
  Bytes ReceivePacket(int ms = 300) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      bool started = false, escape = false;
      for (size_t i = 0; i < pending_.size(); ++i) {
        std::uint8_t b = static_cast<std::uint8_t>(pending_[i]);
        if (escape) {
          escape = false;
        } else if (b == 0x55) {
          started = true;
        } else if (b == 0x05) {
          escape = true;
        } else if (b == 0x04 && started) {
          Bytes packet(pending_.begin(), pending_.begin() + i + 1);
          pending_.erase(0, i + 1);
          return packet;
        }
      }
      if (std::chrono::steady_clock::now() >= end || !ReadSome(pending_)) return {};
    }
  }
  bool hungUp = false;

 private:
  // Waits a little for bytes; false once the line has hung up.
  bool ReadSome(std::string& into) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 5) > 0) {
      if (p.revents & (POLLHUP | POLLERR)) {
        hungUp = true;
        return false;
      }
      char b[4096];
      ssize_t n = read(fd_, b, sizeof b);
      if (n > 0) into.append(b, n);
    }
    return true;
  }
  int fd_;
  std::string pending_;
};

inline SimOptions InFolder(const std::string& name) {
  SimOptions o;
  o.PortFolder =
      (std::filesystem::temp_directory_path() / ("kq30-sim-test-" + std::to_string(getpid()) + name)).string();
  return o;
}

// Waits up to a second for what the unit's thread is to bring about.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 200 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return condition();
}
