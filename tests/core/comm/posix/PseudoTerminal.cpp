#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <stdexcept>

PseudoTerminal::PseudoTerminal() {
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  path = name;
}

PseudoTerminal::~PseudoTerminal() {
  if (master >= 0) close(master);
  if (slave >= 0) close(slave);
}

void PseudoTerminal::Send(const std::string& text) const {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(master, text.data() + done, text.size() - done);
    if (n > 0) {
      done += size_t(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      throw std::runtime_error("write to the pseudo-terminal failed");
    } else {
      pollfd fd{master, POLLOUT, 0};
      poll(&fd, 1, 100);
    }
  }
}

std::string PseudoTerminal::Receive(size_t count, int timeoutMs) const {
  std::string got;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got.size() < count) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, int(left.count())) <= 0) continue;
    char buffer[4096];
    ssize_t n = read(master, buffer, std::min(sizeof buffer, count - got.size()));
    if (n <= 0) break;
    got.append(buffer, size_t(n));
  }
  return got;
}

void PseudoTerminal::CloseMaster() {
  if (master >= 0) close(master);
  master = -1;
}

double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
