// Writes the program image of the sample firmware as Intel HEX: a synthetic
// program of a few hundred kilobytes for the unit's program flash, with some
// blank 512-byte blocks left unwritten, plus configuration words outside the
// program flash. The content is made up and the same on every build.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t ProgramBase = 0x1D000000;
constexpr std::uint32_t ProgramSize = 0x50000 + 0x1A4;  // ends part-way into a block
constexpr std::uint32_t ConfigWords = 0x1FC02FF0;
constexpr std::size_t RecordData = 16;

// Blocks the linker would leave empty: a gap between code and constant data,
// and a scattering of unused blocks.
bool BlankBlock(std::uint32_t block) {
  if (block >= 300 && block < 308) return true;
  return block % 41 == 7;
}

class HexWriter {
 public:
  explicit HexWriter(std::ostream& out) : out_(out) {}

  void Data(std::uint32_t address, const std::uint8_t* data, std::size_t n) {
    const std::uint32_t upper = address >> 16;
    if (upper != upper_) {
      const std::uint8_t word[2] = {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)};
      Record(4, 0, word, 2);
      upper_ = upper;
    }
    Record(0, static_cast<std::uint16_t>(address), data, n);
  }
  void End() { Record(1, 0, nullptr, 0); }

 private:
  void Record(std::uint8_t type, std::uint16_t address, const std::uint8_t* data, std::size_t n) {
    std::uint8_t sum = static_cast<std::uint8_t>(n + (address >> 8) + (address & 0xFF) + type);
    char text[16];
    std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(n), address, type);
    out_ << text;
    for (std::size_t i = 0; i < n; ++i) {
      std::snprintf(text, sizeof text, "%02X", data[i]);
      out_ << text;
      sum = static_cast<std::uint8_t>(sum + data[i]);
    }
    std::snprintf(text, sizeof text, "%02X\n", static_cast<std::uint8_t>(-sum));
    out_ << text;
  }

  std::ostream& out_;
  std::uint32_t upper_ = 0xFFFFFFFF;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_sample_hex OUTPUT.hex\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::trunc);
  HexWriter hex(out);

  // Instruction-like 32-bit words from a fixed linear congruential sequence.
  std::uint32_t state = 0x2545F491;
  std::vector<std::uint8_t> program(ProgramSize);
  for (std::size_t i = 0; i < program.size(); i += 4) {
    state = state * 1664525u + 1013904223u;
    for (std::size_t b = 0; b < 4 && i + b < program.size(); ++b) program[i + b] = static_cast<std::uint8_t>(state >> (8 * b));
  }
  for (std::uint32_t at = 0; at < ProgramSize; at += RecordData) {
    if (BlankBlock(at / 512)) continue;
    const std::size_t n = std::min<std::size_t>(RecordData, ProgramSize - at);
    hex.Data(ProgramBase + at, program.data() + at, n);
  }
  const std::uint8_t config[16] = {0xD9, 0x79, 0xF8, 0xFF, 0xDB, 0x4E, 0x60, 0xFF,
                                   0xF9, 0xFF, 0x3F, 0xFF, 0xF3, 0xFF, 0xFF, 0x7F};
  hex.Data(ConfigWords, config, sizeof config);
  hex.End();
  out.close();
  if (!out) {
    std::cerr << "make_sample_hex: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
