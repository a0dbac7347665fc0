#pragma once
// The firmware file "KQ-30.bin": a 128-byte header (version text, date text,
// expected checksum) followed by scrambled Intel HEX records, each ended by
// "v". Loading it yields the in-memory copy of the unit's program flash that
// the upgrade writes and verifies, the sizes derived from it, and a verdict
// on whether the image is fit to flash.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "device/FirmwareCoding.h"
#include "device/FirmwareVerdict.h"
#include "lang/LanguageTexts.h"

constexpr char FirmwareFileName[] = "KQ-30.bin";

constexpr std::size_t FirmwareHeaderSize = 128;
constexpr std::size_t FirmwareVersionOffset = 12;  // NUL-terminated, at most 31 characters
constexpr std::size_t FirmwareVersionSize = 32;
constexpr std::size_t FirmwareDateOffset = 44;  // NUL-terminated, at most 23 characters
constexpr std::size_t FirmwareDateSize = 24;
constexpr std::size_t FirmwareChecksumOffset = 68;  // unsigned 32-bit, little-endian

// The unit's program flash: image offset o is physical address FlashBase + o.
constexpr std::size_t FirmwareImageSize = 1024000;
constexpr std::uint32_t FlashBase = 0x1D000000;
// Only these upper address words reach the image; configuration words and
// boot flash lie elsewhere and are skipped.
constexpr std::uint16_t FlashUpperFirst = 0x1D00;
constexpr std::uint16_t FlashUpperLast = 0x1D08;

// A record's text is at most this many digits; a longer run without "v"
// ends reading.
constexpr std::size_t MaxRecordDigits = 97;
// A record declaring this many data bytes or more stops loading.
constexpr unsigned RecordCountLimit = 50;
// The progress bar counts blocks of this size.
constexpr int FirmwareBlockSize = 512;

struct FirmwareFile {
  // The file could be opened. When it could not, the version is empty and
  // the window keeps its own date text.
  bool Opened = false;
  // Loading ran to its end: the checksum was compared and TotalBlocks set
  // as the progress bar's maximum. False when the file could not be opened
  // or loading stopped at a damaged record.
  bool Completed = false;

  std::array<std::uint8_t, FirmwareHeaderSize> FirmwareHeader{};
  std::string Version;  // shown on the version page and sent to the unit at the end
  std::string Date;     // shown as it stands, e.g. "2011/04/25 13:40"

  std::uint32_t ExpectedChecksum = 0;  // from the header
  std::uint32_t FileChecksum = 0;      // computed over the records read
  bool ChecksumOk() const { return Completed && ExpectedChecksum == FileChecksum; }

  // Physical address one past the highest filled byte; 0 when nothing was filled.
  std::uint32_t ImageEnd = 0;
  // FirmwareImageSize bytes; 0xFF where no record wrote, all 0x00 after a
  // checksum mismatch.
  std::vector<std::uint8_t> FirmwareImage = std::vector<std::uint8_t>(FirmwareImageSize, 0xFF);

  // Bytes written and verified: the image's extent plus 4. Negative when
  // nothing was filled.
  int ProgramLength() const { return static_cast<int>(static_cast<std::int64_t>(ImageEnd) - FlashBase + 4); }
  // The progress bar's maximum: whole 512-byte blocks of ProgramLength.
  int TotalBlocks() const { return ProgramLength() / FirmwareBlockSize; }

  FirmwareVerdict Verdict = fvFileUnreadable;
  std::string Reason;  // one or two sentences a user understands
  // The reason as a language text and the values that go into it: the
  // same reason in the language of texts.
  std::string LanguageTexts::*ReasonText = nullptr;
  std::vector<std::string> ReasonValues;
  std::string ReasonIn(const LanguageTexts& texts) const {
    return ReasonText ? FillIn(texts.*ReasonText, ReasonValues) : Reason;
  }
  void SetReason(std::string LanguageTexts::*text, std::vector<std::string> values = {}) {
    ReasonText = text;
    ReasonValues = std::move(values);
    Reason = ReasonIn(EnglishTexts());
  }
  // Where the fault lies: the file offset of the damaged record or run.
  std::uint64_t FaultOffset = 0;
  bool FitToFlash() const { return Verdict == fvFit; }
};

// Loads the file at path; the window passes the bare name "KQ-30.bin", which
// is looked up in the current directory. Never throws for bad files: what
// is wrong is in the verdict.
FirmwareFile LoadFirmwareImage(const std::string& path = FirmwareFileName);

// Loads a firmware file held in memory.
FirmwareFile ParseFirmwareImage(std::span<const std::uint8_t> bytes);

// Loading as a stream, so that a file of any size is read in pieces.
class FirmwareLoader {
 public:
  // Takes the next bytes of the file. Returns false once loading has stopped
  // and wants no more.
  bool Feed(std::span<const std::uint8_t> bytes);
  // The end of the file: compares the checksum and gives the verdict.
  FirmwareFile Finish();
  // Reading failed part-way; the file is unreadable: the reason's text of
  // LanguageTexts and its values.
  FirmwareFile Fail(std::string LanguageTexts::*text, std::vector<std::string> values);

 private:
  void HandleRecord();
  // A damaged record: the reason's text, and the record's data count where
  // the text has a place for it.
  void Stop(FirmwareVerdict verdict, std::string LanguageTexts::*text, std::optional<unsigned> count = {});

  FirmwareFile file_;
  FirmwareChecksum checksum_{};
  std::size_t headerBytes_ = 0;
  std::array<char, MaxRecordDigits + 1> text_{};
  std::size_t digits_ = 0;
  std::uint64_t offset_ = 0;       // file offset of the next byte
  std::uint64_t recordStart_ = FirmwareHeaderSize;
  std::uint64_t recordNumber_ = 0;  // records handled so far
  std::uint64_t bytesCopied_ = 0;  // into the image, by data records in the window
  std::uint32_t upper_ = 0;
  bool upperSet_ = false;
  bool stopped_ = false;
  bool faulted_ = false;
};
