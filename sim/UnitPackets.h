#pragma once
// The boot loader's packets, as the unit frames and unframes them. A packet
// is start bytes 0x55, the payload, a checksum byte and the end byte 0x04;
// payload and checksum bytes equal to 0x04, 0x05 or 0x55 travel behind the
// escape byte 0x05. The checksum makes payload plus checksum sum to 0 modulo
// 256.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace unit {

using Bytes = std::vector<std::uint8_t>;

// Takes the line's bytes one at a time. Any 0x55 that is not escaped starts a
// packet afresh; bytes outside a packet are ignored.
class PacketReceiver {
 public:
  explicit PacketReceiver(std::size_t maxPayload) : max_(maxPayload + 1) {}
  // True when byte ended a packet with a good checksum and a payload of at
  // least one byte; Payload() then holds it.
  bool Feed(std::uint8_t byte);
  const Bytes& Payload() const { return payload_; }
  // Noise on the line: the packet in progress is lost.
  void Abandon();

 private:
  std::size_t max_;  // payload and checksum
  bool inPacket_ = false, escape_ = false, overflow_ = false;
  unsigned sum_ = 0;
  Bytes stored_, payload_;
};

// The packet on the wire. checksumError is added to the right checksum (0:
// a good packet).
Bytes FramePacket(const Bytes& payload, std::uint8_t checksumError = 0);

}  // namespace unit
