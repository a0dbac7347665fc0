// kq30: the command-line front end of the firmware upgrade wizard. It drives
// the same core objects as the window.
#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>

#include "Command.h"
#include "Console.h"

namespace {
std::map<std::string, Command*>& Registry() {
  static std::map<std::string, Command*> commands;
  return commands;
}

// How an option is written on the command line: "--port N", "-o FILE",
// "--force", "FILE".
std::string Written(const CLI::Option& option) {
  if (option.get_positional()) return option.get_name(true);
  std::string name =
      option.get_snames().empty() ? "--" + option.get_lnames().front() : "-" + option.get_snames().front();
  const std::string type = option.get_type_name();
  if (option.get_type_size() == 0 || type.empty()) return name;  // a flag
  return name + " " + type.substr(0, type.find(':'));  // the type without its validators' descriptions
}

// Usage lines that spell out every option: optional ones in brackets; of a
// group where exactly one must be given, the choices as (A | B); the
// subcommands as (C | D) ....
class Formatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string name) const override {
    std::string line = "usage: " + name;
    auto isGroup = [](const CLI::App* sub) { return sub->get_name().empty(); };
    for (const CLI::App* group : app->get_subcommands(isGroup)) {
      std::string choices;
      for (const CLI::Option* option : group->get_options())
        if (option != group->get_help_ptr()) choices += (choices.empty() ? "" : " | ") + Written(*option);
      const bool one = group->get_require_option_min() == 1 && group->get_require_option_max() == 1;
      line += one ? " (" + choices + ")" : " [" + choices + "]";
    }
    for (const CLI::Option* option : app->get_options()) {
      if (option == app->get_help_ptr()) continue;
      const bool required =
          option->get_required() || (option->get_positional() && option->get_expected_min() > 0);
      line += required ? " " + Written(*option) : " [" + Written(*option) + "]";
    }
    std::string commands;
    for (const CLI::App* sub :
         app->get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); }))
      if (!sub->get_name().empty()) commands += (commands.empty() ? "" : " | ") + sub->get_name();
    if (!commands.empty()) line += " (" + commands + ") ...";
    return line + "\n";
  }

  // After an option's name: "N (1 to 65535)", "B (1 to 4000000) [38400]";
  // nothing after a positional's.
  std::string make_option_opts(const CLI::Option* option) const override {
    std::string type = option->get_type_name();
    if (option->get_positional() || option->get_type_size() == 0 || type.empty()) return "";
    if (auto colon = type.find(':'); colon != std::string::npos) type[colon] = ' ';
    std::string text = " " + type;
    if (!option->get_default_str().empty()) text += " [" + option->get_default_str() + "]";
    return text;
  }
};

// Exit status 2: the problem, the usage line of the (sub)command that was
// being read, and where to find more, on stderr.
int UsageFailure(const CLI::App& app, const Formatter& formatter, const CLI::Error& error) {
  const CLI::App* at = &app;
  std::string path = app.get_name();
  for (bool deeper = true; deeper;) {
    deeper = false;
    for (const CLI::App* sub : at->get_subcommands()) {
      if (sub->get_name().empty()) continue;
      at = sub;
      path += " " + sub->get_name();
      deeper = true;
      break;
    }
  }
  std::string problem = error.what();
  // A word that is no command is left over, and then the command is missing.
  const auto named = [](const CLI::App* sub) { return !sub->get_name().empty(); };
  const auto left = at->remaining();
  if (!at->get_subcommands(named).empty() && !left.empty() && left.front().rfind('-', 0) != 0)
    problem = "unknown command '" + left.front() + "'";
  std::cerr << path << ": " << problem << "\n"
            << formatter.make_usage(at, path) << "'" << path << " --help' tells more\n";
  return 2;
}
}  // namespace

Command::Command(std::string name_, std::string summary_, Add add_)
    : name(std::move(name_)), summary(std::move(summary_)), add(std::move(add_)) {
  Registry()[name] = this;
}

const std::map<std::string, Command*>& Command::All() { return Registry(); }

int main(int argc, char** argv) {
  const Utf8Console console;
  CLI::App app("Upgrades and inspects the firmware of a KQ-30 AIS unit over its serial line.", "kq30");
  auto formatter = std::make_shared<Formatter>();
  app.formatter(formatter);
  app.option_defaults()->disable_flag_override();
  app.set_help_flag("-h,--help", "show this help");
  app.set_version_flag("--version", "kq30 " KQ30_VERSION, "show the program's version");
  app.require_subcommand(1);
  // Options are written the same on every system: a file named "/path" (a
  // path Windows accepts too) is never taken for a Windows-style "/option".
  app.allow_windows_style_options(false);
  std::map<const CLI::App*, std::pair<const Command*, Command::Run>> runs;
  for (const auto& [name, command] : Command::All()) {
    CLI::App* sub = app.add_subcommand(name, command->summary);
    runs[sub] = {command, command->add(*sub)};
  }
  // "kq30 help", as "kq30 --help"
  CLI::App* help = app.add_subcommand("help")->group("");
  runs[help] = {nullptr, [&] {
                  std::cout << formatter->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
                  return 0;
                }};

  try {
    app.parse(argc, argv);
    const auto& [command, run] = runs.at(app.get_subcommands().front());
    try {
      return run();
    } catch (const CLI::Error&) {
      throw;
    } catch (const std::exception& e) {
      std::cerr << "kq30 " << command->name << ": " << e.what() << "\n";
      return 1;
    }
  } catch (const CLI::Error& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    return UsageFailure(app, *formatter, e);
  }
}
