#include "comm/platform/win32/Win32SerialPlatform.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

// The port component's codes are the Windows values and pass through as
// they are.
static_assert(CommEv::RxChar == EV_RXCHAR && CommEv::RxFlag == EV_RXFLAG && CommEv::TxEmpty == EV_TXEMPTY &&
              CommEv::Cts == EV_CTS && CommEv::Dsr == EV_DSR && CommEv::Rlsd == EV_RLSD && CommEv::Break == EV_BREAK &&
              CommEv::Err == EV_ERR && CommEv::Ring == EV_RING);
static_assert(CommErr::RxOver == CE_RXOVER && CommErr::Overrun == CE_OVERRUN && CommErr::RxParity == CE_RXPARITY &&
              CommErr::Frame == CE_FRAME && CommErr::Break == CE_BREAK && CommErr::TxFull == CE_TXFULL &&
              CommErr::IoError == CE_IOE);
static_assert(CommPurge::TxAbort == PURGE_TXABORT && CommPurge::RxAbort == PURGE_RXABORT &&
              CommPurge::TxClear == PURGE_TXCLEAR && CommPurge::RxClear == PURGE_RXCLEAR);
static_assert(CommEscape::SetXOff == SETXOFF && CommEscape::SetXOn == SETXON && CommEscape::SetRts == SETRTS &&
              CommEscape::ClrRts == CLRRTS && CommEscape::SetDtr == SETDTR && CommEscape::ClrDtr == CLRDTR &&
              CommEscape::ResetDev == RESETDEV && CommEscape::SetBreak == SETBREAK && CommEscape::ClrBreak == CLRBREAK);
static_assert(CommParity::NoParity == NOPARITY && CommParity::Odd == ODDPARITY && CommParity::Even == EVENPARITY &&
              CommParity::Mark == MARKPARITY && CommParity::Space == SPACEPARITY);
static_assert(CommStopBits::One == ONESTOPBIT && CommStopBits::OneAndHalf == ONE5STOPBITS &&
              CommStopBits::Two == TWOSTOPBITS);
static_assert(CommLineControl::Disable == DTR_CONTROL_DISABLE && CommLineControl::Enable == DTR_CONTROL_ENABLE &&
              CommLineControl::Handshake == DTR_CONTROL_HANDSHAKE && CommLineControl::Disable == RTS_CONTROL_DISABLE &&
              CommLineControl::Enable == RTS_CONTROL_ENABLE && CommLineControl::Handshake == RTS_CONTROL_HANDSHAKE &&
              CommLineControl::Toggle == RTS_CONTROL_TOGGLE);

