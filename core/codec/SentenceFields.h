#pragma once
// The bodies of the 21 sentences the codec composes: one struct per formatter,
// its fields in record order. The same structs are the entries of the data
// store (SentenceDataStore.h), so a sender fills exactly what the composer
// prints. Every field starts at zero, as the store does when the program starts.
//
// A field holding the value named in its comment is printed as an empty field.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Values that the composers print as empty fields.
inline constexpr int8_t kAbsentInt8 = -128;            // int8 fields that may be absent
inline constexpr float kAbsentFloat = -100000.0f;      // any float below -99999 is absent
inline constexpr int32_t kAbsentDbgValue = INT32_MIN;  // 0x80000000, absent DBG values
inline constexpr uint8_t kAbsentHours = 24;            // a time whose hours are 24 is absent

// A time of day printed as hhmmss.ss.
struct SentenceTime {
  uint8_t Hours = 0;
  uint8_t Minutes = 0;
  uint8_t Seconds = 0;
  uint8_t Hundredths = 0;
};

// ---- AIS sentences -------------------------------------------------------

// ABK: AIS addressed and binary broadcast acknowledgement.
struct AbkFields {
  int32_t Mmsi = 0;    // 0: absent
  int8_t Channel = 0;  // letter "A" + value; kAbsentInt8: absent
  int8_t MessageId = 0;
  int8_t SequenceNumber = 0;
  int8_t AcknowledgementType = 0;
};

// ACK: acknowledge alarm.
struct AckFields {
  uint16_t AlarmNumber = 0;  // 1000 or more: absent
};

// ABM: AIS addressed binary and safety-related message. Record order, which is
// not the order of the fields on the line.
struct AbmFields {
  static constexpr size_t kDataSize = 64;  // up to 63 characters
  int8_t TotalSentences = 0;
  int8_t SentenceNumber = 0;
  int8_t SequentialId = 0;  // digit "0" + value; kAbsentInt8: absent
  int8_t FillBits = 0;
  std::string Data;    // encapsulated data (six-bit armoured)
  int8_t Channel = 0;  // digit "0" + value; kAbsentInt8: absent
  int8_t MessageId = 0;
  int32_t Mmsi = 0;  // destination
};

// BBM: AIS broadcast binary message; ABM's body without the destination.
struct BbmFields {
  static constexpr size_t kDataSize = 64;
  int8_t TotalSentences = 0;
  int8_t SentenceNumber = 0;
  int8_t SequentialId = 0;  // digit "0" + value; kAbsentInt8: absent
  int8_t FillBits = 0;
  std::string Data;
  int8_t Channel = 0;  // written as a number
  int8_t MessageId = 0;
};

// VDM: AIS VHF data-link message; the first six fields of ABM's body.
struct VdmFields {
  static constexpr size_t kDataSize = 64;
  int8_t TotalSentences = 0;
  int8_t SentenceNumber = 0;
  int8_t SequentialId = 0;  // digit "0" + value; kAbsentInt8: absent
  int8_t FillBits = 0;
  std::string Data;
  int8_t Channel = 0;  // letter "A" + value; kAbsentInt8: absent
};

// VDO: own-vessel report, laid out as VDM. A type of its own so that a VDM
// body is never printed as a VDO.
struct VdoFields : VdmFields {};

// ALR: set alarm state.
struct AlrFields {
  static constexpr size_t kDescriptionSize = 64;
  SentenceTime Time;  // hours 24 or more: absent
  uint16_t AlarmNumber = 0;
  char Condition = 0;
  char AcknowledgeState = 0;
  std::string Description;
};

// SSD: AIS ship static data.
struct SsdFields {
  static constexpr size_t kCallSignSize = 8;
  static constexpr size_t kNameSize = 21;
  static constexpr size_t kSourceSize = 8;
  std::string CallSign;
  std::string Name;
  uint16_t ReferenceA = 0;  // from bow; above 511: absent
  uint16_t ReferenceB = 0;  // from stern; above 511: absent
  uint8_t ReferenceC = 0;   // from port beam; above 63: absent
  uint8_t ReferenceD = 0;   // from starboard beam; above 63: absent
  uint8_t DteFlag = 0;      // above 1: absent
  std::string Source;
};

