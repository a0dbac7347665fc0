// A whole upgrade of the sample firmware, from Yes to the version notice,
// against the simulated unit moving its bytes at the line's real rate of
// 38400 baud, beside the floor the line allows: every byte that must cross
// it (requests out, answers back) at 10 bits a byte, plus the upgrade's
// fixed waits (two 500 ms pauses, two finishing gaps). Once straight over
// the line, once through a USB-serial adapter with the default 16 ms latency
// timer of an FTDI chip, and once straight over the line with the session
// traced into a file, as --trace does. A long run: about three minutes each.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "BenchPortFolder.h"
#include "UnitSession.h"
#include "device/BootPacket.h"
#include "sim/SimulatedUnit.h"

namespace {
constexpr double LineRate = 38400;

// The bytes both ways, counted from what the unit received and holds.
double LineBytes(const SimulatedUnit& unit, const std::string& version) {
  const std::vector<std::uint8_t> flash = unit.Flash();
  double bytes = 0;
  for (const auto& request : unit.BootRequests()) {
    bytes += static_cast<double>(FrameBootPacket(request).size());
    if (request.empty() || request[0] == bcRun) continue;  // the run command is not answered
    std::vector<std::uint8_t> reply(request.begin(), request.begin() + std::min<std::size_t>(8, request.size()));
    if (request[0] == bcRead) {
      const std::size_t at = request[4] | request[5] << 8 | request[6] << 16;
      const std::size_t words = (request[2] | request[3] << 8) * 4u;
      reply.insert(reply.end(), flash.begin() + at, flash.begin() + at + words);
    }
    bytes += static_cast<double>(FrameBootPacket(reply).size());
  }
  // The boot-loader request and the version notice.
  bytes += std::string("$PTST,,,,,00008*17\r\n").size() + std::string("$PTPS,002,*hh\r\n").size() + version.size();
  return bytes;
}

void WholeUpgradeAt38400(benchmark::State& state) {
  const BenchPortFolder ports("kq30-bench");
  const std::filesystem::path& folder = ports.Path;
  for (auto _ : state) {
    SimOptions options;
    options.Baud = 38400;
    options.Pace = true;
    options.AdapterLatency = std::chrono::milliseconds(state.range(0));
    options.PortFolder = folder.string();
    SimulatedUnit unit(options);
    unit.Start();
    const std::string trace = state.range(1) ? (folder / "trace.txt").string() : "";
    UnitSession session("bench", false, trace);
    session.Core.Firmware = LoadFirmwareImage(KQ30_SAMPLE_FIRMWARE);
    PortArgs port;
    port.port = unit.PortNumber();
    port.baud = "38400";
    if (!session.Connect(port)) {
      state.SkipWithError("the simulated unit did not answer");
      break;
    }
    session.Core.Conn.SB_COMPortDetectContinueClick();
    const auto began = std::chrono::steady_clock::now();
    const int status =
        session.RunUpgrade([&] { return session.Core.Upgrade.SpeedButtonFrmVerWantToContinueYesClick(); });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (status != 0) {
      state.SkipWithError("the upgrade failed");
      break;
    }
    state.SetIterationTime(seconds);
    const double waits = 2 * 0.5 + 2 * UpgradeSequencer::FinishGap *
                                       std::chrono::duration<double>(UpgradeSequencer::TickPeriod).count();
    const double bytes = LineBytes(unit, session.Core.Firmware.Version);
    const double floor = bytes * 10 / LineRate + waits;
    state.counters["line_bytes"] = bytes;
    state.counters["floor_s"] = floor;
    state.counters["total_s"] = seconds;
    state.counters["over_floor_%"] = (seconds / floor - 1) * 100;
  }
}
BENCHMARK(WholeUpgradeAt38400)
    ->ArgNames({"adapter_latency_ms", "traced"})
    ->Args({0, 0})
    ->Args({16, 0})
    ->Args({0, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
}  // namespace

BENCHMARK_MAIN();
