#include "device/FirmwareImage.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A NUL-terminated text inside a header field. A field without its NUL ends
// at the field's end, never in the next field.
std::string FieldText(const std::array<std::uint8_t, FirmwareHeaderSize>& header, std::size_t offset,
                      std::size_t size) {
  const auto* begin = reinterpret_cast<const char*>(header.data() + offset);
  return std::string(begin, strnlen(begin, size));
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string RecordPlace(std::uint64_t number, std::uint64_t offset) {
  return "record " + std::to_string(number) + " (at byte " + std::to_string(offset) + ")";
}

}  // namespace

void FirmwareLoader::Stop(FirmwareVerdict verdict, std::string reason) {
  stopped_ = true;
  faulted_ = true;
  file_.Verdict = verdict;
  file_.Reason = std::move(reason);
  file_.FaultOffset = recordStart_;
}

bool FirmwareLoader::Feed(std::span<const std::uint8_t> bytes) {
  std::size_t i = 0;
  if (headerBytes_ < FirmwareHeaderSize) {
    const std::size_t n = std::min(bytes.size(), FirmwareHeaderSize - headerBytes_);
    std::copy_n(bytes.begin(), n, file_.FirmwareHeader.begin() + headerBytes_);
    headerBytes_ += n;
    offset_ += n;
    i = n;
  }
  for (; i < bytes.size() && !stopped_; ++i) {
    const char c = static_cast<char>(bytes[i]);
    ++offset_;
    if (c == 'v') {
      HandleRecord();
      digits_ = 0;
      recordStart_ = offset_;
      continue;
    }
    if (digits_ == MaxRecordDigits) {
      // Reading ends here, but the checksum is still compared.
      stopped_ = true;
      faulted_ = true;
      file_.Verdict = fvRecordUnended;
      file_.FaultOffset = recordStart_;
      file_.Reason = "The firmware file is truncated or damaged: at byte " + std::to_string(recordStart_) +
                     " more than " + std::to_string(MaxRecordDigits) +
                     " characters follow without a record end. Reading stopped there.";
      return false;
    }
    text_[digits_++] = c;
  }
  return !stopped_;
}

void FirmwareLoader::HandleRecord() {
  ++recordNumber_;
  const std::size_t n = digits_;
  const std::string damaged = "The firmware file is damaged: " + RecordPlace(recordNumber_, recordStart_);

  std::array<std::uint8_t, MaxRecordDigits / 2> plain{};
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (HexDigit(text_[k]) < 0) {
      return Stop(fvBadCharacter, damaged + " holds a character that is not a hexadecimal digit.");
    }
  }
  if (n % 2 != 0) return Stop(fvOddRecord, damaged + " has an odd number of digits.");
  const std::size_t count = n / 2;
  for (std::size_t k = 0; k < count; ++k) {
    const auto scrambled = static_cast<std::uint8_t>(HexDigit(text_[2 * k]) * 16 + HexDigit(text_[2 * k + 1]));
    sum += scrambled;
    plain[k] = UnscrambleByte(scrambled, k);
  }
  checksum_.AddRecord(sum);

  if (count < 4) return Stop(fvShortRecord, damaged + " is too short to hold an address and a type.");
  const unsigned dataCount = plain[0];
  if (dataCount >= RecordCountLimit) {
    return Stop(fvRecordTooLong, damaged + " declares " + std::to_string(dataCount) +
                                     " data bytes, more than a record can hold. Loading stopped there.");
  }
  if (count < 4 + dataCount) {
    return Stop(fvShortRecord, damaged + " holds fewer data bytes than its count of " +
                                   std::to_string(dataCount) + " says.");
  }
  const std::uint32_t address = plain[1] * 256u + plain[2];
  const std::uint8_t type = plain[3];
  const std::uint8_t* data = plain.data() + 4;

  if (type == 0) {
    if (upperSet_ && upper_ >= FlashUpperFirst && upper_ <= FlashUpperLast) {
      const std::uint32_t full = upper_ * 65536u + address;
      // The window and the record limit keep every byte inside the image.
      std::copy_n(data, dataCount, file_.FirmwareImage.begin() + (full - FlashBase));
      file_.ImageEnd = std::max(file_.ImageEnd, full + dataCount);
      bytesCopied_ += dataCount;
    }
  } else if (type == 4) {
    if (dataCount < 2) {
      return Stop(fvShortRecord, damaged + " is an extended address record without its two address bytes.");
    }
    upper_ = data[0] * 256u + data[1];
    upperSet_ = true;
  }
  // Other types, the end-of-file record among them, carry nothing for the
  // image; reading goes on to the physical end of the file.
}

