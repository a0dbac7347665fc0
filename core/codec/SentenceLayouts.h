#pragma once
// The 21 sentence layouts. Each writes the sentence of a record (start
// character, address and fields, with one format string) without checksum.
// Out-of-range values become empty fields; a layout refuses (false) only a
// record whose body is not of its own formatter.
#include <string>
#include <string_view>

#include "codec/SentenceRecord.h"

using SentenceLayout = bool (*)(std::string& out, const SentenceRecord& record);

// The layout of a formatter, compared as a whole three-letter code
// (case-sensitively), or nullptr for a formatter that has none.
SentenceLayout FindSentenceLayout(std::string_view formatter);

// AIS sentences (AisLayouts.cpp).
bool LayoutABK(std::string& out, const SentenceRecord& record);
bool LayoutABM(std::string& out, const SentenceRecord& record);
bool LayoutACK(std::string& out, const SentenceRecord& record);
bool LayoutALR(std::string& out, const SentenceRecord& record);
bool LayoutBBM(std::string& out, const SentenceRecord& record);
bool LayoutSSD(std::string& out, const SentenceRecord& record);
bool LayoutVDM(std::string& out, const SentenceRecord& record);
bool LayoutVDO(std::string& out, const SentenceRecord& record);
bool LayoutVSD(std::string& out, const SentenceRecord& record);

// Navigation sentences (NavigationLayouts.cpp).
bool LayoutGBS(std::string& out, const SentenceRecord& record);
bool LayoutGSA(std::string& out, const SentenceRecord& record);
bool LayoutHDT(std::string& out, const SentenceRecord& record);
bool LayoutRMC(std::string& out, const SentenceRecord& record);

// The unit maker's own sentences (ProprietaryLayouts.cpp).
bool LayoutBDY(std::string& out, const SentenceRecord& record);
bool LayoutBTH(std::string& out, const SentenceRecord& record);
bool LayoutDBG(std::string& out, const SentenceRecord& record);
bool LayoutFRQ(std::string& out, const SentenceRecord& record);
bool LayoutMID(std::string& out, const SentenceRecord& record);
bool LayoutMOB(std::string& out, const SentenceRecord& record);
bool LayoutTPS(std::string& out, const SentenceRecord& record);
bool LayoutTST(std::string& out, const SentenceRecord& record);

// The talker and the formatter of the record's header as C texts, for the
// first two "%s" of every format string.
struct LayoutAddress {
  explicit LayoutAddress(const SentenceRecord& record)
      : Talker(HeaderText(record.TalkerId)), Id(HeaderText(record.SentenceId)) {}
  std::string Talker;
  std::string Id;
};
