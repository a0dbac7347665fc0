#include "comm/Comm.h"

#include <algorithm>

#include "common/Exception.h"

namespace {

constexpr uint32_t kMaxDword = 0xFFFFFFFF;

[[noreturn]] void RaiseCommError(const std::string& message, int code) {
  std::string text = message;
  if (auto at = text.find("%d"); at != std::string::npos) text.replace(at, 2, std::to_string(code));
  throw Exception(text);
}

// Calls a handler through a copy, so that a handler that replaces itself
// does not pull the code it runs from under its own feet.
template <typename Handler, typename... Args>
void Raise(const Handler& handler, Args... args) {
  if (!handler) return;
  Handler copy = handler;
  copy(args...);
}

}  // namespace

TThreadComm::TThreadComm(WindowDispatcher& dispatcher, SerialPlatform& platform)
    : dispatcher_(dispatcher), platform_(platform), eventChars_(std::make_unique<TCommEventChars>(this)) {}

TThreadComm::~TThreadComm() {
  try {
    Close();
  } catch (...) {
    // Closing never raises; nothing may escape a destructor anyway.
  }
}

void TThreadComm::CreateHandle() {
  std::optional<std::string> path = resolver_ ? resolver_(deviceName_) : std::nullopt;
  handle_ = path ? platform_.CreateFile(*path) : nullptr;
  if (!handle_) {
    connected_ = false;
    return;
  }
  connected_ = true;
  ++openSerial_;
  handle_->SetCommMask(CommEv::All);
}

void TThreadComm::DestroyHandle() {
  handle_.reset();
  connected_ = false;
  ++openSerial_;
}

void TThreadComm::Open() {
  const char* message = nullptr;
  int code = 0;
  {
    std::lock_guard lock(lock_);
    if (connected_) {
      message = "Port already assigned (open) (Error: %d)";
      code = -1;
    } else {
      CreateHandle();
      if (!connected_) return;
      if (!SetupTimeouts()) {
        DestroyHandle();
        return;
      }
      UpdateDataControlBlock();
      if (!handle_->SetupComm(readBufSize_, writeBufSize_)) {
        code = platform_.LastError();
        message = "Error initializing Read/Write Buffers (Error: %d)";
      }
      eventThread_ = std::make_unique<TCommEventThread>(*handle_, suspendTime_, monitorEvents_, dispatcher_);
      eventThread_->SetOnSignal(
          [this](TCommEventThread* sender, uint32_t mask) { HandleCommEvent(sender, mask); });
      eventThread_->Resume();
    }
  }
  if (message) RaiseCommError(message, code);
}

void TThreadComm::Close() {
  if (!connected_) return;
  std::lock_guard lock(lock_);
  // Detach first, so that a notification already on its way finds no
  // receiver; Terminate() also releases an event thread that waits for this
  // very thread to run a notification, so the join can't hang.
  if (eventThread_) {
    eventThread_->Terminate();
    eventThread_->WaitFor();
    eventThread_.reset();
  }
  DestroyHandle();
}

bool TThreadComm::SetupTimeouts() {
  CommTimeouts timeouts;
  timeouts.ReadIntervalTimeout = kMaxDword;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 1000;
  // A write may take the line time of its bytes (up to 12 bits each, with
  // parity and two stop bits), rounded up to whole milliseconds, and two
  // seconds more. A line that the far side holds off by flow control then
  // gives up within seconds instead of blocking the window for minutes.
  const uint32_t bitsPerSecond = std::max<uint32_t>(BaudRateValue(baudRate_), 1);
  timeouts.WriteTotalTimeoutMultiplier = (12000 + bitsPerSecond - 1) / bitsPerSecond;
  timeouts.WriteTotalTimeoutConstant = 2000;
  return handle_->SetCommTimeouts(timeouts);
}

void TThreadComm::UpdateDataControlBlock() {
  if (!connected_) return;
  handle_->SetupComm(readBufSize_, writeBufSize_);
  handle_->GetCommState(dcb_);
  dcb_.BaudRate = BaudRateValue(baudRate_);
  dcb_.Parity = uint8_t(parity_);      // paNone..paSpace are the codes 0..4
  dcb_.StopBits = uint8_t(stopBits_);  // sb10, sb15, sb20 are 0, 1, 2
  dcb_.ByteSize = uint8_t(dataBits_ + 4);
  dcb_.XonChar = eventChars_->XOnChar();
  dcb_.XoffChar = eventChars_->XOffChar();
  dcb_.ErrorChar = eventChars_->ErrorChar();
  dcb_.EofChar = eventChars_->EofChar();
  dcb_.EvtChar = eventChars_->EvtChar();
  dcb_.XonLim = 1024;
  dcb_.XoffLim = 1024;
  dcb_.fParity = options_.Contains(coParityCheck);
  dcb_.fDsrSensitivity = options_.Contains(coDsrSensitivity);
  dcb_.fTXContinueOnXoff = options_.Contains(coIgnoreXOff);
  dcb_.fErrorChar = options_.Contains(coErrorChar);
  dcb_.fNull = options_.Contains(coNullStrip);
  // A driver left with fAbortOnError on (by the last program that used the
  // port) fails every call after a framing or overrun error until the error
  // is cleared, which would pass for a pulled cable.
  dcb_.fAbortOnError = false;
  // The handshake fields stay as the driver reported them, whatever
  // FlowControl says.
  if (!handle_->SetCommState(dcb_))
    RaiseCommError("Error updating DataControlBlock (Error: %d)", platform_.LastError());
}

