// The firmware loader, and the Intel HEX reader with the packer behind it, on
// hostile bytes. The first byte chooses which; the rest is the input.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string_view>

#include "common/Exception.h"
#include "device/FirmwareImage.h"
#include "device/FirmwarePacker.h"
#include "device/IntelHex.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void FuzzLoader(const std::uint8_t* data, std::size_t size) {
  const FirmwareFile whole = ParseFirmwareImage({data, size});
  Check(whole.FirmwareImage.size() == FirmwareImageSize);
  Check(whole.ImageEnd == 0 || (whole.ImageEnd > FlashBase && whole.ImageEnd <= FlashBase + 0x90000 + 49));
  if (whole.FitToFlash()) Check(whole.ChecksumOk() && whole.ImageEnd != 0 && !whole.Reason.empty());
  if (whole.Verdict == fvChecksumMismatch) {
    Check(std::all_of(whole.FirmwareImage.begin(), whole.FirmwareImage.end(), [](std::uint8_t b) { return b == 0; }));
  }
  Check(!whole.Reason.empty());

  // Read in two pieces, as from a file read in chunks: the same result.
  FirmwareLoader loader;
  const std::size_t split = size / 3;
  if (loader.Feed({data, split})) loader.Feed({data + split, size - split});
  const FirmwareFile pieces = loader.Finish();
  Check(pieces.Verdict == whole.Verdict && pieces.FileChecksum == whole.FileChecksum &&
        pieces.ImageEnd == whole.ImageEnd && pieces.FaultOffset == whole.FaultOffset &&
        pieces.FirmwareImage == whole.FirmwareImage);
}

void FuzzPacker(const std::uint8_t* data, std::size_t size) {
  std::vector<IntelHexRecord> records;
  try {
    records = ReadIntelHex({reinterpret_cast<const char*>(data), size});
  } catch (const Exception&) {
    return;
  }
  std::vector<std::uint8_t> file;
  try {
    file = PackFirmwareFile(records, "1.00", "2026/12/08 04:00");
  } catch (const Exception&) {
    return;
  }
  const FirmwareFile loaded = ParseFirmwareImage(file);
  Check(loaded.FitToFlash());
  // Every byte a data record puts into the program flash is in the image,
  // the last writer winning.
  std::map<std::uint32_t, std::uint8_t> expected;
  std::uint32_t upper = 0;
  bool upperSet = false;
  for (const IntelHexRecord& r : records) {
    if (r.Type == ihExtendedLinearAddress) {
      upper = r.Data[0] * 256u + r.Data[1];
      upperSet = true;
    } else if (r.Type == ihData && upperSet && upper >= FlashUpperFirst && upper <= FlashUpperLast) {
      for (std::size_t i = 0; i < r.Data.size(); ++i) {
        const std::uint64_t at = upper * 65536ull + r.Address + i - FlashBase;
        if (at < FirmwareImageSize) expected[static_cast<std::uint32_t>(at)] = r.Data[i];
      }
    }
  }
  for (const auto& [at, value] : expected) Check(loaded.FirmwareImage[at] == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    FuzzLoader(data + 1, size - 1);
  } else {
    FuzzPacker(data + 1, size - 1);
  }
  return 0;
}
