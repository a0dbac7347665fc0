#pragma once
// A KQ-30 seen from its side of the wire, on a pseudo-terminal linked into the
// port folder as a COM number. Its application answers the static-data
// request with its identity lines, but only when the PC side's line speed
// matches its own, as on a real line where a wrong rate is only noise.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SimOptions {
  unsigned Baud = 38400;              // the unit's NMEA port speed
  std::string VersionText = "1.05";   // Software Version Code = (...)
  std::string FwVersion = "KQ30-AIS-1.05";
  std::string ModelId = "KQ-30";
  int ProductCode = 30;
  unsigned Rs232Baud = 38400;         // reported in the rate line
  unsigned NmeaBaud = 38400;
  bool Silent = false;                // never answers
  int AnswerAfter = 0;                // ignores this many requests first
  bool OmitEndMarker = false;         // leaves out "[END OF STATIC DATA]"
  int PortNumber = 0;                 // COM number of the link; 0: the lowest free one
  std::string PortFolder;             // "": the usual port folder
};

class SimulatedUnit {
 public:
  explicit SimulatedUnit(SimOptions options);
  ~SimulatedUnit();  // removes the link and closes the line
  SimulatedUnit(const SimulatedUnit&) = delete;
  SimulatedUnit& operator=(const SimulatedUnit&) = delete;

  // Opens the pseudo-terminal, links it and starts answering. Throws
  // std::runtime_error with the reason when it can't.
  void Start();
  void Stop();

  int PortNumber() const { return portNumber_; }
  const std::string& LinkPath() const { return linkPath_; }
  const std::string& DevicePath() const { return devicePath_; }

  // The lines received so far, with the line speed they came at.
  struct Received {
    std::string Line;
    unsigned Speed;
  };
  std::vector<Received> ReceivedLines() const;
  int AnswersSent() const { return answers_; }

  // Called with every line received and every answer, for a log.
  std::function<void(const std::string&)> OnLog;

  // Pulls the cable: the link goes and the line hangs up.
  void Unplug();

 private:
  void Run();
  void HandleLine(const std::string& line);
  void Answer();
  void Log(const std::string& text);

  SimOptions options_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the line stays up between the PC's opens
  int stopFd_ = -1;
  int portNumber_ = 0;
  std::string linkPath_, devicePath_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<Received> received_;
  std::atomic<int> answers_{0};
  int requests_ = 0;
};

// True when line is "$...*hh" with the right checksum (CR LF already removed).
bool SentenceChecksumOk(const std::string& line);
