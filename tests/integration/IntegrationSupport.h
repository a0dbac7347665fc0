#pragma once
// Shared by the integration tests: a port folder of the test's own, and
// commands run as child processes.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/SimulatedUnit.h"

// A temporary port folder, made the process's port folder (KQ30_PORT_DIR)
// for its lifetime.
class TestPortFolder {
 public:
  TestPortFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("kq30-it-" + std::to_string(getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
    setenv("KQ30_PORT_DIR", path_.c_str(), 1);
  }
  ~TestPortFolder() {
    for (int fd : silent_) close(fd);
    unsetenv("KQ30_PORT_DIR");
    std::filesystem::remove_all(path_);
  }
  const std::filesystem::path& Path() const { return path_; }
  // Links a fresh pseudo-terminal as comN: a port where nobody answers.
  void LinkSilentPort(int n) {
    int master, slave;
    char name[256];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    silent_.push_back(master);
    std::filesystem::create_symlink(name, path_ / ("com" + std::to_string(n)));
  }

 private:
  std::filesystem::path path_;
  std::vector<int> silent_;
};

struct Result {
  int status = -1;
  std::string output;  // stdout and stderr together
};

// Runs a shell command; its exit status and everything it printed.
inline Result RunShell(const std::string& command) {
  Result result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::string Tool() { return std::string("'") + KQ30_TOOL + "'"; }

// A simulated unit linked into the folder as COM port, answering at baud.
inline SimOptions UnitOn(const TestPortFolder& folder, int port, unsigned baud, bool inBootLoader = false) {
  SimOptions o;
  o.PortFolder = folder.Path().string();
  o.PortNumber = port;
  o.Baud = baud;
  o.StartInBootLoader = inBootLoader;
  return o;
}
