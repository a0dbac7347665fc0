// The serial port on Linux: a terminal device opened non-blocking and
// exclusively, events from poll() on it plus a wake-up pipe, and the
// driver's interrupt counters for line errors, breaks and modem lines.
#include "comm/platform/posix/PosixSerialPlatform.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>

#include "comm/platform/posix/PosixLineSettings.h"

namespace {

constexpr uint32_t kMaxDword = 0xFFFFFFFF;
// How often the driver's counters are looked at while modem-line, break or
// line-error events are wanted: poll() can't wait for those.
constexpr int kCounterPollMs = 20;
// How often a draining output queue, or bytes nobody has read yet, are
// looked at again.
constexpr int kQueuePollMs = 5;
constexpr uint32_t kCounterEvents =
    CommEv::Cts | CommEv::Dsr | CommEv::Rlsd | CommEv::Ring | CommEv::Break | CommEv::Err;

using Clock = std::chrono::steady_clock;

// Milliseconds left until a deadline, for poll(); -1 (no limit) without one.
int MillisLeft(bool limited, Clock::time_point deadline) {
  if (!limited) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return int(std::clamp<long long>(left, 0, INT_MAX));
}

class PosixSerialDevice : public SerialDevice {
 public:
  PosixSerialDevice(int fd, int wakeRead, int wakeWrite, SerialFlagCalls& flags)
      : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite), flags_(flags) {
    serial_icounter_struct counts{};
    countersWork_ = ioctl(fd_, TIOCGICOUNT, &counts) == 0;
    errorBase_ = eventBase_ = counts;
    // A driver without the flag, or one that refuses it, keeps its own
    // timing: that is no failure of the port.
    int before = 0;
    if (flags_.GetSerialFlags(fd_, before) && !(before & ASYNC_LOW_LATENCY) &&
        flags_.SetSerialFlags(fd_, before | ASYNC_LOW_LATENCY))
      flagsBefore_ = before;
  }

  ~PosixSerialDevice() override {
    if (!hungUp_) {
      if (flagsBefore_) flags_.SetSerialFlags(fd_, *flagsBefore_);
      ioctl(fd_, TIOCNXCL);
    }
    close(fd_);  // also drops the flock
    close(wakeRead_);
    close(wakeWrite_);
  }

  bool SetCommMask(uint32_t eventMask) override {
    mask_ = eventMask;
    Wake();
    return true;
  }

  bool SetupComm(uint32_t inQueue, uint32_t outQueue) override {
    // The kernel's queues have their own sizes; the request is recorded.
    inQueue_ = inQueue;
    outQueue_ = outQueue;
    return true;
  }

  bool GetCommState(DeviceControlBlock& dcb) override {
    dcb = applied_;
    return ReadLineSettings(fd_, dcb);
  }

  bool SetCommState(const DeviceControlBlock& dcb) override {
    if (!WriteLineSettings(fd_, dcb)) return false;
    applied_ = dcb;
    return true;
  }

  bool SetCommTimeouts(const CommTimeouts& timeouts) override {
    timeouts_ = timeouts;
    return true;
  }

  bool EscapeCommFunction(uint32_t function) override {
    switch (function) {
      case CommEscape::SetRts:
        return ModemLines(TIOCMBIS, TIOCM_RTS);
      case CommEscape::ClrRts:
        return ModemLines(TIOCMBIC, TIOCM_RTS);
      case CommEscape::SetDtr:
        return ModemLines(TIOCMBIS, TIOCM_DTR);
      case CommEscape::ClrDtr:
        return ModemLines(TIOCMBIC, TIOCM_DTR);
      case CommEscape::SetXOff:
        return ioctl(fd_, TCXONC, TCOOFF) == 0;
      case CommEscape::SetXOn:
        return ioctl(fd_, TCXONC, TCOON) == 0;
      case CommEscape::SetBreak:
        return ioctl(fd_, TIOCSBRK) == 0;
      case CommEscape::ClrBreak:
        return ioctl(fd_, TIOCCBRK) == 0;
      case CommEscape::ResetDev:
        return true;  // only printers reset
      default:
        errno = EINVAL;
        return false;
    }
  }

