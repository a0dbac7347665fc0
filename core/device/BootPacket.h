#pragma once
// The boot loader's packets. Once the unit has restarted into its boot
// loader it no longer speaks sentences: each request is a framed binary
// packet, and each answer is one too.
//
// On the wire: four start bytes, the payload, a checksum that makes payload
// and checksum sum to 0 modulo 256, and an end byte; a payload or checksum
// byte that equals one of the three framing bytes is preceded by the escape.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

constexpr std::uint8_t PacketStart = 0x55;
constexpr std::uint8_t PacketEnd = 0x04;
constexpr std::uint8_t PacketEscape = 0x05;

// The boot loader's view of program flash: image offset o is address
// BootFlashBase + o.
constexpr std::uint32_t BootFlashBase = 0x9D000000;

// Request commands (payload byte 0).
enum BootCommand : std::uint8_t {
  bcRun = 0x00,
  bcRead = 0x01,
  bcWrite = 0x02,
  bcErase = 0x03,
  bcLength = 0x08,
  bcBlankBlock = 0x22,
};

// The bytes on the wire for one packet.
std::vector<std::uint8_t> FrameBootPacket(std::span<const std::uint8_t> payload);

// The buffer in which the read, write, blank-block and length payloads are
// built; cleared to zeros before each one.
class TCommandBuffer {
 public:
  static constexpr std::size_t Size = 5000;
  static constexpr std::size_t HeaderSize = 8;

  // A read, write or blank-block header: command, 0, the word count
  // (length / 4), address bits 0-23, and the address's top byte 0x9D. For a
  // write the block's bytes follow, unless every one of them is 0xFF: then
  // the command becomes blank-block and the payload is the header alone.
  std::span<const std::uint8_t> BuildBlockRequest(BootCommand command, std::uint32_t address,
                                                  std::span<const std::uint8_t> block);
  std::span<const std::uint8_t> BuildReadRequest(std::uint32_t address, std::size_t length);
  // The number of bytes written and verified, told to the boot loader before it runs them.
  std::span<const std::uint8_t> BuildLengthCommand(std::int32_t programLength);

  std::span<const std::uint8_t> Bytes() const { return {bytes_.data(), length_}; }

 private:
  void Header(BootCommand command, std::size_t length, std::uint32_t address);

  std::array<std::uint8_t, Size> bytes_{};
  std::size_t length_ = 0;
};

// The two requests that carry no block: erase all of program flash, and
// leave the boot loader for the application.
constexpr std::array<std::uint8_t, 4> EraseCommand = {bcErase, 0x00, 0x01, 0x00};
constexpr std::array<std::uint8_t, 6> RunCommand = {bcRun, 0, 0, 0, 0, 0};

// The receiving side: a small state machine fed every byte from the line.
// It recognises the boot loader's answers among whatever else arrives and
// keeps the payload of the last one.
class TBootReceiver {
 public:
  static constexpr std::size_t ReplySize = 1000;  // a full read answer needs 521

  void FeedBootByte(std::uint8_t x);

  // The payload of the packet being received (or last received), its
  // checksum included; bytes beyond ReplySize are dropped.
  std::array<std::uint8_t, ReplySize> BootReply{};
  std::size_t Count = 0;
  std::uint16_t Sum = 0;
  bool EscapePending = false;
  // A start byte came and no end byte since: only then does an end byte
  // close a packet.
  bool InPacket = false;
  // Set when a packet ends with a good checksum (an empty packet counts as
  // good); cleared by whoever sends the next request.
  bool ReplyReceived = false;

 private:
  void Store(std::uint8_t x);
  void Clear();
};
