#include "UnitRecord.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "CsvField.h"
#include "HostName.h"
#include "Sha256.h"
#include "common/Printable.h"

#ifndef KQ30_VERSION
#define KQ30_VERSION "unknown"
#endif

namespace {
// "\"key\": value" pairs of an event's object, in order.
class JsonObject {
 public:
  JsonObject(const std::string& event, const std::string& time) {
    Text("event", event);
    Text("time", time);
  }
  JsonObject& Text(const char* key, const std::string& value) { return Raw(key, JsonQuoted(value)); }
  JsonObject& Number(const char* key, long long value) { return Raw(key, std::to_string(value)); }
  std::string Line() const { return "{" + fields_ + "}\n"; }

 private:
  JsonObject& Raw(const char* key, const std::string& value) {
    fields_ += (fields_.empty() ? "\"" : ", \"") + std::string(key) + "\": " + value;
    return *this;
  }
  std::string fields_;
};
}  // namespace

RunRecord RecordOfRun(const std::string& firmwarePath) {
  return {KQ30_VERSION, Printable(firmwarePath), FileSha256(firmwarePath), Printable(HostName())};
}

const std::string& ReportHeader() {
  static const std::string header =
      "time,port,serial_code,model,version_before,version_after,outcome,seconds,"
      "tool_version,firmware_file,firmware_sha256,adapter,adapter_serial,host,message\r\n";
  return header;
}

std::string ReportLine(const UnitRow& row, const RunRecord& run, const std::string& stamp) {
  std::string line;
  for (const std::string& field : {stamp, row.Port, row.SerialCode, row.Model, row.VersionBefore, row.VersionAfter,
                                   row.Outcome, std::to_string(row.Took.count()), run.ToolVersion, run.FirmwareFile,
                                   run.FirmwareSha256, row.Adapter, row.AdapterSerial, run.Host, row.Message})
    line += (line.empty() ? "" : ",") + CsvField(field);
  return line + "\r\n";
}

std::string ConnectedEvent(const UnitRow& row, const std::string& time) {
  return JsonObject("connected", time)
      .Text("port", row.Port)
      .Text("serial_code", row.SerialCode)
      .Text("model", row.Model)
      .Text("version", row.VersionBefore)
      .Text("adapter", row.Adapter)
      .Text("adapter_serial", row.AdapterSerial)
      .Line();
}

std::string ConcludedEvent(const UnitRow& row, const std::string& time) {
  JsonObject event(row.Upgraded ? "done" : "failed", time);
  event.Text("port", row.Port).Text("serial_code", row.SerialCode).Text("version_before", row.VersionBefore);
  if (row.Upgraded) event.Text("version_after", row.VersionAfter);
  else event.Text("message", row.Message);
  return event.Number("seconds", row.Took.count()).Line();
}

UpgradeEvents::UpgradeEvents(std::FILE* out) : out_(out) {
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

void UpgradeEvents::PassBegun(const std::string& port, const std::string& pass, int blocks) {
  Emit(JsonObject("pass", Now()).Text("port", port).Text("pass", pass).Number("blocks", blocks).Line());
}

void UpgradeEvents::Progress(const std::string& port, int done, int total) {
  Emit(JsonObject("progress", Now()).Text("port", port).Number("blocks_done", done).Number("blocks_total", total).Line());
}

void UpgradeEvents::Waiting(const std::string& port) { Emit(JsonObject("waiting", Now()).Text("port", port).Line()); }

std::string UpgradeEvents::Now() {
  const std::time_t now = std::time(nullptr);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
  return stamp;
}

void UpgradeEvents::Emit(const std::string& line) {
  // A dashboard reads each event as it happens.
  if (std::fwrite(line.data(), 1, line.size(), out_) == line.size() && std::fflush(out_) == 0) return;
  if (problem_.empty()) problem_ = std::strerror(errno);
  std::clearerr(out_);
}
