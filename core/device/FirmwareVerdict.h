#pragma once
// Whether a loaded firmware file is fit to flash into the unit and, if not,
// what is wrong with it. An image that is not fit would flash zeros, nothing
// or a fragment, so the upgrade refuses to start on anything but fvFit.
#include <cstdint>

enum FirmwareVerdict : std::uint8_t {
  fvFit,               // the image may be flashed
  fvFileUnreadable,    // the file is missing, or cannot be opened or read
  fvHeaderTruncated,   // the file ends inside its 128-byte header
  fvBadCharacter,      // a record holds a character that is not a hexadecimal digit
  fvOddRecord,         // a record has an odd number of digits
  fvShortRecord,       // a record holds fewer bytes than its data count needs
  fvRecordTooLong,     // a record declares 50 or more data bytes
  fvRecordUnended,     // more than 97 characters without a record end
  fvChecksumMismatch,  // the file checksum differs from the header's (damaged or foreign)
  fvNoProgramData,     // no record puts data into the unit's program flash
};

// A short name for each verdict, for the command-line tool and logs.
const char* FirmwareVerdictName(FirmwareVerdict verdict);
