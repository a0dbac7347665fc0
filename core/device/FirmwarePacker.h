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

// The version text ends the upgrade in the sentence "$PTPS,002,<version>*hh",
// whose text field carries this many characters; the rest is cut off.
constexpr std::size_t VersionNoticeLength = 25;

// Why the version text cannot go into that sentence (a control character, a
// character outside ASCII, or one of the sentence's delimiters $ ! * , \ ^ ~),
// or empty when it can. Its length is not judged here.
std::string VersionTextProblem(const std::string& version);

// The 128-byte header: version at 12, date at 44, checksum at 68, zeros
// elsewhere. Throws Exception for a text longer than its field allows, a
// control character in either text, or a version the sentence can't carry.
std::vector<std::uint8_t> MakeFirmwareHeader(const std::string& version, const std::string& date,
                                             std::uint32_t checksum);

// HEX data addresses from First to Last, both included.
struct HexAddressRange {
  std::uint32_t First = 0;
  std::uint32_t Last = 0;
  bool operator==(const HexAddressRange&) const = default;
};

// An address meant for program flash: 0x1D000000 to 0x1DFFFFFF, or the same
// flash as the processor's cached (0x9D...) and uncached (0xBD...) windows
// show it. Boot flash and configuration words (0x1FC00000 on) are not.
bool IsProgramFlashAddress(std::uint32_t address);

// Builds the whole file, records in the order given. The loader keeps only
// data under the upper address words 0x1D00 to 0x1D08. Data it would skip
// that is meant for program flash is refused: the unit would run a program
// with parts missing. Other skipped data (boot flash, configuration words)
// is listed in *skipped, merged into ranges in address order.
// Throws Exception with a clear text for a bad version or date text, an
// extended segment address record (the unit knows only linear addresses), a
// record too long to pack, program data the loader would skip, naming its
// address ranges, or a result that would not be fit to flash.
std::vector<std::uint8_t> PackFirmwareFile(const std::vector<IntelHexRecord>& records,
                                           const std::string& version, const std::string& date,
                                           std::vector<HexAddressRange>* skipped = nullptr);

// "0x1FC02FF0-0x1FC02FFF, 0x1FC03000-0x1FC0300F", at most `shown` ranges and
// then how many more there are.
std::string DescribeRanges(const std::vector<HexAddressRange>& ranges, std::size_t shown = 4);
