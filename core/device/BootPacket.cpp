#include "device/BootPacket.h"

#include <algorithm>

namespace {
bool NeedsEscape(std::uint8_t b) { return b == PacketStart || b == PacketEnd || b == PacketEscape; }

void Put(std::vector<std::uint8_t>& wire, std::uint8_t b) {
  if (NeedsEscape(b)) wire.push_back(PacketEscape);
  wire.push_back(b);
}
}  // namespace

std::vector<std::uint8_t> FrameBootPacket(std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> wire;
  wire.reserve(payload.size() * 2 + 8);
  wire.insert(wire.end(), 4, PacketStart);
  unsigned sum = 0;
  for (std::uint8_t b : payload) {
    Put(wire, b);
    sum += b;
  }
  Put(wire, static_cast<std::uint8_t>((256 - sum % 256) % 256));
  wire.push_back(PacketEnd);
  return wire;
}

void TCommandBuffer::Header(BootCommand command, std::size_t length, std::uint32_t address) {
  bytes_.fill(0);
  const auto words = static_cast<std::uint16_t>(length / 4);
  bytes_[0] = command;
  bytes_[1] = 0x00;
  bytes_[2] = static_cast<std::uint8_t>(words);
  bytes_[3] = static_cast<std::uint8_t>(words >> 8);
  bytes_[4] = static_cast<std::uint8_t>(address);
  bytes_[5] = static_cast<std::uint8_t>(address >> 8);
  bytes_[6] = static_cast<std::uint8_t>(address >> 16);
  bytes_[7] = 0x9D;
  length_ = HeaderSize;
}

std::span<const std::uint8_t> TCommandBuffer::BuildBlockRequest(BootCommand command, std::uint32_t address,
                                                               std::span<const std::uint8_t> block) {
  Header(command, block.size(), address);
  if (command != bcWrite) return Bytes();
  if (std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; })) {
    bytes_[0] = bcBlankBlock;
    return Bytes();
  }
  const std::size_t n = std::min(block.size(), Size - HeaderSize);
  std::copy_n(block.begin(), n, bytes_.begin() + HeaderSize);
  length_ = HeaderSize + n;
  return Bytes();
}

std::span<const std::uint8_t> TCommandBuffer::BuildReadRequest(std::uint32_t address, std::size_t length) {
  Header(bcRead, length, address);
  return Bytes();
}

std::span<const std::uint8_t> TCommandBuffer::BuildLengthCommand(std::int32_t programLength) {
  bytes_.fill(0);
  const auto n = static_cast<std::uint32_t>(programLength);
  bytes_[0] = bcLength;
  bytes_[1] = 0x00;
  bytes_[2] = 0x01;
  bytes_[3] = 0x01;
  bytes_[4] = static_cast<std::uint8_t>(n);
  bytes_[5] = static_cast<std::uint8_t>(n >> 8);
  bytes_[6] = static_cast<std::uint8_t>(n >> 16);
  bytes_[7] = 0x00;
  length_ = HeaderSize;
  return Bytes();
}

void TBootReceiver::Store(std::uint8_t x) {
  if (Count >= ReplySize) return;  // dropped: neither stored nor summed
  BootReply[Count++] = x;
  Sum = static_cast<std::uint16_t>(Sum + x);
}

void TBootReceiver::Clear() {
  BootReply.fill(0);
  Count = 0;
  Sum = 0;
}

void TBootReceiver::FeedBootByte(std::uint8_t x) {
  if (EscapePending) {
    Store(x);
    EscapePending = false;
  } else if (x == PacketEnd) {
    // A stray end byte (after a packet, or among other bytes) is no packet:
    // it would pass for an acknowledgement the unit never sent.
    if (!InPacket) return;
    InPacket = false;
    if (Sum % 256 == 0) {
      // The payload stays as it is until the next start byte.
      ReplyReceived = true;
    } else {
      // A damaged packet is discarded; the count stays, as the stored bytes
      // are zeros now and a start byte will reset it.
      Sum = 0;
      BootReply.fill(0);
    }
  } else if (x == PacketEscape) {
    EscapePending = true;
  } else if (x == PacketStart) {
    Clear();
    InPacket = true;
  } else {
    Store(x);
  }
}
