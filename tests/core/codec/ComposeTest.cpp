// Composing from the data store: the lines this program sends, byte for byte,
// and what a compose refuses.
#include <gtest/gtest.h>

#include <string>

#include "CodecTestSupport.h"

namespace {

void FillTestRequest(SentenceDataStore& store, uint16_t request) {
  store.TST = {.FiveDigitNumber = 99999,
               .TwoDigitNumber = 99,
               .LowerLetter = 0x40,
               .UpperLetter = 0x40,
               .RequestCode = request};
}

void FillBaudChange(SentenceDataStore& store, int32_t rs232, int32_t nmea) {
  store.DBG = {.Codes = {40, 42, 999, 999},
               .Values = {rs232, nmea, kAbsentDbgValue, kAbsentDbgValue},
               .SubfieldLetter = 0};
}

TEST(ComposeSentence, TheLinesThisProgramSends) {
  SentenceDataStore store;
  SentenceRecord record;
  std::string line;

  FillTestRequest(store, 16);
  ASSERT_TRUE(ComposeSentence(line, record, "TST", "P", store));
  EXPECT_EQ(line, "$PTST,,,,,00016*18\r\n");

  FillTestRequest(store, 8);
  ASSERT_TRUE(ComposeSentence(line, record, "TST", "P", store));
  EXPECT_EQ(line, "$PTST,,,,,00008*17\r\n");

  FillBaudChange(store, 0, 0);
  ASSERT_TRUE(ComposeSentence(line, record, "DBG", "P", store));
  EXPECT_EQ(line, "$PDBG,040,0,042,0,,,,*13\r\n");

  FillBaudChange(store, 5, 1);
  ASSERT_TRUE(ComposeSentence(line, record, "DBG", "P", store));
  EXPECT_EQ(line, "$PDBG,040,5,042,1,,,,*17\r\n");

  store.TPS = {.Number = 2, .Text = "KQ30-V1.02"};
  ASSERT_TRUE(ComposeSentence(line, record, "TPS", "P", store));
  EXPECT_EQ(line, "$PTPS,002,KQ30-V1.02*" + ExpectedChecksum("$PTPS,002,KQ30-V1.02") + "\r\n");
  EXPECT_EQ(line.c_str()[line.size()], '\0');
}

TEST(ComposeSentence, TheRmcWorkedExample) {
  SentenceDataStore store;
  SentenceRecord record;
  store.RMC.Time = {12, 34, 56, 78};
  store.RMC.Status = 'A';
  store.RMC.Latitude = 25.5f;
  store.RMC.Longitude = 121.25f;
  store.RMC.Speed = 10.5f;
  store.RMC.Course = 45.25f;
  store.RMC.Year = 2009;
  store.RMC.Month = 7;
  store.RMC.Day = 15;
  store.RMC.Variation = -100000.0f;
  store.RMC.VariationDirection = kAbsentInt8;
  store.RMC.Mode = 'A';
  std::string line;
  ASSERT_TRUE(ComposeSentence(line, record, "RMC", "GP", store));
  EXPECT_EQ(line, "$GPRMC,123456.78,A,2530.00000,N,12115.00000,E,10.500,45.25,150709,,,A*6C\r\n");
}

TEST(ComposeSentence, UsesTheProcessWideStoreAndRecord) {
  FillTestRequest(ProcessSentenceDataStore(), 16);
  std::string line;
  ASSERT_TRUE(ComposeSentence(line, ProcessSentenceRecord(), "TST", "P"));
  EXPECT_EQ(line, "$PTST,,,,,00016*18\r\n");
  EXPECT_EQ(HeaderText(ProcessSentenceRecord().TalkerId), "P");
  EXPECT_EQ(HeaderText(ProcessSentenceRecord().SentenceId), "TST");
}

TEST(ComposeSentence, AnEarlierSentenceOfAnotherIdentifierNeverShows) {
  SentenceDataStore store;
  SentenceRecord record;
  std::string line;
  store.DBG = {.Codes = {1, 2, 3, 4}, .Values = {5, 6, 7, 8}, .SubfieldLetter = 'K'};
  ASSERT_TRUE(ComposeSentence(line, record, "DBG", "P", store));
  EXPECT_EQ(line.substr(0, 12), "$PORV,K,DBG,");

  FillTestRequest(store, 16);
  ASSERT_TRUE(ComposeSentence(line, record, "TST", "P", store));
  EXPECT_EQ(line, "$PTST,,,,,00016*18\r\n");
  const auto* body = std::get_if<TstFields>(&record.Body);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body->FiveDigitNumber, 99999u);
  EXPECT_EQ(body->TwoDigitNumber, 99);
  EXPECT_EQ(body->LowerLetter, 0x40);
  EXPECT_EQ(body->UpperLetter, 0x40);
  EXPECT_EQ(body->RequestCode, 16);
  // SubfieldChar belongs to DBG: the TST line above has no prefix whatever it holds.
  EXPECT_EQ(record.SubfieldChar, 'K');
}

