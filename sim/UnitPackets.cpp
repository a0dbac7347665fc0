#include "sim/UnitPackets.h"

namespace unit {
namespace {
constexpr std::uint8_t Start = 0x55, End = 0x04, Escape = 0x05;
bool NeedsEscape(std::uint8_t b) { return b == Start || b == End || b == Escape; }
}  // namespace

bool PacketReceiver::Feed(std::uint8_t byte) {
  if (escape_) {
    escape_ = false;
  } else if (byte == Start) {
    inPacket_ = true;
    overflow_ = false;
    sum_ = 0;
    stored_.clear();
    return false;
  } else if (!inPacket_) {
    return false;
  } else if (byte == Escape) {
    escape_ = true;
    return false;
  } else if (byte == End) {
    inPacket_ = false;
    if (overflow_ || stored_.size() < 2 || sum_ % 256 != 0) return false;
    payload_.assign(stored_.begin(), stored_.end() - 1);
    return true;
  }
  if (stored_.size() == max_) {
    overflow_ = true;  // longer than any request: the whole packet is dropped
    return false;
  }
  stored_.push_back(byte);
  sum_ += byte;
  return false;
}

void PacketReceiver::Abandon() {
  inPacket_ = escape_ = false;
  stored_.clear();
}

Bytes FramePacket(const Bytes& payload, std::uint8_t checksumError) {
  Bytes wire(4, Start);
  unsigned sum = 0;
  auto put = [&wire](std::uint8_t b) {
    if (NeedsEscape(b)) wire.push_back(Escape);
    wire.push_back(b);
  };
  for (std::uint8_t b : payload) {
    put(b);
    sum += b;
  }
  put(static_cast<std::uint8_t>(256 - sum % 256 + checksumError));
  wire.push_back(End);
  return wire;
}

}  // namespace unit
