#pragma once
// Composing IEC 61162-1 (NMEA 0183) sentences: "$" or "!", the address
// (talker and formatter), the fields, "*", two upper-case hexadecimal digits
// of checksum, CR LF.
//
// A sender fills the store entry of its sentence, then composes:
//
//   SentenceDataStore& store = ProcessSentenceDataStore();
//   store.TST = {.FiveDigitNumber = 99999, .TwoDigitNumber = 99, .LowerLetter = 0x40,
//                .UpperLetter = 0x40, .RequestCode = 16};
//   std::string line;
//   if (ComposeSentence(line, ProcessSentenceRecord(), "TST", "P")) Send(line);  // "$PTST,,,,,00016*18\r\n"
//
//   store.DBG = {.Codes = {40, 42, 999, 999}, .Values = {rs232, nmea, kAbsentDbgValue, kAbsentDbgValue},
//                .SubfieldLetter = 0};                       // "$PDBG,040,5,042,1,,,,*hh\r\n"
//   store.TPS = {.Number = 2, .Text = versionText};            // "$PTPS,002,<version>*hh\r\n"
//
// An entry keeps its values after a send; a sender writes all of its fields
// each time. A false result leaves `line` empty: there is nothing to send.
// The codec is used from the window thread only; it composes, never parses.
#include <string>
#include <string_view>

#include "codec/FieldText.h"
#include "codec/SentenceDataStore.h"
#include "codec/SentenceRecord.h"

// The record that lives for the whole program, zero at start. Window thread only.
SentenceRecord& ProcessSentenceRecord();

// Composes one whole line into out: copies the talker (at most 2 characters)
// and the formatter (3 characters) into the record's header, gathers the body
// from the store and formats it. False, with out empty and the record as it
// was, for a talker or formatter too long for its header field; false, with
// out empty, for a formatter without a layout or a line FormatSentence refuses.
bool ComposeSentence(std::string& out, SentenceRecord& record, std::string_view sentenceId,
                     std::string_view talker, const SentenceDataStore& store);
// The same, gathering from ProcessSentenceDataStore().
bool ComposeSentence(std::string& out, SentenceRecord& record, std::string_view sentenceId,
                     std::string_view talker);

// Writes the line of the record by the layout its SentenceId selects and
// appends the checksum. False, with out empty, when the formatter has no
// layout, the body is not of that formatter, a field would break the frame
// (a control character, "$", "!" or "*" anywhere after the start character),
// or AppendChecksum refuses the text.
bool FormatSentence(std::string& out, const SentenceRecord& record);

// Appends "*", the checksum (XOR of every character after the first) as two
// upper-case hexadecimal digits, CR and LF. False, with the text unchanged,
// for an empty text or one of 65,535 characters or more.
bool AppendChecksum(std::string& text);
