// Classifying identifiers and gathering a store entry into the record.
#include <gtest/gtest.h>

#include <string>

#include "CodecTestSupport.h"

namespace {

TEST(ClassifySentence, FamiliesOfEveryIdentifier) {
  struct Row {
    int Family;
    std::vector<const char*> Ids;
  };
  const std::vector<Row> rows = {
      {1, {"GGA", "GLL", "GBS", "GSA", "GSV", "RMC", "VTG", "ZDA"}},
      {2, {"ROT", "HDT", "VBW", "GNS"}},
      {3, {"LRI", "LRF", "LR1", "LR2", "LR3"}},
      {4, {"ABK", "ACA", "ACK", "ACS", "ALR", "SSD", "VSD", "ABM", "BBM", "VDM", "VDO", "TXT"}},
      {5, {"DSC", "DSE", "DSI", "DSR"}},
      {6, {"MID", "BDY", "TST", "FRQ", "BTH", "DBG", "TPS", "MOB"}},
      // Case-sensitive, whole texts, the talker plays no part.
      {0, {"tst", "Tst", "TS", "TSTX", "PTST", "", "ORV", "XYZ", "GPRMC", "VDM "}},
  };
  for (const Row& row : rows) {
    for (const char* id : row.Ids) EXPECT_EQ(ClassifySentence(id), row.Family) << id;
  }
  // Compared up to a terminating zero.
  EXPECT_EQ(ClassifySentence(std::string_view("TST\0XY", 6)), 6);
}

SentenceRecord RecordFor(const char* id) {
  SentenceRecord record;
  std::snprintf(record.SentenceId, sizeof record.SentenceId, "%s", id);
  record.TalkerId[0] = 'P';
  return record;
}

TEST(GatherFields, MobCopiesItsDataForACountOf1To19Only) {
  struct Row {
    uint8_t Count;
    uint8_t ExpectedCount;
  };
  for (const Row& row : {Row{0, 0}, Row{1, 1}, Row{19, 19}, Row{20, 0}, Row{200, 0}}) {
    SentenceDataStore store;
    store.MOB.Id = {1, 2, 3};
    store.MOB.Number = 4;
    store.MOB.Code = 5;
    store.MOB.Value = 6;
    store.MOB.ValuePresent = 1;
    for (size_t i = 0; i < store.MOB.Data.size(); ++i) store.MOB.Data[i] = static_cast<uint8_t>(0xA0 + i);
    store.MOB.DataCount = row.Count;
    SentenceRecord record = RecordFor("MOB");
    GatherFields(record, store);
    const auto* body = std::get_if<MobFields>(&record.Body);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->DataCount, row.ExpectedCount) << int{row.Count};
    for (size_t i = 0; i < body->Data.size(); ++i) {
      EXPECT_EQ(body->Data[i], i < row.ExpectedCount ? 0xA0 + i : 0) << int{row.Count} << " byte " << i;
    }
    EXPECT_EQ(body->Id, (std::array<uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(body->Number, 4);
    EXPECT_EQ(body->Code, 5);
    EXPECT_EQ(body->Value, 6);
    EXPECT_EQ(body->ValuePresent, 1);
  }
}

TEST(GatherFields, DbgLetterGoesIntoTheHeaderAndTheEntryStays) {
  for (char letter : {'K', '\0'}) {
    SentenceDataStore store;
    store.DBG = {.Codes = {40, 42, 999, 999},
                 .Values = {5, 1, kAbsentDbgValue, kAbsentDbgValue},
                 .SubfieldLetter = letter};
    const DbgEntry before = store.DBG;
    SentenceRecord record = RecordFor("DBG");
    record.SubfieldChar = 'Z';
    GatherFields(record, store);
    EXPECT_EQ(record.SubfieldChar, letter);
    EXPECT_EQ(store.DBG.Codes, before.Codes);
    EXPECT_EQ(store.DBG.Values, before.Values);
    EXPECT_EQ(store.DBG.SubfieldLetter, letter);
    EXPECT_EQ(LineBeforeChecksum(record),
              letter == 'K' ? "$PORV,K,DBG,040,5,042,1,,,," : "$PDBG,040,5,042,1,,,,");
  }
}

TEST(GatherFields, OnlyDbgTouchesSubfieldCharAndNothingTouchesTheAddress) {
  SentenceDataStore store;
  for (const char* id : {"TST", "TPS", "MOB", "RMC", "VDM", "GGA", "XYZ"}) {
    SentenceRecord record = RecordFor(id);
    record.SubfieldChar = 'Q';
    GatherFields(record, store);
    EXPECT_EQ(record.SubfieldChar, 'Q') << id;
    EXPECT_EQ(HeaderText(record.SentenceId), id);
    EXPECT_EQ(HeaderText(record.TalkerId), "P");
  }
}

TEST(GatherFields, IdentifiersWithoutAComposerLeaveTheBodyAlone) {
  SentenceDataStore store;
  store.TST.RequestCode = 1;
  for (const char* id : {"XYZ", "tst", "GGA", "TXT", "DSC", "LRI", "ROT"}) {
    SentenceRecord record = RecordFor(id);
    record.Body = TstFields{.RequestCode = 77};
    GatherFields(record, store);
    const auto* body = std::get_if<TstFields>(&record.Body);
    ASSERT_NE(body, nullptr) << id;
    EXPECT_EQ(body->RequestCode, 77) << id;
  }
}

// Texts are cut to the width of their field; a terminating zero ends them.
TEST(GatherFields, TextsAreCutToTheirField) {
  struct Row {
    std::string Text;
    std::string Bth, Tps, Bdy;
  };
  const std::string s20(20, 'a'), s25(25, 'b'), s26(26, 'c');
  const std::vector<Row> rows = {
      {"", "", "", ""},
      {s20, s20, s20, s20},
      {s20 + "x", s20 + "x", s20 + "x", s20},
      {s25, s25, s25, s25.substr(0, 20)},
      {s26, s26.substr(0, 25), s26.substr(0, 25), s26.substr(0, 20)},
      {std::string(1000, 'd'), std::string(25, 'd'), std::string(25, 'd'), std::string(20, 'd')},
      {std::string("AB\0CD", 5), "AB", "AB", "AB"},
  };
  for (const Row& row : rows) {
    SentenceDataStore store;
    store.BTH.Text = row.Text;
    store.TPS.Text = row.Text;
    store.BDY.FirstText = row.Text;
    store.BDY.SecondText = row.Text;
    SentenceRecord bth = RecordFor("BTH"), tps = RecordFor("TPS"), bdy = RecordFor("BDY");
    GatherFields(bth, store);
    GatherFields(tps, store);
    GatherFields(bdy, store);
    EXPECT_EQ(std::get<BthFields>(bth.Body).Text, row.Bth) << row.Text.size();
    EXPECT_EQ(std::get<TpsFields>(tps.Body).Text, row.Tps) << row.Text.size();
    EXPECT_EQ(std::get<BdyFields>(bdy.Body).FirstText, row.Bdy) << row.Text.size();
    EXPECT_EQ(std::get<BdyFields>(bdy.Body).SecondText, row.Bdy) << row.Text.size();
  }
}

TEST(GatherFields, AisTextsAreCutToTheirFieldToo) {
  SentenceDataStore store;
  store.VDM.Data = std::string(100, 'E');
  store.SSD.CallSign = "CALLSIGN9";
  store.SSD.Name = std::string(30, 'N');
  store.VSD.Destination = std::string(30, 'D');
  store.ALR.Description = std::string(100, 'A');
  SentenceRecord vdm = RecordFor("VDM"), ssd = RecordFor("SSD"), vsd = RecordFor("VSD"),
                 alr = RecordFor("ALR");
  for (SentenceRecord* r : {&vdm, &ssd, &vsd, &alr}) GatherFields(*r, store);
  EXPECT_EQ(std::get<VdmFields>(vdm.Body).Data, std::string(63, 'E'));
  EXPECT_EQ(std::get<SsdFields>(ssd.Body).CallSign, "CALLSIG");
  EXPECT_EQ(std::get<SsdFields>(ssd.Body).Name, std::string(20, 'N'));
  EXPECT_EQ(std::get<VsdFields>(vsd.Body).Destination, std::string(20, 'D'));
  EXPECT_EQ(std::get<AlrFields>(alr.Body).Description, std::string(63, 'A'));
}

TEST(GatherFields, ProprietaryEntriesArriveWholeInTheBody) {
  SentenceDataStore store;
  store.MID = {11, 22};
  store.FRQ = {1, 2, 3, 4};
  store.BTH = {{1, -2, 3, -4, 5, 6}, "T"};
  store.BDY = {7, "F", "S", 1, 0};
  SentenceRecord mid = RecordFor("MID"), frq = RecordFor("FRQ"), bth = RecordFor("BTH"),
                 bdy = RecordFor("BDY");
  for (SentenceRecord* r : {&mid, &frq, &bth, &bdy}) GatherFields(*r, store);
  EXPECT_EQ(LineBeforeChecksum(mid), "$PMID,000000011,000000022");
  EXPECT_EQ(LineBeforeChecksum(frq), "$PFRQ,000000001,3,000000002,4");
  EXPECT_EQ(LineBeforeChecksum(bth), "$PBTH,001,-02,003,-04,005,006,T");
  EXPECT_EQ(LineBeforeChecksum(bdy), "$PBDY,000000007,F,S,1,0");
}

}  // namespace
