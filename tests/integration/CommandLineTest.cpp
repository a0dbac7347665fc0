// The kq30 tool's command line: help, version, and malformed values refused
// with their option named.
#include <fstream>
#include <regex>
#include <sstream>

#include "IntegrationSupport.h"

namespace {
// What the command writes to stdout only, or to stderr only.
Result Stdout(const std::string& args) { return RunShell("{ " + Tool() + " " + args + " 2>/dev/null; }"); }
Result Stderr(const std::string& args) {
  return RunShell("{ " + Tool() + " " + args + " 2>&1 >/dev/null; }");
}

TEST(CommandLine, HelpOfEveryCommandShowsItsUsage) {
  for (const std::string command :
       {"", "connect", "upgrade", "baud", "ports", "sim", "firmware", "firmware info", "firmware dump",
        "firmware pack"}) {
    const Result r = Stdout(command + " --help");
    EXPECT_EQ(r.status, 0) << command << "\n" << r.output;
    EXPECT_NE(r.output.find("usage: kq30 " + command), std::string::npos) << command << "\n" << r.output;
  }
  const Result all = Stdout("--help");
  for (const char* command : {"\n  connect ", "\n  firmware ", "\n  ports ", "\n  sim "})
    EXPECT_NE(all.output.find(command), std::string::npos) << command << " missing from\n" << all.output;
}

TEST(CommandLine, VersionIsTheProjects) {
  std::ifstream cmake(std::string(KQ30_SOURCE_DIR) + "/CMakeLists.txt");
  std::stringstream text;
  text << cmake.rdbuf();
  std::smatch version;
  const std::string lists = text.str();
  ASSERT_TRUE(std::regex_search(lists, version, std::regex(R"(project\(\w+ VERSION ([0-9.]+))")));
  const Result r = Stdout("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "kq30 " + version[1].str() + "\n");
}

TEST(CommandLine, MalformedValuesNameTheirOptionAndExitTwo) {
  const struct {
    std::string args;
    const char* problem;
  } cases[] = {
      {"connect --port 3 --baud abc", "kq30 connect: --baud: abc not in {4800,9600,38400,57600,115200}"},
      {"connect --port 3 --baud 9601", "--baud: 9601 not in"},
      {"connect --port 0", "--port: 0 is not from 1 to 65535"},
      {"connect --port 65536", "--port: 65536 is not from 1 to 65535"},
      {"connect --port 0x10", "--port: '0x10' is not a whole number"},
      {"connect --device ''", "--device: needs a path"},
      {"connect --auto --baud 9600", "--baud excludes --auto"},
      {"connect --port 3 --device /dev/null", "Exactly 1 option from [--auto,--port,--device,--port-serial]"},
      {"connect", "Exactly 1 option from [--auto,--port,--device,--port-serial] is required"},
      {"connect --port-serial ''", "--port-serial: needs a serial number"},
      {"upgrade --port 3 --trace ''", "kq30 upgrade: --trace: needs a file"},
      {"connect --force=no --auto", "force"},
      {"baud --port 3 --rs232 1200 --nmea 4800", "kq30 baud: --rs232: 1200 not in"},
      {"baud --port 3 --rs232 4800 --nmea 9600", "--nmea: 9600 not in"},
      {"baud --port 3 --nmea 4800", "--rs232 is required"},
      {"upgrade --port 3 --port 4 --station", "kq30 upgrade: --station: takes one --port or --device"},
      {"upgrade --auto --station", "--station: takes one --port or --device"},
      {"upgrade --port-serial A50285BI --station", "--station: takes one --port or --device"},
      {"upgrade --port 3 --port 4 --recover", "--recover: takes one --port or --device, or --auto"},
      {"upgrade --port 3 --count 2", "--count requires --station"},
      {"upgrade --port 3 --again", "--again requires --station"},
      {"upgrade --port 3 --station --count 0", "--count: 0 is not from 1 to 1000000"},
      {"upgrade --auto --recover --report r.csv", "--recover excludes --report"},
      {"upgrade --port 3 --recover --json", "--recover excludes --json"},
      {"upgrade --port 3 --json --trace t.txt", "--trace: traces the upgrade of one unit alone: not with --report"},
      {"sim --baud 0", "kq30 sim: --baud: 0 is not from 1 to 4000000"},
      {"sim --nmea-baud ' 9600'", "--nmea-baud: ' 9600' is not a whole number"},
      {"sim --answer-after -1", "--answer-after: '-1' is not a whole number"},
      {"firmware dump f -o", "kq30 firmware dump: --output"},
      {"firmware pack h -o f --date d", "kq30 firmware pack: --version is required"},
      {"firmware flash f", "kq30 firmware: unknown command 'flash'"},
      {"flash", "kq30: unknown command 'flash'"},
  };
  for (const auto& c : cases) {
    const Result r = Stderr(c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.problem), std::string::npos) << c.args << "\n" << r.output;
    // "kq30 firmware dump: ..." then the usage of kq30 firmware dump
    const std::string command = r.output.substr(0, r.output.find(": "));
    EXPECT_NE(r.output.find("\nusage: " + command + " "), std::string::npos) << c.args << "\n" << r.output;
  }
}

// Numbers are read as decimal, also with leading zeros, and reach the unit.
TEST(CommandLine, SimTakesItsValues) {
  TestPortFolder folder;
  const std::string out = "'" + (folder.Path() / "out").string() + "'";
  const Result r = RunShell(Tool() + " sim --port 010 --baud 09600 --version-text 2.07 >" + out +
                            " & for i in $(seq 100); do grep -q baud " + out + " && break; sleep 0.1; done;" +
                            " kill $!; cat " + out);
  EXPECT_NE(r.output.find("simulated KQ-30 on COM10 "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(" at 9600 baud, software version 2.07\n"), std::string::npos) << r.output;
}
}  // namespace
