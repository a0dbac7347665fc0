#include "ports/PortLists.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "comm/Comm.h"
#include "common/QueueDispatcher.h"
#include "ports/posix/LinuxPortPlatform.h"
#include "ports/posix/ProbeSerialDevice.h"
#include "ports/posix/PortFolder.h"

namespace fs = std::filesystem;

namespace {
struct Pty {
  int master = -1, slave = -1;
  std::string name;
  Pty() {
    char buf[256];
    if (openpty(&master, &slave, buf, nullptr, nullptr) == 0) name = buf;
  }
  ~Pty() {
    close(master);
    close(slave);
  }
};

class PortListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("kq30-ports-test-" + std::to_string(getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);  // a port folder only we may write to
  }
  void TearDown() override { fs::remove_all(folder); }
  void Link(const std::string& name, const std::string& target) { fs::create_symlink(target, folder / name); }

  fs::path folder;
  Pty a, b, c;
};
}  // namespace

TEST_F(PortListsTest, LinksBecomeAscendingPortsAndAllOpen) {
  Link("com7", a.name);
  Link("com3", b.name);
  Link("com12", c.name);
  LinuxPortPlatform platform(ProbeSerialDevice, folder, false);
  PortLists lists(platform);
  lists.RefreshPortLists();
  EXPECT_EQ(lists.PortNumbers, (std::vector<int>{3, 7, 12}));
  EXPECT_EQ(lists.OpenablePorts, (std::vector<int>{3, 7, 12}));
  EXPECT_EQ(lists.PortListEntries(), (std::vector<std::string>{"3", "7", "12"}));
  EXPECT_EQ(platform.DevicePath(7), a.name);
  EXPECT_EQ(lists.PortDetails(3)->Port.Description, "pseudo-terminal");
}

TEST_F(PortListsTest, BusyPortIsListedButNotOpenable) {
  Link("com3", a.name);
  Link("com4", b.name);
  QueueDispatcher window;
  TComm holder(window);
  holder.SetDeviceName(b.name);
  holder.Open();
  ASSERT_TRUE(holder.Connected());
  LinuxPortPlatform platform(ProbeSerialDevice, folder, false);
  PortLists lists(platform);
  lists.RefreshPortLists();
  holder.Close();
  EXPECT_EQ(lists.PortNumbers, (std::vector<int>{3, 4}));
  EXPECT_EQ(lists.OpenablePorts, (std::vector<int>{3}));
  EXPECT_FALSE(lists.PortDetails(4)->Probe.Openable);
  EXPECT_EQ(lists.PortDetails(4)->Probe.Why, "busy: in use by this or another program");
  lists.RefreshPortLists();
  EXPECT_EQ(lists.OpenablePorts, (std::vector<int>{3, 4}));
}

TEST_F(PortListsTest, WhatIsNotATerminalLinkIsNoPort) {
  std::ofstream(folder / "file.txt") << "x";
  Link("com1", (folder / "file.txt").string());       // a regular file
  Link("com2", (folder / "missing").string());        // dangling
  Link("com05", a.name);                              // not a port name
  Link("comX", a.name);
  Link("com5", a.name);
  Link("com6", a.name);  // a second link to the same device
  LinuxPortPlatform platform(ProbeSerialDevice, folder, false);
  PortLists lists(platform);
  lists.RefreshPortLists();
  EXPECT_EQ(lists.PortNumbers, (std::vector<int>{5}));
  EXPECT_FALSE(platform.DevicePath(1));
  EXPECT_FALSE(platform.DevicePath(2));
}

TEST_F(PortListsTest, AFolderOthersMayWriteToNamesNoPort) {
  Link("com3", a.name);
  fs::permissions(folder, fs::perms::others_write, fs::perm_options::add);
  LinuxPortPlatform platform(ProbeSerialDevice, folder, false);
  PortLists lists(platform);
  lists.RefreshPortLists();
  EXPECT_EQ(lists.PortCount(), 0);
  EXPECT_FALSE(platform.DevicePath(3));
  fs::permissions(folder, fs::perms::others_write, fs::perm_options::remove);
  lists.RefreshPortLists();
  EXPECT_EQ(lists.PortNumbers, (std::vector<int>{3}));
}

