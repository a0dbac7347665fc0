// The AIS sentences: ABK, ABM, ACK, ALR, BBM, SSD, VDM, VDO and VSD.
#include "codec/FieldText.h"
#include "codec/SentenceLayouts.h"

namespace {

// A channel or identifier written as a character counted from a base
// ("A" + 1 is "B", "0" + 3 is "3"); kAbsentInt8 is an empty field.
std::string OffsetChar(char base, int8_t value) {
  return value == kAbsentInt8 ? std::string() : CharText(static_cast<char>(base + value));
}

std::string NumberUpTo(unsigned value, unsigned highest) {
  return value > highest ? std::string() : FormatText("%u", value);
}

// The encapsulation sentences VDM and VDO, which differ only in the formatter.
bool LayoutEncapsulated(std::string& out, const SentenceRecord& record, const VdmFields& body) {
  const LayoutAddress address(record);
  out = FormatText("!%s%s,%d,%d,%s,%s,%s,%d", address.Talker.c_str(), address.Id.c_str(), body.TotalSentences,
                   body.SentenceNumber, OffsetChar('0', body.SequentialId).c_str(),
                   OffsetChar('A', body.Channel).c_str(), body.Data.c_str(), body.FillBits);
  return true;
}

}  // namespace

bool LayoutABK(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<AbkFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  const std::string mmsi = body->Mmsi == 0 ? std::string() : FormatText("%d", body->Mmsi);
  out = FormatText("$%s%s,%s,%s,%d,%d,%d", address.Talker.c_str(), address.Id.c_str(), mmsi.c_str(),
                   OffsetChar('A', body->Channel).c_str(), body->MessageId, body->SequenceNumber,
                   body->AcknowledgementType);
  return true;
}

bool LayoutABM(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<AbmFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  out = FormatText("!%s%s,%d,%d,%s,%d,%s,%d,%s,%d", address.Talker.c_str(), address.Id.c_str(),
                   body->TotalSentences, body->SentenceNumber, OffsetChar('0', body->SequentialId).c_str(),
                   body->Mmsi, OffsetChar('0', body->Channel).c_str(), body->MessageId, body->Data.c_str(),
                   body->FillBits);
  return true;
}

bool LayoutACK(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<AckFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  const std::string number =
      body->AlarmNumber >= 1000 ? std::string() : FormatText("%03d", body->AlarmNumber);
  out = FormatText("$%s%s,%s", address.Talker.c_str(), address.Id.c_str(), number.c_str());
  return true;
}

bool LayoutALR(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<AlrFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  // Minutes or seconds above 99 would lengthen the time; it is cut to hhmmss.ss.
  const std::string time =
      body->Time.Hours >= kAbsentHours ? std::string() : TimeText(body->Time).substr(0, 9);
  out = FormatText("$%s%s,%s,%d,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(), time.c_str(),
                   body->AlarmNumber, CharText(body->Condition).c_str(),
                   CharText(body->AcknowledgeState).c_str(), body->Description.c_str());
  return true;
}

bool LayoutBBM(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<BbmFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  out = FormatText("!%s%s,%d,%d,%s,%d,%d,%s,%d", address.Talker.c_str(), address.Id.c_str(),
                   body->TotalSentences, body->SentenceNumber, OffsetChar('0', body->SequentialId).c_str(),
                   body->Channel, body->MessageId, body->Data.c_str(), body->FillBits);
  return true;
}

bool LayoutSSD(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<SsdFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  out = FormatText("$%s%s,%s,%s,%s,%s,%s,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   body->CallSign.c_str(), body->Name.c_str(), NumberUpTo(body->ReferenceA, 511).c_str(),
                   NumberUpTo(body->ReferenceB, 511).c_str(), NumberUpTo(body->ReferenceC, 63).c_str(),
                   NumberUpTo(body->ReferenceD, 63).c_str(), NumberUpTo(body->DteFlag, 1).c_str(),
                   body->Source.c_str());
  return true;
}

bool LayoutVDM(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<VdmFields>(&record.Body);
  return body && LayoutEncapsulated(out, record, *body);
}

bool LayoutVDO(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<VdoFields>(&record.Body);
  return body && LayoutEncapsulated(out, record, *body);
}

bool LayoutVSD(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<VsdFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  const bool draughtPresent = body->Draught >= 0.0f && body->Draught <= 25.5f;  // false for not a number
  const std::string draught =
      draughtPresent ? FormatText("%4.1f", static_cast<double>(body->Draught + 0.0f)) : "";
  const std::string eta =
      body->ArrivalTime.Hours >= kAbsentHours ? std::string() : TimeText(body->ArrivalTime);
  const std::string day = body->ArrivalDay >= 32 ? std::string() : FormatText("%02d", body->ArrivalDay);
  const std::string month = body->ArrivalMonth > 12 ? std::string() : FormatText("%02d", body->ArrivalMonth);
  out = FormatText("$%s%s,%s,%s,%s,%s,%s,%s,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   NumberUpTo(body->ShipType, 255).c_str(), draught.c_str(),
                   NumberUpTo(body->PersonsOnBoard, 8191).c_str(), body->Destination.c_str(), eta.c_str(),
                   day.c_str(), month.c_str(), NumberUpTo(body->NavigationalStatus, 15).c_str(),
                   NumberUpTo(body->RegionalFlags, 15).c_str());
  return true;
}
