#pragma once
// The operating system's serial calls, one method per call the port component
// makes (CreateFile, CloseHandle, SetCommMask, SetupComm, GetCommState,
// SetCommState, SetCommTimeouts, EscapeCommFunction, ClearCommError,
// PurgeComm, WaitCommEvent, ReadFile, WriteFile). Each implementation keeps
// the wait objects its I/O needs (on Windows: the overlapped records and
// their events, GetOverlappedResult and WaitForSingleObject) behind the read,
// write and wait calls. posix/ implements it with termios; a win32/
// implementation calls the real functions.
//
// The constants carry the Windows values, so that a Windows implementation
// passes them through unchanged; their names avoid the Windows macros.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Event bits of a wait on the port (EV_...).
namespace CommEv {
inline constexpr uint32_t RxChar = 0x0001;
inline constexpr uint32_t RxFlag = 0x0002;
inline constexpr uint32_t TxEmpty = 0x0004;
inline constexpr uint32_t Cts = 0x0008;
inline constexpr uint32_t Dsr = 0x0010;
inline constexpr uint32_t Rlsd = 0x0020;
inline constexpr uint32_t Break = 0x0040;
inline constexpr uint32_t Err = 0x0080;
inline constexpr uint32_t Ring = 0x0100;
inline constexpr uint32_t All = 0x01FF;
}  // namespace CommEv

// Error bits that ClearCommError reports (CE_...).
namespace CommErr {
inline constexpr uint32_t RxOver = 0x0001;
inline constexpr uint32_t Overrun = 0x0002;
inline constexpr uint32_t RxParity = 0x0004;
inline constexpr uint32_t Frame = 0x0008;
inline constexpr uint32_t Break = 0x0010;
inline constexpr uint32_t TxFull = 0x0100;
inline constexpr uint32_t IoError = 0x0400;  // the device went away (a pulled adapter, a hang-up)
}  // namespace CommErr

// What PurgeComm discards or aborts (PURGE_...).
namespace CommPurge {
inline constexpr uint32_t TxAbort = 0x0001;
inline constexpr uint32_t RxAbort = 0x0002;
inline constexpr uint32_t TxClear = 0x0004;
inline constexpr uint32_t RxClear = 0x0008;
inline constexpr uint32_t All = 0x000F;
}  // namespace CommPurge

// Extended functions of EscapeCommFunction.
namespace CommEscape {
inline constexpr uint32_t SetXOff = 1;
inline constexpr uint32_t SetXOn = 2;
inline constexpr uint32_t SetRts = 3;
inline constexpr uint32_t ClrRts = 4;
inline constexpr uint32_t SetDtr = 5;
inline constexpr uint32_t ClrDtr = 6;
inline constexpr uint32_t ResetDev = 7;
inline constexpr uint32_t SetBreak = 8;
inline constexpr uint32_t ClrBreak = 9;
}  // namespace CommEscape

// Parity and stop-bit codes of the device control block.
namespace CommParity {
inline constexpr uint8_t NoParity = 0, Odd = 1, Even = 2, Mark = 3, Space = 4;
}
namespace CommStopBits {
inline constexpr uint8_t One = 0, OneAndHalf = 1, Two = 2;
}
// fDtrControl and fRtsControl codes.
namespace CommLineControl {
inline constexpr uint8_t Disable = 0, Enable = 1, Handshake = 2, Toggle = 3;
}

// The line settings of a port, field for field the Windows DCB.
struct DeviceControlBlock {
  uint32_t BaudRate = 9600;
  bool fBinary = true;
  bool fParity = false;
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  uint8_t fDtrControl = CommLineControl::Enable;
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = false;
  bool fOutX = false;
  bool fInX = false;
  bool fErrorChar = false;
  bool fNull = false;
  uint8_t fRtsControl = CommLineControl::Enable;
  bool fAbortOnError = false;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = CommParity::NoParity;
  uint8_t StopBits = CommStopBits::One;
  char XonChar = 0x11;
  char XoffChar = 0x13;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
};

// COMMTIMEOUTS, in milliseconds. MAXDWORD as the interval with the total
// read values 0 / constant means "return at once with what has arrived,
// else wait up to the constant for the first byte".
struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

// COMSTAT: the hold flags and the queue counts.
struct ComStat {
  bool fCtsHold = false;
  bool fDsrHold = false;
  bool fRlsdHold = false;
  bool fXoffHold = false;
  bool fXoffSent = false;
  bool fEof = false;
  bool fTxim = false;
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// One open port: what CreateFile hands back. Destroying it is CloseHandle.
// Every failing call leaves its reason in the platform's LastError().
//
// Threads: the port's event thread calls WaitCommEvent and PurgeComm, and
// CancelWait comes from the window thread; every other call comes from the
// window thread. An implementation must allow exactly that overlap.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  virtual bool SetCommMask(uint32_t eventMask) = 0;
  virtual bool SetupComm(uint32_t inQueue, uint32_t outQueue) = 0;
  virtual bool GetCommState(DeviceControlBlock& dcb) = 0;
  virtual bool SetCommState(const DeviceControlBlock& dcb) = 0;
  virtual bool SetCommTimeouts(const CommTimeouts& timeouts) = 0;
  virtual bool EscapeCommFunction(uint32_t function) = 0;
  // Returns and clears the error bits gathered since the last call, and the
  // queue counts. The counts are filled in as far as they can be had even
  // when the call fails.
  virtual bool ClearCommError(uint32_t& errors, ComStat& stat) = 0;
  virtual bool PurgeComm(uint32_t flags) = 0;

  // Blocks until one of the events of the mask happens and reports them.
  // Returns false at once, and from then on, after CancelWait.
  virtual bool WaitCommEvent(uint32_t& eventMask) = 0;
  // Breaks a pending WaitCommEvent for good; callable from any thread. The
  // port is about to be closed.
  virtual void CancelWait() = 0;

  // ReadFile with its completion: under the time-outs set, returns what is
  // there or waits for the first byte. bytesRead is what was read, also on
  // failure.
  virtual bool ReadFile(void* buffer, uint32_t count, uint32_t& bytesRead) = 0;
  // WriteFile with its completion: returns once the driver has taken the
  // whole buffer, or on failure or write time-out; bytesWritten is what it took.
  virtual bool WriteFile(const void* buffer, uint32_t count, uint32_t& bytesWritten) = 0;
};

class SerialPlatform {
 public:
  virtual ~SerialPlatform() = default;

  // CreateFile on a device path with read and write access, no sharing (the
  // port is exclusive, also against other programs), an existing device only.
  // Nothing when the device can't be opened.
  virtual std::unique_ptr<SerialDevice> CreateFile(const std::string& devicePath) = 0;

  // The reason the last failing call of this thread failed (GetLastError;
  // errno on POSIX).
  virtual int LastError() = 0;
};

// The implementation of the system the program is built for.
SerialPlatform& DefaultSerialPlatform();

// What a port's DeviceName names on this system: "\\.\COMn" (or "COMn") is
// COM port n, as the port table knows it; anything else is up to the system.
// Nothing when the text names no device.
std::optional<std::string> DefaultResolveDeviceName(const std::string& deviceName);
