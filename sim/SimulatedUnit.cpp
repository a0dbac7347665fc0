#include "sim/SimulatedUnit.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "common/PortFolder.h"
#include "sim/LineSpeed.h"

namespace {
// Boot-loader commands (payload byte 0).
namespace command {
enum : std::uint8_t { Run = 0x00, Read = 0x01, Write = 0x02, EraseAll = 0x03, Length = 0x08, BlankRow = 0x22 };
}

// The rates of the unit's RS-232 and NMEA ports, by the positions the
// configuration sentence $PDBG,040,<rs232>,042,<nmea>,,,, gives.
constexpr unsigned Rs232Rates[] = {115200, 57600, 38400, 19200, 9600, 4800};
constexpr unsigned NmeaRates[] = {38400, 4800};

// The two positions of a configuration sentence (checksum already checked);
// nothing for any other line or a position outside its list.
std::optional<std::pair<unsigned, unsigned>> RatePositions(const std::string& line) {
  if (line.rfind("$PDBG,", 0) != 0) return std::nullopt;
  std::vector<std::string> fields;
  std::string field;
  for (size_t i = 6; i < line.size() && line[i] != '*'; ++i) {
    if (line[i] != ',') {
      field += line[i];
    } else {
      fields.push_back(field);
      field.clear();
    }
  }
  fields.push_back(field);
  auto position = [](const std::string& text, unsigned count) -> std::optional<unsigned> {
    if (text.size() != 1 || text[0] < '0' || static_cast<unsigned>(text[0] - '0') >= count) return std::nullopt;
    return static_cast<unsigned>(text[0] - '0');
  };
  if (fields.size() != 8 || fields[0] != "040" || fields[2] != "042") return std::nullopt;
  for (size_t i = 4; i < 8; ++i)
    if (!fields[i].empty()) return std::nullopt;
  auto rs232 = position(fields[1], 6), nmea = position(fields[3], 2);
  if (!rs232 || !nmea) return std::nullopt;
  return std::pair{*rs232, *nmea};
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}
}  // namespace

bool SentenceChecksumOk(const std::string& line) {
  size_t star = line.rfind('*');
  if (line.size() < 4 || (line[0] != '$' && line[0] != '!') || star == std::string::npos || star + 3 != line.size())
    return false;
  unsigned sum = 0;
  for (size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum);
  return line.compare(star + 1, 2, hex) == 0;
}

SimulatedUnit::SimulatedUnit(SimOptions options)
    : options_(std::move(options)),
      flash_(FlashSize, 0xFF),
      bootLoader_(options_.StartInBootLoader),
      version_(options_.VersionText),
      baud_(options_.Baud) {}

SimulatedUnit::~SimulatedUnit() { Stop(); }

void SimulatedUnit::Start() {
  folder_ = options_.PortFolder.empty() ? PortFolderPath() : options_.PortFolder;
  if (!EnsurePortFolder(folder_)) throw std::runtime_error("cannot create the port folder " + folder_);
  portNumber_ = options_.PortNumber;
  if (portNumber_ == 0) {
    for (int n = 1; n < 65536 && portNumber_ == 0; ++n) {
      struct stat st {};
      if (lstat((folder_ + "/com" + std::to_string(n)).c_str(), &st) != 0) portNumber_ = n;
    }
  }
  Plug();
}

