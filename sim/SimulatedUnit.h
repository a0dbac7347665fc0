#pragma once
// A KQ-30 seen from its side of the wire, on a pseudo-terminal linked into the
// port folder as a COM number.
//
// Its application answers the static-data request with its identity lines,
// but only when the PC side's line speed matches its own, as on a real line
// where a wrong rate is only noise. The boot-loader request $PTST,,,,,00008
// restarts it into its boot loader, which speaks binary packets at 38400 baud
// only and keeps a flash memory of its own; the run command brings the
// application back, and a $PTPS,002,<version> notice it then hears becomes
// the version it reports. The port-rate sentence $PDBG,040,i,042,j,,,, sets
// the rates of its RS-232 and NMEA ports (positions in the lists 115200,
// 57600, 38400, 19200, 9600, 4800 and 38400, 4800); it talks on its NMEA
// port, so from the next byte on it hears and answers only at that rate.
//
// The boot loader answers each request with one packet: a read with its
// 8-byte header followed by the flash bytes asked for, the other requests
// with their own header echoed. The run command is not answered (the unit
// has jumped to its application). It stays silent, as a real unit would, on
// a packet with a bad checksum, an address outside its flash (or a top byte
// other than 0x9D), a request of the wrong length and a command it does not
// know; a write stores every data byte sent, also beyond its word count, and
// a blank-block request erases the whole 512-byte row holding the address.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/UnitPackets.h"

struct SimOptions {
  unsigned Baud = 38400;              // the unit's NMEA port speed; $PDBG,040,i,042,j changes it
  std::string VersionText = "1.05";   // Software Version Code = (...)
  std::string FwVersion = "KQ30-AIS-1.05";
  std::string ModelId = "KQ-30";
  std::string SerialCode = "SIM0000001";  // Model Serial Code = (...)
  int ProductCode = 30;
  unsigned Rs232Baud = 38400;         // reported in the rate line
  unsigned NmeaBaud = 38400;
  bool Silent = false;                // its application never answers
  int AnswerAfter = 0;                // ignores this many requests first
  bool OmitEndMarker = false;         // leaves out "[END OF STATIC DATA]"
  int PortNumber = 0;                 // COM number of the link; 0: the lowest free one
  std::string PortFolder;             // "": the usual port folder
  bool StartInBootLoader = false;     // as left by an interrupted upgrade
  // Bytes move at the line's real rate both ways: 10 bits per byte at the
  // PC side's speed.
  bool Pace = false;
  // A USB-serial adapter between unit and PC, as an FTDI chip is: what the
  // unit sends is held until this long has passed since the first byte
  // held, or a packet's worth (AdapterPacket bytes) has gathered (0: none).
  std::chrono::milliseconds AdapterLatency{0};
  // Faults of the boot loader, each at one request counted from 1 over the
  // requests it received with a good checksum (0: none).
  int NoAckRequest = 0;        // carried out, but its reply is lost
  int CorruptReadRequest = 0;  // the reply to that read has its byte at payload offset 15 altered
                               // (checksum made to match); a shorter reply is left alone
  int BadChecksumRequest = 0;  // the reply to that request carries a wrong checksum
  int SilentFromRequest = 0;   // from that request on the unit hangs: it neither acts nor answers
  int UnplugAtRequest = 0;     // the cable is pulled as that request arrives: not carried out
};

class SimulatedUnit {
 public:
  static constexpr std::uint32_t FlashAddress = 0x9D000000;  // the boot loader's view of flash
  static constexpr std::size_t FlashSize = 0xFA000;            // 1,024,000 bytes
  static constexpr std::size_t RowSize = 512;
  static constexpr unsigned BootLoaderBaud = 38400;
  static constexpr std::size_t AdapterPacket = 62;  // a 64-byte USB packet less its two status bytes

  explicit SimulatedUnit(SimOptions options);
  ~SimulatedUnit();  // removes the link and closes the line
  SimulatedUnit(const SimulatedUnit&) = delete;
  SimulatedUnit& operator=(const SimulatedUnit&) = delete;

  // Opens the pseudo-terminal, links it and starts answering. Throws
  // std::runtime_error with the reason when it can't.
  void Start();
  void Stop();

  int PortNumber() const { return portNumber_; }
  std::string LinkPath() const;    // "" while unplugged
  std::string DevicePath() const;

  // The lines received so far, with the line speed they came at.
  struct Received {
    std::string Line;
    unsigned Speed;
  };
  std::vector<Received> ReceivedLines() const;
  int AnswersSent() const { return answers_; }

  // The boot loader's state, for tests.
  std::vector<std::uint8_t> Flash() const;
  bool InBootLoader() const;
  // Payloads of the boot-loader requests received with a good checksum, in order.
  std::vector<std::vector<std::uint8_t>> BootRequests() const;
  std::optional<std::uint32_t> LengthReceived() const;
  std::string SoftwareVersion() const;  // what the static-data answer reports
  unsigned Baud() const { return baud_; }  // the speed it talks at now

  // Called with every line received, every answer and every boot-loader
  // request, for a log. Set it before Start.
  std::function<void(const std::string&)> OnLog;

  // Pulls the cable: the link goes and the line hangs up.
  void Unplug();
  // Plugs it in again: a fresh pseudo-terminal under the same COM number,
  // with the unit as it was (flash, boot loader or application).
  void Replug();
  // Another unit behind the same cable, which stays plugged in (its
  // adapter at the PC's end, so the port never goes): the line stays up and
  // what answers on it from now on is a fresh unit with other's settings,
  // its flash blank. The COM number and the port folder stay.
  void Swap(SimOptions other);

 private:
  using Clock = std::chrono::steady_clock;
  struct Timed {
    std::uint8_t Byte;
    Clock::time_point Due;  // when it has fully crossed the line
    unsigned Speed;         // the PC side's speed when it was sent
  };

  void Plug();
  void Run();
  void Receive();
  Clock::time_point Release() const;
  void WriteDue(Clock::time_point now, bool& blocked);
  void HandleByte(const Timed& byte);
  void HandleLine(const std::string& line, unsigned speed, Clock::time_point at);
  void HandleRequest(const unit::Bytes& request, Clock::time_point at);
  std::optional<unit::Bytes> CarryOut(const unit::Bytes& request, std::string& note);
  void Answer(Clock::time_point at);
  void Send(const unit::Bytes& bytes, Clock::time_point from);
  Clock::duration ByteTime(unsigned speed) const;
  void HangUp();
  void Log(const std::string& text);

  SimOptions options_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the line stays up between the PC's opens
  int stopFd_ = -1;
  int portNumber_ = 0;
  std::string folder_;
  std::thread thread_;

  // Guards what the observers read.
  mutable std::mutex mutex_;
  std::string linkPath_, devicePath_;
  std::vector<Received> received_;
  std::vector<std::uint8_t> flash_;
  bool bootLoader_ = false;
  std::vector<unit::Bytes> requests_;
  std::optional<std::uint32_t> length_;
  std::string version_;
  std::atomic<int> answers_{0};
  std::atomic<unsigned> baud_{0};

  // The line, used by the unit's thread only (and by Replug while it is gone).
  int staticRequests_ = 0;
  std::string line_;
  unit::PacketReceiver receiver_{8 + FlashSize};
  std::deque<Timed> rx_, tx_;
  Clock::time_point rxFree_{}, txFree_{};
};

// True when line is "$...*hh" with the right checksum (CR LF already removed).
bool SentenceChecksumOk(const std::string& line);
