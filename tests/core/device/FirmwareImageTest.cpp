#include "device/FirmwareImage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "FirmwareTestFiles.h"
#include "core/ProcessId.h"

using testfiles::FirmwareFileBuilder;

namespace {

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
  return v;
}

bool AllBytesAre(const std::vector<std::uint8_t>& image, std::uint8_t value) {
  return std::all_of(image.begin(), image.end(), [value](std::uint8_t b) { return b == value; });
}

FirmwareFile Parse(const FirmwareFileBuilder& builder) { return ParseFirmwareImage(builder.Bytes()); }

}  // namespace

TEST(FirmwareImage, ReadsTheHandScrambledExtendedAddressRecordAndItsChecksum) {
  // 02 0000 04 1D00 DD scrambled pair by pair, worked out by hand; the
  // scrambled bytes sum to 566 = 0x236, the checksum of a one-record file.
  std::vector<std::uint8_t> file(128, 0);
  file[68] = 0x36;
  file[69] = 0x02;
  const std::string records = "28040844d704e3v";
  file.insert(file.end(), records.begin(), records.end());
  const FirmwareFile loaded = ParseFirmwareImage(file);
  EXPECT_EQ(loaded.FileChecksum, 566u);
  EXPECT_TRUE(loaded.ChecksumOk());
  EXPECT_EQ(loaded.Verdict, fvNoProgramData);
}

TEST(FirmwareImage, ChecksumIsTheSumOfRunningTotals) {
  FirmwareFileBuilder b;
  b.Upper(0x1D00).Data(0, Bytes(16, 0)).Data(16, Bytes(16, 0x80)).EndOfFile();
  const FirmwareFile loaded = Parse(b);
  EXPECT_EQ(loaded.FileChecksum, b.Checksum());
  EXPECT_EQ(loaded.Verdict, fvFit) << loaded.Reason;
  EXPECT_EQ(loaded.Version, "1.05");
  EXPECT_EQ(loaded.Date, "2011/04/25 13:40");
}

TEST(FirmwareImage, HeaderOnlyFileMatchesAZeroChecksumButHoldsNothingToFlash) {
  const FirmwareFile loaded = Parse(FirmwareFileBuilder{});
  EXPECT_TRUE(loaded.Completed);
  EXPECT_TRUE(loaded.ChecksumOk());
  EXPECT_EQ(loaded.FileChecksum, 0u);
  EXPECT_EQ(loaded.ImageEnd, 0u);
  EXPECT_LT(loaded.ProgramLength(), 0);
  EXPECT_LT(loaded.TotalBlocks(), 0);
  EXPECT_TRUE(AllBytesAre(loaded.FirmwareImage, 0xFF));
  EXPECT_EQ(loaded.Verdict, fvNoProgramData);
}

struct PlacementCase {
  const char* name;
  std::function<void(FirmwareFileBuilder&)> records;
  std::uint32_t imageEnd;
  std::size_t offset;                 // where to look in the image
  std::vector<std::uint8_t> expected;  // what must be there
};

void PrintTo(const PlacementCase& c, std::ostream* os) { *os << c.name; }

class FirmwarePlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(FirmwarePlacement, StoresDataWhereTheAddressSays) {
  FirmwareFileBuilder b;
  GetParam().records(b);
  const FirmwareFile loaded = Parse(b);
  ASSERT_TRUE(loaded.ChecksumOk());
  EXPECT_EQ(loaded.ImageEnd, GetParam().imageEnd);
  const auto& want = GetParam().expected;
  ASSERT_LE(GetParam().offset + want.size(), loaded.FirmwareImage.size());
  EXPECT_EQ(std::vector<std::uint8_t>(loaded.FirmwareImage.begin() + GetParam().offset,
                                      loaded.FirmwareImage.begin() + GetParam().offset + want.size()),
            want);
  // Nothing outside the expected bytes and the records' own placements changed.
  const auto filled = std::count_if(loaded.FirmwareImage.begin(), loaded.FirmwareImage.end(),
                                    [](std::uint8_t v) { return v != 0xFF; });
  EXPECT_LE(static_cast<std::size_t>(filled), 64u);
}

