#pragma once
// The serial port object: opens one COM port, applies its line settings,
// raises and drops DTR and RTS, reads and writes bytes, and raises the
// port's events on the window thread. TThreadComm holds the state and does
// the work; TComm publishes the settings.
//
// Every operation is called on the window thread. Failures are raised as
// Exception with one of the fixed texts and the platform's error code; a
// device that can't be opened is not a failure (Open() returns with
// Connected() false); Read and Write return counts and never raise.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "comm/CommEventChars.h"
#include "comm/CommEventThread.h"
#include "comm/CommTypes.h"
#include "comm/platform/SerialPlatform.h"

class WindowDispatcher;
class TThreadComm;

using TNotifyEvent = std::function<void(TThreadComm* Sender)>;
using TCommErrorEvent = std::function<void(TThreadComm* Sender, int32_t Errors)>;
using TCommRxCharEvent = std::function<void(TThreadComm* Sender, uint32_t Count)>;
using TCommStatEvent = std::function<void(TThreadComm* Sender, uint32_t Status, ComStat Stat)>;

// Turns a DeviceName into the path the platform opens; nothing when the
// name names no device. The port table replaces the default.
using DeviceNameResolver = std::function<std::optional<std::string>(const std::string& deviceName)>;

class TThreadComm {
 public:
  // Notifications of the event thread go to the window thread through
  // dispatcher; both must outlive the port.
  explicit TThreadComm(WindowDispatcher& dispatcher, SerialPlatform& platform = DefaultSerialPlatform());
  virtual ~TThreadComm();
  TThreadComm(const TThreadComm&) = delete;
  TThreadComm& operator=(const TThreadComm&) = delete;

  void Open();
  void Close();
  bool Connected() const { return connected_; }
  void SetDTR(bool on);
  void SetRTS(bool on);
  void EscapeComm(uint32_t code);
  // Bytes read or written, or -1 when the port is not open.
  int32_t Read(void* buffer, int32_t count);
  int32_t Write(const void* buffer, int32_t count);

  // The receiver of the event thread's wake-ups: raises the port's events
  // for the bits of EvtMask in their fixed order, then OnComStatEvent.
  void HandleCommEvent(TCommEventThread* Sender, uint32_t EvtMask);

  void SetDeviceNameResolver(DeviceNameResolver resolver) { resolver_ = std::move(resolver); }
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }

 protected:
  virtual void CreateHandle();
  void DestroyHandle();
  void UpdateDataControlBlock();
  bool SetupTimeouts();

  // The properties. Setters do nothing for an unchanged value; see each
  // group for what they do on an open port.
  const std::string& DeviceName() const { return deviceName_; }
  int32_t ReadTimeout() const { return readTimeout_; }
  int32_t WriteTimeout() const { return writeTimeout_; }
  uint16_t ReadBufSize() const { return readBufSize_; }
  uint16_t WriteBufSize() const { return writeBufSize_; }
  uint32_t SuspendTime() const { return suspendTime_; }
  TCommEventTypes MonitorEvents() const { return monitorEvents_; }
  TBaudRate BaudRate() const { return baudRate_; }
  TParity Parity() const { return parity_; }
  TStopBits StopBits() const { return stopBits_; }
  TDataBits DataBits() const { return dataBits_; }
  TCommEventChars& EventChars() { return *eventChars_; }
  TCommOptions Options() const { return options_; }
  TFlowControl FlowControl() const { return flowControl_; }

  // Ignored while the port is open.
  void SetDeviceName(const std::string& value);
  void SetMonitorEvents(TCommEventTypes value);
  void SetReadBufSize(uint16_t value);
  void SetWriteBufSize(uint16_t value);
  void SetSuspendTime(uint32_t value);
  // Stored; on an open port the line settings are re-applied at once.
  void SetBaudRate(TBaudRate value);
  void SetParity(TParity value);
  void SetStopBits(TStopBits value);
  void SetDataBits(TDataBits value);
  void SetFlowControl(TFlowControl value);
  void SetOptions(TCommOptions value);
  // Only stored.
  void SetReadTimeout(int32_t value) { readTimeout_ = value; }
  void SetWriteTimeout(int32_t value) { writeTimeout_ = value; }

 public:
  // The port's events; an empty one is skipped. Sender is the port.
  TNotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
  TCommErrorEvent OnError;
  TCommRxCharEvent OnRxChar;
  TCommStatEvent OnComStatEvent;

 private:
  friend class TCommEventChars;
  void ApplyLineSettings();  // UpdateDataControlBlock under the lock
  bool StillAttached(uint64_t openSerial) const { return connected_ && openSerial_ == openSerial; }

  WindowDispatcher& dispatcher_;
  SerialPlatform& platform_;
  DeviceNameResolver resolver_ = DefaultResolveDeviceName;

  std::unique_ptr<SerialDevice> handle_;
  DeviceControlBlock dcb_;
  std::string deviceName_ = "Com2";
  std::recursive_mutex lock_;
  int32_t readTimeout_ = 1000;
  int32_t writeTimeout_ = 1000;
  uint16_t readBufSize_ = 4096;
  uint16_t writeBufSize_ = 2048;
  uint32_t suspendTime_ = 5;
  TCommEventTypes monitorEvents_ = AllCommEvents;
  TBaudRate baudRate_ = br9600;
  TParity parity_ = paNone;
  TStopBits stopBits_ = sb10;
  TDataBits dataBits_ = da8;
  bool connected_ = false;
  std::unique_ptr<TCommEventThread> eventThread_;
  std::unique_ptr<TCommEventChars> eventChars_;
  TCommOptions options_;
  TFlowControl flowControl_ = fcDefault;
  uint64_t openSerial_ = 0;  // counts opens, so that a wake-up knows its own
};

class TComm : public TThreadComm {
 public:
  explicit TComm(WindowDispatcher& dispatcher, SerialPlatform& platform = DefaultSerialPlatform())
      : TThreadComm(dispatcher, platform) {}
  ~TComm() override = default;

  using TThreadComm::BaudRate;
  using TThreadComm::DataBits;
  using TThreadComm::DeviceName;
  using TThreadComm::EventChars;
  using TThreadComm::FlowControl;
  using TThreadComm::MonitorEvents;
  using TThreadComm::Options;
  using TThreadComm::Parity;
  using TThreadComm::ReadBufSize;
  using TThreadComm::ReadTimeout;
  using TThreadComm::SetBaudRate;
  using TThreadComm::SetDataBits;
  using TThreadComm::SetDeviceName;
  using TThreadComm::SetFlowControl;
  using TThreadComm::SetMonitorEvents;
  using TThreadComm::SetOptions;
  using TThreadComm::SetParity;
  using TThreadComm::SetReadBufSize;
  using TThreadComm::SetReadTimeout;
  using TThreadComm::SetStopBits;
  using TThreadComm::SetSuspendTime;
  using TThreadComm::SetWriteBufSize;
  using TThreadComm::SetWriteTimeout;
  using TThreadComm::StopBits;
  using TThreadComm::SuspendTime;
  using TThreadComm::WriteBufSize;
  using TThreadComm::WriteTimeout;
};
