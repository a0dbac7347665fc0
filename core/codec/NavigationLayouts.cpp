// The navigation sentences: GBS, GSA, HDT and RMC.
#include <cmath>

#include "codec/FieldText.h"
#include "codec/SentenceLayouts.h"

namespace {

// The fix times of RMC and GBS are absent only at hours 24 exactly.
std::string FixTime(const SentenceTime& time) {
  return time.Hours == kAbsentHours ? std::string() : TimeText(time);
}

// Fields 3 to 6 of RMC as one text: ddmm.mmmmm,N/S,dddmm.mmmmm,E/W.
std::string RmcPosition(float latitude, float longitude) {
  // A position beyond 90.1 or 180.1 degrees either way, or not a number, is
  // absent: its four fields are empty.
  if (!(std::fabs(latitude) <= 90.1f) || !(std::fabs(longitude) <= 180.1f)) return ",,,";
  const char northSouth = latitude > 0.0f ? 'N' : 'S';
  const char eastWest = longitude > 0.0f ? 'E' : 'W';
  const SplitDegreesResult lat = SplitDegrees(std::fabs(latitude));
  const SplitDegreesResult lon = SplitDegrees(std::fabs(longitude));
  return FormatText("%02d%02d.%05d,%c,%03d%02d.%05d,%c", lat.Degrees, lat.Minutes, lat.Fraction, northSouth,
                    lon.Degrees, lon.Minutes, lon.Fraction, eastWest);
}

// ddmmyy. The two-digit year holds 2000 to 2099 only; a date outside that, or
// with a month or day that cannot be, is absent like the year 0.
std::string RmcDate(int year, int month, int day) {
  if (year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1 || day > 31) return std::string();
  return FormatText("%02d%02d%02d", day, month, year - 2000);
}

}  // namespace

bool LayoutGBS(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<GbsFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  const bool satellitePresent = body->FailedSatellite >= 0 && body->FailedSatellite < 100;
  const std::string satellite = satellitePresent ? FormatText("%d", body->FailedSatellite) : std::string();
  out = FormatText("$%s%s,%s,%s,%s,%s,%s,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   FixTime(body->Time).c_str(), FloatText(body->LatitudeError, "%4.2f").c_str(),
                   FloatText(body->LongitudeError, "%4.2f").c_str(),
                   FloatText(body->AltitudeError, "%4.2f").c_str(), satellite.c_str(),
                   FloatText(body->MissedDetection, "%4.2f").c_str(), FloatText(body->Bias, "%4.2f").c_str(),
                   FloatText(body->BiasDeviation, "%4.2f").c_str());
  return true;
}

bool LayoutGSA(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<GsaFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  // The twelve satellite fields as one text, each with its closing delimiter.
  std::string satellites;
  for (int8_t id : body->Satellites) satellites += id > 0 ? FormatText("%02d,", id) : std::string(",");
  out = FormatText("$%s%s,%s,%d,%s%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
                   CharText(body->Mode).c_str(), body->FixMode, satellites.c_str(),
                   FloatText(body->Pdop, "%4.2f").c_str(), FloatText(body->Hdop, "%4.2f").c_str(),
                   FloatText(body->Vdop, "%4.2f").c_str());
  return true;
}

bool LayoutHDT(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<HdtFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  const bool present = body->Heading >= 0.0f && body->Heading <= 360.0f;  // false for not a number
  // Adding zero turns -0.0 into 0.0, which prints without a sign.
  const std::string heading =
      present ? FormatText("%3.1f", static_cast<double>(body->Heading + 0.0f)) : std::string();
  out = FormatText("$%s%s,%s,T", address.Talker.c_str(), address.Id.c_str(), heading.c_str());
  return true;
}

bool LayoutRMC(std::string& out, const SentenceRecord& record) {
  const auto* body = std::get_if<RmcFields>(&record.Body);
  if (!body) return false;
  const LayoutAddress address(record);
  const std::string direction = body->VariationDirection == kAbsentInt8
                                    ? std::string()
                                    : CharText(static_cast<char>(body->VariationDirection));
  out = FormatText(
      "$%s%s,%s,%s,%s,%s,%s,%s,%s,%s,%s", address.Talker.c_str(), address.Id.c_str(),
      FixTime(body->Time).c_str(), CharText(body->Status).c_str(),
      RmcPosition(body->Latitude, body->Longitude).c_str(), FloatText(body->Speed, "%5.3f").c_str(),
      FloatText(body->Course, "%4.2f").c_str(), RmcDate(body->Year, body->Month, body->Day).c_str(),
      FloatText(body->Variation, "%4.2f").c_str(), direction.c_str(), CharText(body->Mode).c_str());
  return true;
}
