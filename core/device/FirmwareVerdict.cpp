#include "device/FirmwareVerdict.h"

const char* FirmwareVerdictName(FirmwareVerdict verdict) {
  switch (verdict) {
    case fvFit: return "fit to flash";
    case fvFileUnreadable: return "file unreadable";
    case fvHeaderTruncated: return "header truncated";
    case fvBadCharacter: return "bad character in record";
    case fvOddRecord: return "odd-length record";
    case fvShortRecord: return "short record";
    case fvRecordTooLong: return "record too long";
    case fvRecordUnended: return "record without end";
    case fvChecksumMismatch: return "checksum mismatch";
    case fvNoProgramData: return "no program data";
  }
  return "unknown";
}
