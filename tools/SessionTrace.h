#pragma once
// A timestamped text log of one session with the unit, for support: the
// port and its settings, every sentence out and every line in, every
// boot-loader packet out and in as one line (command, address, length,
// checksum verdict) with the full bytes of any packet that failed, the
// time-outs and messages, and the outcome. It is written through a large
// buffer and flushed only at messages and at the end, so tracing never
// holds up the upgrade.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "device/BootPacket.h"

class SessionTrace {
 public:
  // Appends to the file, so that the trace of an earlier session (of a
  // failure, perhaps) is kept; throws std::runtime_error saying why it
  // can't, the heading written through.
  SessionTrace(const std::string& path, const std::string& heading);
  ~SessionTrace();
  SessionTrace(const SessionTrace&) = delete;
  SessionTrace& operator=(const SessionTrace&) = delete;

  // The port the bytes go over: logged when it differs from the last.
  void Port(const std::string& text);
  // Bytes written to the unit or read from it.
  void Traffic(bool written, std::span<const uint8_t> bytes);
  // A message box; one during the boot loader's part (a failure) also gets
  // the last packet in, in full.
  void Message(const std::string& caption, const std::string& text);
  void Note(const std::string& text);
  // Writes out what is buffered; "" when everything so far reached the
  // file, else why not.
  std::string Flush();

 private:
  struct Direction {
    TBootReceiver Receiver;
    std::vector<uint8_t> Raw;  // the packet's bytes on the wire, so far
    std::string Text;          // the line so far
  };
  void Packet(bool written, Direction& d, uint8_t byte);
  void Text(bool written, Direction& d, uint8_t byte);
  void Line(const std::string& text);

  std::FILE* file_;
  std::vector<char> buffer_;
  std::string problem_;  // why a write failed; "" while none has
  std::string port_;
  bool packets_ = false;  // the boot loader is being spoken to: the answers are packets
  Direction out_, in_;
  std::vector<uint8_t> lastIn_;  // the last packet in, on the wire
};

// A boot-loader packet's payload (its checksum left out) in a few words:
// "write 0x9D000200, 512 bytes".
std::string PacketSummary(std::span<const uint8_t> payload);
