// kq30 sim: a simulated KQ-30 on a pseudo-terminal, linked into the port
// folder as a COM port, until stopped.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "Command.h"
#include "Options.h"
#include "sim/SimulatedUnit.h"

namespace {
extern Command sim;
volatile std::sig_atomic_t stopRequested = 0;

int RunSim(const std::vector<std::string>& args) {
  Options options;
  std::string problem =
      options.Parse(args, {"baud", "version-text", "fw-version", "port", "answer-after", "rs232-baud", "nmea-baud"},
                    {"silent", "no-end-marker"});
  if (!problem.empty()) return UsageError(sim, problem);
  if (!options.Positional().empty()) return UsageError(sim, "no positional arguments expected");
  SimOptions o;
  for (auto [name, field] : {std::pair{"baud", &o.Baud}, {"rs232-baud", &o.Rs232Baud}, {"nmea-baud", &o.NmeaBaud}}) {
    if (!options.Has(name)) continue;
    auto value = options.Number(name, 4000000);
    if (!value || *value == 0) return UsageError(sim, std::string("--") + name + " needs a line speed in baud");
    *field = static_cast<unsigned>(*value);
  }
  if (options.Has("port")) {
    auto port = options.Number("port", 65535);
    if (!port || *port == 0) return UsageError(sim, "--port needs a COM number from 1 to 65535");
    o.PortNumber = static_cast<int>(*port);
  }
  if (options.Has("answer-after")) {
    auto n = options.Number("answer-after", 1000000);
    if (!n) return UsageError(sim, "--answer-after needs a count of requests");
    o.AnswerAfter = static_cast<int>(*n);
  }
  o.VersionText = options.Get("version-text", o.VersionText);
  o.FwVersion = options.Get("fw-version", o.FwVersion);
  o.Silent = options.Has("silent");
  o.OmitEndMarker = options.Has("no-end-marker");

  SimulatedUnit unit(o);
  unit.OnLog = [](const std::string& text) {
    std::time_t now = std::time(nullptr);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&now));
    std::fprintf(stderr, "%s %s\n", stamp, text.c_str());
  };
  unit.Start();
  std::printf("simulated KQ-30 on COM%d (%s -> %s) at %u baud, software version %s\n", unit.PortNumber(),
              unit.LinkPath().c_str(), unit.DevicePath().c_str(), o.Baud, o.VersionText.c_str());
  std::fflush(stdout);
  std::signal(SIGINT, [](int) { stopRequested = 1; });
  std::signal(SIGTERM, [](int) { stopRequested = 1; });
  while (!stopRequested) {
    timespec pause{0, 100 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  unit.Stop();
  return 0;
}

Command sim("sim",
            "sim [--baud B] [--version-text T] [--fw-version T] [--port N] [--silent] [--answer-after N] "
            "[--no-end-marker] [--rs232-baud B] [--nmea-baud B]",
            "run a simulated KQ-30 on a pseudo-terminal linked as a COM port, until stopped", RunSim);
}  // namespace
