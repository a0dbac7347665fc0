// Every layout, one table row per case: the record's body and the exact line
// before the checksum.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "CodecTestSupport.h"

namespace {

struct LayoutCase {
  const char* Name;
  SentenceRecord Record;
  std::string Expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.Name; }

class LayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, WritesTheExactLine) {
  const SentenceRecord& record = GetParam().Record;
  EXPECT_EQ(LineBeforeChecksum(record), GetParam().Expected);
  std::string line;
  if (FormatSentence(line, record)) {
    EXPECT_EQ(line.substr(line.size() - 4, 2), ExpectedChecksum(GetParam().Expected));
  }
}

std::string Name(const testing::TestParamInfo<LayoutCase>& info) { return info.param.Name; }

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

// ---- AIS -----------------------------------------------------------------

AbmFields Abm() {
  AbmFields f;
  f.TotalSentences = 1;
  f.SentenceNumber = 1;
  f.SequentialId = 3;
  f.FillBits = 2;
  f.Data = "E@";
  f.Channel = 1;
  f.MessageId = 6;
  f.Mmsi = 244123456;
  return f;
}

VdmFields Vdm(int8_t sequentialId, int8_t channel) {
  VdmFields f;
  f.TotalSentences = 2;
  f.SentenceNumber = 1;
  f.SequentialId = sequentialId;
  f.FillBits = 0;
  f.Data = "13`l7@";
  f.Channel = channel;
  return f;
}

VsdFields Vsd() {
  VsdFields f;
  f.ShipType = 70;
  f.Draught = 5.0f;
  f.PersonsOnBoard = 12;
  f.Destination = "KEELUNG";
  f.ArrivalTime = {14, 30, 0, 0};
  f.ArrivalDay = 31;
  f.ArrivalMonth = 12;
  f.NavigationalStatus = 15;
  f.RegionalFlags = 0;
  return f;
}