void TThreadComm::EscapeComm(uint32_t code) {
  if (!connected_) RaiseCommError("Port not open (Error: %d)", -1);
  bool ok;
  int error = 0;
  {
    std::lock_guard lock(lock_);
    ok = handle_->EscapeCommFunction(code);
    if (!ok) error = platform_.LastError();
  }
  if (!ok) RaiseCommError("EscapeCommFunction failure (Error: %d)", error);
}

void TThreadComm::SetDTR(bool on) { EscapeComm(on ? CommEscape::SetDtr : CommEscape::ClrDtr); }

void TThreadComm::SetRTS(bool on) { EscapeComm(on ? CommEscape::SetRts : CommEscape::ClrRts); }

int32_t TThreadComm::Read(void* buffer, int32_t count) {
  if (!connected_) return -1;
  std::lock_guard lock(lock_);
  uint32_t errors = 0;
  ComStat stat;
  handle_->ClearCommError(errors, stat);
  if (count <= 0 || !buffer) {
    handle_->ClearCommError(errors, stat);
    return 0;
  }
  uint32_t n = 0;
  if (!handle_->ReadFile(buffer, uint32_t(count), n)) handle_->ClearCommError(errors, stat);
  return int32_t(n);
}

int32_t TThreadComm::Write(const void* buffer, int32_t count) {
  if (!connected_) return -1;
  std::lock_guard lock(lock_);
  if (count <= 0 || !buffer) return 0;
  uint32_t n = 0;
  if (!handle_->WriteFile(buffer, uint32_t(count), n)) {
    uint32_t errors = 0;
    ComStat stat;
    handle_->ClearCommError(errors, stat);
  }
  return int32_t(n);
}

void TThreadComm::HandleCommEvent(TCommEventThread*, uint32_t EvtMask) {
  if (!connected_) return;
  uint32_t errors = 0;
  ComStat stat;
  handle_->ClearCommError(errors, stat);
  // A handler may close (and even reopen) the port; then the rest of this
  // wake-up belongs to a port that is gone and raises nothing more.
  const uint64_t serial = openSerial_;
  auto raise = [&](uint32_t bit, const TNotifyEvent& handler) {
    if ((EvtMask & bit) && StillAttached(serial)) Raise(handler, this);
  };
  raise(CommEv::Break, OnBreak);
  raise(CommEv::Cts, OnCts);
  raise(CommEv::Dsr, OnDsr);
  if ((EvtMask & CommEv::Err) && StillAttached(serial)) Raise(OnError, this, int32_t(errors));
  raise(CommEv::Ring, OnRing);
  raise(CommEv::Rlsd, OnRlsd);
  if ((EvtMask & CommEv::RxChar) && stat.cbInQue > 0 && StillAttached(serial))
    Raise(OnRxChar, this, stat.cbInQue);
  raise(CommEv::RxFlag, OnRxFlag);
  raise(CommEv::TxEmpty, OnTxEmpty);
  if (StillAttached(serial)) Raise(OnComStatEvent, this, EvtMask, stat);
}

void TThreadComm::ApplyLineSettings() {
  if (!connected_) return;
  std::lock_guard lock(lock_);
  UpdateDataControlBlock();
}

// Settings the open port keeps until it is opened again.
void TThreadComm::SetDeviceName(const std::string& value) {
  if (!connected_ && value != deviceName_) deviceName_ = value;
}
void TThreadComm::SetMonitorEvents(TCommEventTypes value) {
  if (!connected_) monitorEvents_ = value;
}
void TThreadComm::SetReadBufSize(uint16_t value) {
  if (!connected_) readBufSize_ = value;
}
void TThreadComm::SetWriteBufSize(uint16_t value) {
  if (!connected_) writeBufSize_ = value;
}
void TThreadComm::SetSuspendTime(uint32_t value) {
  if (!connected_) suspendTime_ = value;
}

// Line settings: they reach an open port at once.
void TThreadComm::SetBaudRate(TBaudRate value) {
  if (value == baudRate_) return;
  baudRate_ = value;
  ApplyLineSettings();
}
void TThreadComm::SetParity(TParity value) {
  if (value == parity_) return;
  parity_ = value;
  ApplyLineSettings();
}
void TThreadComm::SetStopBits(TStopBits value) {
  if (value == stopBits_) return;
  stopBits_ = value;
  ApplyLineSettings();
}
void TThreadComm::SetDataBits(TDataBits value) {
  if (value == dataBits_) return;
  dataBits_ = value;
  ApplyLineSettings();
}
void TThreadComm::SetFlowControl(TFlowControl value) {
  if (value == flowControl_) return;
  flowControl_ = value;
  ApplyLineSettings();
}
void TThreadComm::SetOptions(TCommOptions value) {
  if (value == options_) return;
  options_ = value;
  ApplyLineSettings();
}
