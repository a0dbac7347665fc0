#include "device/FirmwarePacker.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "common/Exception.h"
#include "device/FirmwareCoding.h"
#include "device/FirmwareImage.h"

namespace {

constexpr char HexDigits[] = "0123456789abcdef";

std::vector<std::uint8_t> RecordBytes(std::uint8_t type, std::uint16_t address,
                                      std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(data.size() + 5);
  bytes.push_back(static_cast<std::uint8_t>(data.size()));
  bytes.push_back(static_cast<std::uint8_t>(address >> 8));
  bytes.push_back(static_cast<std::uint8_t>(address & 0xFF));
  bytes.push_back(type);
  for (std::uint8_t b : data) bytes.push_back(b);
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
  bytes.push_back(static_cast<std::uint8_t>(-sum));
  return bytes;
}

bool ControlCharacter(unsigned char c) { return c < 0x20 || c == 0x7F; }

void PutText(std::vector<std::uint8_t>& header, std::size_t offset, std::size_t size, const std::string& text,
             const char* what) {
  // Both texts are shown on the screen: no control characters, and none
  // in the message below either.
  for (unsigned char c : text) {
    if (ControlCharacter(c)) throw Exception(std::string("the ") + what + " text holds a control character");
  }
  if (text.size() >= size) {
    throw Exception(std::string("the ") + what + " text \"" + text + "\" is longer than " +
                    std::to_string(size - 1) + " characters");
  }
  std::copy(text.begin(), text.end(), header.begin() + offset);
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

// Collects single addresses into ranges.
class RangeCollector {
 public:
  void Add(std::uint32_t address) {
    if (!ranges_.empty() && ranges_.back().Last != 0xFFFFFFFF && ranges_.back().Last + 1 == address) {
      ranges_.back().Last = address;
    } else {
      ranges_.push_back({address, address});
    }
  }
  bool Empty() const { return ranges_.empty(); }
  // Sorted, with overlapping and touching ranges merged.
  std::vector<HexAddressRange> Merged() const {
    std::vector<HexAddressRange> sorted = ranges_;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.First < b.First; });
    std::vector<HexAddressRange> merged;
    for (const HexAddressRange& r : sorted) {
      if (!merged.empty() && (merged.back().Last == 0xFFFFFFFF || r.First <= merged.back().Last + 1)) {
        merged.back().Last = std::max(merged.back().Last, r.Last);
      } else {
        merged.push_back(r);
      }
    }
    return merged;
  }

 private:
  std::vector<HexAddressRange> ranges_;
};

}  // namespace

std::string VersionTextProblem(const std::string& version) {
  for (unsigned char c : version) {
    if (ControlCharacter(c)) return "holds a control character";
    if (c >= 0x80) return "holds a character outside ASCII";
    if (std::string_view("$!*,\\^~").find(static_cast<char>(c)) != std::string_view::npos) {
      return std::string("holds '") + static_cast<char>(c) +
             "', which the version sentence sent to the unit at the end of an upgrade cannot carry";
    }
  }
  return "";
}

bool IsProgramFlashAddress(std::uint32_t address) {
  const std::uint32_t segment = address >> 24;
  return segment == 0x1D || segment == 0x9D || segment == 0xBD;
}

std::string DescribeRanges(const std::vector<HexAddressRange>& ranges, std::size_t shown) {
  std::string text;
  for (std::size_t i = 0; i < ranges.size() && i < shown; ++i) {
    if (i > 0) text += ", ";
    text += Hex32(ranges[i].First) + "-" + Hex32(ranges[i].Last);
  }
  if (ranges.size() > shown) text += " and " + std::to_string(ranges.size() - shown) + " more";
  return text;
}

std::string ScrambleRecord(std::span<const std::uint8_t> plain) {
  std::string text;
  text.reserve(plain.size() * 2 + 1);
  for (std::size_t k = 0; k < plain.size(); ++k) {
    const std::uint8_t b = ScrambleByte(plain[k], k);
    text += HexDigits[b >> 4];
    text += HexDigits[b & 0x0F];
  }
  text += 'v';
  return text;
}

std::vector<std::uint8_t> MakeFirmwareHeader(const std::string& version, const std::string& date,
                                             std::uint32_t checksum) {
  if (const std::string problem = VersionTextProblem(version); !problem.empty()) {
    throw Exception("the version text " + problem);
  }
  std::vector<std::uint8_t> header(FirmwareHeaderSize, 0);
  PutText(header, FirmwareVersionOffset, FirmwareVersionSize, version, "version");
  PutText(header, FirmwareDateOffset, FirmwareDateSize, date, "date");
  for (int i = 0; i < 4; ++i) header[FirmwareChecksumOffset + i] = static_cast<std::uint8_t>(checksum >> (8 * i));
  return header;
}