TEST(ComposeSentence, AddressesOfAOneCharacterTalker) {
  SentenceDataStore store;
  FillTestRequest(store, 16);
  FillBaudChange(store, 1, 2);
  store.TPS = {.Number = 2, .Text = "X"};
  SentenceRecord record;
  std::string line;
  for (const char* id : {"TST", "DBG", "TPS"}) {
    ASSERT_TRUE(ComposeSentence(line, record, id, "P", store)) << id;
    EXPECT_EQ(line.substr(0, 6), std::string("$P") + id + ",") << id;
  }
}

TEST(ComposeSentence, RefusesWhatItCannotCompose) {
  struct Row {
    const char* Id;
    const char* Talker;
  };
  SentenceDataStore store;
  FillTestRequest(store, 16);
  for (const Row& row :
       {Row{"XYZ", "P"}, Row{"tst", "P"}, Row{"GGA", "GP"}, Row{"TXT", "AI"}, Row{"TS", "P"}, Row{"", "P"}}) {
    SentenceRecord record;
    std::string line = "left over";
    EXPECT_FALSE(ComposeSentence(line, record, row.Id, row.Talker, store)) << row.Id;
    EXPECT_TRUE(line.empty()) << row.Id;
  }
}

TEST(ComposeSentence, RefusesATalkerOrFormatterTooLongForTheHeader) {
  SentenceDataStore store;
  FillTestRequest(store, 16);
  struct Row {
    const char* Id;
    const char* Talker;
  };
  for (const Row& row : {Row{"TSTX", "P"}, Row{"TST", "ABC"}, Row{"TSTTSTTST", "P"}}) {
    SentenceRecord record;
    std::string line;
    ASSERT_TRUE(ComposeSentence(line, record, "TST", "GP", store));
    EXPECT_FALSE(ComposeSentence(line, record, row.Id, row.Talker, store)) << row.Id << " " << row.Talker;
    EXPECT_TRUE(line.empty());
    // The header is left as the last good compose set it.
    EXPECT_EQ(HeaderText(record.TalkerId), "GP");
    EXPECT_EQ(HeaderText(record.SentenceId), "TST");
  }
}

TEST(ComposeSentence, ATalkerOfTwoCharactersAndAnEmptyOne) {
  SentenceDataStore store;
  FillTestRequest(store, 16);
  SentenceRecord record;
  std::string line;
  ASSERT_TRUE(ComposeSentence(line, record, "TST", "GP", store));
  EXPECT_EQ(line.substr(0, 7), "$GPTST,");
  ASSERT_TRUE(ComposeSentence(line, record, "TST", "", store));
  EXPECT_EQ(line.substr(0, 5), "$TST,");
}

TEST(ComposeSentence, AVersionTextThatWouldInjectACommandIsNotSent) {
  SentenceDataStore store;
  store.TPS = {.Number = 2, .Text = "1\r\n$PTST,,,,,00008"};
  SentenceRecord record;
  std::string line;
  EXPECT_FALSE(ComposeSentence(line, record, "TPS", "P", store));
  EXPECT_TRUE(line.empty());
}

TEST(FormatSentence, EveryLineEndsWithItsChecksumAndCrLf) {
  // Every composer, from a zeroed store: one line each, checksum right.
  SentenceDataStore store;
  SentenceRecord record;
  for (const char* id : {"ABK", "ABM", "ACK", "ALR", "BBM", "BDY", "BTH", "DBG", "FRQ", "GBS", "GSA",
                         "HDT", "MID", "MOB", "RMC", "SSD", "TPS", "TST", "VDM", "VDO", "VSD"}) {
    std::string line;
    ASSERT_TRUE(ComposeSentence(line, record, id, "P", store)) << id;
    const size_t star = line.find('*');
    ASSERT_NE(star, std::string::npos) << id;
    EXPECT_EQ(line.substr(star + 1), ExpectedChecksum(line.substr(0, star)) + "\r\n") << id;
    EXPECT_EQ(line.find_first_of("\r\n"), star + 3) << id;
  }
}

}  // namespace
