#include "codec/SentenceLayouts.h"

#include <array>

namespace {

struct LayoutEntry {
  std::string_view Formatter;
  SentenceLayout Layout;
};

const std::array<LayoutEntry, 21> kLayouts = {{
    {"ABK", LayoutABK}, {"ABM", LayoutABM}, {"ACK", LayoutACK}, {"ALR", LayoutALR}, {"BBM", LayoutBBM},
    {"BDY", LayoutBDY}, {"BTH", LayoutBTH}, {"DBG", LayoutDBG}, {"FRQ", LayoutFRQ}, {"GBS", LayoutGBS},
    {"GSA", LayoutGSA}, {"HDT", LayoutHDT}, {"MID", LayoutMID}, {"MOB", LayoutMOB}, {"RMC", LayoutRMC},
    {"SSD", LayoutSSD}, {"TPS", LayoutTPS}, {"TST", LayoutTST}, {"VDM", LayoutVDM}, {"VDO", LayoutVDO},
    {"VSD", LayoutVSD},
}};

}  // namespace

SentenceLayout FindSentenceLayout(std::string_view formatter) {
  for (const LayoutEntry& entry : kLayouts) {
    if (entry.Formatter == formatter) return entry.Layout;
  }
  return nullptr;
}
