#pragma once
// The wizard's objects as the command-line tool runs them: an event loop of
// its own with the three window timers, message boxes on the terminal, and
// the core, wired as the window wires them. kq30 connect, upgrade and
// bootloader all go through it, so the tool connects and upgrades exactly
// as the window does.
#include <CLI/CLI.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CliMessageBoxes.h"
#include "EventLoop.h"
#include "SessionTrace.h"
#include "common/Printable.h"
#include "wizard/WizardCore.h"

class UpgradeEvents;

// Where the unit is: --auto, --port, --device or --port-serial, and the rate
// for the last three; and where the session's trace goes.
struct PortArgs {
  bool automatic = false;
  int port = 0;        // COM number; 0: not given
  std::string device;  // "": not given
  std::string serial;  // the adapter's serial number; "": not given
  std::string baud;
  bool force = false;  // answer OK to "connect anyway?"
  std::string trace;   // "": none
  // Where a command takes several units: every --port and every --device
  // given, in order (port and device stay unset).
  std::vector<int> ports;
  std::vector<std::string> devices;
};

// Puts the port options on a command: exactly one of --port, --device and
// --port-serial (and --auto where withAuto), each given once or, where
// several, --port and --device as often as there are units; --baud with
// defaultBaud, which it returns; and --trace.
CLI::Option* AddPortOptions(CLI::App& app, PortArgs& args, bool withAuto, const std::string& defaultBaud,
                            bool several = false);

// Refuses as a usage error of option (CLI::ValidationError) an output path
// that is the firmware file under any of its names: writing it would
// destroy the file the unit is to get.
void RefuseFirmwareAsOutput(const std::string& option, const std::string& path, const std::string& firmware);

// One port table, and so one COM numbering, for sessions that follow one
// another: a number means the same adapter for the whole run, however
// adapters come and go in between.
class SharedPorts {
 public:
  SharedPorts();
  // The table for one session; the changes the table hears reach the
  // session until it goes. With onlyPort, the session sees that port alone
  // (Auto then tries only it).
  std::unique_ptr<PortPlatform> ForSession(int onlyPort = 0);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

class UnitSession {
  std::unique_ptr<EventLoop> ownLoop_;  // unless the session runs on a loop shared with others

 public:
  // command names the tool's command in its messages. A trace file that
  // can't be written is a usage error (CLI::ValidationError), raised before
  // anything is sent. Several sessions may share one loop, each with its own
  // port, connection and sequencer, and one port table (ports; by default
  // a table of its own), of which the session may see one port alone
  // (onlyPort).
  UnitSession(std::string command, bool force, const std::string& tracePath = "", EventLoop* sharedLoop = nullptr,
              SharedPorts* ports = nullptr, int onlyPort = 0);
  ~UnitSession();

  EventLoop& Loop;
  LoopTimer Timer1{1000}, TimerConnection{200}, PIC_Timer{1};
  CliMessageBoxes Boxes;
  WizardCore Core;
  // The port where a failed connection found a unit in its boot loader
  // (the Failure then says so).
  std::string BootLoaderPort;
  // Every line the session prints about its unit goes through it; on
  // stderr unless replaced (several units prefix their lines with the port).
  std::function<void(const std::string& line)> Say;
  // The message that ended the last connection attempt or upgrade.
  std::string Failure;
  // The upgrade's progress on a terminal: blocks done of Total (0 until
  // the first is known) and the text after the bar. The session draws it
  // itself unless DrawsBar is off (several units draw theirs in lines of
  // their own).
  struct Progress {
    int Done = 0, Total = 0;
    std::string Tail;
  } Bar;
  bool DrawsBar = true;
  // --json: the upgrade's passes and progress in blocks go there too.
  UpgradeEvents* Events = nullptr;

  // The COM number --port, --device or --port-serial names; "" after a
  // message when the device is no serial port of this machine, or when no
  // adapter or more than one has that serial number.
  std::string PortText(const PortArgs& args);
  // Connects as the wizard does and reports the ports Auto tries; true once
  // the unit has answered. The first failure ends the attempt, and so does
  // Ctrl+C once the command catches it (CatchStopRequests).
  bool Connect(const PortArgs& args);
  // The same in three steps, so that several units connect at once: start
  // (false after a message when the port names nothing), let the loop run
  // while Connecting(), then the result.
  bool StartConnect(const PortArgs& args);
  bool Connecting() const;
  // The unit has answered: EndConnect() will be true.
  bool Answered() const;
  bool EndConnect();
  // Opens the port at the rate given without asking the unit anything, as
  // the engineering page finds it.
  bool OpenDirect(const PortArgs& args);
  // The ports --port, --device or --auto name, for the question to a boot
  // loader; empty after a message when there are none.
  std::vector<std::string> PortsToAsk(const PortArgs& args);
  // Runs the upgrade started by start() until it has succeeded or failed,
  // showing its progress; the exit status. Ctrl+C, once the command catches
  // it, stops the upgrade where it is, and says what that left in the unit.
  int RunUpgrade(const std::function<bool()>& start);
  // The same in three steps: start, let the loop run while Upgrading(),
  // then the exit status.
  bool StartUpgrade(const std::function<bool()>& start);
  bool Upgrading() const;
  int EndUpgrade();
  // Waits until what was last written has left the port, before it closes.
  void LetOutputLeave();
  // The command's exit status, traced as the outcome; 1 after a message
  // when the trace could not be written whole.
  int Finish(int status);

 private:
  void ShowProgress(bool final);
  // The passes begun and the blocks done since last told, as events.
  void TellEvents();
  std::string PortOfSerial(const std::string& serial);
  // The port as the trace reports it: its name, device and line settings.
  std::string TracedPort() const;
  // Says text as the command's own message and keeps it as the Failure.
  void Fail(const std::string& text);
  // The same for a stop by Ctrl+C, which the trace notes.
  void Stopped(const std::string& text);

  std::string command_;
  std::string tracePath_;
  std::unique_ptr<SessionTrace> trace_;
  std::string autoShown_;  // the port and rate Auto was last reported trying
  std::chrono::steady_clock::time_point upgradeBegan_{};
  bool upgradeEnded_ = false;  // a pass failed and the wizard was reset
  int lastTenth_ = -1;
  int toldState_ = usIdle;  // the sequencer's state and the percentage last told as events
  int toldPercent_ = -1;
  std::chrono::steady_clock::time_point lastDrawn_{};
};

// A line for a terminal width columns wide: head, a progress bar of done
// blocks out of total (none when total is 0) and tail, in at most width - 1
// columns, so that it stays one row (text in the last column makes some
// terminals wrap) and a redraw in place finds every line where it was. What
// does not fit goes: the bar shrinks first, down to none, then the end of
// the line is cut.
std::string FitLine(const std::string& head, int done, int total, const std::string& tail, int width);

// "2 min 05 s", "42 s"
std::string Duration(std::chrono::seconds s);

// The position of a rate ("38400") in the serial-port page's list.
int BaudPosition(const std::string& rate);