const std::vector<std::uint8_t> Blank4{0xFF, 0xFF, 0xFF, 0xFF};

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwarePlacement,
    ::testing::Values(
        PlacementCase{"DataBeforeFirstExtendedAddressIsSkipped",
                      [](auto& b) { b.Data(0x0000, Bytes(4, 1)).Upper(0x1D00).Data(0x0010, Bytes(4, 9)); },
                      0x1D000014, 0, Blank4},
        PlacementCase{"LastWindowSegmentEndsTheWindow",
                      [](auto& b) { b.Upper(0x1D08).Data(0xFFF0, Bytes(16, 0x40)); }, 0x1D090000, 0x8FFF0,
                      Bytes(16, 0x40)},
        PlacementCase{"FirstWindowSegment", [](auto& b) { b.Upper(0x1D00).Data(0x0000, Bytes(4, 7)); },
                      0x1D000004, 0, Bytes(4, 7)},
        PlacementCase{"BootFlashIsSkipped",
                      [](auto& b) {
                        b.Upper(0x1D00).Data(0x0100, Bytes(4, 1)).Upper(0x1FC0).Data(0x2FF0, Bytes(16, 0));
                      },
                      0x1D000104, 0x100, Bytes(4, 1)},
        PlacementCase{"SegmentsJustOutsideTheWindowAreSkipped",
                      [](auto& b) {
                        b.Upper(0x1CFF).Data(0xFFF0, Bytes(16, 0)).Upper(0x1D09).Data(0, Bytes(16, 0));
                        b.Upper(0x1D01).Data(0x0002, Bytes(2, 5));
                      },
                      0x1D010004, 0x10000, std::vector<std::uint8_t>{0xFF, 0xFF, 5, 6}},
        PlacementCase{"LaterOverlappingRecordWins",
                      [](auto& b) { b.Upper(0x1D00).Data(0x0000, Bytes(8, 0x10)).Data(0x0004, Bytes(2, 0xA0)); },
                      0x1D000008, 0, std::vector<std::uint8_t>{0x10, 0x11, 0x12, 0x13, 0xA0, 0xA1, 0x16, 0x17}},
        PlacementCase{"ImageEndIsTheHighestNotTheLast",
                      [](auto& b) { b.Upper(0x1D02).Data(0, Bytes(4, 1)).Upper(0x1D00).Data(0, Bytes(4, 1)); },
                      0x1D020004, 0x20000, Bytes(4, 1)},
        PlacementCase{"RecordsAfterEndOfFileAreStillStored",
                      [](auto& b) { b.Upper(0x1D00).EndOfFile().Data(0x0200, Bytes(4, 3)); }, 0x1D000204, 0x200,
                      Bytes(4, 3)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareImage, OtherRecordTypesLeaveTheImageAlone) {
  FirmwareFileBuilder b;
  b.Upper(0x1D00).Plain({4, 0, 0, 5, 0x9D, 0, 0x10, 0}).Plain({4, 0, 0, 3, 1, 2, 3, 4}).Data(8, Bytes(4, 1));
  const FirmwareFile loaded = Parse(b);
  EXPECT_EQ(loaded.ImageEnd, 0x1D00000Cu);
  EXPECT_TRUE(std::all_of(loaded.FirmwareImage.begin(), loaded.FirmwareImage.begin() + 8,
                          [](std::uint8_t v) { return v == 0xFF; }));
  EXPECT_EQ(loaded.Verdict, fvFit);
}

TEST(FirmwareImage, DerivedSizesFollowImageEnd) {
  struct {
    std::uint16_t upper, address;
    std::size_t count;
    int programLength, totalBlocks;
  } cases[] = {
      {0x1D00, 0x01F0, 16, 516, 1},        // ends at 0x1D000200
      {0x1D00, 0x01EC, 16, 512, 1},        // ends at 0x1D0001FC: exactly one block with the 4 extra
      {0x1D00, 0x01E8, 16, 508, 0},        // just under one block
      {0x1D08, 0xFFF0, 16, 0x90004, 1152},  // the whole window
  };
  for (const auto& c : cases) {
    FirmwareFileBuilder b;
    b.Upper(c.upper).Data(c.address, Bytes(c.count, 0));
    const FirmwareFile loaded = Parse(b);
    EXPECT_EQ(loaded.ProgramLength(), c.programLength) << std::hex << c.address;
    EXPECT_EQ(loaded.TotalBlocks(), c.totalBlocks) << std::hex << c.address;
  }
}

TEST(FirmwareImage, ChecksumMismatchClearsTheImageButKeepsTheTexts) {
  FirmwareFileBuilder b;
  b.Version("2.00").Date("2020/01/02 03:04").Upper(0x1D00).Data(0, Bytes(16, 1));
  b.ExpectChecksum(b.Checksum() + 1);
  const FirmwareFile loaded = Parse(b);
  EXPECT_TRUE(loaded.Completed);
  EXPECT_FALSE(loaded.ChecksumOk());
  EXPECT_TRUE(AllBytesAre(loaded.FirmwareImage, 0x00));
  EXPECT_EQ(loaded.ImageEnd, 0x1D000010u);
  EXPECT_EQ(loaded.Version, "2.00");
  EXPECT_EQ(loaded.Date, "2020/01/02 03:04");
  EXPECT_EQ(loaded.Verdict, fvChecksumMismatch);
  EXPECT_NE(loaded.Reason.find("damaged"), std::string::npos) << loaded.Reason;
}

TEST(FirmwareImage, AHeaderTextWithoutItsNulStopsAtItsField) {
  FirmwareFileBuilder b;
  b.Version(std::string(32, 'V')).Date(std::string(24, 'D')).Upper(0x1D00).Data(0, Bytes(4, 0));
  const FirmwareFile loaded = Parse(b);
  EXPECT_EQ(loaded.Version, std::string(32, 'V'));
  EXPECT_EQ(loaded.Date, std::string(24, 'D'));
}

TEST(FirmwareImage, UpperCaseDigitsReadLikeLowerCase) {
  FirmwareFileBuilder lower;
  lower.Upper(0x1D00).Data(0, Bytes(16, 0xA5));
  auto bytes = lower.Bytes();
  std::transform(bytes.begin() + 128, bytes.end(), bytes.begin() + 128,
                 [](std::uint8_t c) { return c == 'v' ? c : static_cast<std::uint8_t>(std::toupper(c)); });
  const FirmwareFile loaded = ParseFirmwareImage(bytes);
  EXPECT_EQ(loaded.Verdict, fvFit) << loaded.Reason;
  EXPECT_EQ(loaded.FirmwareImage[15], 0xB4);
}

struct DamageCase {
  const char* name;
  std::function<std::vector<std::uint8_t>()> file;
  FirmwareVerdict verdict;
  bool completed;            // checksum compared, progress maximum set
  std::uint64_t faultOffset;  // file offset of the damaged record or run
  const char* reasonWords;   // words the user must read
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class FirmwareDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(FirmwareDamage, GivesItsVerdict) {
  const FirmwareFile loaded = ParseFirmwareImage(GetParam().file());
  EXPECT_EQ(loaded.Verdict, GetParam().verdict) << FirmwareVerdictName(loaded.Verdict) << ": " << loaded.Reason;
  EXPECT_FALSE(loaded.FitToFlash());
  EXPECT_EQ(loaded.Completed, GetParam().completed);
  EXPECT_EQ(loaded.FaultOffset, GetParam().faultOffset);
  EXPECT_NE(loaded.Reason.find(GetParam().reasonWords), std::string::npos) << loaded.Reason;
  EXPECT_EQ(loaded.FirmwareImage.size(), FirmwareImageSize);
}

namespace {
// Header plus one good extended address record (13 bytes: 12 digits and "v"),
// so a damaged record that follows starts at byte 141.
FirmwareFileBuilder GoodStart() {
  FirmwareFileBuilder b;
  b.Upper(0x1D00);
  return b;
}
}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareDamage,
    ::testing::Values(
        DamageCase{"EmptyFile", [] { return std::vector<std::uint8_t>{}; }, fvHeaderTruncated, true, 0, "empty"},
        DamageCase{"ShortHeader", [] { return std::vector<std::uint8_t>(100, 0); }, fvHeaderTruncated, true, 0,
                   "100 bytes long"},
        DamageCase{"RecordOfFiftyDataBytes",
                   [] { return GoodStart().Plain({50, 0, 0, 0}).Data(0, Bytes(4, 0)).Bytes(); }, fvRecordTooLong,
                   false, 141, "50 data bytes"},
        DamageCase{"RunWithoutRecordEnd",
                   [] { return GoodStart().Data(0, Bytes(4, 0)).Raw(std::string(98, '0')).Bytes(); },
                   fvRecordUnended, true, 141 + 17, "more than 97 characters"},
        DamageCase{"OddNumberOfDigits", [] { return GoodStart().Raw("0400000v").Bytes(); }, fvOddRecord, false, 141,
                   "odd number of digits"},
        DamageCase{"NotAHexDigit", [] { return GoodStart().Raw("04000x00v").Bytes(); }, fvBadCharacter, false, 141,
                   "not a hexadecimal digit"},
        DamageCase{"EmptyRecord", [] { return GoodStart().Raw("v").Bytes(); }, fvShortRecord, false, 141,
                   "too short"},
        DamageCase{"FewerDataBytesThanCounted", [] { return GoodStart().Plain({16, 0, 0, 0, 1, 2, 3}).Bytes(); },
                   fvShortRecord, false, 141, "fewer data bytes"},
        DamageCase{"ExtendedAddressWithoutItsBytes", [] { return GoodStart().Plain({1, 0, 0, 4, 0x1D}).Bytes(); },
                   fvShortRecord, false, 141, "extended address"},
        DamageCase{"ForeignChecksum",
                   [] { return GoodStart().Data(0, Bytes(16, 0)).ExpectChecksum(0x12345678).Bytes(); },
                   fvChecksumMismatch, true, 0, "0x12345678"},
        DamageCase{"TruncatedAfterARecord",
                   [] {
                     auto whole = GoodStart().Data(0, Bytes(16, 0)).Data(16, Bytes(16, 0)).Bytes();
                     whole.erase(whole.end() - 20, whole.end());
                     return whole;
                   },
                   fvChecksumMismatch, true, 0, "checksum"},
        DamageCase{"NothingInTheProgramFlash",
                   [] { return FirmwareFileBuilder{}.Upper(0x1FC0).Data(0x2FF0, Bytes(16, 0)).Bytes(); },
                   fvNoProgramData, true, 0, "no data for the unit's program flash"},
        DamageCase{"OnlyARecordOfNoData", [] { return FirmwareFileBuilder{}.Upper(0x1D00).Data(0x100, {}).Bytes(); },
                   fvNoProgramData, true, 0, "no data for the unit's program flash"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareImage, ARecordTooLongStopsLoadingAndKeepsWhatCameBefore) {
  FirmwareFileBuilder b;
  b.Upper(0x1D00).Data(0, Bytes(4, 1)).Plain({50, 0, 0, 0}).Data(0x100, Bytes(4, 1));
  b.ExpectChecksum(1);  // not compared when loading stops
  const FirmwareFile loaded = Parse(b);
  EXPECT_EQ(loaded.Verdict, fvRecordTooLong);
  EXPECT_EQ(loaded.FirmwareImage[0], 1);
  EXPECT_EQ(loaded.FirmwareImage[0x100], 0xFF);
  EXPECT_EQ(loaded.ImageEnd, 0x1D000004u);
}

TEST(FirmwareImage, AnUnendedRunAtTheLimitIsNotYetAFault) {
  // 97 digits are still a record's worth; a file that ends there simply
  // drops them, and the checksum decides.
  FirmwareFileBuilder b;
  b.Upper(0x1D00).Data(0, Bytes(4, 1)).Raw(std::string(97, '0'));
  const FirmwareFile loaded = Parse(b);
  EXPECT_EQ(loaded.Verdict, fvFit) << loaded.Reason;
}

TEST(FirmwareImage, FeedingByteByByteGivesTheSameResult) {
  FirmwareFileBuilder b;
  b.Upper(0x1D00);
  for (std::uint16_t a = 0; a < 0x400; a += 16) b.Data(a, Bytes(16, static_cast<std::uint8_t>(a)));
  b.Upper(0x1D03).Data(0x1234, Bytes(7, 9)).EndOfFile();
  const auto bytes = b.Bytes();
  const FirmwareFile whole = ParseFirmwareImage(bytes);
  FirmwareLoader loader;
  for (std::uint8_t c : bytes) loader.Feed({&c, 1});
  const FirmwareFile pieces = loader.Finish();
  EXPECT_EQ(whole.Verdict, fvFit);
  EXPECT_EQ(pieces.Verdict, whole.Verdict);
  EXPECT_EQ(pieces.FileChecksum, whole.FileChecksum);
  EXPECT_EQ(pieces.ImageEnd, whole.ImageEnd);
  EXPECT_EQ(pieces.FirmwareImage, whole.FirmwareImage);
}

class FirmwareFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("kq30-firmware-test-" + std::to_string(ProcessId()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(FirmwareFileOnDisk, LoadsByItsBareNameFromTheCurrentDirectory) {
  FirmwareFileBuilder b;
  b.Upper(0x1D00).Data(0, Bytes(16, 1));
  const auto bytes = b.Bytes();
  std::ofstream(dir_ / "KQ-30.bin", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  const FirmwareFile loaded = LoadFirmwareImage();
  std::filesystem::current_path(previous);
  EXPECT_TRUE(loaded.Opened);
  EXPECT_EQ(loaded.Verdict, fvFit) << loaded.Reason;
  EXPECT_EQ(loaded.FirmwareImage, ParseFirmwareImage(bytes).FirmwareImage);
}

TEST_F(FirmwareFileOnDisk, MissingUnreadableOrIrregularFileLeavesABlankImage) {
  std::vector<std::filesystem::path> paths{dir_ / "KQ-30.bin", dir_};
#ifndef _WIN32
  // A pipe nobody writes to would block the read for ever.
  ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  paths.push_back(dir_ / "pipe");
#endif
  for (const auto& path : paths) {
    const FirmwareFile loaded = LoadFirmwareImage(path.string());
    EXPECT_EQ(loaded.Verdict, fvFileUnreadable) << path;
    EXPECT_FALSE(loaded.Completed);
    EXPECT_TRUE(loaded.Version.empty());
    EXPECT_EQ(loaded.ImageEnd, 0u);
    EXPECT_TRUE(AllBytesAre(loaded.FirmwareImage, 0xFF));
    EXPECT_NE(loaded.Reason.find(path.string()), std::string::npos) << loaded.Reason;
  }
}
