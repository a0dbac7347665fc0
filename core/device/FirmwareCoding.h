#pragma once
// How the firmware file hides and guards its records. Each byte of a record
// is written as a scrambled pair of hexadecimal digits; the whole file is
// guarded by a running total of running totals over the scrambled bytes.
// The loader and the packer both use these, so the two can never disagree.
#include <cstddef>
#include <cstdint>

// The substitution depends on the pair's position in its record (even or
// odd) and on the parity of the value; the amounts are even, so parity
// survives the substitution and tells which amount to undo.
constexpr std::uint8_t ScrambleShift(std::size_t pair, std::uint8_t value) {
  if (pair % 2 == 0) return value % 2 == 0 ? 8 : 6;
  return value % 2 == 0 ? 4 : 2;
}

constexpr std::uint8_t SwapNibbles(std::uint8_t b) { return static_cast<std::uint8_t>((b << 4) | (b >> 4)); }

// Scrambled pair value B at position pair -> plain record byte.
constexpr std::uint8_t UnscrambleByte(std::uint8_t scrambled, std::size_t pair) {
  return SwapNibbles(static_cast<std::uint8_t>(scrambled - ScrambleShift(pair, scrambled)));
}

// Plain record byte at position pair -> scrambled pair value B.
constexpr std::uint8_t ScrambleByte(std::uint8_t plain, std::size_t pair) {
  const std::uint8_t swapped = SwapNibbles(plain);
  return static_cast<std::uint8_t>(swapped + ScrambleShift(pair, swapped));
}

// The whole-file checksum: each record's sum of scrambled bytes goes into a
// running total, and the running total after every record goes into the
// checksum. All sums wrap at 32 bits.
struct FirmwareChecksum {
  std::uint32_t RunningTotal = 0;
  std::uint32_t Value = 0;
  void AddRecord(std::uint32_t scrambledSum) {
    RunningTotal += scrambledSum;
    Value += RunningTotal;
  }
};
