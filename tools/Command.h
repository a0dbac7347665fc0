#pragma once
// Subcommands of the kq30 tool register themselves with a static Command object.
#include <functional>
#include <map>
#include <string>
#include <vector>

struct Command {
  using Handler = std::function<int(const std::vector<std::string>& args)>;
  Command(std::string name, std::string usage, std::string summary, Handler run);

  std::string name;
  std::string usage;    // one line: "firmware info FILE"
  std::string summary;  // one line: what it does
  Handler run;

  static const std::map<std::string, Command*>& All();
};

// Prints "usage: kq30 <usage>" to stderr and returns the usage exit status, 2.
int UsageError(const Command& command, const std::string& problem);
