#pragma once
// The data store a sentence's fields are gathered from: one entry per
// identifier, written by the sender right before it composes.
#include <string_view>

#include "codec/SentenceFields.h"
#include "codec/SentenceRecord.h"

// DBG's entry: the fields of the body plus the sub-field letter, which goes
// into the record's SubfieldChar (an upper-case letter prints the prefix
// "ORV,<letter>,"; 0 prints none).
struct DbgEntry {
  std::array<int16_t, 4> Codes{};
  std::array<int32_t, 4> Values{};
  char SubfieldLetter = 0;
};

struct SentenceDataStore {
  // Navigation and AIS blocks. Nothing in this program fills them; they give
  // every composer an entry of its own.
  AbkFields ABK;
  AbmFields ABM;
  AckFields ACK;
  AlrFields ALR;
  BbmFields BBM;
  GbsFields GBS;
  GsaFields GSA;
  HdtFields HDT;
  RmcFields RMC;
  SsdFields SSD;
  VdmFields VDM;
  VdoFields VDO;
  VsdFields VSD;

  // The unit maker's own sentences.
  MidFields MID;
  BdyFields BDY;
  TstFields TST;
  FrqFields FRQ;
  BthFields BTH;
  DbgEntry DBG;
  TpsFields TPS;
  MobFields MOB;
};

// The store that lives for the whole program, zero at start. Window thread only.
SentenceDataStore& ProcessSentenceDataStore();

// The family of an identifier, 0 to 6: 1 GNSS fixes, 2 heading and speed,
// 3 long-range, 4 AIS, 5 DSC, 6 the maker's own, 0 any other. Compared as
// whole texts, case-sensitively, up to a terminating zero.
int ClassifySentence(std::string_view identifier);

// Fills the record's body from the store entry of its SentenceId (and, for
// DBG, SubfieldChar). An identifier without a composer leaves the record
// untouched. TalkerId and SentenceId are never changed.
//
// Texts are copied up to their terminating zero and cut to the width of
// their field (a BTH or TPS text to 25 characters, a BDY text to 20). MOB
// copies its data only for a count of 1 to 19; any other count gives a body
// with count 0 and no data.
void GatherFields(SentenceRecord& record, const SentenceDataStore& store);
// The same from ProcessSentenceDataStore().
void GatherFields(SentenceRecord& record);
