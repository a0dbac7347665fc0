#pragma once
// What kq30 upgrade records of each unit: its row in the closing table, its
// line in the --report file, and the --json events a dashboard follows.
#include <chrono>
#include <cstdio>
#include <string>

// A unit's line in the closing table and in the report. Its texts are
// printable (see Printable), as the table shows them.
struct UnitRow {
  std::string Port, SerialCode, Model, VersionBefore, VersionAfter, Outcome;
  std::chrono::seconds Took{};
  bool Upgraded = false;
  // The USB adapter behind the port ("0403:6001" and its serial number; ""
  // where the system does not say) and the message a failure ended with.
  std::string Adapter, AdapterSerial, Message;
};

// What every row of one run shares: the tool, the firmware file and the
// machine, printable.
struct RunRecord {
  std::string ToolVersion, FirmwareFile, FirmwareSha256, Host;
};
RunRecord RecordOfRun(const std::string& firmwarePath);

// The report's header, ending in its line end.
const std::string& ReportHeader();
// The report's line of a unit done at time stamp (local time), ending in
// its line end: fields as RFC 4180 quotes them, never a formula.
std::string ReportLine(const UnitRow& row, const RunRecord& run, const std::string& stamp);

// The --json events of a unit, one JSON object each, at time (UTC, as
// "2026-01-02T03:04:05Z"): it answered (with its identity), or it ended
// (done, or failed with the message).
std::string ConnectedEvent(const UnitRow& row, const std::string& time);
std::string ConcludedEvent(const UnitRow& row, const std::string& time);

// kq30 upgrade --json: JSON Lines on out, one object per event, each line
// flushed as it happens, for a dashboard that follows the run.
class UpgradeEvents {
 public:
  // A dashboard that goes away must not end the upgrades under way: from
  // now on a write to a closed pipe fails instead of ending the program.
  explicit UpgradeEvents(std::FILE* out);
  void Connected(const UnitRow& row) { Emit(ConnectedEvent(row, Now())); }
  // A pass ("write", "verify") of blocks blocks begins.
  void PassBegun(const std::string& port, const std::string& pass, int blocks);
  // Blocks done of both passes together.
  void Progress(const std::string& port, int done, int total);
  void Concluded(const UnitRow& row) { Emit(ConcludedEvent(row, Now())); }
  // The station waits for the next unit on port.
  void Waiting(const std::string& port);
  // Why an event was lost (the first time), or "" while none was.
  const std::string& Problem() const { return problem_; }

 private:
  static std::string Now();
  void Emit(const std::string& line);
  std::FILE* out_;
  std::string problem_;
};