namespace {

// The error of the last call that failed on this thread; what LastError()
// reports. Kept apart from GetLastError, which the clean-up after a failure
// (closing handles, cancelling a wait) would overwrite.
thread_local DWORD t_lastError = ERROR_SUCCESS;

bool Fail(DWORD error) {
  t_lastError = error;
  return false;
}

bool Failed(Kernel32& kernel) { return Fail(kernel.GetLastError()); }

// The errors with which the driver ends a wait on a device that has gone: a
// pulled USB adapter, a powered-down port.
bool DeviceGone(DWORD error) {
  switch (error) {
    case ERROR_OPERATION_ABORTED:
    case ERROR_BAD_COMMAND:
    case ERROR_ACCESS_DENIED:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return true;
    default:
      return false;
  }
}

// DTR and RTS, which a port without modem lines refuses.
bool IsModemLine(uint32_t function) {
  return function == CommEscape::SetDtr || function == CommEscape::ClrDtr || function == CommEscape::SetRts ||
         function == CommEscape::ClrRts;
}

// The events of the modem lines, which a port without them never has.
constexpr uint32_t kModemLineEvents = CommEv::Cts | CommEv::Dsr | CommEv::Rlsd | CommEv::Ring;

// How drivers refuse a call they have no means for.
bool Unsupported(DWORD error) { return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION; }

// Field for field between our control block and the Windows DCB, either way
// (the DCB's bit fields and our bytes and flags take each other's values).
template <typename To, typename From>
void CopyControlBlock(To& to, const From& from) {
  to.BaudRate = from.BaudRate;
  to.fBinary = from.fBinary;
  to.fParity = from.fParity;
  to.fOutxCtsFlow = from.fOutxCtsFlow;
  to.fOutxDsrFlow = from.fOutxDsrFlow;
  to.fDtrControl = from.fDtrControl;
  to.fDsrSensitivity = from.fDsrSensitivity;
  to.fTXContinueOnXoff = from.fTXContinueOnXoff;
  to.fOutX = from.fOutX;
  to.fInX = from.fInX;
  to.fErrorChar = from.fErrorChar;
  to.fNull = from.fNull;
  to.fRtsControl = from.fRtsControl;
  to.fAbortOnError = from.fAbortOnError;
  to.XonLim = from.XonLim;
  to.XoffLim = from.XoffLim;
  to.ByteSize = from.ByteSize;
  to.Parity = from.Parity;
  to.StopBits = from.StopBits;
  to.XonChar = from.XonChar;
  to.XoffChar = from.XoffChar;
  to.ErrorChar = from.ErrorChar;
  to.EofChar = from.EofChar;
  to.EvtChar = from.EvtChar;
}

DCB ToWindows(const DeviceControlBlock& d) {
  DCB w{};
  w.DCBlength = sizeof w;
  CopyControlBlock(w, d);
  return w;
}

DeviceControlBlock FromWindows(const DCB& w) {
  DeviceControlBlock d;
  CopyControlBlock(d, w);
  return d;
}

// A fresh overlapped record on its (manual-reset) event.
void StartOverlapped(Kernel32& kernel, OVERLAPPED& overlapped, HANDLE event) {
  overlapped = OVERLAPPED{};
  overlapped.hEvent = event;
  kernel.ResetEvent(event);
}

// How long Close waits for the driver to let go of the cancelled wait; a
// driver that takes longer keeps the wait's record (see WaitOnce).
constexpr DWORD kCancelLimitMs = 500;
// The pause before the next wait after a wait that ended with no event,
// when the one before ended so too: a mask change ends one wait so, a
// driver that ends every wait so would otherwise keep a processor busy.
constexpr DWORD kEmptyWakeUpPauseMs = 20;

// The shortest time an aborted wait takes before the next begins, so that a
// driver that aborts every wait at once does not keep a processor busy.
constexpr std::chrono::milliseconds kAbortedWaitMinimum{1};

// The handles of one open port: the device and its four events.
struct PortHandles {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE readEvent = nullptr;   // the window thread's reads
  HANDLE writeEvent = nullptr;  // the window thread's writes
  HANDLE waitEvent = nullptr;   // the event thread's WaitCommEvent
  HANDLE cancelEvent = nullptr;  // set once by CancelWait, never reset

  void Close(Kernel32& kernel) const {
    for (HANDLE event : {readEvent, writeEvent, waitEvent, cancelEvent})
      if (event) kernel.CloseHandle(event);
    if (file != INVALID_HANDLE_VALUE) kernel.CloseHandle(file);
  }
};

class Win32SerialDevice : public SerialDevice {
 public:
  Win32SerialDevice(Kernel32& kernel, const PortHandles& handles) : kernel_(kernel), h_(handles) {}

  // No I/O of ours is pending here: reads and writes end inside their calls,
  // and a wait ends before WaitCommEvent returns, which the event thread has
  // done before the port is destroyed; a wait the driver never let go of has
  // taken its record and event along.
  ~Win32SerialDevice() override { h_.Close(kernel_); }

  bool SetCommMask(uint32_t eventMask) override {
    if (!kernel_.SetCommMask(h_.file, DriverMask(eventMask))) return Failed(kernel_);
    mask_ = eventMask;
    return true;
  }

  bool SetupComm(uint32_t inQueue, uint32_t outQueue) override {
    return kernel_.SetupComm(h_.file, inQueue, outQueue) || Failed(kernel_);
  }

