#include "common/RegularFile.h"

#include <filesystem>

bool MayReadAsRegularFile(const std::string& fileName) {
  std::error_code ec;
  const auto type = std::filesystem::status(fileName, ec).type();
  return ec || type == std::filesystem::file_type::regular || type == std::filesystem::file_type::not_found;
}
