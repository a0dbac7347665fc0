#pragma once
// The wizard's serial port: TComm as UnitPort.
#include "comm/Comm.h"
#include "device/UnitPort.h"

class TCommUnitPort : public UnitPort {
 public:
  explicit TCommUnitPort(TComm& comm) : comm_(comm) {}
  void Open() override { comm_.Open(); }
  void Close() override { comm_.Close(); }
  bool Connected() const override { return comm_.Connected(); }
  void SetDeviceName(const std::string& name) override { comm_.SetDeviceName(name); }
  std::string DeviceName() const override { return comm_.DeviceName(); }
  void SetBaudRate(int rateCode) override { comm_.SetBaudRate(static_cast<TBaudRate>(rateCode)); }
  int BaudRate() const override { return comm_.BaudRate(); }
  void SetRTS(bool on) override { comm_.SetRTS(on); }
  void SetDTR(bool on) override { comm_.SetDTR(on); }
  int32_t Read(void* buffer, int32_t count) override { return comm_.Read(buffer, count); }
  int32_t Write(const void* buffer, int32_t count) override { return comm_.Write(buffer, count); }

 private:
  TComm& comm_;
};