FirmwareFile FirmwareLoader::Finish() {
  file_.Opened = true;
  const auto& header = file_.FirmwareHeader;
  file_.Version = FieldText(header, FirmwareVersionOffset, FirmwareVersionSize);
  file_.Date = FieldText(header, FirmwareDateOffset, FirmwareDateSize);
  file_.ExpectedChecksum = header[FirmwareChecksumOffset] | header[FirmwareChecksumOffset + 1] << 8 |
                           header[FirmwareChecksumOffset + 2] << 16 |
                           static_cast<std::uint32_t>(header[FirmwareChecksumOffset + 3]) << 24;
  file_.FileChecksum = checksum_.Value;

  // A record that stops loading leaves the checksum uncompared and the
  // progress maximum unset; what was copied before stays in the image.
  const bool stoppedAtRecord = faulted_ && file_.Verdict != fvRecordUnended;
  if (stoppedAtRecord) return std::move(file_);

  file_.Completed = true;
  const bool checksumOk = file_.ExpectedChecksum == file_.FileChecksum;
  if (!checksumOk) std::fill(file_.FirmwareImage.begin(), file_.FirmwareImage.end(), 0x00);

  if (headerBytes_ < FirmwareHeaderSize) {
    file_.Verdict = fvHeaderTruncated;
    file_.FaultOffset = 0;
    file_.Reason = headerBytes_ == 0 ? "The firmware file is empty."
                                     : "The firmware file is only " + std::to_string(headerBytes_) +
                                           " bytes long, too short to hold its " +
                                           std::to_string(FirmwareHeaderSize) + "-byte header.";
  } else if (faulted_) {
    // The run without a record end stays the reason; it explains the checksum too.
  } else if (!checksumOk) {
    file_.Verdict = fvChecksumMismatch;
    file_.Reason = "The firmware file is damaged or is not a KQ-30 firmware file: its checksum is " +
                   Hex32(file_.FileChecksum) + " but its header expects " + Hex32(file_.ExpectedChecksum) + ".";
  } else if (bytesCopied_ == 0) {
    // Also when records of no data raised the image's end: there is
    // nothing to write but the blank flash.
    file_.Verdict = fvNoProgramData;
    file_.Reason = "The firmware file holds no data for the unit's program flash (addresses " +
                   Hex32(FlashBase) + " to " + Hex32(FlashUpperLast * 65536u + 0xFFFF) + ").";
  } else {
    file_.Verdict = fvFit;
    file_.Reason = "The firmware file is fit to flash.";
  }
  return std::move(file_);
}

FirmwareFile FirmwareLoader::Fail(const std::string& problem) {
  FirmwareFile failed = Finish();
  failed.Completed = false;
  failed.Verdict = fvFileUnreadable;
  failed.FaultOffset = offset_;
  failed.Reason = problem;
  return failed;
}

FirmwareFile ParseFirmwareImage(std::span<const std::uint8_t> bytes) {
  FirmwareLoader loader;
  loader.Feed(bytes);
  return loader.Finish();
}

FirmwareFile LoadFirmwareImage(const std::string& path) {
  // A pipe or a device would block the read or never end; a folder has no bytes.
  std::error_code error;
  const auto type = std::filesystem::status(path, error).type();
  if (!error && type != std::filesystem::file_type::regular) {
    FirmwareFile refused;
    refused.Verdict = fvFileUnreadable;
    refused.Reason = "The firmware file \"" + path + "\" is not a regular file (it is a folder, a device or a pipe).";
    return refused;
  }
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> in(std::fopen(path.c_str(), "rb"));
  if (!in) {
    FirmwareFile missing;
    missing.Verdict = fvFileUnreadable;
    missing.Reason = "The firmware file \"" + path + "\" cannot be opened: " + std::strerror(errno) + ".";
    return missing;
  }
  FirmwareLoader loader;
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
    if (n > 0 && !loader.Feed({buffer.data(), n})) break;
    if (n < buffer.size()) {
      if (std::ferror(in.get())) {
        return loader.Fail("The firmware file \"" + path + "\" cannot be read: " + std::strerror(errno) + ".");
      }
      break;
    }
  }
  return loader.Finish();
}
