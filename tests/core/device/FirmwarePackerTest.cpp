#include "device/FirmwarePacker.h"

#include <gtest/gtest.h>

#include "common/Exception.h"
#include "device/FirmwareCoding.h"
#include "device/FirmwareImage.h"
#include "device/IntelHex.h"

namespace {

// An Intel HEX line with its checksum, written here by hand.
std::string HexLine(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data) {
  std::uint8_t sum = static_cast<std::uint8_t>(data.size() + (address >> 8) + (address & 0xFF) + type);
  char text[16];
  std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
  std::string line = text;
  for (auto b : data) {
    std::snprintf(text, sizeof text, "%02X", b);
    line += text;
    sum = static_cast<std::uint8_t>(sum + b);
  }
  std::snprintf(text, sizeof text, "%02X\n", static_cast<std::uint8_t>(-sum));
  return line + text;
}

std::vector<std::uint8_t> Ramp(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + 7 * i);
  return v;
}

const std::string Ela1D00 = HexLine(4, 0, {0x1D, 0x00});
const std::string Eof = ":00000001FF\n";

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(FirmwareCoding, ScramblingIsUndoneAtEveryValueAndPosition) {
  for (std::size_t k = 0; k < 4; ++k) {
    for (int v = 0; v < 256; ++v) {
      const auto plain = static_cast<std::uint8_t>(v);
      ASSERT_EQ(UnscrambleByte(ScrambleByte(plain, k), k), plain) << "k=" << k << " v=" << v;
    }
  }
}

TEST(FirmwareCoding, ScrambledRecordMatchesTheHandWorkedText) {
  const std::uint8_t ela[] = {0x02, 0x00, 0x00, 0x04, 0x1D, 0x00, 0xDD};
  EXPECT_EQ(ScrambleRecord(ela), "28040844d704e3v");
}

TEST(IntelHex, ReadsRecordsUpToTheEndOfFileRecord) {
  const std::string text = Ela1D00.substr(0, Ela1D00.size() - 1) + "\r\n  \n" + HexLine(0, 0x0010, {1, 2, 3}) + Eof + "garbage after the end\n";
  const auto records = ReadIntelHex(text);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].Type, ihExtendedLinearAddress);
  EXPECT_EQ(records[1].Address, 0x0010);
  EXPECT_EQ(records[1].Data, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(records[1].Line, 3u);
  EXPECT_EQ(records[2].Type, ihEndOfFile);
}

TEST(IntelHex, LowerCaseDigitsAreRead) {
  const auto records = ReadIntelHex(":0400100001020304e2\n" + Eof);
  EXPECT_EQ(records[0].Data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST(IntelHex, RefusesDamagedTextNamingTheLine) {
  const struct {
    std::string text;
    const char* words;
  } cases[] = {
      {":0400100001020304E3\n" + Eof, "line 1: wrong record checksum"},
      {Ela1D00 + "0400100001020304E2\n" + Eof, "line 2: a record must start with ':'"},
      {":0400100001020304E\n" + Eof, "odd number"},
      {":0400100001020G04E2\n" + Eof, "not a hexadecimal digit"},
      {":0500100001020304E1\n" + Eof, "does not match"},
      {":00000006FA\n" + Eof, "unknown record type 6"},
      {":0100000400FB\n" + Eof, "extended address record must hold 2 bytes"},
      {":0000FF\n", "too short"},
      {Ela1D00 + HexLine(0, 0, {1, 2}), "no end-of-file record"},
      {"", "no end-of-file record"},
  };
  for (const auto& c : cases) {
    const std::string error = ErrorOf([&] { ReadIntelHex(c.text); });
    EXPECT_NE(error.find(c.words), std::string::npos) << c.text << " gave: " << error;
  }
}

TEST(FirmwarePacker, PackedFileLoadsBackToTheSameImage) {
  std::string text = Ela1D00;
  for (std::uint16_t a = 0; a < 0x0400; a += 16) text += HexLine(0, a, Ramp(16, static_cast<std::uint8_t>(a)));
  text += HexLine(4, 0, {0x1D, 0x01}) + HexLine(0, 0x0100, Ramp(5, 3));
  text += HexLine(4, 0, {0x1F, 0xC0}) + HexLine(0, 0x2FF0, Ramp(16));  // configuration words: skipped
  text += HexLine(5, 0, {0x9D, 0, 0x10, 0}) + Eof;
  const auto file = PackFirmwareFile(ReadIntelHex(text), "1.07", "2021/06/30 08:15");
  const FirmwareFile loaded = ParseFirmwareImage(file);
  ASSERT_EQ(loaded.Verdict, fvFit) << loaded.Reason;
  EXPECT_EQ(loaded.Version, "1.07");
  EXPECT_EQ(loaded.Date, "2021/06/30 08:15");
  EXPECT_EQ(loaded.ImageEnd, 0x1D010105u);
  for (std::uint16_t a = 0; a < 0x0400; a += 16) {
    const auto want = Ramp(16, static_cast<std::uint8_t>(a));
    ASSERT_TRUE(std::equal(want.begin(), want.end(), loaded.FirmwareImage.begin() + a)) << a;
  }
  EXPECT_EQ(loaded.FirmwareImage[0x0400], 0xFF);
  EXPECT_EQ(loaded.FirmwareImage[0x10100], 3);
  EXPECT_EQ(loaded.FirmwareImage[0x10104], 3 + 28);
}

TEST(FirmwarePacker, SplitsDataRecordsTooLongForTheLoader) {
  const auto data = Ramp(255, 1);
  const auto file = PackFirmwareFile(ReadIntelHex(Ela1D00 + HexLine(0, 0x0100, data) + Eof), "v", "d");
  const FirmwareFile loaded = ParseFirmwareImage(file);
  ASSERT_EQ(loaded.Verdict, fvFit) << loaded.Reason;
  EXPECT_EQ(loaded.ImageEnd, 0x1D000100u + 255);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), loaded.FirmwareImage.begin() + 0x100));
}