VsdFields VsdWithDraught(float draught) {
  VsdFields f = Vsd();
  f.Draught = draught;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Ais, LayoutTest,
    testing::Values(
        LayoutCase{"AbkChannelLetter",
                   MakeRecord("AI", "ABK", AbkFields{244123456, 1, 6, 2, 0}),
                   "$AIABK,244123456,B,6,2,0"},
        LayoutCase{"AbkAbsent",
                   MakeRecord("AI", "ABK", AbkFields{0, kAbsentInt8, 6, 2, 3}),
                   "$AIABK,,,6,2,3"},
        LayoutCase{"Ack999", MakeRecord("AI", "ACK", AckFields{999}), "$AIACK,999"},
        LayoutCase{"AckPadded", MakeRecord("AI", "ACK", AckFields{5}), "$AIACK,005"},
        LayoutCase{"Ack1000", MakeRecord("AI", "ACK", AckFields{1000}), "$AIACK,"},
        // The record order is not the field order.
        LayoutCase{"AbmFieldOrder", MakeRecord("AI", "ABM", Abm()),
                   "!AIABM,1,1,3,244123456,1,6,E@,2"},
        LayoutCase{"AbmAbsent",
                   [] {
                     AbmFields f = Abm();
                     f.SequentialId = kAbsentInt8;
                     f.Channel = kAbsentInt8;
                     return MakeRecord("AI", "ABM", f);
                   }(),
                   "!AIABM,1,1,,244123456,,6,E@,2"},
        // BBM writes its channel as a number.
        LayoutCase{"BbmChannelNumber",
                   MakeRecord("AI", "BBM", BbmFields{1, 1, kAbsentInt8, 4, "H0", 2, 8}),
                   "!AIBBM,1,1,,2,8,H0,4"},
        // VDM writes its channel as a letter.
        LayoutCase{"VdmChannelLetter", MakeRecord("AI", "VDM", Vdm(kAbsentInt8, 1)),
                   "!AIVDM,2,1,,B,13`l7@,0"},
        LayoutCase{"VdoSequenceNoChannel",
                   [] {
                     VdoFields f;
                     static_cast<VdmFields&>(f) = Vdm(5, kAbsentInt8);
                     return MakeRecord("AI", "VDO", f);
                   }(),
                   "!AIVDO,2,1,5,,13`l7@,0"},
        LayoutCase{"AlrTime",
                   MakeRecord("AI", "ALR", AlrFields{{12, 3, 4, 5}, 7, 'A', 'V', "FIRE"}),
                   "$AIALR,120304.05,7,A,V,FIRE"},
        LayoutCase{"AlrHours24Absent",
                   MakeRecord("AI", "ALR", AlrFields{{24, 0, 0, 0}, 7, 'A', 'V', "FIRE"}),
                   "$AIALR,,7,A,V,FIRE"},
        LayoutCase{"AlrHours25Absent",
                   MakeRecord("AI", "ALR", AlrFields{{25, 0, 0, 0}, 7, 'A', 'V', ""}),
                   "$AIALR,,7,A,V,"},
        LayoutCase{"AlrTimeCutToNine",
                   MakeRecord("AI", "ALR", AlrFields{{23, 255, 0, 0}, 7, 'A', 'V', ""}),
                   "$AIALR,2325500.0,7,A,V,"},
        // A stored zero character is an empty field.
        LayoutCase{"AlrZeroCharacters",
                   MakeRecord("AI", "ALR", AlrFields{{1, 2, 3, 4}, 7, 0, 0, "X"}),
                   "$AIALR,010203.04,7,,,X"},
        LayoutCase{
            "SsdLimits",
            MakeRecord("AI", "SSD", SsdFields{"CALL", "SHIP NAME", 511, 512, 63, 64, 1, "AI"}),
            "$AISSD,CALL,SHIP NAME,511,,63,,1,AI"},
        LayoutCase{"SsdDteAbsent",
                   MakeRecord("AI", "SSD", SsdFields{"", "", 0, 0, 0, 0, 2, ""}),
                   "$AISSD,,,0,0,0,0,,"},
        // 5.0 under "%4.1f" has a leading space.
        LayoutCase{"VsdAllPresent", MakeRecord("AI", "VSD", Vsd()),
                   "$AIVSD,70, 5.0,12,KEELUNG,143000.00,31,12,15,0"},
        LayoutCase{"VsdDraught25_5", MakeRecord("AI", "VSD", VsdWithDraught(25.5f)),
                   "$AIVSD,70,25.5,12,KEELUNG,143000.00,31,12,15,0"},
        LayoutCase{"VsdDraught25_6", MakeRecord("AI", "VSD", VsdWithDraught(25.6f)),
                   "$AIVSD,70,,12,KEELUNG,143000.00,31,12,15,0"},
        LayoutCase{"VsdDraughtNegative", MakeRecord("AI", "VSD", VsdWithDraught(-0.1f)),
                   "$AIVSD,70,,12,KEELUNG,143000.00,31,12,15,0"},
        LayoutCase{"VsdDraughtNaN", MakeRecord("AI", "VSD", VsdWithDraught(kNaN)),
                   "$AIVSD,70,,12,KEELUNG,143000.00,31,12,15,0"},
        LayoutCase{"VsdAllAbsent",
                   [] {
                     VsdFields f = Vsd();
                     f.ShipType = 256;
                     f.PersonsOnBoard = 8192;
                     f.ArrivalTime.Hours = 24;
                     f.ArrivalDay = 32;
                     f.ArrivalMonth = 13;
                     f.NavigationalStatus = 16;
                     f.RegionalFlags = 16;
                     return MakeRecord("AI", "VSD", f);
                   }(),
                   "$AIVSD,, 5.0,,KEELUNG,,,,,"}),
    Name);

// ---- Navigation ----------------------------------------------------------

// The worked example's fix.
RmcFields Rmc() {
  RmcFields f;
  f.Time = {12, 34, 56, 78};
  f.Status = 'A';
  f.Latitude = 25.5f;
  f.Longitude = 121.25f;
  f.Speed = 10.5f;
  f.Course = 45.25f;
  f.Year = 2009;
  f.Month = 7;
  f.Day = 15;
  f.Variation = -100000.0f;
  f.VariationDirection = kAbsentInt8;
  f.Mode = 'A';
  return f;
}

SentenceRecord RmcWith(const std::function<void(RmcFields&)>& change) {
  RmcFields f = Rmc();
  change(f);
  return MakeRecord("GP", "RMC", f);
}

GbsFields Gbs() { return GbsFields{{1, 2, 3, 0}, 1.5f, 2.25f, 3.0f, 7, 0.5f, 1.0f, 0.25f}; }