  bool GetCommState(DeviceControlBlock& dcb) override {
    DCB w{};
    w.DCBlength = sizeof w;
    if (!kernel_.GetCommState(h_.file, &w)) return Failed(kernel_);
    dcb = FromWindows(w);
    return true;
  }

  bool SetCommState(const DeviceControlBlock& dcb) override {
    // The DCB holds the line controls in two bits, and DTR has no toggle
    // mode: anything else would reach the driver as another setting.
    if (dcb.fDtrControl > CommLineControl::Handshake || dcb.fRtsControl > CommLineControl::Toggle)
      return Fail(ERROR_INVALID_PARAMETER);
    DCB w = ToWindows(dcb);
    return kernel_.SetCommState(h_.file, &w) || Failed(kernel_);
  }

  bool SetCommTimeouts(const CommTimeouts& timeouts) override {
    COMMTIMEOUTS w{timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier,
                   timeouts.ReadTotalTimeoutConstant, timeouts.WriteTotalTimeoutMultiplier,
                   timeouts.WriteTotalTimeoutConstant};
    return kernel_.SetCommTimeouts(h_.file, &w) || Failed(kernel_);
  }

  // A port without modem lines (Wine's driver on a pseudo-terminal, some
  // virtual COM ports) refuses DTR and RTS as unsupported; it is used as it
  // is, as on Linux. Any other refusal is a failure.
  bool EscapeCommFunction(uint32_t function) override {
    if (kernel_.EscapeCommFunction(h_.file, function)) return true;
    const DWORD error = kernel_.GetLastError();
    return (IsModemLine(function) && Unsupported(error)) || Fail(error);
  }

  bool ClearCommError(uint32_t& errors, ComStat& stat) override {
    DWORD bits = 0;
    COMSTAT w{};
    const bool ok = kernel_.ClearCommError(h_.file, &bits, &w) || Failed(kernel_);
    errors = ok ? bits : 0;
    stat = ComStat{};
    if (ok) {
      stat.fCtsHold = w.fCtsHold;
      stat.fDsrHold = w.fDsrHold;
      stat.fRlsdHold = w.fRlsdHold;
      stat.fXoffHold = w.fXoffHold;
      stat.fXoffSent = w.fXoffSent;
      stat.fEof = w.fEof;
      stat.fTxim = w.fTxim;
      stat.cbInQue = w.cbInQue;
      stat.cbOutQue = w.cbOutQue;
    }
    // A device that has gone stays gone: every call says so, also when the
    // driver no longer answers at all.
    if (hungUp_) errors |= CommErr::IoError;
    return ok;
  }

  bool PurgeComm(uint32_t flags) override { return kernel_.PurgeComm(h_.file, flags) || Failed(kernel_); }

