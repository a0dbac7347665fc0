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

}  // namespace

void FirmwareLoader::Stop(FirmwareVerdict verdict, std::string LanguageTexts::*text,
                          std::optional<unsigned> count) {
  stopped_ = true;
  faulted_ = true;
  file_.Verdict = verdict;
  std::vector<std::string> values{std::to_string(recordNumber_), std::to_string(recordStart_)};
  if (count) values.push_back(std::to_string(*count));
  file_.SetReason(text, std::move(values));
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
      file_.SetReason(&LanguageTexts::FirmwareUnended,
                      {std::to_string(recordStart_), std::to_string(MaxRecordDigits)});
      return false;
    }
    text_[digits_++] = c;
  }
  return !stopped_;
}

void FirmwareLoader::HandleRecord() {
  ++recordNumber_;
  const std::size_t n = digits_;

  std::array<std::uint8_t, MaxRecordDigits / 2> plain{};
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (HexDigit(text_[k]) < 0) {
      return Stop(fvBadCharacter, &LanguageTexts::FirmwareBadCharacter);
    }
  }
  if (n % 2 != 0) return Stop(fvOddRecord, &LanguageTexts::FirmwareOddDigits);
  const std::size_t count = n / 2;
  for (std::size_t k = 0; k < count; ++k) {
    const auto scrambled = static_cast<std::uint8_t>(HexDigit(text_[2 * k]) * 16 + HexDigit(text_[2 * k + 1]));
    sum += scrambled;
    plain[k] = UnscrambleByte(scrambled, k);
  }
  checksum_.AddRecord(sum);

  if (count < 4) return Stop(fvShortRecord, &LanguageTexts::FirmwareNoAddress);
  const unsigned dataCount = plain[0];
  if (dataCount >= RecordCountLimit) {
    return Stop(fvRecordTooLong, &LanguageTexts::FirmwareTooLong, dataCount);
  }
  if (count < 4 + dataCount) {
    return Stop(fvShortRecord, &LanguageTexts::FirmwareFewerBytes, dataCount);
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
      return Stop(fvShortRecord, &LanguageTexts::FirmwareNoUpperAddress);
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
    if (headerBytes_ == 0)
      file_.SetReason(&LanguageTexts::FirmwareEmpty);
    else
      file_.SetReason(&LanguageTexts::FirmwareNoHeader,
                      {std::to_string(headerBytes_), std::to_string(FirmwareHeaderSize)});
  } else if (faulted_) {
    // The run without a record end stays the reason; it explains the checksum too.
  } else if (!checksumOk) {
    file_.Verdict = fvChecksumMismatch;
    file_.SetReason(&LanguageTexts::FirmwareChecksum,
                    {Hex32(file_.FileChecksum), Hex32(file_.ExpectedChecksum)});
  } else if (bytesCopied_ == 0) {
    // Also when records of no data raised the image's end: there is
    // nothing to write but the blank flash.
    file_.Verdict = fvNoProgramData;
    file_.SetReason(&LanguageTexts::FirmwareNoProgramData,
                    {Hex32(FlashBase), Hex32(FlashUpperLast * 65536u + 0xFFFF)});
  } else {
    file_.Verdict = fvFit;
    file_.SetReason(&LanguageTexts::FirmwareFit);
  }
  return std::move(file_);
}

FirmwareFile FirmwareLoader::Fail(std::string LanguageTexts::*text, std::vector<std::string> values) {
  FirmwareFile failed = Finish();
  failed.Completed = false;
  failed.Verdict = fvFileUnreadable;
  failed.FaultOffset = offset_;
  failed.SetReason(text, std::move(values));
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
    refused.SetReason(&LanguageTexts::FirmwareNotRegular, {path});
    return refused;
  }
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> in(std::fopen(path.c_str(), "rb"));
  if (!in) {
    FirmwareFile missing;
    missing.Verdict = fvFileUnreadable;
    missing.SetReason(&LanguageTexts::FirmwareCannotOpen, {path, std::strerror(errno)});
    return missing;
  }
  FirmwareLoader loader;
  std::vector<std::uint8_t> buffer(64 * 1024);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
    if (n > 0 && !loader.Feed({buffer.data(), n})) break;
    if (n < buffer.size()) {
      if (std::ferror(in.get())) {
        return loader.Fail(&LanguageTexts::FirmwareCannotRead, {path, std::strerror(errno)});
      }
      break;
    }
  }
  return loader.Finish();
}
