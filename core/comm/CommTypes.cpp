#include "comm/CommTypes.h"

#include <iterator>

#include "comm/platform/SerialPlatform.h"

uint32_t BaudRateValue(TBaudRate rate) {
  static constexpr uint32_t kRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                        19200, 38400, 56000, 57600, 115200, 128000, 256000};
  return rate < std::size(kRates) ? kRates[rate] : 0;
}

uint32_t CommEventMask(TCommEventTypes events) {
  static constexpr struct {
    TCommEventType type;
    uint32_t bit;
  } kBits[] = {{evBreak, CommEv::Break},   {evCts, CommEv::Cts},       {evDsr, CommEv::Dsr},
               {evError, CommEv::Err},     {evRing, CommEv::Ring},     {evRlsd, CommEv::Rlsd},
               {evRxChar, CommEv::RxChar}, {evRxFlag, CommEv::RxFlag}, {evTxEmpty, CommEv::TxEmpty}};
  uint32_t mask = 0;
  for (const auto& entry : kBits)
    if (events.Contains(entry.type)) mask |= entry.bit;
  return mask;
}
