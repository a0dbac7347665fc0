// Loading the largest firmware file the unit's program flash can take: every
// byte of the window 0x1D000000-0x1D08FFFF filled by 16-byte records.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "device/FirmwareImage.h"
#include "device/FirmwarePacker.h"

namespace {

const std::vector<std::uint8_t>& LargestFile() {
  static const std::vector<std::uint8_t> file = [] {
    std::vector<IntelHexRecord> records;
    std::uint32_t state = 12345;
    for (std::uint32_t upper = FlashUpperFirst; upper <= FlashUpperLast; ++upper) {
      records.push_back({ihExtendedLinearAddress, 0, {static_cast<std::uint8_t>(upper >> 8),
                                                       static_cast<std::uint8_t>(upper)}});
      for (std::uint32_t address = 0; address < 0x10000; address += 16) {
        IntelHexRecord data{ihData, static_cast<std::uint16_t>(address), std::vector<std::uint8_t>(16)};
        for (auto& b : data.Data) b = static_cast<std::uint8_t>((state = state * 1103515245u + 12345u) >> 16);
        records.push_back(std::move(data));
      }
    }
    records.push_back({ihEndOfFile, 0, {}});
    return PackFirmwareFile(records, "9.99", "2026/12/08 04:00");
  }();
  return file;
}

void BM_ParseLargestFile(benchmark::State& state) {
  const auto& file = LargestFile();
  for (auto _ : state) {
    FirmwareFile loaded = ParseFirmwareImage(file);
    if (!loaded.FitToFlash() || loaded.ImageEnd != 0x1D090000) state.SkipWithError(loaded.Reason.c_str());
    benchmark::DoNotOptimize(loaded.FirmwareImage.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ParseLargestFile)->Unit(benchmark::kMillisecond);

void BM_LoadLargestFileFromDisk(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / ("kq30-bench-" + std::to_string(getpid()) + ".bin");
  {
    const auto& file = LargestFile();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  for (auto _ : state) {
    FirmwareFile loaded = LoadFirmwareImage(path.string());
    if (!loaded.FitToFlash()) state.SkipWithError(loaded.Reason.c_str());
    benchmark::DoNotOptimize(loaded.FirmwareImage.data());
  }
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadLargestFileFromDisk)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
