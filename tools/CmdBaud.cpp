// kq30 baud: connects to the unit as the wizard does and sets the rates of
// its two serial ports, as the engineering page's "Baud Rate Config" does.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "UnitSession.h"
#include "common/BaudRates.h"

namespace {
struct BaudArgs {
  PortArgs port;
  std::string rs232;
  std::string nmea;
};

template <size_t N>
std::vector<std::string> Entries(const std::array<const char*, N>& rates) {
  return {rates.begin(), rates.end()};
}

template <size_t N>
int Position(const std::array<const char*, N>& rates, const std::string& rate) {
  return static_cast<int>(std::find(rates.begin(), rates.end(), rate) - rates.begin());
}

int SetRates(UnitSession& session, const BaudArgs& a) {
  if (!session.Connect(a.port)) return 1;
  WizardCore& core = session.Core;
  if (!core.spbBaudRateClick(Position(DeviceLink::Rs232Rates, a.rs232),
                             Position(DeviceLink::NmeaRates, a.nmea)))
    return 1;
  std::printf("rs232: %s\nnmea: %s\n", a.rs232.c_str(), a.nmea.c_str());
  std::fprintf(stderr, "connect again at %s baud on the NMEA port, or %s baud on the RS-232 port\n",
               a.nmea.c_str(), a.rs232.c_str());
  return 0;
}

int RunBaud(const BaudArgs& a) {
  UnitSession session("baud", a.port.force, a.port.trace);
  return session.Finish(SetRates(session, a));
}

Command::Run AddBaud(CLI::App& app) {
  auto a = std::make_shared<BaudArgs>();
  AddPortOptions(app, a->port, false, BaudRateNames[BaudChoices[DefaultBaudChoice]]);
  app.add_option("--rs232", a->rs232, "the new rate of the unit's RS-232 port")
      ->type_name("B")
      ->required()
      ->check(CLI::IsMember(Entries(DeviceLink::Rs232Rates)));
  app.add_option("--nmea", a->nmea, "the new rate of the unit's NMEA port")
      ->type_name("B")
      ->required()
      ->check(CLI::IsMember(Entries(DeviceLink::NmeaRates)));
  app.add_flag("--force", a->port.force,
               "answer OK to the wizard's questions, such as whether to connect anyway");
  return [a] { return RunBaud(*a); };
}

Command baudCommand("baud", "set the rates of the unit's RS-232 and NMEA ports", AddBaud);
}  // namespace
