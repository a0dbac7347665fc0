#pragma once
// SHA-256 (FIPS 180-4) of a file, for the report's record of which firmware
// went into a unit.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class Sha256 {
 public:
  Sha256();
  void Add(std::span<const std::uint8_t> bytes);
  // The digest as 64 lower-case hex digits; the object is spent.
  std::string HexDigest();

 private:
  void Block(const std::uint8_t* block);
  std::uint32_t state_[8];
  std::uint8_t pending_[64];
  std::size_t pendingSize_ = 0;
  std::uint64_t length_ = 0;  // bytes added
};

// The digest of the file at path; "" when it can't be read whole.
std::string FileSha256(const std::string& path);
