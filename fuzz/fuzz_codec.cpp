// Fills the sentence data store from arbitrary bytes and composes sentences
// from it: a compose either refuses with nothing to send, or gives one well
// framed line whose checksum is right.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "codec/Sentence.h"

namespace {

const char* const kIdentifiers[] = {"ABK", "ABM", "ACK", "ALR", "BBM", "BDY", "BTH", "DBG", "FRQ",
                                    "GBS", "GSA", "HDT", "MID", "MOB", "RMC", "SSD", "TPS", "TST",
                                    "VDM", "VDO", "VSD", "GGA", "TXT", "XYZ", "tst"};

template <class T>
void Fill(FuzzedDataProvider& in, T& value) {
  value = in.ConsumeIntegral<T>();
}
void Fill(FuzzedDataProvider& in, float& value) { value = in.ConsumeFloatingPoint<float>(); }
void Fill(FuzzedDataProvider& in, char& value) { value = in.ConsumeIntegral<char>(); }
void Fill(FuzzedDataProvider& in, std::string& value) { value = in.ConsumeRandomLengthString(120); }
void Fill(FuzzedDataProvider& in, SentenceTime& t) {
  Fill(in, t.Hours);
  Fill(in, t.Minutes);
  Fill(in, t.Seconds);
  Fill(in, t.Hundredths);
}
template <class T, size_t N>
void Fill(FuzzedDataProvider& in, std::array<T, N>& values) {
  for (T& v : values) Fill(in, v);
}
template <class... T>
void FillAll(FuzzedDataProvider& in, T&... fields) {
  (Fill(in, fields), ...);
}

void FillStore(FuzzedDataProvider& in, SentenceDataStore& s) {
  FillAll(in, s.ABK.Mmsi, s.ABK.Channel, s.ABK.MessageId, s.ABK.SequenceNumber, s.ABK.AcknowledgementType);
  FillAll(in, s.ABM.TotalSentences, s.ABM.SentenceNumber, s.ABM.SequentialId, s.ABM.FillBits, s.ABM.Data,
          s.ABM.Channel, s.ABM.MessageId, s.ABM.Mmsi);
  FillAll(in, s.ACK.AlarmNumber);
  FillAll(in, s.ALR.Time, s.ALR.AlarmNumber, s.ALR.Condition, s.ALR.AcknowledgeState, s.ALR.Description);
  FillAll(in, s.BBM.TotalSentences, s.BBM.SentenceNumber, s.BBM.SequentialId, s.BBM.FillBits, s.BBM.Data,
          s.BBM.Channel, s.BBM.MessageId);
  FillAll(in, s.GBS.Time, s.GBS.LatitudeError, s.GBS.LongitudeError, s.GBS.AltitudeError,
          s.GBS.FailedSatellite, s.GBS.MissedDetection, s.GBS.Bias, s.GBS.BiasDeviation);
  FillAll(in, s.GSA.Mode, s.GSA.FixMode, s.GSA.Satellites, s.GSA.Pdop, s.GSA.Hdop, s.GSA.Vdop);
  FillAll(in, s.HDT.Heading);
  FillAll(in, s.RMC.Time, s.RMC.Status, s.RMC.Latitude, s.RMC.Longitude, s.RMC.Speed, s.RMC.Course,
          s.RMC.Year, s.RMC.Month, s.RMC.Day, s.RMC.Variation, s.RMC.VariationDirection, s.RMC.Mode);
  FillAll(in, s.SSD.CallSign, s.SSD.Name, s.SSD.ReferenceA, s.SSD.ReferenceB, s.SSD.ReferenceC,
          s.SSD.ReferenceD, s.SSD.DteFlag, s.SSD.Source);
  FillAll(in, s.VDM.TotalSentences, s.VDM.SentenceNumber, s.VDM.SequentialId, s.VDM.FillBits, s.VDM.Data,
          s.VDM.Channel);
  s.VDO = VdoFields{s.VDM};
  FillAll(in, s.VSD.ShipType, s.VSD.Draught, s.VSD.PersonsOnBoard, s.VSD.Destination, s.VSD.ArrivalTime,
          s.VSD.ArrivalDay, s.VSD.ArrivalMonth, s.VSD.NavigationalStatus, s.VSD.RegionalFlags);
  FillAll(in, s.MID.First, s.MID.Second);
  FillAll(in, s.BDY.Number, s.BDY.FirstText, s.BDY.SecondText, s.BDY.FirstFlag, s.BDY.SecondFlag);
  FillAll(in, s.TST.FiveDigitNumber, s.TST.TwoDigitNumber, s.TST.LowerLetter, s.TST.UpperLetter,
          s.TST.RequestCode);
  FillAll(in, s.FRQ.FirstValue, s.FRQ.SecondValue, s.FRQ.FirstCount, s.FRQ.SecondCount);
  FillAll(in, s.BTH.Values, s.BTH.Text);
  FillAll(in, s.DBG.Codes, s.DBG.Values, s.DBG.SubfieldLetter);
  FillAll(in, s.TPS.Number, s.TPS.Text);
  FillAll(in, s.MOB.Id, s.MOB.Number, s.MOB.Code, s.MOB.Value, s.MOB.ValuePresent, s.MOB.Data,
          s.MOB.DataCount);
}

void CheckLine(const std::string& line) {
  // Start character, at least an address, "*hh\r\n".
  if (line.size() < 6 || (line[0] != '$' && line[0] != '!')) std::abort();
  const size_t star = line.size() - 5;
  if (line[star] != '*' || line.compare(star + 3, 2, "\r\n") != 0) std::abort();
  unsigned checksum = 0;
  for (size_t i = 1; i < star; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c == 0x7F || c == '$' || c == '!' || c == '*') std::abort();
    checksum ^= c;
  }
  static const char kDigits[] = "0123456789ABCDEF";
  if (line[star + 1] != kDigits[checksum >> 4] || line[star + 2] != kDigits[checksum & 0x0F]) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  static SentenceRecord record;  // one record for every compose, as in the program
  SentenceDataStore store;
  FillStore(in, store);
  for (int i = 0; i < 4 && in.remaining_bytes() > 0; ++i) {
    const char* id = in.PickValueInArray(kIdentifiers);
    const std::string talker = in.ConsumeRandomLengthString(3);
    std::string line = "left over";
    if (ComposeSentence(line, record, id, talker, store)) {
      CheckLine(line);
    } else if (!line.empty()) {
      std::abort();
    }
  }
  return 0;
}
