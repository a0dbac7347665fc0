#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

#include <atomic>
#include <chrono>
#include <tuple>

#include "ports/win32/Win32PortNames.h"
#include "ports/win32/Win32PortPlatform.h"

namespace {

auto Fields(const PortInfo& p) { return std::make_tuple(p.Number, p.Device, p.Description); }

TEST(PortsFromDevices, ComNamesOnlyTheFirstClaimantOfANumberAndTheirDescriptions) {
  const std::vector<PortDevice> devices = {
      {"COM3", "USB Serial Port (COM3)", "USB Serial Port"},
      {"LPT1", "Printer Port (LPT1)", "ECP Printer Port"},
      {"COM3", "A second claimant (COM3)", ""},
      {"COM10", "", "Standard Serial over Bluetooth link"},
      {" com4 ", "Prolific USB-to-Serial Comm Port (COM8)", ""},
      {"COM7", " (COM7)", "Communications Port"},
      {"COM9", "", ""},
      {"COM0", "Zero", ""},
      {"COM05", "Leading zero", ""},
      {"COM65536", "Too high", ""},
      {"\\\\.\\COM6", "Long form", ""},
      {"", "No port name", ""},
  };
  const std::vector<PortInfo> want = {
      {3, "\\\\.\\COM3", "USB Serial Port"},
      {10, "\\\\.\\COM10", "Standard Serial over Bluetooth link"},
      {4, "\\\\.\\COM4", "Prolific USB-to-Serial Comm Port (COM8)"},  // another number's suffix stays
      {7, "\\\\.\\COM7", "Communications Port"},
      {9, "\\\\.\\COM9", "serial port"},
  };
  const std::vector<PortInfo> got = PortsFromDevices(devices);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(Fields(got[i]), Fields(want[i])) << i;
}

TEST(ComDevicePath, OnlyNumbersAPortCanHave) {
  const std::pair<int, std::optional<std::string>> cases[] = {
      {1, "\\\\.\\COM1"}, {10, "\\\\.\\COM10"}, {65535, "\\\\.\\COM65535"},
      {0, std::nullopt},  {-3, std::nullopt},   {65536, std::nullopt},
  };
  for (const auto& [number, path] : cases) EXPECT_EQ(ComDevicePath(number), path) << number;
}

TEST(ProbeFromError, ReasonsAUserCanActOn) {
  const struct {
    unsigned long error;
    const char* systemMessage;
    bool openable;
    const char* why;
  } cases[] = {
      {ERROR_SUCCESS, "", true, ""},
      {ERROR_ACCESS_DENIED, "Access denied.", false, "busy: in use by this or another program"},
      {ERROR_SHARING_VIOLATION, "", false, "busy: in use by this or another program"},
      {ERROR_FILE_NOT_FOUND, "", false, "the device is gone"},
      {ERROR_DEVICE_NOT_CONNECTED, "", false, "the device is gone"},
      {ERROR_GEN_FAILURE, "", false, "the device does not answer: unplug it and plug it in again"},
      {ERROR_INVALID_FUNCTION, "", false, "not a serial device"},
      {ERROR_BAD_NETPATH, "The network path was not found. \r\n", false,
       "The network path was not found (error 53)"},
      {ERROR_BAD_NETPATH, "", false, "error 53"},
  };
  for (const auto& c : cases) {
    const PortProbe probe = ProbeFromError(c.error, c.systemMessage);
    EXPECT_EQ(probe.Openable, c.openable) << c.error;
    EXPECT_EQ(probe.Why, c.why) << c.error;
  }
}

TEST(Win32PortPlatform, AComNumberWithNoDeviceIsGone) {
  Win32PortPlatform platform;
  const PortProbe probe = platform.ProbePort({250, "\\\\.\\COM250", ""});
  EXPECT_FALSE(probe.Openable);
  EXPECT_EQ(probe.Why, "the device is gone");
  EXPECT_EQ(platform.ProbePort({0, "\\\\.\\COM1", ""}).Why, "no such port");
}

TEST(Win32PortPlatform, ArrivalsAndRemovalsOfComPortsReachTheWatcherUntilItIsDestroyed) {
  std::atomic<int> changes{0};
  std::atomic<DWORD> thread{0};
  auto platform = std::make_unique<Win32PortPlatform>();
  platform->Watch([&] {
    ++changes;
    thread = GetCurrentThreadId();
  });
  const HWND window = FindWindowExA(HWND_MESSAGE, nullptr, PortWatcherWindowClass, nullptr);
  ASSERT_NE(window, nullptr);

  const struct {
    WPARAM event;
    DWORD deviceType;
    int counted;
  } cases[] = {
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, 1},
      {DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, 1},
      {DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE, 0},
      {DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, 0},
  };
  for (const auto& c : cases) {
    DEV_BROADCAST_DEVICEINTERFACE_A message{};
    message.dbcc_size = sizeof message;
    message.dbcc_devicetype = c.deviceType;
    const int before = changes;
    SendMessageA(window, WM_DEVICECHANGE, c.event,
                 reinterpret_cast<LPARAM>(&message));  // returns when handled
    EXPECT_EQ(changes - before, c.counted) << c.event << " " << c.deviceType;
  }
  EXPECT_NE(thread.load(), GetCurrentThreadId());

  const auto start = std::chrono::steady_clock::now();
  platform.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, PortWatcherWindowClass, nullptr), nullptr);
}

}  // namespace