TEST(FirmwarePacker, SplitRecordsRunOnAcrossA64KiBBoundary) {
  // The record runs on from 0x1D00FFF0 into the next segment; the record
  // after it is back in the first segment.
  const auto data = Ramp(100, 5);
  const std::string hex = Ela1D00 + HexLine(0, 0xFFF0, data) + HexLine(0, 0x0000, {0xAB}) +
                          HexLine(4, 0, {0x1D, 0x02}) + HexLine(0, 0xFFE0, Ramp(40, 9)) + Eof;
  const FirmwareFile loaded = ParseFirmwareImage(PackFirmwareFile(ReadIntelHex(hex), "v", "d"));
  ASSERT_EQ(loaded.Verdict, fvFit) << loaded.Reason;
  EXPECT_TRUE(std::equal(data.begin(), data.end(), loaded.FirmwareImage.begin() + 0xFFF0));
  EXPECT_EQ(loaded.FirmwareImage[0], 0xAB);
  const auto unsplit = Ramp(40, 9);  // short enough to run on as one record
  EXPECT_TRUE(std::equal(unsplit.begin(), unsplit.end(), loaded.FirmwareImage.begin() + 0x2FFE0));
  EXPECT_EQ(loaded.ImageEnd, 0x1D030008u);
}

TEST(FirmwarePacker, HeaderTextsFillTheirFieldsExactly) {
  const std::string hex = Ela1D00 + HexLine(0, 0, {1, 2, 3, 4}) + Eof;
  const auto file = PackFirmwareFile(ReadIntelHex(hex), std::string(31, 'v'), std::string(23, 'd'));
  const FirmwareFile loaded = ParseFirmwareImage(file);
  EXPECT_EQ(loaded.Version, std::string(31, 'v'));
  EXPECT_EQ(loaded.Date, std::string(23, 'd'));
  EXPECT_EQ(file[12 + 31], 0);
  EXPECT_EQ(file[44 + 23], 0);
}

