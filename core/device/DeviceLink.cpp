#include "device/DeviceLink.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "codec/Sentence.h"

namespace {
// The text between key and terminator, searched from the key on; nothing
// when either is missing.
bool TextAfter(const std::string& line, std::string_view key, std::string_view terminator, std::string& out) {
  size_t at = line.find(key);
  if (at == std::string::npos) return false;
  size_t start = at + key.size();
  size_t end = line.find(terminator, start);
  if (end == std::string::npos) return false;
  out = line.substr(start, end - start);
  return true;
}

// The decimal number after key, read as the C library reads one (leading
// digits, 0 when there are none), or nothing without the key.
bool NumberAfter(const std::string& line, std::string_view key, long& out) {
  size_t at = line.find(key);
  if (at == std::string::npos) return false;
  errno = 0;
  out = std::strtol(line.c_str() + at + key.size(), nullptr, 10);
  return true;
}

std::string Cut(std::string text, size_t width) {
  if (text.size() > width) text.resize(width);
  return text;
}

template <size_t N>
int SelectRate(const std::array<const char*, N>& entries, const std::string& rate) {
  for (size_t i = 0; i < N; ++i)
    if (rate == entries[i]) return static_cast<int>(i);
  return 0;
}
}  // namespace

const char* CertificationText(uint8_t certification) {
  switch (certification) {
    case 0: return "Level A";
    case 1: return "Level B";
    default: return "Unknown";
  }
}

DeviceLink::DeviceLink(UnitPort& port) : port_(port) {}

bool DeviceLink::WriteBytes(const void* bytes, int32_t count) {
  // A sentence or packet cut short (the write time-out ended it) is no
  // message the unit can take: a failed write.
  const int32_t n = port_.Connected() ? port_.Write(bytes, count) : -1;
  if (n > 0 && OnTraffic) OnTraffic(true, {static_cast<const uint8_t*>(bytes), size_t(n)});
  return n == count;
}

bool DeviceLink::SendSentence(std::string_view talker, std::string_view sentenceId) {
  std::string line;
  if (!ComposeSentence(line, ProcessSentenceRecord(), sentenceId, talker)) return false;
  if (WriteBytes(line.data(), static_cast<int32_t>(line.size()))) return true;
  return WriteFailed ? WriteFailed() : false;
}

bool DeviceLink::SendTestRequest(uint16_t requestCode) {
  ProcessSentenceDataStore().TST = {.FiveDigitNumber = 99999, .TwoDigitNumber = 99, .LowerLetter = 0x40,
                                    .UpperLetter = 0x40, .RequestCode = requestCode};
  return SendSentence("P", "TST");
}

void DeviceLink::DeviceDataReceived(uint32_t count) {
  // The driver's input queue holds a few kilobytes; what is left over wakes
  // the port again.
  std::vector<uint8_t> buffer(std::min<uint32_t>(count, 65536));
  if (buffer.empty()) return;
  int32_t n = port_.Read(buffer.data(), static_cast<int32_t>(buffer.size()));
  if (n < 1) return;
  if (OnTraffic) OnTraffic(false, {buffer.data(), size_t(n)});
  for (int32_t i = 0; i < n; ++i) {
    uint8_t b = buffer[i];
    if (FeedBootByte) FeedBootByte(b);
    if (b == 0x00 || b == '\r') continue;
    if (b == '\n') {
      LineComplete();
      continue;
    }
    // A line that grew past the limit is dropped at its end anyway; its
    // further bytes (boot-loader packets, noise) need not be kept.
    if (ReplyLine.size() <= MaxLineLength) ReplyLine += static_cast<char>(b);
  }
}

void DeviceLink::LineComplete() {
  if (ReplyLine.size() <= MaxLineLength) {
    MemoRecord.Add(ReplyLine);
    std::string line = ReplyLine + "\r\n";
    if (EvaluateReplyLine) EvaluateReplyLine(line);
    ParseDeviceInfoLine(line);
    if (OnChanged) OnChanged();
  }
  ReplyLine.clear();
}

void DeviceLink::ParseDeviceInfoLine(const std::string& line) {
  TDeviceInfo& info = DeviceInfo;
  std::string text;
  long number = 0;
  // The unit's rate report: "RS232=(38400) NMEA=(4800)".
  if (line.find("RS232=(") != std::string::npos) {
    std::string rs232, nmea;
    TextAfter(line, "RS232=(", ")", rs232);
    TextAfter(line, "NMEA=(", ")", nmea);
    BaudRs232Index = SelectRate(Rs232Rates, rs232);
    BaudNmeaIndex = SelectRate(NmeaRates, nmea);
  }
  if (TextAfter(line, "[FwVersion]=", "\r\n", text)) info.FirmwareVersion = Cut(text, 90);
  if (line.find("Database Version") != std::string::npos && NumberAfter(line, "Database Version = (", number))
    info.DatabaseVersion = static_cast<int16_t>(number);
  if (line.find("Product Code =") != std::string::npos && NumberAfter(line, "Product Code = (", number))
    info.ProductCode = static_cast<int16_t>(number);
  if (line.find("Model ID =") != std::string::npos && TextAfter(line, "Model ID = (", ")\r\n", text))
    info.ModelId = Cut(text, 31);
  if (line.find("Model Version =") != std::string::npos && TextAfter(line, "Model Version = (", ")\r\n", text))
    info.ModelVersion = Cut(text, 31);
  if (line.find("Model Serial Code =") != std::string::npos &&
      TextAfter(line, "Model Serial Code = (", ")\r\n", text))
    info.ModelSerialCode = Cut(text, 31);
  if (line.find("Software Version Code =") != std::string::npos) {
    info.SoftwareVersionCode.clear();
    if (TextAfter(line, "Software Version Code = (", ")\r\n", text)) info.SoftwareVersionCode = Cut(text, 31);
    OriginalVersion = info.SoftwareVersionCode;
  }
  if (line.find("Certification =") != std::string::npos && NumberAfter(line, "Certification = (", number))
    info.Certification = static_cast<uint8_t>(number);
  if (line.find("Load Equivalency =") != std::string::npos && NumberAfter(line, "Load Equivalency = (", number))
    info.LoadEquivalency = static_cast<uint8_t>(number);
}
