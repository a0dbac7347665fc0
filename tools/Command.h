#pragma once
// Subcommands of the kq30 tool register themselves with a static Command
// object. Its add function receives the CLI::App made for the subcommand,
// puts the options (and subcommands of its own) on it, bound to storage the
// function keeps, and returns what runs the command once the whole command
// line has parsed. That returns the exit status: 0, or 1 with the program's
// own message. A usage problem found only then is thrown as a
// CLI::ValidationError and reported like every usage error: exit status 2.
#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <string>

struct Command {
  using Run = std::function<int()>;
  using Add = std::function<Run(CLI::App& command)>;
  Command(std::string name, std::string summary, Add add);

  std::string name;
  std::string summary;  // one line: what it does
  Add add;

  static const std::map<std::string, Command*>& All();
};

// A whole number from min to max, written in decimal digits; leading zeros
// change nothing. Add it with ->transform(): by itself CLI11 would read 010
// as octal, 0x10 as hex and " 5" as 5.
CLI::Validator WholeNumber(unsigned long min, unsigned long max);
