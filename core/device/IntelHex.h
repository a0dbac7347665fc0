#pragma once
// Ordinary Intel HEX text, as compilers and srec_cat write it: one record per
// line, each a colon, a data count, a 16-bit address, a type, the data and a
// checksum byte that makes the record's bytes sum to zero.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

enum IntelHexType : std::uint8_t {
  ihData = 0,
  ihEndOfFile = 1,
  ihExtendedSegmentAddress = 2,
  ihStartSegmentAddress = 3,
  ihExtendedLinearAddress = 4,
  ihStartLinearAddress = 5,
};

struct IntelHexRecord {
  std::uint8_t Type = ihData;
  std::uint16_t Address = 0;
  std::vector<std::uint8_t> Data;
  std::size_t Line = 0;  // where it stood in the text, for messages
};

// Reads every record up to and including the end-of-file record; what
// follows that record is not read. Throws Exception naming the line for a
// malformed record, a wrong checksum, an unknown type or a missing
// end-of-file record.
std::vector<IntelHexRecord> ReadIntelHex(std::string_view text);