TEST_F(PortListsTest, NoPortKeepsTheLastProbeAndShowsNA) {
  Link("com3", a.name);
  LinuxPortPlatform platform(ProbeSerialDevice, folder, false);
  PortLists lists(platform);
  lists.RefreshPortLists();
  fs::remove(folder / "com3");
  lists.RefreshPortLists();
  EXPECT_EQ(lists.PortCount(), 0);
  EXPECT_EQ(lists.PortListEntries(), (std::vector<std::string>{"N/A"}));
  EXPECT_EQ(lists.OpenablePorts, (std::vector<int>{3}));  // Auto mode still tries it
}

TEST_F(PortListsTest, BothListsHoldAtMost256Ports) {
  for (int n = 1; n <= 300; ++n) Link("com" + std::to_string(n), a.name);
  // Every link leads to one device, which is listed once; so make 300 devices.
  std::vector<std::unique_ptr<Pty>> ptys;
  for (int n = 1; n <= 300; ++n) {
    ptys.push_back(std::make_unique<Pty>());
    if (ptys.back()->name.empty()) GTEST_SKIP() << "this machine gives no more pseudo-terminals";
    fs::remove(folder / ("com" + std::to_string(n)));
    Link("com" + std::to_string(n), ptys.back()->name);
  }
  LinuxPortPlatform platform(ProbeSerialDevice, folder, false);
  PortLists lists(platform);
  lists.RefreshPortLists();
  ASSERT_EQ(lists.PortCount(), PortLists::MaxPorts);
  EXPECT_EQ(lists.PortNumbers.front(), 1);
  EXPECT_EQ(lists.PortNumbers.back(), 256);
  EXPECT_EQ(lists.OpenableCount(), PortLists::MaxPorts);
}

TEST_F(PortListsTest, ArrivalsAndRemovalsRefreshWithoutBeingAsked) {
  LinuxPortPlatform platform(ProbeSerialDevice, folder, false);
  PortLists lists(platform);
  QueueDispatcher window;
  int changes = 0;
  lists.StartWatching(window, [&] { ++changes; });
  lists.RefreshPortLists();
  Link("com9", a.name);
  ASSERT_TRUE(window.RunUntil([&] { return lists.PortNumbers == std::vector<int>{9}; }, std::chrono::seconds(5)));
  fs::remove(folder / "com9");
  ASSERT_TRUE(window.RunUntil([&] { return lists.PortCount() == 0; }, std::chrono::seconds(5)));
  EXPECT_GE(changes, 2);
}

TEST_F(PortListsTest, RemovalOfThePortInUseIsTold) {
  Link("com3", a.name);
  Link("com5", b.name);
  LinuxPortPlatform platform(ProbeSerialDevice, folder, false);
  PortLists lists(platform);
  lists.RefreshPortLists();
  fs::remove(folder / "com5");
  lists.RefreshPortLists();
  EXPECT_TRUE(lists.CheckOpenPortRemoved(true, "\\\\.\\COM5"));
  EXPECT_FALSE(lists.CheckOpenPortRemoved(true, "\\\\.\\COM3"));
  EXPECT_FALSE(lists.CheckOpenPortRemoved(false, "\\\\.\\COM5"));  // only while connected
  EXPECT_FALSE(lists.CheckOpenPortRemoved(true, a.name));
  EXPECT_TRUE(lists.CheckOpenPortRemoved(true, b.name));
}

TEST(KernelSerialDevices, ListingWorksWhateverTheMachineHas) {
  // This machine may have no serial device at all; the table must still be
  // sound: every kernel device has a device node and a number.
  LinuxPortPlatform platform(ProbeSerialDevice, (fs::temp_directory_path() / "kq30-none").string(), true);
  auto ports = platform.ListPortDevices();
  ASSERT_TRUE(ports);
  for (const auto& p : *ports) {
    EXPECT_GT(p.Number, 0);
    EXPECT_EQ(p.Device.rfind("/dev/", 0), 0u) << p.Device;
  }
}
