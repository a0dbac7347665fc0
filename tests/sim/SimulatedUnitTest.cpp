#include "sim/SimulatedUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;

namespace {
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
  // Everything that arrives within the time given.
  std::string Receive(int ms = 300) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) > 0) {
        if (p.revents & (POLLHUP | POLLERR)) {
          hungUp = true;
          break;
        }
        char b[512];
        ssize_t n = read(fd_, b, sizeof b);
        if (n > 0) got.append(b, n);
      }
    }
    return got;
  }
  bool hungUp = false;

 private:
  int fd_;
};

SimOptions InFolder(const std::string& name) {
  SimOptions o;
  o.PortFolder = (fs::temp_directory_path() / ("kq30-sim-test-" + std::to_string(getpid()) + name)).string();
  return o;
}
}  // namespace

TEST(SimulatedUnit, AnswersTheStaticDataRequestOnlyAtItsOwnSpeed) {
  SimOptions o = InFolder("speed");
  o.Baud = 9600;
  SimulatedUnit unit(o);
  unit.Start();
  EXPECT_EQ(unit.PortNumber(), 1);
  {
    PcSide pc(unit.LinkPath(), B38400);
    ASSERT_TRUE(pc.ok());
    pc.Send("$PTST,,,,,00016*18\r\n");
    EXPECT_EQ(pc.Receive(), "");
  }
  PcSide pc(unit.LinkPath(), B9600);
  pc.Send("$PTST,,,,,00016*19\r\n");  // bad checksum: ignored
  EXPECT_EQ(pc.Receive(), "");
  pc.Send("$PTST,,,,,00016*18\r\n");
  std::string answer = pc.Receive();
  EXPECT_NE(answer.find("Software Version Code = (1.05)\r\n"), std::string::npos);
  EXPECT_NE(answer.find("RS232=(38400) NMEA=(38400)\r\n"), std::string::npos);
  EXPECT_NE(answer.find("[END OF STATIC DATA]\r\n"), std::string::npos);
  for (size_t start = 0, end; (end = answer.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LT(end - start, 83u) << "a line the wizard would drop";
  auto lines = unit.ReceivedLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Speed, 38400u);
  EXPECT_EQ(lines[2].Line, "$PTST,,,,,00016*18");
}

TEST(SimulatedUnit, AnswersAfterNRequestsAndCanLeaveOutTheMarker) {
  SimOptions o = InFolder("after");
  o.AnswerAfter = 2;
  o.OmitEndMarker = true;
  o.PortNumber = 7;
  SimulatedUnit unit(o);
  unit.Start();
  EXPECT_EQ(fs::path(unit.LinkPath()).filename(), "com7");
  PcSide pc(unit.LinkPath(), B38400);
  pc.Send("$PTST,,,,,00016*18\r\n");
  pc.Send("$PTST,,,,,00016*18\r\n");
  EXPECT_EQ(pc.Receive(), "");
  pc.Send("$PTST,,,,,00016*18\r\n");
  std::string answer = pc.Receive();
  EXPECT_NE(answer.find("Software Version Code"), std::string::npos);
  EXPECT_EQ(answer.find("[END OF STATIC DATA]"), std::string::npos);
}

TEST(SimulatedUnit, UnpluggingRemovesTheLinkAndHangsUp) {
  SimulatedUnit unit(InFolder("unplug"));
  unit.Start();
  std::string link = unit.LinkPath();
  PcSide pc(link, B38400);
  unit.Unplug();
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  pc.Receive(200);
  EXPECT_TRUE(pc.hungUp);
}

TEST(SimulatedUnit, ChecksumOfTheWireFormat) {
  EXPECT_TRUE(SentenceChecksumOk("$PTST,,,,,00016*18"));
  EXPECT_TRUE(SentenceChecksumOk("$PTST,,,,,00008*17"));
  EXPECT_FALSE(SentenceChecksumOk("$PTST,,,,,00016*1"));
  EXPECT_FALSE(SentenceChecksumOk("PTST,,,,,00016*18"));
  EXPECT_FALSE(SentenceChecksumOk("$PTST,,,,,00016"));
}
