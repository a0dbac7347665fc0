#include "sim/SimulatedUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "common/PortFolder.h"
#include "sim/LineSpeed.h"

namespace {
void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n > 0) {
      done += n;
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 100);
    } else if (n < 0 && errno != EINTR) {
      return;
    }
  }
}
}  // namespace

bool SentenceChecksumOk(const std::string& line) {
  size_t star = line.rfind('*');
  if (line.size() < 4 || (line[0] != '$' && line[0] != '!') || star == std::string::npos || star + 3 != line.size())
    return false;
  unsigned sum = 0;
  for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum);
  return line.compare(star + 1, 2, hex) == 0;
}

SimulatedUnit::SimulatedUnit(SimOptions options) : options_(std::move(options)) {}

SimulatedUnit::~SimulatedUnit() { Stop(); }

void SimulatedUnit::Start() {
  char name[256];
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
    throw std::runtime_error(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
  devicePath_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  // The unit's end is a plain byte pipe: no echo, no line editing.
  termios raw{};
  tcgetattr(slave_, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave_, TCSANOW, &raw);

  std::string folder = options_.PortFolder.empty() ? PortFolderPath() : options_.PortFolder;
  if (!EnsurePortFolder(folder)) throw std::runtime_error("cannot create the port folder " + folder);
  portNumber_ = options_.PortNumber;
  if (portNumber_ == 0) {
    for (int n = 1; n < 65536 && portNumber_ == 0; ++n) {
      struct stat st {};
      if (lstat((folder + "/com" + std::to_string(n)).c_str(), &st) != 0) portNumber_ = n;
    }
  }
  linkPath_ = folder + "/com" + std::to_string(portNumber_);
  unlink(linkPath_.c_str());  // a link left by a unit that was killed
  if (symlink(devicePath_.c_str(), linkPath_.c_str()) != 0)
    throw std::runtime_error("cannot link " + linkPath_ + ": " + std::strerror(errno));

  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  thread_ = std::thread([this] { Run(); });
}

void SimulatedUnit::Stop() {
  if (thread_.joinable()) {
    uint64_t one = 1;
    (void)!write(stopFd_, &one, sizeof one);
    thread_.join();
  }
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
  linkPath_.clear();
  for (int* fd : {&master_, &slave_, &stopFd_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void SimulatedUnit::Unplug() {
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
  linkPath_.clear();
  Stop();
}

std::vector<SimulatedUnit::Received> SimulatedUnit::ReceivedLines() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void SimulatedUnit::Log(const std::string& text) {
  if (OnLog) OnLog(text);
}

void SimulatedUnit::Run() {
  std::string line;
  for (;;) {
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {master_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents) return;
    char buffer[512];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) continue;
    for (ssize_t i = 0; i < n; ++i) {
      char c = buffer[i];
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        HandleLine(line);
        line.clear();
      } else if (line.size() < 1024) {
        line += c;
      }
    }
  }
}

void SimulatedUnit::HandleLine(const std::string& line) {
  unsigned speed = ReadLineSpeed(slave_);
  {
    std::lock_guard lock(mutex_);
    received_.push_back({line, speed});
  }
  Log("received at " + std::to_string(speed) + " baud: " + line);
  // At another speed the unit hears only noise.
  if (speed != options_.Baud || !SentenceChecksumOk(line)) return;
  if (line.rfind("$PTST,,,,,00016*", 0) == 0) {
    if (options_.Silent || requests_++ < options_.AnswerAfter) return;
    Answer();
  }
}

void SimulatedUnit::Answer() {
  std::string text;
  text += "Model ID = (" + options_.ModelId + ")\r\n";
  text += "Model Version = (A1)\r\n";
  text += "Model Serial Code = (SIM0000001)\r\n";
  text += "Product Code = (" + std::to_string(options_.ProductCode) + ")\r\n";
  text += "Database Version = (3)\r\n";
  text += "Software Version Code = (" + options_.VersionText + ")\r\n";
  text += "Certification = (1)\r\n";
  text += "Load Equivalency = (1)\r\n";
  text += "[FwVersion]=" + options_.FwVersion + "\r\n";
  text += "RS232=(" + std::to_string(options_.Rs232Baud) + ") NMEA=(" + std::to_string(options_.NmeaBaud) + ")\r\n";
  if (!options_.OmitEndMarker) text += "[END OF STATIC DATA]\r\n";
  WriteAll(master_, text);
  ++answers_;
  Log("answered with the static data");
}
