// kq30: the command-line front end of the firmware upgrade wizard. It drives
// the same core objects as the window.
#include <cstdio>
#include <exception>
#include <iostream>

#include "Command.h"

namespace {
std::map<std::string, Command*>& Registry() {
  static std::map<std::string, Command*> commands;
  return commands;
}

void PrintHelp(std::ostream& out) {
  out << "usage: kq30 COMMAND [OPTIONS]\n\n"
         "Upgrades and inspects the firmware of a KQ-30 AIS unit over its serial line.\n\n"
         "Commands:\n";
  for (const auto& [name, command] : Command::All()) {
    out << "  " << command->usage << "\n      " << command->summary << "\n";
  }
  out << "\n  --help    show this help\n";
}
}  // namespace

Command::Command(std::string name_, std::string usage_, std::string summary_, Handler run_)
    : name(std::move(name_)), usage(std::move(usage_)), summary(std::move(summary_)), run(std::move(run_)) {
  Registry()[name] = this;
}

const std::map<std::string, Command*>& Command::All() { return Registry(); }

int UsageError(const Command& command, const std::string& problem) {
  std::cerr << "kq30 " << command.name << ": " << problem << "\nusage: kq30 " << command.usage << "\n";
  return 2;
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintHelp(std::cerr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(std::cout);
    return 0;
  }
  auto found = Command::All().find(args[0]);
  if (found == Command::All().end()) {
    std::cerr << "kq30: unknown command '" << args[0] << "'\n";
    PrintHelp(std::cerr);
    return 2;
  }
  try {
    return found->second->run({args.begin() + 1, args.end()});
  } catch (const std::exception& e) {
    std::cerr << "kq30 " << args[0] << ": " << e.what() << "\n";
    return 1;
  }
}
