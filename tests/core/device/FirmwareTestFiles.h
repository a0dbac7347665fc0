#pragma once
// Firmware files built by hand for the tests, written straight from the file
// format (header fields, scrambled pairs, "v" after each record) rather than
// through the packer, so that a fault shared by packer and loader shows.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace testfiles {

// A plain byte at pair position k as the file holds it.
inline std::uint8_t Scramble(std::uint8_t plain, std::size_t k) {
  const std::uint8_t swapped = static_cast<std::uint8_t>((plain & 0x0F) << 4 | plain >> 4);
  static const std::uint8_t add[2][2] = {{8, 6}, {4, 2}};  // [k odd][value odd]
  return static_cast<std::uint8_t>(swapped + add[k & 1][swapped & 1]);
}

class FirmwareFileBuilder {
 public:
  FirmwareFileBuilder& Version(const std::string& v) { version_ = v; return *this; }
  FirmwareFileBuilder& Date(const std::string& d) { date_ = d; return *this; }
  // Overrides the header's expected checksum; otherwise the right one is written.
  FirmwareFileBuilder& ExpectChecksum(std::uint32_t c) { forced_ = true; expected_ = c; return *this; }

  // A record from its plain bytes: count, address high, address low, type, data...
  FirmwareFileBuilder& Plain(std::initializer_list<std::uint8_t> bytes) {
    return Plain(std::vector<std::uint8_t>(bytes));
  }
  FirmwareFileBuilder& Plain(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t sum = 0;
    for (std::size_t k = 0; k < bytes.size(); ++k) {
      const std::uint8_t b = Scramble(bytes[k], k);
      static const char digits[] = "0123456789abcdef";
      body_ += digits[b >> 4];
      body_ += digits[b & 15];
      sum += b;
    }
    body_ += 'v';
    running_ += sum;
    checksum_ += running_;
    return *this;
  }
  FirmwareFileBuilder& Upper(std::uint16_t upper) {
    return Plain({2, 0, 0, 4, static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
  }
  FirmwareFileBuilder& Data(std::uint16_t address, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address), 0};
    bytes.insert(bytes.end(), data.begin(), data.end());
    return Plain(bytes);
  }
  FirmwareFileBuilder& EndOfFile() { return Plain({0, 0, 0, 1}); }
  // Characters appended as they are, outside the checksum.
  FirmwareFileBuilder& Raw(const std::string& text) { body_ += text; return *this; }

  std::uint32_t Checksum() const { return checksum_; }

  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> file(128, 0);
    std::memcpy(file.data() + 12, version_.data(), std::min<std::size_t>(version_.size(), 32));
    std::memcpy(file.data() + 44, date_.data(), std::min<std::size_t>(date_.size(), 24));
    const std::uint32_t c = forced_ ? expected_ : checksum_;
    for (int i = 0; i < 4; ++i) file[68 + i] = static_cast<std::uint8_t>(c >> (8 * i));
    file.insert(file.end(), body_.begin(), body_.end());
    return file;
  }

 private:
  std::string version_ = "1.05", date_ = "2011/04/25 13:40", body_;
  std::uint32_t running_ = 0, checksum_ = 0, expected_ = 0;
  bool forced_ = false;
};

}  // namespace testfiles