  // A device that goes away ends the wait with an error. That is reported
  // once, as an EV_ERR wake-up when the mask has it (ClearCommError then
  // says CE_IOERROR), else as one failed wait; after that the thread sleeps
  // until CancelWait instead of failing wait after wait.
  bool WaitCommEvent(uint32_t& eventMask) override {
    eventMask = 0;
    bool emptyBefore = false;
    for (;;) {
      if (cancelled_ || !wait_) return Fail(ERROR_OPERATION_ABORTED);  // no record: a wait given up on
      if (hungUp_) {
        if (!hangUpReported_) {
          hangUpReported_ = true;
          if (mask_ & CommEv::Err) {
            eventMask = CommEv::Err;
            return true;
          }
          return Fail(hangUpError_);
        }
        if (kernel_.WaitForSingleObject(h_.cancelEvent, INFINITE) != WAIT_OBJECT_0) return Failed(kernel_);
        continue;
      }
      DWORD events = 0, error = ERROR_SUCCESS;
      const auto began = std::chrono::steady_clock::now();
      if (!WaitOnce(events, error)) {
        if (cancelled_) continue;
        // A port without modem lines (Wine's driver on a pseudo-terminal)
        // fails every wait at once while the mask has their events; it is
        // waited on without them from now on.
        if (Unsupported(error) && !noModemLines_ && (mask_ & kModemLineEvents) &&
            (mask_ & ~kModemLineEvents)) {
          noModemLines_ = true;
          if (kernel_.SetCommMask(h_.file, DriverMask(mask_))) continue;
          error = kernel_.GetLastError();
        }
        if (DeviceGone(error)) {
          const std::optional<DWORD> queued = InputQueued();
          if (!queued) {
            hangUpError_ = error;
            hungUp_ = true;
            continue;
          }
          // Aborted on a device that is there: Wine's driver ends every wait
          // so on a port without modem lines, a moment after it began (it
          // reports only what is waiting as the wait starts), and a line
          // error under fAbortOnError does too. What came meanwhile is
          // looked for here; else the wait starts again, after a pause if
          // the driver ended it at once.
          if (error == ERROR_OPERATION_ABORTED) {
            if (*queued && (mask_ & CommEv::RxChar)) {
              eventMask = CommEv::RxChar;
              return true;
            }
            if (std::chrono::steady_clock::now() - began < kAbortedWaitMinimum)
              kernel_.WaitForSingleObject(h_.cancelEvent, DWORD(kAbortedWaitMinimum.count()));
            continue;
          }
        }
        return Fail(error);
      }
      if (cancelled_) continue;
      if (events) {
        eventMask = events;
        return true;
      }
      // No event: SetCommMask changed the mask under the wait, and the next
      // one waits for the new mask; or the driver keeps ending waits so.
      if (emptyBefore) kernel_.WaitForSingleObject(h_.cancelEvent, kEmptyWakeUpPauseMs);
      emptyBefore = true;
    }
  }

  void CancelWait() override {
    cancelled_ = true;
    kernel_.SetEvent(h_.cancelEvent);
    // A driver also ends a pending wait when the mask changes; a wait that
    // is about to start sees the flag or the event.
    kernel_.SetCommMask(h_.file, 0);
  }

  bool ReadFile(void* buffer, uint32_t count, uint32_t& bytesRead) override {
    bytesRead = 0;
    StartOverlapped(kernel_, readOv_, h_.readEvent);
    if (!kernel_.ReadFile(h_.file, buffer, count, nullptr, &readOv_)) {
      DWORD error = kernel_.GetLastError();
      if (error != ERROR_IO_PENDING) return Fail(error);
    }
    DWORD n = 0;
    bool ok = kernel_.GetOverlappedResult(h_.file, &readOv_, &n, TRUE);
    bytesRead = n;
    if (ok) return true;
    // A read that its time-out ended has read what came in time; Windows
    // reports that as success, Wine as ERROR_TIMEOUT.
    DWORD error = kernel_.GetLastError();
    return error == ERROR_TIMEOUT || Fail(error);
  }

  bool WriteFile(const void* buffer, uint32_t count, uint32_t& bytesWritten) override {
    bytesWritten = 0;
    StartOverlapped(kernel_, writeOv_, h_.writeEvent);
    if (!kernel_.WriteFile(h_.file, buffer, count, nullptr, &writeOv_)) {
      DWORD error = kernel_.GetLastError();
      if (error != ERROR_IO_PENDING) return Fail(error);
    }
    DWORD n = 0;
    if (!kernel_.GetOverlappedResult(h_.file, &writeOv_, &n, TRUE)) {
      bytesWritten = n;
      return Failed(kernel_);
    }
    bytesWritten = n;
    // The write time-out ends a write with success and part of the buffer
    // sent; that is a failed write.
    return n >= count || Fail(ERROR_TIMEOUT);
  }

