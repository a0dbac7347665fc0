#pragma once
// A port folder of the benchmark's own: its simulated units link their
// ports there, and they are the only ports the upgrade sees. Removed again
// when the benchmark ends.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

struct BenchPortFolder {
  explicit BenchPortFolder(const std::string& name)
      : Path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(Path);
    std::filesystem::permissions(Path, std::filesystem::perms::owner_all);
    setenv("KQ30_PORT_DIR", Path.c_str(), 1);
    setenv("KQ30_NO_KERNEL_PORTS", "1", 1);
  }
  ~BenchPortFolder() { std::filesystem::remove_all(Path); }
  BenchPortFolder(const BenchPortFolder&) = delete;
  BenchPortFolder& operator=(const BenchPortFolder&) = delete;

  const std::filesystem::path Path;
};
