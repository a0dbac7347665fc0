// Four units upgraded at once beside one alone: the sample firmware into
// simulated units moving their bytes at the line's real rate of 38400 baud,
// through kq30 upgrade's own run of several units, connection to table.
// Each unit has its line to itself, so four should take about the time of
// one; four_over_one is the ratio. A long run: about six minutes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "BenchPortFolder.h"
#include "UpgradeMany.h"
#include "sim/SimulatedUnit.h"

namespace {
// Seconds to upgrade count paced units at once; negative when one failed
// or its flash does not hold the image.
double UpgradeUnits(int count, const std::filesystem::path& folder, const FirmwareFile& firmware) {
  std::vector<std::unique_ptr<SimulatedUnit>> units;
  UpgradeArgs args;
  args.yes = true;
  args.port.baud = "38400";
  for (int i = 0; i < count; ++i) {
    SimOptions options;
    options.Baud = 38400;
    options.Pace = true;
    options.PortFolder = folder.string();
    units.push_back(std::make_unique<SimulatedUnit>(options));
    units.back()->Start();
    args.port.ports.push_back(units.back()->PortNumber());
  }
  const auto began = std::chrono::steady_clock::now();
  const int status = UpgradeAtOnce(args, firmware);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  for (const auto& unit : units) {
    const auto flash = unit->Flash();
    if (!std::equal(firmware.FirmwareImage.begin(), firmware.FirmwareImage.begin() + firmware.ProgramLength(),
                    flash.begin()))
      return -1;
  }
  return status == 0 ? seconds : -1;
}

void FourUnitsBesideOne(benchmark::State& state) {
  const BenchPortFolder ports("kq30-bench-many");
  const std::filesystem::path& folder = ports.Path;
  const FirmwareFile firmware = LoadFirmwareImage(KQ30_SAMPLE_FIRMWARE);
  for (auto _ : state) {
    const double one = UpgradeUnits(1, folder, firmware);
    const double four = one < 0 ? -1 : UpgradeUnits(4, folder, firmware);
    if (four < 0) {
      state.SkipWithError("an upgrade failed, or a unit's flash differs from the image");
      break;
    }
    state.SetIterationTime(one + four);
    state.counters["one_s"] = one;
    state.counters["four_s"] = four;
    state.counters["four_over_one"] = four / one;
  }
}
BENCHMARK(FourUnitsBesideOne)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
}  // namespace

BENCHMARK_MAIN();