  bool ClearCommError(uint32_t& errors, ComStat& stat) override {
    // A device that went away stays gone: every call reports it.
    errors = hungUp_ ? CommErr::IoError : 0;
    stat = ComStat{};
    if (countersWork_) {
      serial_icounter_struct now{};
      if (ioctl(fd_, TIOCGICOUNT, &now) == 0) {
        if (now.buf_overrun != errorBase_.buf_overrun) errors |= CommErr::RxOver;
        if (now.overrun != errorBase_.overrun) errors |= CommErr::Overrun;
        if (now.parity != errorBase_.parity) errors |= CommErr::RxParity;
        if (now.frame != errorBase_.frame) errors |= CommErr::Frame;
        if (now.brk != errorBase_.brk) errors |= CommErr::Break;
        errorBase_ = now;
      }
    }
    int in = 0, out = 0;
    if (ioctl(fd_, TIOCINQ, &in) < 0 || ioctl(fd_, TIOCOUTQ, &out) < 0) return false;
    stat.cbInQue = uint32_t(std::max(in, 0));
    stat.cbOutQue = uint32_t(std::max(out, 0));
    return true;
  }

  bool PurgeComm(uint32_t flags) override {
    bool rx = flags & (CommPurge::RxAbort | CommPurge::RxClear);
    bool tx = flags & (CommPurge::TxAbort | CommPurge::TxClear);
    if (!rx && !tx) return true;
    return ioctl(fd_, TCFLSH, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) == 0;
  }

