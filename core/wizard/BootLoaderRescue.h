#pragma once
// A unit left in its boot loader by an upgrade that did not finish (cable
// pulled, power lost, a failed pass) speaks only packets at 38400 baud and
// never answers the static-data request, so connecting to it times out.
// After such a time-out each port the attempt tried is asked, at 38400
// baud, for block 0 of program flash: a packet with a good checksum means a
// unit waits there, and the user is offered to write the firmware into it.
// The question reads nothing but one block and writes nothing.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/MessageBoxes.h"
#include "device/UpgradeSequencer.h"
#include "wizard/Connection.h"

class BootLoaderRescue {
 public:
  // How long a boot loader may take to return block 0 (521 bytes take
  // 136 ms at 38400 baud).
  static constexpr std::chrono::milliseconds AnswerWait{750};

  BootLoaderRescue(UnitPort& port, Connection& conn, UpgradeSequencer& upgrade, const FirmwareFile& firmware,
                   MessageBoxes& boxes, const LanguageTexts& texts = EnglishTexts());

  // Runs the window's events (received data among them) until done() holds
  // or the time is up; returns done(). Supplied by the host.
  std::function<bool(const std::function<bool()>& done, std::chrono::milliseconds limit)> WaitUntil;
  // A unit was found waiting on the port: the window asks (OfferRecovery),
  // the command-line tool tells how to recover. Without it nothing happens.
  std::function<void(const std::string& port)> OnFound;

  // After a connection attempt timed out on ports.
  void AttemptTimedOut(const std::vector<std::string>& ports);
  // The first of ports whose boot loader answers; the port is closed again.
  std::optional<std::string> FindBootLoader(const std::vector<std::string>& ports);
  // Asks whether to write the firmware into the unit waiting on port; Yes
  // starts the recovery. False when declined or refused.
  bool OfferRecovery(const std::string& port);
  // Writes, verifies and starts the firmware on the unit waiting on port,
  // as after Yes on the version page but without the boot-loader request
  // (the unit is in it already). False, with the firmware's reason shown,
  // when the file is not fit to flash.
  bool StartRecovery(const std::string& port);

 private:
  UnitPort& port_;
  Connection& conn_;
  UpgradeSequencer& upgrade_;
  const FirmwareFile& firmware_;
  MessageBoxes& boxes_;
  const LanguageTexts& texts_;
};
