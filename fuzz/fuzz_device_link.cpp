// Feeds arbitrary bytes, in arbitrary pieces, to the device link's receive
// path: the line assembler and the boot-loader packet receiver together.
// Neither may crash or grow without bound; a packet is only ever taken for
// an answer when its checksum is right; no logged line is over-long.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "device/BootPacket.h"
#include "device/DeviceLink.h"

namespace {
class ChunkPort : public UnitPort {
 public:
  std::string Incoming;
  void Open() override {}
  void Close() override {}
  bool Connected() const override { return true; }
  void SetDeviceName(const std::string&) override {}
  std::string DeviceName() const override { return "\\\\.\\COM1"; }
  void SetBaudRate(int) override {}
  int BaudRate() const override { return 9; }
  void SetRTS(bool) override {}
  void SetDTR(bool) override {}
  int32_t Read(void* buffer, int32_t count) override {
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), Incoming.size());
    std::memcpy(buffer, Incoming.data(), n);
    Incoming.erase(0, n);
    return static_cast<int32_t>(n);
  }
  int32_t Write(const void*, int32_t count) override { return count; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  ChunkPort port;
  DeviceLink link(port);
  TBootReceiver receiver;
  bool escaped = false;
  link.FeedBootByte = [&](uint8_t b) {
    const bool wasEscaped = escaped;
    receiver.FeedBootByte(b);
    escaped = !wasEscaped && b == PacketEscape;
    if (receiver.Count > TBootReceiver::ReplySize) std::abort();
    if (!wasEscaped && b == PacketEnd && receiver.ReplyReceived) {
      unsigned stored = 0;
      for (std::size_t i = 0; i < receiver.Count; ++i) stored += receiver.BootReply[i];
      if (stored % 256 != 0) std::abort();  // an answer taken with a wrong checksum
      receiver.ReplyReceived = false;
    }
  };
  link.EvaluateReplyLine = [](std::string_view line) {
    if (line.size() > DeviceLink::MaxLineLength + 2) std::abort();
  };
  while (in.remaining_bytes() > 0) {
    port.Incoming += in.ConsumeRandomLengthString(2048);
    const auto count = in.ConsumeIntegralInRange<uint32_t>(0, 70000);
    link.DeviceDataReceived(count);
    if (link.ReplyLine.size() > DeviceLink::MaxLineLength + 1) std::abort();
  }
  for (const std::string& line : link.MemoRecord.Lines())
    if (line.size() > DeviceLink::MaxLineLength) std::abort();
  return 0;
}