GsaFields Gsa(std::array<int8_t, 12> satellites) {
  GsaFields f;
  f.Mode = 'A';
  f.FixMode = 3;
  f.Satellites = satellites;
  f.Pdop = 1.5f;
  f.Hdop = 0.9f;
  f.Vdop = 1.2f;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Navigation, LayoutTest,
    testing::Values(
        LayoutCase{"RmcWorkedExample", MakeRecord("GP", "RMC", Rmc()),
                   "$GPRMC,123456.78,A,2530.00000,N,12115.00000,E,10.500,45.25,150709,,,A"},
        // 0.0 is written with S and W.
        LayoutCase{"RmcZeroIsSouthWest", RmcWith([](RmcFields& f) {
                     f.Latitude = 0.0f;
                     f.Longitude = 0.0f;
                   }),
                   "$GPRMC,123456.78,A,0000.00000,S,00000.00000,W,10.500,45.25,150709,,,A"},
        LayoutCase{"RmcSouthWest", RmcWith([](RmcFields& f) {
                     f.Latitude = -33.25f;
                     f.Longitude = -70.5f;
                   }),
                   "$GPRMC,123456.78,A,3315.00000,S,07030.00000,W,10.500,45.25,150709,,,A"},
        // A fraction of a minute: 0.1 degree is 6 minutes, 0.01 is 0.6 minutes.
        LayoutCase{"RmcMinuteFraction", RmcWith([](RmcFields& f) {
                     f.Latitude = 10.125f;
                     f.Longitude = 5.0078125f;
                   }),
                   "$GPRMC,123456.78,A,1007.50000,N,00500.46875,E,10.500,45.25,150709,,,A"},
        LayoutCase{"RmcLatitude90_05Written", RmcWith([](RmcFields& f) { f.Latitude = 90.05f; }),
                   "$GPRMC,123456.78,A,9003.00018,N,12115.00000,E,10.500,45.25,150709,,,A"},
        LayoutCase{"RmcLatitude90_2Absent", RmcWith([](RmcFields& f) { f.Latitude = 90.2f; }),
                   "$GPRMC,123456.78,A,,,,,10.500,45.25,150709,,,A"},
        LayoutCase{"RmcLongitude180_2Absent", RmcWith([](RmcFields& f) { f.Longitude = 180.2f; }),
                   "$GPRMC,123456.78,A,,,,,10.500,45.25,150709,,,A"},
        // Beyond the bound on the other side, or not a number: absent too.
        LayoutCase{"RmcLatitudeMinus90_2Absent", RmcWith([](RmcFields& f) { f.Latitude = -90.2f; }),
                   "$GPRMC,123456.78,A,,,,,10.500,45.25,150709,,,A"},
        LayoutCase{"RmcLongitudeNaNAbsent", RmcWith([](RmcFields& f) { f.Longitude = kNaN; }),
                   "$GPRMC,123456.78,A,,,,,10.500,45.25,150709,,,A"},
        // Only hours 24 means absent in RMC.
        LayoutCase{"RmcHours25Written", RmcWith([](RmcFields& f) { f.Time.Hours = 25; }),
                   "$GPRMC,253456.78,A,2530.00000,N,12115.00000,E,10.500,45.25,150709,,,A"},
        LayoutCase{"RmcHours24Absent", RmcWith([](RmcFields& f) { f.Time.Hours = 24; }),
                   "$GPRMC,,A,2530.00000,N,12115.00000,E,10.500,45.25,150709,,,A"},
        LayoutCase{"RmcAbsentNumbers", RmcWith([](RmcFields& f) {
                     f.Speed = kNaN;
                     f.Course = -99999.5f;
                     f.Year = 0;
                   }),
                   "$GPRMC,123456.78,A,2530.00000,N,12115.00000,E,,,,,,A"},
        LayoutCase{"RmcInfiniteSpeedAbsent", RmcWith([](RmcFields& f) { f.Speed = kInfinity; }),
                   "$GPRMC,123456.78,A,2530.00000,N,12115.00000,E,,45.25,150709,,,A"},
        LayoutCase{"RmcVariation", RmcWith([](RmcFields& f) {
                     f.Variation = 4.5f;
                     f.VariationDirection = 'W';
                     f.Speed = -99999.0f;  // the bound itself is present
                   }),
                   "$GPRMC,123456.78,A,2530.00000,N,12115.00000,E,-99999.000,45.25,150709,4.50,W,A"},
        // A year the two digits cannot hold, or a month that is none, leaves the date empty.
        LayoutCase{"RmcYearBefore2000Absent", RmcWith([](RmcFields& f) { f.Year = 1999; }),
                   "$GPRMC,123456.78,A,2530.00000,N,12115.00000,E,10.500,45.25,,,,A"},
        LayoutCase{"RmcMonth13Absent", RmcWith([](RmcFields& f) { f.Month = 13; }),
                   "$GPRMC,123456.78,A,2530.00000,N,12115.00000,E,10.500,45.25,,,,A"},
        LayoutCase{"GbsAllPresent", MakeRecord("GP", "GBS", Gbs()),
                   "$GPGBS,010203.00,1.50,2.25,3.00,7,0.50,1.00,0.25"},
        LayoutCase{"GbsAbsent",
                   [] {
                     GbsFields f = Gbs();
                     f.Time.Hours = 24;
                     f.LatitudeError = kAbsentFloat;
                     f.FailedSatellite = 100;
                     f.BiasDeviation = kNaN;
                     return MakeRecord("GP", "GBS", f);
                   }(),
                   "$GPGBS,,,2.25,3.00,,0.50,1.00,"},
        LayoutCase{"GbsNegativeSatelliteAbsent",
                   [] {
                     GbsFields f = Gbs();
                     f.FailedSatellite = -1;
                     return MakeRecord("GP", "GBS", f);
                   }(),
                   "$GPGBS,010203.00,1.50,2.25,3.00,,0.50,1.00,0.25"},
        LayoutCase{"GsaSomeSatellites", MakeRecord("GP", "GSA", Gsa({4, 9, 17, 0, -3, 0, 0, 0, 0, 0, 0, 99})),
                   "$GPGSA,A,3,04,09,17,,,,,,,,,99,1.50,0.90,1.20"},
        // No valid ID still gives twelve empty satellite fields.
        LayoutCase{"GsaNoSatellites", MakeRecord("GP", "GSA", Gsa({})),
                   "$GPGSA,A,3" + std::string(13, ',') + "1.50,0.90,1.20"},
        LayoutCase{"Hdt", MakeRecord("HE", "HDT", HdtFields{45.0f}), "$HEHDT,45.0,T"},
        LayoutCase{"Hdt360", MakeRecord("HE", "HDT", HdtFields{360.0f}), "$HEHDT,360.0,T"},
        LayoutCase{"HdtAbove360", MakeRecord("HE", "HDT", HdtFields{360.5f}), "$HEHDT,,T"},
        LayoutCase{"HdtNegative", MakeRecord("HE", "HDT", HdtFields{-1.0f}), "$HEHDT,,T"},
        LayoutCase{"HdtNaN", MakeRecord("HE", "HDT", HdtFields{kNaN}), "$HEHDT,,T"}),
    Name);