  bool WaitCommEvent(uint32_t& eventMask) override {
    eventMask = 0;
    for (;;) {
      if (cancelled_) {
        errno = ECANCELED;
        return false;
      }
      const uint32_t mask = mask_;
      int timeout = -1;
      bool wantInput = false;
      if (hungUp_) {
        // A device that went away is reported once; then only Close() is
        // waited for, so the thread sleeps instead of spinning.
        if (!hangUpReported_) {
          hangUpReported_ = true;
          eventMask = mask & CommEv::Err;
          if (eventMask) return true;
        }
      } else {
        eventMask = PendingEvents(mask, timeout, wantInput);
        if (eventMask) return true;
      }
      pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {hungUp_ ? -1 : fd_, short(wantInput ? POLLIN : 0), 0}};
      int n = poll(fds, 2, timeout);
      if (n < 0 && errno != EINTR) return false;
      if (n <= 0) continue;
      if (fds[0].revents) DrainWake();
      if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        hungUp_ = true;
      }
    }
  }

  void CancelWait() override {
    cancelled_ = true;
    Wake();
  }

  bool ReadFile(void* buffer, uint32_t count, uint32_t& bytesRead) override {
    bytesRead = 0;
    if (count == 0) return true;
    const CommTimeouts t = timeouts_;
    const uint64_t total = uint64_t(t.ReadTotalTimeoutMultiplier) * count + t.ReadTotalTimeoutConstant;
    const bool limited = total != 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(total);
    // Interval MAXDWORD: hand over what has arrived, or else the first bytes
    // that arrive within the total time-out (at once when that is 0).
    if (t.ReadIntervalTimeout == kMaxDword)
      return ReadSome(buffer, count, bytesRead, limited ? int(std::min<uint64_t>(total, INT_MAX)) : 0);
    while (bytesRead < count) {
      int wait = MillisLeft(limited, deadline);
      if (bytesRead > 0 && t.ReadIntervalTimeout != 0) {
        int interval = int(std::min<uint32_t>(t.ReadIntervalTimeout, INT_MAX));
        wait = wait < 0 ? interval : std::min(wait, interval);
      }
      uint32_t got = 0;
      bool ok = ReadSome(static_cast<char*>(buffer) + bytesRead, count - bytesRead, got, wait);
      bytesRead += got;
      if (!ok) return false;
      if (got == 0) break;  // time-out
    }
    return true;
  }

  bool WriteFile(const void* buffer, uint32_t count, uint32_t& bytesWritten) override {
    bytesWritten = 0;
    const CommTimeouts t = timeouts_;
    const uint64_t total = uint64_t(t.WriteTotalTimeoutMultiplier) * count + t.WriteTotalTimeoutConstant;
    const bool limited = total != 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limited ? total : 0);
    bool ok = true;
    while (bytesWritten < count) {
      ssize_t n = write(fd_, static_cast<const char*>(buffer) + bytesWritten, count - bytesWritten);
      if (n > 0) {
        bytesWritten += uint32_t(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) {
        ok = false;
        break;
      }
      int wait = MillisLeft(limited, deadline);
      pollfd fd{fd_, POLLOUT, 0};
      if (wait == 0 || (poll(&fd, 1, wait) == 0 && MillisLeft(limited, deadline) == 0)) {
        errno = ETIMEDOUT;
        ok = false;
        break;
      }
      if (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        errno = EIO;
        ok = false;
        break;
      }
    }
    if (bytesWritten > 0 && (mask_ & CommEv::TxEmpty)) {
      txPending_ = true;
      Wake();
    }
    return ok;
  }

 private:
  // The events that have happened since the last report. Sets how long the
  // next poll may sleep and whether it waits for input.
  uint32_t PendingEvents(uint32_t mask, int& timeout, bool& wantInput) {
    uint32_t events = 0;
    if (mask & CommEv::RxChar) {
      int in = 0;
      if (ioctl(fd_, TIOCINQ, &in) < 0) in = 0;
      const uint64_t reads = readCount_;
      // poll() would report unread bytes again and again; they count once,
      // and again only when more arrive or a read took part of them.
      if (in == 0) {
        wantInput = true;
        reportedInput_ = 0;
      } else if (uint32_t(in) != reportedInput_ || reads != reportedReads_) {
        events |= CommEv::RxChar;
        reportedInput_ = uint32_t(in);
        reportedReads_ = reads;
      } else {
        timeout = kQueuePollMs;
      }
    }
    if ((mask & CommEv::TxEmpty) && txPending_) {
      int out = 0;
      if (ioctl(fd_, TIOCOUTQ, &out) < 0 || out <= 0) {
        txPending_ = false;
        events |= CommEv::TxEmpty;
      } else {
        timeout = kQueuePollMs;
      }
    }
    if (countersWork_ && (mask & kCounterEvents)) {
      serial_icounter_struct now{};
      if (ioctl(fd_, TIOCGICOUNT, &now) == 0) {
        if (now.cts != eventBase_.cts) events |= CommEv::Cts;
        if (now.dsr != eventBase_.dsr) events |= CommEv::Dsr;
        if (now.dcd != eventBase_.dcd) events |= CommEv::Rlsd;
        if (now.rng != eventBase_.rng) events |= CommEv::Ring;
        if (now.brk != eventBase_.brk) events |= CommEv::Break;
        if (now.frame != eventBase_.frame || now.overrun != eventBase_.overrun ||
            now.parity != eventBase_.parity || now.buf_overrun != eventBase_.buf_overrun)
          events |= CommEv::Err;
        eventBase_ = now;
      }
      if (timeout < 0 || timeout > kCounterPollMs) timeout = kCounterPollMs;
    }
    return events & mask;
  }

  // One read() of what is there, waiting up to waitMs (-1: no limit) when
  // nothing is; 0 bytes and true on a time-out.
  bool ReadSome(void* buffer, uint32_t count, uint32_t& got, int waitMs) {
    got = 0;
    for (;;) {
      ssize_t n = read(fd_, buffer, count);
      if (n > 0) {
        got = uint32_t(n);
        ++readCount_;
        return true;
      }
      if (n == 0 && HungUp()) {  // end of file: the other side of the line is gone
        errno = EIO;
        return false;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) return false;
      if (waitMs == 0) return true;
      pollfd fd{fd_, POLLIN, 0};
      auto start = Clock::now();
      int r = poll(&fd, 1, waitMs);
      if (r < 0 && errno != EINTR) return false;
      if (r == 0) return true;
      if ((fd.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fd.revents & POLLIN)) {
        errno = EIO;
        return false;
      }
      if (waitMs > 0) {
        auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        waitMs = int(std::max<long long>(waitMs - spent, 0));
      }
    }
  }

  bool HungUp() {
    pollfd fd{fd_, 0, 0};
    return hungUp_ || (poll(&fd, 1, 0) == 1 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)));
  }

  // DTR and RTS; a device without modem lines (a pseudo-terminal) takes
  // them as no-ops.
  bool ModemLines(unsigned long request, int lines) {
    if (ioctl(fd_, request, &lines) == 0) return true;
    return errno == ENOTTY || errno == EINVAL;
  }

  void Wake() {
    char byte = 1;
    [[maybe_unused]] ssize_t n = write(wakeWrite_, &byte, 1);  // a full pipe is awake already
  }

  void DrainWake() {
    char bytes[64];
    while (read(wakeRead_, bytes, sizeof bytes) > 0) {
    }
  }

  const int fd_;
  const int wakeRead_;
  const int wakeWrite_;
  SerialFlagCalls& flags_;
  std::optional<int> flagsBefore_;  // the flags to give back, once low latency was set
  bool countersWork_ = false;

  // Shared between the event thread and the window thread.
  std::atomic<bool> cancelled_{false};
  std::atomic<uint32_t> mask_{0};
  std::atomic<bool> txPending_{false};
  std::atomic<bool> hungUp_{false};
  std::atomic<uint64_t> readCount_{0};

  // The event thread's own.
  bool hangUpReported_ = false;
  uint32_t reportedInput_ = 0;
  uint64_t reportedReads_ = 0;
  serial_icounter_struct eventBase_{};

  // The window thread's own.
  serial_icounter_struct errorBase_{};
  CommTimeouts timeouts_{};
  DeviceControlBlock applied_{};
  uint32_t inQueue_ = 0;
  uint32_t outQueue_ = 0;
};