std::vector<std::uint8_t> PackFirmwareFile(const std::vector<IntelHexRecord>& records,
                                           const std::string& version, const std::string& date,
                                           std::vector<HexAddressRange>* skipped) {
  // Checked before any work so that a bad text is the error the user sees.
  MakeFirmwareHeader(version, date, 0);

  std::string body;
  FirmwareChecksum checksum;
  const auto put = [&](std::uint8_t type, std::uint16_t address, std::span<const std::uint8_t> data) {
    const auto bytes = RecordBytes(type, address, data);
    std::uint32_t sum = 0;
    for (std::size_t k = 0; k < bytes.size(); ++k) sum += ScrambleByte(bytes[k], k);
    checksum.AddRecord(sum);
    body += ScrambleRecord(bytes);
  };

  // The upper address word as the HEX file has it, and as the loader will
  // have it: a split record's piece that starts past 0xFFFF needs an
  // extended address record of its own, and the file's own word is put back
  // before the next record.
  std::optional<std::uint16_t> hexUpper, loaderUpper;
  const auto setUpper = [&](std::uint16_t upper) {
    if (loaderUpper == upper) return;
    const std::uint8_t word[2] = {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)};
    put(ihExtendedLinearAddress, 0, word);
    loaderUpper = upper;
  };

  // The loader stores a data record whole when its upper address word lies
  // in the window, across a 64 KiB boundary too, and skips it whole
  // otherwise. What it skips is kept by the HEX file's own address (upper
  // word 0 before any extended address record), wrapping at 32 bits.
  RangeCollector programLost, otherLost;
  const auto putData = [&](std::uint32_t hexAddress, std::span<const std::uint8_t> data) {
    put(ihData, static_cast<std::uint16_t>(hexAddress), data);
    if (loaderUpper && *loaderUpper >= FlashUpperFirst && *loaderUpper <= FlashUpperLast) return;
    for (std::size_t i = 0; i < data.size(); ++i) {
      const auto address = static_cast<std::uint32_t>(hexAddress + i);
      (IsProgramFlashAddress(address) ? programLost : otherLost).Add(address);
    }
  };

  for (const IntelHexRecord& record : records) {
    const std::string where = "HEX line " + std::to_string(record.Line) + ": ";
    switch (record.Type) {
      case ihExtendedSegmentAddress:
        throw Exception(where + "extended segment address records are not supported; the unit's loader knows "
                                "only extended linear addresses");
      case ihExtendedLinearAddress:
        if (record.Data.size() != 2) throw Exception(where + "an extended address record must hold 2 bytes");
        hexUpper = static_cast<std::uint16_t>(record.Data.at(0) << 8 | record.Data.at(1));
        setUpper(*hexUpper);
        continue;
      case ihData:
        break;
      default:
        if (record.Data.size() > MaxPackedRecordData) throw Exception(where + "record too long to pack");
        put(record.Type, record.Address, record.Data);
        continue;
    }
    if (hexUpper) setUpper(*hexUpper);
    const std::uint32_t base = static_cast<std::uint32_t>(hexUpper.value_or(0)) << 16;
    if (record.Data.size() <= MaxPackedRecordData) {
      putData(base + record.Address, record.Data);
      continue;
    }
    for (std::size_t at = 0; at < record.Data.size(); at += PackedRecordData) {
      // The loader places a record's bytes one after another from its
      // address, across a 64 KiB boundary too; a piece may only start past it
      // under its own upper address word.
      const std::uint32_t address = record.Address + static_cast<std::uint32_t>(at);
      if (hexUpper) setUpper(static_cast<std::uint16_t>(*hexUpper + (address >> 16)));
      const std::size_t n = std::min(PackedRecordData, record.Data.size() - at);
      putData(base + address, std::span(record.Data).subspan(at, n));
    }
  }

  if (!programLost.Empty()) {
    throw Exception("program data at " + DescribeRanges(programLost.Merged()) +
                    " would not reach the unit: the firmware file carries program flash only from " +
                    Hex32(FlashBase) + " to " + Hex32(FlashUpperLast * 65536u + 0xFFFF));
  }
  if (skipped) *skipped = otherLost.Merged();

  std::vector<std::uint8_t> file = MakeFirmwareHeader(version, date, checksum.Value);
  file.insert(file.end(), body.begin(), body.end());

  // What the unit would be given is checked with the loader itself.
  const FirmwareFile loaded = ParseFirmwareImage(file);
  if (!loaded.FitToFlash()) throw Exception("the packed file would not be fit to flash: " + loaded.Reason);
  return file;
}