// ---- The maker's own -----------------------------------------------------

MobFields Mob(uint8_t count, uint8_t valuePresent) {
  MobFields f;
  f.Id = {0x12, 0xAB, 0x0F};
  f.Number = 7;
  f.Code = 0x3C;
  f.Value = 0x05;
  f.ValuePresent = valuePresent;
  f.Data = {0x01, 0x02, 0xFF};
  f.DataCount = count;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Proprietary, LayoutTest,
    testing::Values(
        LayoutCase{"Mid",
                   MakeRecord("P", "MID", MidFields{123, 999999998}),
                   "$PMID,000000123,999999998"},
        LayoutCase{"MidAbsent",
                   MakeRecord("P", "MID", MidFields{999999999, 4000000000u}),
                   "$PMID,,"},
        LayoutCase{"Bdy",
                   MakeRecord("P", "BDY", BdyFields{42, "FIRST", "SECOND", 1, 2}),
                   "$PBDY,000000042,FIRST,SECOND,1,"},
        // What this program sends: only the request code.
        LayoutCase{"TstRequestOnly",
                   MakeRecord("P", "TST", TstFields{99999, 99, 0x40, 0x40, 16}),
                   "$PTST,,,,,00016"},
        LayoutCase{"TstAllPresent",
                   MakeRecord("P", "TST", TstFields{1234, 7, 'c', 'Q', 8}),
                   "$PTST,01234,07,c,Q,00008"},
        LayoutCase{"TstLetterBounds",
                   MakeRecord("P", "TST", TstFields{99998, 98, 'm', 'Z', 0}),
                   "$PTST,99998,98,m,Z,00000"},
        LayoutCase{"TstLettersOutside",
                   MakeRecord("P", "TST", TstFields{0, 0, 'n', 'a', 1}),
                   "$PTST,00000,00,,,00001"},
        LayoutCase{"TstAllAbsent",
                   MakeRecord("P", "TST", TstFields{99999, 99, 0x40, 0x40, 65535}),
                   "$PTST,,,,,"},
        // The record holds the values first, the counts after; on the line each value has its count.
        LayoutCase{"FrqFieldOrder",
                   MakeRecord("P", "FRQ", FrqFields{156025000, 161975000, 1, 10}),
                   "$PFRQ,156025000,1,161975000,10"},
        LayoutCase{"FrqAbsent",
                   MakeRecord("P", "FRQ", FrqFields{999999999, 5, 11, 0}),
                   "$PFRQ,,,000000005,0"},
        LayoutCase{"Bth",
                   MakeRecord("P", "BTH", BthFields{{1, 2, 3, 4, 5, 255}, "TEXT"}),
                   "$PBTH,001,002,003,004,005,255,TEXT"},
        LayoutCase{"BthNegative",
                   MakeRecord("P", "BTH", BthFields{{-5, 0, 0, 0, 0, 0}, ""}),
                   "$PBTH,-05,000,000,000,000,000,"},
        // One value above 255 empties all six.
        LayoutCase{"BthOneAbove255",
                   MakeRecord("P", "BTH", BthFields{{1, 2, 256, 4, 5, 6}, "T"}),
                   "$PBTH,,,,,,,T"},
        LayoutCase{"DbgBaudChange",
                   [] {
                     return MakeRecord(
                         "P", "DBG", DbgFields{{40, 42, 999, 999}, {5, 1, kAbsentDbgValue, kAbsentDbgValue}});
                   }(),
                   "$PDBG,040,5,042,1,,,,"},
        LayoutCase{
            "DbgPrefix",
            [] {
              return MakeRecord("P", "DBG", DbgFields{{1, 2, 3, 998}, {-7, 0, 2147483647, -2147483647}}, 'C');
            }(),
            "$PORV,C,DBG,001,-7,002,0,003,2147483647,998,-2147483647"},
        LayoutCase{"DbgLowerCaseLetterNoPrefix",
                   [] {
                     return MakeRecord("P", "DBG",
                                       DbgFields{{999, 1000, 999, 999}, {kAbsentDbgValue, 1, 2, 3}}, 'c');
                   }(),
                   "$PDBG,,,,1,,2,,3"},
        LayoutCase{"Tps",
                   MakeRecord("P", "TPS", TpsFields{2, "V1.23"}),
                   "$PTPS,002,V1.23"},
        LayoutCase{"TpsAbsentNumber",
                   MakeRecord("P", "TPS", TpsFields{999, "V1.23"}),
                   "$PTPS,,V1.23"},
        LayoutCase{"MobCount3", MakeRecord("P", "MOB", Mob(3, 1)),
                   "$PMOB,12AB0F,7,3C,05,0102FF"},
        LayoutCase{"MobCount0", MakeRecord("P", "MOB", Mob(0, 1)), "$PMOB,12AB0F,7,3C,05,"},
        LayoutCase{"MobNoValue", MakeRecord("P", "MOB", Mob(1, 0)), "$PMOB,12AB0F,7,3C,,01"},
        LayoutCase{"MobCount20", MakeRecord("P", "MOB", Mob(20, 1)),
                   "$PMOB,12AB0F,7,3C,05,0102FF" + std::string(34, '0')},
        // A count beyond the 20 data bytes is out of range.
        LayoutCase{"MobCountBeyondData", MakeRecord("P", "MOB", Mob(21, 1)),
                   "$PMOB,12AB0F,7,3C,05,"}),
    Name);

