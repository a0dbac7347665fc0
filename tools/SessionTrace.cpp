#include "SessionTrace.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "common/Printable.h"

namespace {
std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  char byte[4];
  for (uint8_t b : bytes) {
    std::snprintf(byte, sizeof byte, text.empty() ? "%02X" : " %02X", b);
    text += byte;
  }
  return text;
}

std::string Address(std::span<const uint8_t> p) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X%02X%02X%02X", p[7], p[6], p[5], p[4]);
  return text;
}
}  // namespace

std::string PacketSummary(std::span<const uint8_t> p) {
  if (p.empty()) return "empty";
  const size_t words = p.size() >= 4 ? size_t(p[2] | p[3] << 8) : 0;
  switch (p[0]) {
    case bcRun:
      return "run";
    case bcErase:
      return "erase";
    case bcLength:
      if (p.size() >= 8) return "length " + std::to_string(p[4] | p[5] << 8 | p[6] << 16);
      break;
    case bcRead:
    case bcWrite:
    case bcBlankBlock:
      if (p.size() >= 8) {
        const char* name = p[0] == bcRead ? "read " : p[0] == bcWrite ? "write " : "blank block ";
        // A request's length is its word count; a read answer's and a
        // write's, the bytes it carries.
        const size_t bytes = p.size() > 8 ? p.size() - 8 : 4 * words;
        return name + Address(p) + ", " + std::to_string(bytes) + " bytes";
      }
      break;
  }
  char text[48];
  std::snprintf(text, sizeof text, "command 0x%02X, %zu bytes", p[0], p.size());
  return text;
}

SessionTrace::SessionTrace(const std::string& path, const std::string& heading)
    : file_(std::fopen(path.c_str(), "a")), buffer_(1 << 16) {
  if (!file_) throw std::runtime_error("cannot write " + Printable(path) + ": " + std::strerror(errno));
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  const std::time_t now = std::time(nullptr);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S %z", std::localtime(&now));
  Line(heading + ", started " + date);
  // A file that takes nothing (a full disk) is found before anything is sent.
  if (const std::string problem = Flush(); !problem.empty()) {
    std::fclose(file_);
    throw std::runtime_error("cannot write " + Printable(path) + ": " + problem);
  }
}

SessionTrace::~SessionTrace() { std::fclose(file_); }

std::string SessionTrace::Flush() {
  if (std::fflush(file_) != 0 && problem_.empty()) problem_ = std::strerror(errno);
  return problem_;
}

void SessionTrace::Line(const std::string& text) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  char stamp[16];
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&seconds));
  if (std::fprintf(file_, "%s.%03d %s\n", stamp,
                   int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000), text.c_str()) < 0 &&
      problem_.empty())
    problem_ = std::strerror(errno);
}

void SessionTrace::Port(const std::string& text) {
  if (text == port_) return;
  port_ = text;
  Line("port " + Printable(text));
}

void SessionTrace::Note(const std::string& text) {
  Line(Printable(text));
  Flush();
}

void SessionTrace::Message(const std::string& caption, const std::string& text) {
  Line("message (" + Printable(caption) + "): " + Printable(text));
  // During the boot loader's part every message is a failure.
  if (packets_ && !lastIn_.empty()) Line("last packet in: " + Hex(lastIn_));
  Flush();
}

void SessionTrace::Traffic(bool written, std::span<const uint8_t> bytes) {
  // What we send says what comes back: packets after a packet, lines after
  // a sentence.
  if (written && !bytes.empty()) packets_ = bytes[0] == PacketStart;
  Direction& d = written ? out_ : in_;
  for (uint8_t b : bytes) packets_ ? Packet(written, d, b) : Text(written, d, b);
}

void SessionTrace::Packet(bool written, Direction& d, uint8_t byte) {
  const bool wasIn = d.Receiver.InPacket;
  d.Receiver.FeedBootByte(byte);
  if (!wasIn && !d.Receiver.InPacket) return;  // noise between packets
  d.Raw.push_back(byte);
  if (d.Receiver.InPacket) return;
  // The end byte. A good packet's payload stays in the receiver, its
  // checksum last; a damaged one is shown as it came.
  const std::string direction = written ? "packet out: " : "packet in: ";
  if (d.Receiver.ReplyReceived) {
    const size_t size = std::min(d.Receiver.Count, d.Receiver.BootReply.size());
    Line(direction + PacketSummary({d.Receiver.BootReply.data(), size > 0 ? size - 1 : 0}) + ", checksum ok");
  } else {
    Line(direction + "checksum bad: " + Hex(d.Raw));
  }
  if (!written) lastIn_ = d.Raw;
  d.Raw.clear();
  d.Receiver.ReplyReceived = false;
}

void SessionTrace::Text(bool written, Direction& d, uint8_t byte) {
  if (byte == '\r') return;
  if (byte != '\n') {
    d.Text += static_cast<char>(byte);
    return;
  }
  Line(std::string(written ? "sentence out: " : "line in: ") + Printable(d.Text));
  d.Text.clear();
}
