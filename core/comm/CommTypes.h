#pragma once
// The serial port's enumerations and sets. The properties store ordinals;
// the main window passes ordinals too (br115200 is 12).
#include <cstdint>
#include <initializer_list>

enum TBaudRate : uint8_t {
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
enum TParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : uint8_t { sb10, sb15, sb20 };
enum TDataBits : uint8_t { da4, da5, da6, da7, da8 };
enum TCommOption : uint8_t { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TFlowControl : uint8_t { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommEventType : uint8_t {
  evBreak,
  evCts,
  evDsr,
  evError,
  evRing,
  evRlsd,
  evRxChar,
  evRxFlag,
  evTxEmpty
};

// A set of enumeration members, as small as the enumeration.
template <typename E>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<E> members) {
    for (E m : members) Include(m);
  }
  constexpr bool Contains(E m) const { return bits_ & Bit(m); }
  constexpr TEnumSet& Include(E m) {
    bits_ |= Bit(m);
    return *this;
  }
  constexpr TEnumSet& Exclude(E m) {
    bits_ &= ~Bit(m);
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const TEnumSet&) const = default;

 private:
  static constexpr uint32_t Bit(E m) { return uint32_t(1) << unsigned(m); }
  uint32_t bits_ = 0;
};

using TCommEventTypes = TEnumSet<TCommEventType>;
using TCommOptions = TEnumSet<TCommOption>;

// The nine members, which a new port monitors.
inline constexpr TCommEventTypes AllCommEvents{evBreak, evCts,    evDsr,    evError,  evRing,
                                               evRlsd,  evRxChar, evRxFlag, evTxEmpty};

// The rate in bits per second of a TBaudRate member; 0 for a value out of range.
uint32_t BaudRateValue(TBaudRate rate);
// The wait event bits of a set of event types.
uint32_t CommEventMask(TCommEventTypes events);
