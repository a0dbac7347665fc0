#pragma once
// Making a firmware file from ordinary Intel HEX: every record is scrambled
// pair by pair and ended by "v", and the header carries the version text,
// the date text and the checksum over the scrambled records.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/IntelHex.h"

// The longest record the loader reads has 43 data bytes: its digits, checksum
// byte included, must stay within 97. Longer data records are split into
// pieces of PackedRecordData bytes.
constexpr std::size_t MaxPackedRecordData = 43;
constexpr std::size_t PackedRecordData = 32;

// One record's bytes (count, address, type, data, checksum) as the file
// holds them: scrambled lower-case hexadecimal pairs followed by "v".
std::string ScrambleRecord(std::span<const std::uint8_t> plain);

// The 128-byte header: version at 12, date at 44, checksum at 68, zeros
// elsewhere. Throws Exception for a text longer than its field allows.
std::vector<std::uint8_t> MakeFirmwareHeader(const std::string& version, const std::string& date,
                                             std::uint32_t checksum);

// Builds the whole file, records in the order given. Throws Exception with a
// clear text for a version or date too long for the header, an extended
// segment address record (the unit knows only linear addresses), a record
// too long to pack, or a result that would not be fit to flash.
std::vector<std::uint8_t> PackFirmwareFile(const std::vector<IntelHexRecord>& records,
                                           const std::string& version, const std::string& date);
