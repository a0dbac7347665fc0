#pragma once
// kq30 upgrade on more than one unit: several at the same time, each on its
// own port, or one after another on one port (a station). Every unit has a
// session of its own, with its own serial port, connection and sequencer;
// the units upgraded at the same time share only the event loop that runs
// them all, as the window's thread would run several wizards.
#include <string>

#include "UnitSession.h"
#include "device/FirmwareImage.h"

struct UpgradeArgs {
  PortArgs port;
  std::string firmware = FirmwareFileName;
  bool yes = false;
  bool recover = false;
  bool baudGiven = false;
  bool station = false;
  int count = 0;       // the station stops after this many units; 0: when stopped
  bool again = false;  // the station upgrades a unit it upgraded earlier in the run when it comes again
  std::string report;  // a CSV file each unit's row is appended to; "": none
  bool json = false;   // the run's events as JSON Lines on standard output
};

// The user's go-ahead: --yes, or "y" typed at question.
bool Confirmed(bool yes, const std::string& question);

// Upgrades every unit --port or --device names (or Auto finds, each port
// once) at the same time: connects them all, asks once, then runs every
// upgrade, and ends with a table of the units. 0 only when every unit was
// upgraded.
int UpgradeAtOnce(const UpgradeArgs& args, const FirmwareFile& firmware);

// Waits for a unit to answer on the one port, upgrades it (a unit that
// fails and waits in its boot loader is offered the rescue), waits for the
// next to come, and so on: count units, or until Ctrl+C, which lets an
// upgrade under way finish first. A unit is told from the last one by its
// serial code; one upgraded in this run is not upgraded again unless
// again. 0 when every unit was upgraded (rescued, in the end).
int RunStation(const UpgradeArgs& args, const FirmwareFile& firmware);
