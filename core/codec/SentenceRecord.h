#pragma once
// The record one sentence is composed from: a header common to all sentences
// and the body of the one sentence being composed.
//
// The body is typed: it holds the fields of exactly one formatter, and a
// composer prints only a body of its own formatter. So values left in the
// record by an earlier sentence of another identifier can never reach a line.
#include <cstring>
#include <string_view>
#include <variant>

#include "codec/SentenceFields.h"

using SentenceBody =
    std::variant<std::monostate, AbkFields, AbmFields, AckFields, AlrFields, BbmFields, BdyFields, BthFields,
                 DbgFields, FrqFields, GbsFields, GsaFields, HdtFields, MidFields, MobFields, RmcFields,
                 SsdFields, TpsFields, TstFields, VdmFields, VdoFields, VsdFields>;

struct SentenceRecord {
  char TalkerId[3] = {};    // zero-terminated, at most 2 characters ("P")
  char SentenceId[4] = {};  // zero-terminated, 3 characters ("TST")
  char SubfieldChar = 0;    // proprietary prefix letter; read by the DBG composer only
  SentenceBody Body;
};

// The text of a fixed header field, up to its terminating zero and never past
// the field.
template <size_t N>
std::string_view HeaderText(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}