// VSD: AIS voyage static data.
struct VsdFields {
  static constexpr size_t kDestinationSize = 21;
  uint16_t ShipType = 0;        // above 255: absent
  float Draught = 0;            // below 0, above 25.5 or not a number: absent
  uint16_t PersonsOnBoard = 0;  // above 8191: absent
  std::string Destination;
  SentenceTime ArrivalTime;        // hours 24 or more: absent
  uint8_t ArrivalDay = 0;          // 32 or more: absent
  uint8_t ArrivalMonth = 0;        // above 12: absent
  uint8_t NavigationalStatus = 0;  // above 15: absent
  uint8_t RegionalFlags = 0;       // above 15: absent
};

// ---- Navigation sentences ------------------------------------------------

// RMC: recommended minimum specific GNSS data.
struct RmcFields {
  SentenceTime Time;  // hours equal to 24: absent
  char Status = 0;
  float Latitude = 0;   // decimal degrees, north positive
  float Longitude = 0;  // decimal degrees, east positive
  float Speed = 0;      // knots
  float Course = 0;     // degrees
  int16_t Year = 0;     // four digits; 0: the date is absent
  int8_t Month = 0;
  int8_t Day = 0;
  float Variation = 0;
  int8_t VariationDirection = 0;  // "E" or "W"; kAbsentInt8: absent
  char Mode = 0;
};

// GBS: GNSS satellite fault detection.
struct GbsFields {
  SentenceTime Time;  // hours equal to 24: absent
  float LatitudeError = 0;
  float LongitudeError = 0;
  float AltitudeError = 0;
  int8_t FailedSatellite = 0;  // below 0, or 100 and above: absent
  float MissedDetection = 0;
  float Bias = 0;
  float BiasDeviation = 0;
};

// GSA: GNSS DOP and active satellites.
struct GsaFields {
  char Mode = 0;
  int8_t FixMode = 0;
  std::array<int8_t, 12> Satellites{};  // 0 or below: absent (each)
  float Pdop = 0;
  float Hdop = 0;
  float Vdop = 0;
};

// HDT: heading, true.
struct HdtFields {
  float Heading = 0;  // below 0, above 360 or not a number: absent
};

// ---- The unit maker's own sentences --------------------------------------

struct MidFields {
  uint32_t First = 0;  // 999,999,999 or more: absent
  uint32_t Second = 0;
};

struct BdyFields {
  static constexpr size_t kTextSize = 21;  // up to 20 characters
  uint32_t Number = 0;                     // 999,999,999 or more: absent
  std::string FirstText;
  std::string SecondText;
  uint8_t FirstFlag = 0;  // above 1: absent
  uint8_t SecondFlag = 0;
};

// TST: the test request. This program sends 99999, 99, 0x40, 0x40 and the
// request code, so that only the code is present: $PTST,,,,,00016.
struct TstFields {
  uint32_t FiveDigitNumber = 0;  // 99999 or more: absent
  uint8_t TwoDigitNumber = 0;    // 99 or more: absent
  char LowerLetter = 0;          // outside "a" to "m": absent
  char UpperLetter = 0;          // outside "A" to "Z": absent
  uint16_t RequestCode = 0;      // 65535: absent
};

// FRQ. Record order: the two values, then the two counts; on the line each
// value is followed by its count.
struct FrqFields {
  uint32_t FirstValue = 0;  // 999,999,999 or more: absent
  uint32_t SecondValue = 0;
  uint8_t FirstCount = 0;  // above 10: absent
  uint8_t SecondCount = 0;
};

struct BthFields {
  static constexpr size_t kTextSize = 26;  // up to 25 characters
  std::array<int16_t, 6> Values{};         // all six absent when any is above 255
  std::string Text;
};

// DBG: codes and values alternate on the line: code, value, code, value, ...
struct DbgFields {
  std::array<int16_t, 4> Codes{};   // 999 or more: absent (each)
  std::array<int32_t, 4> Values{};  // kAbsentDbgValue: absent (each)
};

struct TpsFields {
  static constexpr size_t kTextSize = 26;  // up to 25 characters
  int16_t Number = 0;                      // 999 or more: absent
  std::string Text;
};

struct MobFields {
  static constexpr size_t kDataSize = 20;
  std::array<uint8_t, 3> Id{};  // six hexadecimal digits
  uint8_t Number = 0;
  uint8_t Code = 0;
  uint8_t Value = 0;  // absent when ValuePresent is 0
  uint8_t ValuePresent = 0;
  std::array<uint8_t, kDataSize> Data{};
  uint8_t DataCount = 0;  // the first DataCount bytes are printed; 0: absent
};