void SimulatedUnit::Plug() {
  char name[256];
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
    throw std::runtime_error(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  // The unit's end is a plain byte pipe: no echo, no line editing.
  termios raw{};
  tcgetattr(slave_, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave_, TCSANOW, &raw);

  std::string link = folder_ + "/com" + std::to_string(portNumber_);
  unlink(link.c_str());  // a link left by a unit that was killed
  if (symlink(name, link.c_str()) != 0) {
    int error = errno;
    Stop();
    throw std::runtime_error("cannot link " + link + ": " + std::strerror(error));
  }
  {
    std::lock_guard lock(mutex_);
    devicePath_ = name;
    linkPath_ = link;
  }
  // A fresh line: nothing in flight.
  line_.clear();
  receiver_.Abandon();
  rx_.clear();
  tx_.clear();
  rxFree_ = txFree_ = {};
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  thread_ = std::thread([this] { Run(); });
}

void SimulatedUnit::Stop() {
  if (thread_.joinable()) {
    uint64_t one = 1;
    (void)!write(stopFd_, &one, sizeof one);
    thread_.join();
  }
  {
    std::lock_guard lock(mutex_);
    if (!linkPath_.empty()) unlink(linkPath_.c_str());
    linkPath_.clear();
  }
  for (int* fd : {&master_, &slave_, &stopFd_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

void SimulatedUnit::Unplug() { Stop(); }

void SimulatedUnit::Replug() {
  Stop();
  Plug();
}

void SimulatedUnit::Swap(SimOptions other) {
  // The unit's thread pauses while the unit changes; the line does not.
  if (thread_.joinable()) {
    uint64_t one = 1;
    (void)!write(stopFd_, &one, sizeof one);
    thread_.join();
    (void)!read(stopFd_, &one, sizeof one);
  }
  other.PortNumber = options_.PortNumber;
  other.PortFolder = options_.PortFolder;
  options_ = std::move(other);
  {
    std::lock_guard lock(mutex_);
    received_.clear();
    flash_.assign(FlashSize, 0xFF);
    bootLoader_ = options_.StartInBootLoader;
    requests_.clear();
    length_.reset();
    version_ = options_.VersionText;
  }
  answers_ = 0;
  baud_ = options_.Baud;
  staticRequests_ = 0;
  line_.clear();
  receiver_.Abandon();
  rx_.clear();
  tx_.clear();
  rxFree_ = txFree_ = {};
  if (master_ >= 0) thread_ = std::thread([this] { Run(); });
}

void SimulatedUnit::HangUp() {
  {
    std::lock_guard lock(mutex_);
    if (!linkPath_.empty()) unlink(linkPath_.c_str());
    linkPath_.clear();
  }
  for (int* fd : {&master_, &slave_}) {
    close(*fd);
    *fd = -1;
  }
}

std::string SimulatedUnit::LinkPath() const {
  std::lock_guard lock(mutex_);
  return linkPath_;
}

std::string SimulatedUnit::DevicePath() const {
  std::lock_guard lock(mutex_);
  return devicePath_;
}

std::vector<SimulatedUnit::Received> SimulatedUnit::ReceivedLines() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::uint8_t> SimulatedUnit::Flash() const {
  std::lock_guard lock(mutex_);
  return flash_;
}

bool SimulatedUnit::InBootLoader() const {
  std::lock_guard lock(mutex_);
  return bootLoader_;
}

std::vector<std::vector<std::uint8_t>> SimulatedUnit::BootRequests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::optional<std::uint32_t> SimulatedUnit::LengthReceived() const {
  std::lock_guard lock(mutex_);
  return length_;
}

std::string SimulatedUnit::SoftwareVersion() const {
  std::lock_guard lock(mutex_);
  return version_;
}

void SimulatedUnit::Log(const std::string& text) {
  if (OnLog) OnLog(text);
}

SimulatedUnit::Clock::duration SimulatedUnit::ByteTime(unsigned speed) const {
  if (!options_.Pace || speed == 0) return {};
  return std::chrono::nanoseconds(10'000'000'000LL / speed);
}

// Bytes wait in rx_ until they have crossed the line and in tx_ until their
// turn to cross it. Each byte's time follows from the one before, not from
// when the thread happened to wake, so late wake-ups never add up.
void SimulatedUnit::Run() {
  for (;;) {
    Clock::time_point now = Clock::now();
    while (!rx_.empty() && rx_.front().Due <= now) {
      Timed byte = rx_.front();
      rx_.pop_front();
      HandleByte(byte);
      if (master_ < 0) return;  // the cable was pulled
    }
    bool blocked = false;
    WriteDue(now, blocked);

    std::optional<Clock::time_point> next;
    if (!rx_.empty()) next = rx_.front().Due;
    if (!tx_.empty() && !blocked && (!next || Release() < *next)) next = Release();
    timespec wait{}, *timeout = nullptr;
    if (next) {
      auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(*next - Clock::now()).count();
      left = std::max<long long>(left, 0);
      wait.tv_sec = left / 1'000'000'000;
      wait.tv_nsec = left % 1'000'000'000;
      timeout = &wait;
    }
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0}};
    if (ppoll(fds, 2, timeout, nullptr) < 0) continue;
    if (fds[0].revents) return;
    if (fds[1].revents & POLLIN) Receive();
  }
}

void SimulatedUnit::Receive() {
  std::uint8_t buffer[4096];
  ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return;
  unsigned speed = ReadLineSpeed(slave_);
  Clock::duration byteTime = ByteTime(speed);
  Clock::time_point now = Clock::now();
  for (ssize_t i = 0; i < n; ++i) {
    rxFree_ = std::max(now, rxFree_) + byteTime;
    rx_.push_back({buffer[i], rxFree_, speed});
  }
}

// When the bytes at the front of tx_ reach the PC: as soon as they have
// crossed the line, or through an adapter once its packet is full or its
// latency timer, started by the first byte held, has run out.
SimulatedUnit::Clock::time_point SimulatedUnit::Release() const {
  const Clock::time_point first = tx_.front().Due;
  if (options_.AdapterLatency.count() == 0) return first;
  const Clock::time_point timer = first + options_.AdapterLatency;
  return tx_.size() >= AdapterPacket ? std::min(timer, tx_[AdapterPacket - 1].Due) : timer;
}

void SimulatedUnit::WriteDue(Clock::time_point now, bool& blocked) {
  if (tx_.empty() || Release() > now) return;
  // Without an adapter every byte across the line goes; with one, a packet.
  const bool adapter = options_.AdapterLatency.count() != 0;
  const Clock::time_point until = adapter ? Release() : now;
  std::uint8_t buffer[4096];
  const size_t limit = adapter ? AdapterPacket : sizeof buffer;
  size_t n = 0;
  while (n < tx_.size() && n < limit && tx_[n].Due <= until) buffer[n] = tx_[n].Byte, ++n;
  ssize_t written = write(master_, buffer, n);
  if (written > 0)
    tx_.erase(tx_.begin(), tx_.begin() + written);
  else if (written < 0 && errno == EAGAIN)
    blocked = true;  // the PC is not reading: wait until it does
  else if (written < 0 && errno != EINTR)
    tx_.clear();
}

void SimulatedUnit::Send(const unit::Bytes& bytes, Clock::time_point from) {
  Clock::duration byteTime = ByteTime(ReadLineSpeed(slave_));
  for (std::uint8_t b : bytes) {
    txFree_ = std::max(from, txFree_) + byteTime;
    tx_.push_back({b, txFree_, 0});
  }
}

void SimulatedUnit::HandleByte(const Timed& byte) {
  if (bootLoader_) {
    // At another speed the boot loader hears only noise.
    if (byte.Speed != BootLoaderBaud)
      receiver_.Abandon();
    else if (receiver_.Feed(byte.Byte))
      HandleRequest(receiver_.Payload(), byte.Due);
    return;
  }
  if (byte.Byte == '\n') {
    std::string line = std::move(line_);
    line_.clear();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    HandleLine(line, byte.Speed, byte.Due);
  } else if (line_.size() < 1024) {
    line_ += static_cast<char>(byte.Byte);
  }
}

void SimulatedUnit::HandleLine(const std::string& line, unsigned speed, Clock::time_point at) {
  {
    std::lock_guard lock(mutex_);
    received_.push_back({line, speed});
  }
  Log("received at " + std::to_string(speed) + " baud: " + line);
  // At another speed the unit hears only noise.
  if (speed != options_.Baud || !SentenceChecksumOk(line)) return;
  if (line.rfind("$PTST,,,,,00016*", 0) == 0) {
    if (options_.Silent || staticRequests_++ < options_.AnswerAfter) return;
    Answer(at);
  } else if (line.rfind("$PTST,,,,,00008*", 0) == 0) {
    {
      std::lock_guard lock(mutex_);
      bootLoader_ = true;
    }
    receiver_.Abandon();
    Log("restarted into the boot loader (38400 baud)");
  } else if (line.rfind("$PTPS,002,", 0) == 0) {
    std::string version = line.substr(10, line.size() - 3 - 10);
    {
      std::lock_guard lock(mutex_);
      version_ = version;
    }
    Log("software version is now " + version);
  } else if (auto positions = RatePositions(line)) {
    // It talks on its NMEA port, which takes the new rate from the next byte on.
    options_.Rs232Baud = Rs232Rates[positions->first];
    options_.NmeaBaud = options_.Baud = NmeaRates[positions->second];
    baud_ = options_.Baud;
    Log("port rates now RS-232 " + std::to_string(options_.Rs232Baud) + ", NMEA " + std::to_string(options_.Baud));
  }
}

void SimulatedUnit::Answer(Clock::time_point at) {
  std::string text;
  text += "Model ID = (" + options_.ModelId + ")\r\n";
  text += "Model Version = (A1)\r\n";
  text += "Model Serial Code = (" + options_.SerialCode + ")\r\n";
  text += "Product Code = (" + std::to_string(options_.ProductCode) + ")\r\n";
  text += "Database Version = (3)\r\n";
  text += "Software Version Code = (" + SoftwareVersion() + ")\r\n";
  text += "Certification = (1)\r\n";
  text += "Load Equivalency = (1)\r\n";
  text += "[FwVersion]=" + options_.FwVersion + "\r\n";
  text += "RS232=(" + std::to_string(options_.Rs232Baud) + ") NMEA=(" + std::to_string(options_.NmeaBaud) + ")\r\n";
  if (!options_.OmitEndMarker) text += "[END OF STATIC DATA]\r\n";
  Send(unit::Bytes(text.begin(), text.end()), at);
  ++answers_;
  Log("answered with the static data");
}

void SimulatedUnit::HandleRequest(const unit::Bytes& request, Clock::time_point at) {
  size_t index;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    index = requests_.size();
  }
  auto at_ = [index](int n) { return n > 0 && index == static_cast<size_t>(n); };
  std::string number = "boot-loader request " + std::to_string(index) + ": ";
  if (options_.SilentFromRequest > 0 && index >= static_cast<size_t>(options_.SilentFromRequest)) {
    Log(number + "ignored, the unit has hung");
    return;
  }
  if (at_(options_.UnplugAtRequest)) {
    Log(number + "the cable is pulled");
    HangUp();
    return;
  }
  std::string note;
  std::optional<unit::Bytes> reply = CarryOut(request, note);
  Log(number + note);
  if (!reply) return;
  if (at_(options_.NoAckRequest)) {
    Log(number + "the reply is lost");
    return;
  }
  if (at_(options_.CorruptReadRequest) && request[0] == command::Read && reply->size() > 15) {
    (*reply)[15] ^= 0xFF;
    Log(number + "the reply carries a wrong byte");
  }
  bool badChecksum = at_(options_.BadChecksumRequest);
  if (badChecksum) Log(number + "the reply carries a wrong checksum");
  Send(unit::FramePacket(*reply, badChecksum ? 1 : 0), at);
}

// Carries out one request and says what it did in note; the reply's payload,
// or nothing when the boot loader stays silent.
std::optional<unit::Bytes> SimulatedUnit::CarryOut(const unit::Bytes& p, std::string& note) {
  std::uint8_t command = p[0];
  // Read, write and blank-block share a header: command, 0, word count,
  // address bits 0-23, 0x9D.
  bool flashHeader = p.size() >= 8 && p[1] == 0 && p[7] == (FlashAddress >> 24);
  size_t words = p.size() >= 4 ? p[2] | p[3] << 8 : 0;
  size_t offset = p.size() >= 7 ? p[4] | p[5] << 8 | p[6] << 16 : 0;
  std::string address = Hex(static_cast<std::uint32_t>(FlashAddress + offset));
  unit::Bytes header(p.begin(), p.begin() + std::min<size_t>(p.size(), 8));
  note = "not understood, no answer";

  std::lock_guard lock(mutex_);
  switch (command) {
    case command::Read:
      if (!flashHeader || p.size() != 8 || offset + 4 * words > FlashSize) return std::nullopt;
      note = "read " + std::to_string(4 * words) + " bytes at " + address;
      header.insert(header.end(), flash_.begin() + offset, flash_.begin() + offset + 4 * words);
      return header;
    case command::Write:
      if (!flashHeader || offset + (p.size() - 8) > FlashSize) return std::nullopt;
      note = "write " + std::to_string(p.size() - 8) + " bytes at " + address;
      std::copy(p.begin() + 8, p.end(), flash_.begin() + offset);
      return header;
    case command::BlankRow: {
      if (!flashHeader || p.size() != 8 || offset >= FlashSize) return std::nullopt;
      size_t row = offset / RowSize * RowSize;
      note = "erase the row at " + Hex(static_cast<std::uint32_t>(FlashAddress + row));
      std::fill_n(flash_.begin() + row, RowSize, 0xFF);
      return header;
    }
    case command::EraseAll:
      if (p != unit::Bytes{command::EraseAll, 0x00, 0x01, 0x00}) return std::nullopt;
      note = "erase all flash";
      std::fill(flash_.begin(), flash_.end(), 0xFF);
      return header;
    case command::Length:
      if (p.size() != 8 || p[1] != 0 || p[2] != 1 || p[3] != 1 || p[7] != 0) return std::nullopt;
      length_ = static_cast<std::uint32_t>(offset);
      note = "program length " + std::to_string(offset);
      return header;
    case command::Run:
      if (p != unit::Bytes(6, 0x00)) return std::nullopt;
      bootLoader_ = false;
      line_.clear();
      note = "run the application (" + std::to_string(options_.Baud) + " baud)";
      return std::nullopt;  // it has jumped to the application: no reply
  }
  return std::nullopt;
}
