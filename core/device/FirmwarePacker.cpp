#include "device/FirmwarePacker.h"

#include <algorithm>
#include <optional>

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

void PutText(std::vector<std::uint8_t>& header, std::size_t offset, std::size_t size, const std::string& text,
             const char* what) {
  if (text.size() >= size) {
    throw Exception(std::string("the ") + what + " text \"" + text + "\" is longer than " +
                    std::to_string(size - 1) + " characters");
  }
  // The version text ends up in a sentence sent to the unit, and both texts
  // on the screen: no control characters.
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) throw Exception(std::string("the ") + what + " text holds a control character");
  }
  std::copy(text.begin(), text.end(), header.begin() + offset);
}

}  // namespace

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
  std::vector<std::uint8_t> header(FirmwareHeaderSize, 0);
  PutText(header, FirmwareVersionOffset, FirmwareVersionSize, version, "version");
  PutText(header, FirmwareDateOffset, FirmwareDateSize, date, "date");
  for (int i = 0; i < 4; ++i) header[FirmwareChecksumOffset + i] = static_cast<std::uint8_t>(checksum >> (8 * i));
  return header;
}

std::vector<std::uint8_t> PackFirmwareFile(const std::vector<IntelHexRecord>& records,
                                           const std::string& version, const std::string& date) {
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
    if (record.Data.size() <= MaxPackedRecordData) {
      put(ihData, record.Address, record.Data);
      continue;
    }
    for (std::size_t at = 0; at < record.Data.size(); at += PackedRecordData) {
      // The loader places a record's bytes one after another from its
      // address, across a 64 KiB boundary too; a piece may only start past it
      // under its own upper address word.
      const std::uint32_t address = record.Address + static_cast<std::uint32_t>(at);
      if (hexUpper) setUpper(static_cast<std::uint16_t>(*hexUpper + (address >> 16)));
      const std::size_t n = std::min(PackedRecordData, record.Data.size() - at);
      put(ihData, static_cast<std::uint16_t>(address), std::span(record.Data).subspan(at, n));
    }
  }

  std::vector<std::uint8_t> file = MakeFirmwareHeader(version, date, checksum.Value);
  file.insert(file.end(), body.begin(), body.end());

  // What the unit would be given is checked with the loader itself.
  const FirmwareFile loaded = ParseFirmwareImage(file);
  if (!loaded.FitToFlash()) throw Exception("the packed file would not be fit to flash: " + loaded.Reason);
  return file;
}
