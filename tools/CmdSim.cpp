// kq30 sim: a simulated KQ-30 on a pseudo-terminal, linked into the port
// folder as a COM port, until stopped. SIGUSR1 plugs its cable in again (a
// fresh pseudo-terminal under the same COM number, the unit as it was), as
// after --unplug-at.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <tuple>

#include "Command.h"
#include "sim/SimulatedUnit.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t replugRequested = 0;

int RunSim(const SimOptions& o) {
  SimulatedUnit unit(o);
  unit.OnLog = [](const std::string& text) {
    std::time_t now = std::time(nullptr);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", std::localtime(&now));
    std::fprintf(stderr, "%s %s\n", stamp, text.c_str());
  };
  unit.Start();
  std::printf("simulated KQ-30 on COM%d (%s -> %s) at %u baud, software version %s%s\n", unit.PortNumber(),
              unit.LinkPath().c_str(), unit.DevicePath().c_str(), o.Baud, o.VersionText.c_str(),
              o.StartInBootLoader ? ", in its boot loader (38400 baud)" : "");
  std::fflush(stdout);
  std::signal(SIGINT, [](int) { stopRequested = 1; });
  std::signal(SIGTERM, [](int) { stopRequested = 1; });
  std::signal(SIGUSR1, [](int) { replugRequested = 1; });
  while (!stopRequested) {
    timespec pause{0, 100 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    if (replugRequested) {
      replugRequested = 0;
      unit.Replug();
      std::printf("plugged in again on COM%d (%s -> %s)\n", unit.PortNumber(), unit.LinkPath().c_str(),
                  unit.DevicePath().c_str());
      std::fflush(stdout);
    }
  }
  unit.Stop();
  return 0;
}

// The options, bound to the unit's settings.
Command::Run AddSim(CLI::App& app) {
  auto o = std::make_shared<SimOptions>();
  const CLI::Validator rate = WholeNumber(1, 4000000);
  app.add_option("--baud", o->Baud, "the unit's line speed")
      ->type_name("B")
      ->capture_default_str()
      ->transform(rate);
  app.add_option("--version-text", o->VersionText, "its software version")
      ->type_name("T")
      ->capture_default_str();
  app.add_option("--serial-code", o->SerialCode, "its serial code, which tells it from other units")
      ->type_name("T")
      ->capture_default_str();
  app.add_option("--fw-version", o->FwVersion, "its firmware version")->type_name("T")->capture_default_str();
  app.add_option("--port", o->PortNumber, "the COM number of its link; the lowest free one if not given")
      ->type_name("N")
      ->transform(WholeNumber(1, 65535));
  app.add_flag("--silent", o->Silent, "never answer the static-data request");
  app.add_option("--answer-after", o->AnswerAfter, "ignore this many requests first")
      ->type_name("N")
      ->capture_default_str()
      ->transform(WholeNumber(0, 1000000));
  app.add_flag("--no-end-marker", o->OmitEndMarker, "leave out [END OF STATIC DATA]");
  app.add_option("--rs232-baud", o->Rs232Baud, "the RS-232 rate it reports")
      ->type_name("B")
      ->capture_default_str()
      ->transform(rate);
  app.add_option("--nmea-baud", o->NmeaBaud, "the NMEA rate it reports")
      ->type_name("B")
      ->capture_default_str()
      ->transform(rate);
  app.add_option_function<std::string>(
         "--start-in", [o](const std::string& where) { o->StartInBootLoader = where == "boot"; },
         "where it starts: its application, or its boot loader as an interrupted upgrade leaves it")
      ->type_name("boot|app")
      ->check(CLI::IsMember({"boot", "app"}).description(""));
  app.add_flag("--pace", o->Pace, "move bytes at the line's real rate, 10 bits per byte");
  app.add_option_function<unsigned>(
         "--adapter-latency", [o](unsigned ms) { o->AdapterLatency = std::chrono::milliseconds(ms); },
         "hand what the unit sends over as a USB-serial adapter does: once MS have passed since the first byte "
         "held or 62 bytes have gathered")
      ->type_name("MS")
      ->transform(WholeNumber(0, 1000));
  // Boot-loader faults, each at one request counted from 1.
  for (auto [name, field, what] : {
           std::tuple{"--no-ack", &SimOptions::NoAckRequest, "carry out request N but lose its reply"},
           {"--corrupt-read", &SimOptions::CorruptReadRequest, "alter a data byte of the reply to read request N"},
           {"--bad-checksum", &SimOptions::BadChecksumRequest, "answer request N with a wrong checksum"},
           {"--silent-from", &SimOptions::SilentFromRequest, "hang at request N: no answer from then on"},
           {"--unplug-at", &SimOptions::UnplugAtRequest, "pull the cable as request N arrives"},
       })
    app.add_option(name, (*o).*field, what)->type_name("N")->transform(WholeNumber(1, 1000000));
  return [o] { return RunSim(*o); };
}

Command sim("sim", "run a simulated KQ-30 on a pseudo-terminal linked as a COM port, until stopped", AddSim);
}  // namespace
