#pragma once
// The wizard's side of the conversation with the unit. The send path composes
// the maker's sentences and writes them; the receive path offers every byte
// to the boot-loader packet receiver and to a line assembler, logs each
// complete text line, shows it to the connection check and picks the unit's
// identity values out of it.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "device/DeviceInfo.h"
#include "device/LineLog.h"
#include "device/UnitPort.h"

class DeviceLink {
 public:
  static constexpr size_t MaxLineLength = 82;  // a line of 83 characters or more is dropped

  // The engineering page's lists of the unit's port rates.
  static constexpr std::array<const char*, 6> Rs232Rates = {"115200", "57600", "38400", "19200", "9600", "4800"};
  static constexpr std::array<const char*, 2> NmeaRates = {"38400", "4800"};

  explicit DeviceLink(UnitPort& port);

  std::string ReplyLine;  // the line being assembled
  TDeviceInfo DeviceInfo;
  LineLog MemoRecord;
  std::string OriginalVersion;  // LabelOriginalVersion and LabelOriginalVersion2
  int BaudRs232Index = 0;       // selected entries of cbxBaud_RS232 and cbxBaud_NMEA
  int BaudNmeaIndex = 0;

  // Composes the sentence from the codec's data store (which the caller fills
  // first) and writes it. True when written, or when the write failed and
  // WriteFailed says so.
  bool SendSentence(std::string_view talker, std::string_view sentenceId);
  // True only when the port is open and took every byte.
  bool WriteBytes(const void* bytes, int32_t count);
  // The TST sentence with only the request code present: 16 asks for the
  // static data, 8 for the boot loader.
  bool SendTestRequest(uint16_t requestCode);

  // The port's OnRxChar handler, on the window thread.
  void DeviceDataReceived(uint32_t count);
  void ParseDeviceInfoLine(const std::string& line);

  // Every received byte, before the line assembler sees it.
  std::function<void(uint8_t)> FeedBootByte;
  // Every accepted line, CR LF appended, before ParseDeviceInfoLine.
  std::function<void(std::string_view)> EvaluateReplyLine;
  // A sentence that could not be written: what SendSentence answers. Without
  // it the failure is reported as false.
  std::function<bool()> WriteFailed;
  // Every write the port took and every read, as the bytes went over the
  // line: for a trace of the session.
  std::function<void(bool written, std::span<const uint8_t> bytes)> OnTraffic;
  // The log, the version labels or the rate lists changed.
  std::function<void()> OnChanged;

 private:
  void LineComplete();

  UnitPort& port_;
};
