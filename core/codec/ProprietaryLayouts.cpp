// The unit maker's own sentences: MID, BDY, TST, FRQ, BTH, DBG, TPS and MOB.
#include "codec/FieldText.h"
#include "codec/SentenceLayouts.h"

namespace {

// A nine-digit number; 999,999,999 and above are absent.
std::string NineDigits(uint32_t value) {
  return value >= 999999999u ? std::string() : FormatText("%09u", value);
}

std::string Flag(uint8_t value) { return value > 1 ? std::string() : FormatText("%d", value); }

std::string Count(uint8_t value) { return value > 10 ? std::string() : FormatText("%d", value); }

// A three-digit code; 999 and above are absent.
std::string ThreeDigits(int16_t value) { return value >= 999 ? std::string() : FormatText("%03d", value); }

std::string HexBytes(const uint8_t* bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += FormatText("%02X", bytes[i]);
  return text;
}

}  // namespace

bool LayoutMID(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<MidFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  out = FormatText("$%s%s,%s,%s", address.Talker.c_str(), address.Id.c_str(), NineDigits(body->First).c_str(),
                   NineDigits(body->Second).c_str());
  return true;
}

bool LayoutBDY(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<BdyFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  out = FormatText("$%s%s,%s,%s,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   NineDigits(body->Number).c_str(), body->FirstText.c_str(), body->SecondText.c_str(),
                   Flag(body->FirstFlag).c_str(), Flag(body->SecondFlag).c_str());
  return true;
}

bool LayoutTST(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<TstFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  const std::string five = body->FiveDigitNumber >= 99999u ? "" : FormatText("%05u", body->FiveDigitNumber);
  const std::string two = body->TwoDigitNumber >= 99 ? "" : FormatText("%02d", body->TwoDigitNumber);
  const bool lowerPresent = body->LowerLetter >= 'a' && body->LowerLetter <= 'm';
  const bool upperPresent = body->UpperLetter >= 'A' && body->UpperLetter <= 'Z';
  const std::string code = body->RequestCode == 65535 ? "" : FormatText("%05d", body->RequestCode);
  out = FormatText("$%s%s,%s,%s,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(), five.c_str(),
                   two.c_str(), lowerPresent ? CharText(body->LowerLetter).c_str() : "",
                   upperPresent ? CharText(body->UpperLetter).c_str() : "", code.c_str());
  return true;
}

bool LayoutFRQ(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<FrqFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  out = FormatText("$%s%s,%s,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   NineDigits(body->FirstValue).c_str(), Count(body->FirstCount).c_str(),
                   NineDigits(body->SecondValue).c_str(), Count(body->SecondCount).c_str());
  return true;
}

bool LayoutBTH(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<BthFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  bool present = true;
  for (int16_t value : body->Values) present = present && value <= 255;
  std::string values[6];
  for (size_t i = 0; i < 6; ++i) values[i] = present ? FormatText("%03d", body->Values[i]) : std::string();
  out = FormatText("$%s%s,%s,%s,%s,%s,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   values[0].c_str(), values[1].c_str(), values[2].c_str(), values[3].c_str(),
                   values[4].c_str(), values[5].c_str(), body->Text.c_str());
  return true;
}

bool LayoutDBG(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<DbgFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  // The proprietary prefix: "ORV,C," for a sub-field letter C, between the
  // talker and the formatter ($PORV,C,DBG).
  const bool prefixed = record.SubfieldChar >= 'A' && record.SubfieldChar <= 'Z';
  const std::string prefix = prefixed ? FormatText("ORV,%c,", record.SubfieldChar) : std::string();
  std::string codes[4];
  std::string values[4];
  for (size_t i = 0; i < 4; ++i) {
    codes[i] = ThreeDigits(body->Codes[i]);
    values[i] = body->Values[i] == kAbsentDbgValue ? std::string() : FormatText("%ld", long{body->Values[i]});
  }
  out =
      FormatText("$%s%s%s,%s,%s,%s,%s,%s,%s,%s,%s", address.Talker.c_str(), prefix.c_str(),
                 address.Id.c_str(), codes[0].c_str(), values[0].c_str(), codes[1].c_str(), values[1].c_str(),
                 codes[2].c_str(), values[2].c_str(), codes[3].c_str(), values[3].c_str());
  return true;
}

bool LayoutTPS(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<TpsFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  out = FormatText("$%s%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   ThreeDigits(body->Number).c_str(), body->Text.c_str());
  return true;
}

bool LayoutMOB(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<MobFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  const std::string value = body->ValuePresent == 0 ? std::string() : FormatText("%02X", body->Value);
  // A count beyond the data is out of range, like any other, and gives an empty field.
  const size_t count = body->DataCount <= MobFields::kDataSize ? body->DataCount : 0;
  out = FormatText("$%s%s,%s,%d,%02X,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   HexBytes(body->Id.data(), body->Id.size()).c_str(), body->Number, body->Code,
                   value.c_str(), HexBytes(body->Data.data(), count).c_str());
  return true;
}