// ---- Refusals ------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(
    Refused, LayoutTest,
    testing::Values(
        // A body of another formatter never reaches the line.
        LayoutCase{"BodyOfAnotherFormatter", MakeRecord("P", "TST", DbgFields{}), "<refused>"},
        LayoutCase{"VdmBodyAsVdo", MakeRecord("AI", "VDO", Vdm(1, 0)), "<refused>"},
        LayoutCase{"NoBody", MakeRecord("P", "TST", std::monostate{}), "<refused>"},
        LayoutCase{"FormatterNotInTable", MakeRecord("P", "XYZ", TstFields{}), "<refused>"},
        LayoutCase{"LowerCaseFormatter", MakeRecord("P", "tst", TstFields{}), "<refused>"},
        // Texts that would end the line or start another are not sent.
        LayoutCase{"LineEndInText", MakeRecord("P", "TPS", TpsFields{2, "1\r\n$PTST,,,,,00008"}),
                   "<refused>"},
        LayoutCase{"StartCharacterInText", MakeRecord("P", "TPS", TpsFields{2, "A$B"}), "<refused>"},
        LayoutCase{"BangInText", MakeRecord("P", "BTH", BthFields{{}, "A!B"}), "<refused>"},
        LayoutCase{"ChecksumDelimiterInText", MakeRecord("P", "TPS", TpsFields{2, "A*B"}), "<refused>"},
        LayoutCase{"ControlCharacterInText", MakeRecord("P", "BDY", BdyFields{1, "A\tB", "", 0, 0}),
                   "<refused>"},
        LayoutCase{"DeleteInCharacterField",
                   MakeRecord("AI", "ALR", AlrFields{{1, 2, 3, 4}, 7, 0x7F, 'A', ""}), "<refused>"},
        // "0" + -6 is "*".
        LayoutCase{"OffsetCharacterMakesDelimiter", MakeRecord("AI", "VDM", Vdm(-6, 0)), "<refused>"},
        // A text of 65,535 characters or more cannot be checksummed.
        LayoutCase{"TooLongForChecksum", MakeRecord("P", "TPS", TpsFields{2, std::string(65535, 'A')}),
                   "<refused>"}),
    Name);