class KernelFlags : public SerialFlagCalls {
 public:
  bool GetSerialFlags(int fd, int& flags) override {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) < 0) return false;
    flags = info.flags;
    return true;
  }
  bool SetSerialFlags(int fd, int flags) override {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) < 0) return false;
    info.flags = flags;
    return ioctl(fd, TIOCSSERIAL, &info) == 0;
  }
};

class PosixSerialPlatform : public SerialPlatform {
 public:
  explicit PosixSerialPlatform(SerialFlagCalls& flags) : flags_(flags) {}

  std::unique_ptr<SerialDevice> CreateFile(const std::string& devicePath) override {
    int fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // Exclusive like a Windows COM port: TIOCEXCL keeps other users out but
    // not root; the lock keeps out every other open that asks for it,
    // including our own second port object and other instances.
    if (!isatty(fd)) return Refuse(fd, ENOTTY, false);
    if (flock(fd, LOCK_EX | LOCK_NB) < 0) return Refuse(fd, EBUSY, false);
    // Root gets past another program's TIOCEXCL; it is still that
    // program's port.
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive) return Refuse(fd, EBUSY, false);
    if (ioctl(fd, TIOCEXCL) < 0) return Refuse(fd, errno, false);
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) < 0) return Refuse(fd, errno, true);
    return std::make_unique<PosixSerialDevice>(fd, wake[0], wake[1], flags_);
  }

  int LastError() override { return errno; }

 private:
  SerialFlagCalls& flags_;

  static std::unique_ptr<SerialDevice> Refuse(int fd, int error, bool exclusive) {
    if (exclusive) ioctl(fd, TIOCNXCL);
    close(fd);
    errno = error;
    return nullptr;
  }
};

}  // namespace

SerialFlagCalls& KernelSerialFlags() {
  static KernelFlags flags;
  return flags;
}

std::unique_ptr<SerialPlatform> NewPosixSerialPlatform(SerialFlagCalls& flags) {
  return std::make_unique<PosixSerialPlatform>(flags);
}

SerialPlatform& DefaultSerialPlatform() {
  static PosixSerialPlatform platform(KernelSerialFlags());
  return platform;
}