 private:
  // One overlapped WaitCommEvent: true with the events that ended it, false
  // with the error of a failed wait or ERROR_OPERATION_ABORTED when the
  // cancel event came first.
  bool WaitOnce(DWORD& events, DWORD& error) {
    OVERLAPPED& overlapped = wait_->overlapped;
    StartOverlapped(kernel_, overlapped, h_.waitEvent);
    wait_->events = 0;
    if (!kernel_.WaitCommEvent(h_.file, &wait_->events, &overlapped)) {
      error = kernel_.GetLastError();
      if (error != ERROR_IO_PENDING) return false;
      const HANDLE objects[2] = {h_.cancelEvent, h_.waitEvent};
      const DWORD woken = kernel_.WaitForMultipleObjects(2, objects, FALSE, INFINITE);
      if (woken != WAIT_OBJECT_0 + 1) {
        error = woken == WAIT_OBJECT_0 ? DWORD(ERROR_OPERATION_ABORTED) : kernel_.GetLastError();
        // The driver writes into the record until the wait has ended, so it
        // is cancelled and its end waited for, for a while: Close waits for
        // this thread on the window thread. A driver that keeps the wait
        // longer keeps the record and its event, left to it for good.
        kernel_.CancelIoEx(h_.file, &overlapped);
        if (kernel_.WaitForSingleObject(h_.waitEvent, kCancelLimitMs) != WAIT_OBJECT_0) {
          wait_.release();
          h_.waitEvent = nullptr;
        }
        return false;
      }
      DWORD ignored = 0;
      if (!kernel_.GetOverlappedResult(h_.file, &overlapped, &ignored, TRUE)) {
        error = kernel_.GetLastError();
        return false;
      }
    }
    events = wait_->events;
    return true;
  }

  // The mask the driver is given: without the modem lines' events on a port
  // that has none.
  uint32_t DriverMask(uint32_t eventMask) const {
    return noModemLines_ ? eventMask & ~kModemLineEvents : eventMask;
  }

  // The bytes waiting to be read, asked after a wait ended with error;
  // nothing when the device no longer gives its status: it has gone. An
  // abort comes from elsewhere too: a line error under fAbortOnError (which
  // fails every other call until ClearCommError clears it), or Wine on a
  // port without modem lines.
  std::optional<DWORD> InputQueued() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!kernel_.ClearCommError(h_.file, &errors, &stat)) return std::nullopt;
    return stat.cbInQue;
  }

  Kernel32& kernel_;
  PortHandles h_;  // the wait's event goes with a record left to the driver

  // Shared between the event thread and the window thread.
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> hungUp_{false};
  std::atomic<uint32_t> mask_{0};
  std::atomic<bool> noModemLines_{false};

  // The event thread's own: the record the driver fills while a wait is
  // pending, apart from the port so that it can outlive it.
  struct WaitRecord {
    OVERLAPPED overlapped{};
    DWORD events = 0;
  };
  std::unique_ptr<WaitRecord> wait_ = std::make_unique<WaitRecord>();
  DWORD hangUpError_ = ERROR_SUCCESS;
  bool hangUpReported_ = false;

  // The window thread's own.
  OVERLAPPED readOv_{};
  OVERLAPPED writeOv_{};
};

}  // namespace

std::unique_ptr<SerialDevice> Win32SerialPlatform::CreateFile(const std::string& devicePath) {
  // A name with a NUL in it would open the device its first part names.
  if (devicePath.empty() || devicePath.find('\0') != std::string::npos) {
    Fail(ERROR_INVALID_NAME);
    return nullptr;
  }
  PortHandles h;
  h.file = kernel_.CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
  if (h.file == INVALID_HANDLE_VALUE) {
    Failed(kernel_);
    return nullptr;
  }
  for (HANDLE* event : {&h.readEvent, &h.writeEvent, &h.waitEvent, &h.cancelEvent}) {
    *event = kernel_.CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!*event) {
      Failed(kernel_);
      h.Close(kernel_);
      return nullptr;
    }
  }
  return std::make_unique<Win32SerialDevice>(kernel_, h);
}

int Win32SerialPlatform::LastError() { return int(t_lastError); }

SerialPlatform& DefaultSerialPlatform() {
  static Win32SerialPlatform platform;
  return platform;
}