// What is kept as it is: commas shift fields but keep the frame; 8-bit text goes as it is.
INSTANTIATE_TEST_SUITE_P(
    KeptAsIs, LayoutTest,
    testing::Values(LayoutCase{"CommaInText", MakeRecord("P", "TPS", TpsFields{2, "1,2"}), "$PTPS,002,1,2"},
                    LayoutCase{"EightBitText", MakeRecord("P", "TPS", TpsFields{2, "V\xB0"}),
                               "$PTPS,002,V\xB0"}),
    Name);

TEST(SentenceLines, AreNotLimitedTo82Characters) {
  AlrFields alr{{1, 2, 3, 4}, 7, 'A', 'V', std::string(63, 'D')};
  const std::string line = LineBeforeChecksum(MakeRecord("AI", "ALR", alr));
  EXPECT_EQ(line, "$AIALR,010203.04,7,A,V," + std::string(63, 'D'));
  EXPECT_GT(line.size() + 5, 82u);
}

TEST(SplitDegrees, SplitsDegreesMinutesAndFraction) {
  struct Row {
    float Value;
    int Degrees, Minutes, Fraction;
  };
  // 179.999f is 179.998993: 0.998993 * 60 = 59.939575 in single precision.
  // 0.99999994f * 60 = 59.9999962, whose fraction 0.9999962 is cut to 99999.
  // The minutes are single precision: in double, 4.7833333f (4 degrees 47
  // minutes) would give 46.99999 and 0.0592111647f 3.55266.
  for (const Row& row :
       {Row{25.5f, 25, 30, 0}, Row{121.25f, 121, 15, 0}, Row{0.0f, 0, 0, 0}, Row{5.0078125f, 5, 0, 46875},
        Row{179.999f, 179, 59, 93957}, Row{0.99999994f, 0, 59, 99999}, Row{4.7833333f, 4, 47, 0},
        Row{0.0592111647f, 0, 3, 55267}}) {
    const SplitDegreesResult r = SplitDegrees(row.Value);
    EXPECT_EQ(r.Degrees, row.Degrees) << row.Value;
    EXPECT_EQ(r.Minutes, row.Minutes) << row.Value;
    EXPECT_EQ(r.Fraction, row.Fraction) << row.Value;
  }
}

TEST(SplitDegrees, GivesZeroForWhatIsNoMagnitude) {
  for (float value : {-1.0f, kNaN, kInfinity, 1.0e30f}) {
    const SplitDegreesResult r = SplitDegrees(value);
    EXPECT_EQ(r.Degrees, 0) << value;
    EXPECT_EQ(r.Minutes, 0) << value;
    EXPECT_EQ(r.Fraction, 0) << value;
  }
}

TEST(SplitDegrees, MinutesStayBelow60AndFractionsFiveDigits) {
  // Every float in [0, 1) at a coarse stride, and just below every whole degree.
  for (float value = 0.0f; value < 181.0f; value = std::nextafter(value + 0.00731f, 200.0f)) {
    for (float v : {value, std::nextafter(std::floor(value) + 1.0f, 0.0f)}) {
      const SplitDegreesResult r = SplitDegrees(v);
      ASSERT_LT(r.Minutes, 60) << v;
      ASSERT_GE(r.Minutes, 0) << v;
      ASSERT_LT(r.Fraction, 100000) << v;
      ASSERT_GE(r.Fraction, 0) << v;
    }
  }
}

}  // namespace