TEST(FirmwarePacker, RefusesWhatWouldNotMakeAGoodFile) {
  const auto records = [](const std::string& text) { return ReadIntelHex(text); };
  const std::string good = Ela1D00 + HexLine(0, 0, {1, 2, 3, 4}) + Eof;
  const struct {
    std::vector<IntelHexRecord> records;
    std::string version, date;
    const char* words;
  } cases[] = {
      {records(good), std::string(32, 'v'), "d", "longer than 31 characters"},
      {records(good), "v", std::string(24, 'd'), "longer than 23 characters"},
      {records(good), std::string("1.0\0x", 5), "d", "control character"},
      {records(good), "1.0", "2026/01/01\r\n", "control character"},
      {records(good), "1.0$", "d", "holds '$'"},
      {records(good), "1!", "d", "holds '!'"},
      {records(good), "1*2", "d", "holds '*'"},
      {records(good), "1,2", "d", "holds ','"},
      {records(good), "1\\2", "d", "holds '\\'"},
      {records(good), "1^2", "d", "holds '^'"},
      {records(good), "~1", "d", "holds '~'"},
      {records(good), "1.0\xC3\xA9", "d", "outside ASCII"},
      {records(HexLine(2, 0, {0x10, 0x00}) + HexLine(0, 0, {1}) + Eof), "v", "d", "extended segment"},
      {records(HexLine(4, 0, {0x1F, 0xC0}) + HexLine(0, 0, {1, 2}) + Eof), "v", "d", "not be fit to flash"},
      {records(Eof), "v", "d", "no data for the unit's program flash"},
  };
  for (const auto& c : cases) {
    const std::string error = ErrorOf([&] { PackFirmwareFile(c.records, c.version, c.date); });
    EXPECT_NE(error.find(c.words), std::string::npos) << c.words << " gave: " << error;
  }
}

TEST(FirmwarePacker, RefusesProgramDataTheLoaderWouldSkipNamingIt) {
  // Each file also holds good data, so the packed file alone would be fit.
  const std::string good = Ela1D00 + HexLine(0, 0, {1, 2, 3, 4});
  const struct {
    std::string hex;
    const char* ranges;
  } cases[] = {
      // Flash the unit has but the firmware file cannot reach.
      {HexLine(4, 0, {0x1D, 0x09}) + HexLine(0, 0x0000, Ramp(16)), "0x1D090000-0x1D09000F"},
      // A long record split at 0x1D090010: its first piece runs on and is kept.
      {HexLine(4, 0, {0x1D, 0x08}) + HexLine(0, 0xFFF0, Ramp(100)), "0x1D090010-0x1D090053"},
      // A record under 0x1CFF that runs on into the program flash.
      {HexLine(4, 0, {0x1C, 0xFF}) + HexLine(0, 0xFFF8, Ramp(16)), "0x1D000000-0x1D000007"},
      // Flash the unit does not have, and program flash by its cached address.
      {HexLine(4, 0, {0x1D, 0x10}) + HexLine(0, 0, Ramp(2)) + HexLine(0, 2, Ramp(2)),
       "0x1D100000-0x1D100003"},
      {HexLine(4, 0, {0x9D, 0x00}) + HexLine(0, 0x1000, Ramp(4)) + HexLine(4, 0, {0xBD, 0x00}) +
           HexLine(0, 0, Ramp(4)),
       "0x9D001000-0x9D001003, 0xBD000000-0xBD000003"},
  };
  for (const auto& c : cases) {
    const std::string error = ErrorOf([&] { PackFirmwareFile(ReadIntelHex(good + c.hex + Eof), "v", "d"); });
    EXPECT_NE(error.find(std::string("program data at ") + c.ranges + " would not reach the unit"),
              std::string::npos)
        << c.ranges << " gave: " << error;
  }
}

TEST(FirmwarePacker, ListsWhatItLeavesOutsideTheProgramFlash) {
  // Data before any extended address record lies at 0x0000xxxx; the
  // configuration words come in two records that touch, and out of order.
  const std::string hex = HexLine(0, 0x0010, Ramp(4)) + Ela1D00 + HexLine(0, 0, Ramp(64)) +
                          HexLine(4, 0, {0x1F, 0xC0}) + HexLine(0, 0x3000, Ramp(16)) +
                          HexLine(0, 0x2FF0, Ramp(16)) + HexLine(0, 0x0000, Ramp(8)) + Eof;
  std::vector<HexAddressRange> skipped;
  const FirmwareFile loaded = ParseFirmwareImage(PackFirmwareFile(ReadIntelHex(hex), "v", "d", &skipped));
  EXPECT_EQ(loaded.Verdict, fvFit) << loaded.Reason;
  EXPECT_EQ(skipped, (std::vector<HexAddressRange>{
                         {0x00000010, 0x00000013}, {0x1FC00000, 0x1FC00007}, {0x1FC02FF0, 0x1FC0300F}}));
  EXPECT_EQ(DescribeRanges(skipped, 2), "0x00000010-0x00000013, 0x1FC00000-0x1FC00007 and 1 more");
}
