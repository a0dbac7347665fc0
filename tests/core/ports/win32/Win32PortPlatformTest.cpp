#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <tuple>

#include "ScriptedSetupApi.h"
#include "core/comm/win32/ScriptedKernel32.h"
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

TEST(WithSerialCommPorts, ComTextsOfNumbersNoPortBeforeHas) {
  const std::vector<PortInfo> ports = {{3, "\\\\.\\COM3", "USB Serial Port"}};
  const std::vector<SerialCommValue> values = {
      {"\\Device\\VCP0", REG_SZ, std::string("COM3\0", 5)},  // the Ports class's own
      {"\\Device\\Serial20", REG_SZ, std::string("COM21\0", 6)},
      {"Serial21", REG_SZ, "COM22"},  // without a NUL
      {"\\Device\\Serial4", REG_SZ, std::string("COM5\0COM6\0", 10)},
      {"", REG_SZ, " com7 "},
      {"\\Device\\Serial5", REG_SZ, std::string("COM21\0", 6)},  // a second claimant
      {"\\Device\\Serial6", REG_EXPAND_SZ, "COM8"},
      {"\\Device\\Serial7", REG_DWORD, std::string("\x09\0\0\0", 4)},
      {"\\Device\\Serial8", REG_SZ, "\\\\.\\COM9"},
      {"\\Device\\Serial9", REG_SZ, "LPT1"},
      {"\\Device\\Serial10", REG_SZ, "COM0"},
      {"\\Device\\Serial11", REG_SZ, ""},
      {"\\Device\\Serial12", REG_SZ, std::string("\0COM10", 6)},
  };
  const std::vector<PortInfo> want = {
      {3, "\\\\.\\COM3", "USB Serial Port"},
      {21, "\\\\.\\COM21", "serial port (\\Device\\Serial20)"},
      {22, "\\\\.\\COM22", "serial port (Serial21)"},
      {5, "\\\\.\\COM5", "serial port (\\Device\\Serial4)"},
      {7, "\\\\.\\COM7", "serial port"},
  };
  const std::vector<PortInfo> got = WithSerialCommPorts(ports, values);
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

// The published identifiers: the Ports setup class and the COM port
// interface class.
const GUID PortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID ComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

TEST(Win32PortPlatform, ThePortsClassDevicesWithTheirRegistryTextsAndNoBluetoothPortOpened) {
  ScriptedSetupApi setup;
  ScriptedKernel32 kernel;
  Win32PortPlatform platform(setup, kernel);
  setup.devices = {
      {"USB\\VID_0403&PID_6001\\A12345", "COM7", L"USB Serial Port (COM7)", L"USB Serial Port"},
      {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&1", "COM12",
       L"Standard Serial over Bluetooth link (COM12)", L"Standard Serial over Bluetooth link"},
      {"ACPI\\PNP0401\\0", "LPT1", L"Printer Port (LPT1)", L"ECP Printer Port"},
      {"USB\\VID_1A86&PID_7523\\5", "COM4", L"", L"Port s\u00e9rie USB"},
  };
  const auto ports = platform.ListPortDevices();
  ASSERT_TRUE(ports);
  EXPECT_EQ(setup.listedClass, PortsClass);
  EXPECT_EQ(setup.listFlags, DWORD(DIGCF_PRESENT));
  const std::vector<PortInfo> want = {{7, "\\\\.\\COM7", "USB Serial Port"},
                                      {12, "\\\\.\\COM12", "Standard Serial over Bluetooth link"},
                                      {4, "\\\\.\\COM4", "Port s\xc3\xa9rie USB"}};
  ASSERT_EQ(ports->size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(Fields((*ports)[i]), Fields(want[i])) << i;
  EXPECT_EQ(setup.openSets, 0);
  EXPECT_EQ(setup.openKeys, 0);

  const PortProbe bluetooth = platform.ProbePort(want[1]);
  EXPECT_FALSE(bluetooth.Openable);
  EXPECT_NE(bluetooth.Why.find("Bluetooth"), std::string::npos) << bluetooth.Why;
  EXPECT_EQ(kernel.name, "") << "never opened";
  EXPECT_TRUE(platform.ProbePort(want[0]).Openable);
  EXPECT_EQ(kernel.name, "\\\\.\\COM7");
  EXPECT_EQ(kernel.openHandles, 0);

  setup.listFails = true;
  EXPECT_FALSE(platform.ListPortDevices());
}

// Ports that a driver lists only in SERIALCOMM (Wine's): a value too long
// for a port name is passed over, a list cut short is no list, and a
// missing key is no SERIALCOMM port.
TEST(Win32PortPlatform, SerialCommPortsBesideThePortsClass) {
  ScriptedSetupApi setup;
  ScriptedKernel32 kernel;
  Win32PortPlatform platform(setup, kernel);
  setup.devices = {{"USB\\VID_0403&PID_6001\\A12345", "COM7", L"USB Serial Port (COM7)", L"USB Serial Port"}};
  setup.serialComm = {{"\\Device\\VCP0", REG_SZ, "COM7"},
                      {"\\Device\\Serial0", REG_SZ, "COM1" + std::string(300, ' ')},
                      {"\\Device\\Serial20", REG_SZ, "COM21"}};
  const struct {
    bool missing;
    LONG end;
    std::optional<std::vector<int>> numbers;
  } rows[] = {
      {false, ERROR_NO_MORE_ITEMS, std::vector<int>{7, 21}},
      {false, ERROR_KEY_DELETED, std::nullopt},
      {true, ERROR_NO_MORE_ITEMS, std::vector<int>{7}},
  };
  for (const auto& row : rows) {
    setup.serialCommMissing = row.missing, setup.serialCommEnd = row.end;
    const auto ports = platform.ListPortDevices();
    std::optional<std::vector<int>> numbers;
    if (ports) numbers.emplace();
    for (const PortInfo& p : ports.value_or(std::vector<PortInfo>{})) numbers->push_back(p.Number);
    EXPECT_EQ(numbers, row.numbers) << row.missing << " " << row.end;
    EXPECT_EQ(setup.openKeys, 0);
  }
  EXPECT_TRUE(platform.ProbePort({21, "\\\\.\\COM21", ""}).Openable);
  EXPECT_EQ(kernel.name, "\\\\.\\COM21");

  // Wine's COM name may lead to a folder, which refuses the open as a busy
  // port does.
  kernel.openError = ERROR_ACCESS_DENIED;
  EXPECT_EQ(platform.ProbePort({21, "\\\\.\\COM21", ""}).Why, "busy: in use by this or another program");
  kernel.attributes = FILE_ATTRIBUTE_DIRECTORY;
  EXPECT_EQ(platform.ProbePort({21, "\\\\.\\COM21", ""}).Why, "not a serial device");
}

// The watcher's own window (other test programs may have theirs).
HWND OurWatcherWindow() {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, PortWatcherWindowClass, nullptr));) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId()) return w;
  }
  return nullptr;
}

// One test for everything a watcher window hears, so that no other test of
// this program has a window for the broadcasts.
TEST(Win32PortPlatform, TheWatcherHearsComPortInterfacesAndPortBroadcastsUntilItIsDestroyed) {
  for (const bool registered : {true, false}) {
    SCOPED_TRACE(registered ? "registered" : "registration failed");
    ScriptedSetupApi setup;
    setup.registrationFails = !registered;
    std::atomic<int> changes{0};
    std::atomic<DWORD> thread{0};
    auto platform = std::make_unique<Win32PortPlatform>(setup);
    platform->Watch([&] {
      ++changes;
      thread = GetCurrentThreadId();
    });
    EXPECT_EQ(setup.filter.dbcc_size, sizeof(DEV_BROADCAST_DEVICEINTERFACE_A));
    EXPECT_EQ(setup.filter.dbcc_devicetype, DWORD(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_EQ(setup.filter.dbcc_classguid, ComPortInterface);
    EXPECT_EQ(setup.registrationFlags, DWORD(DEVICE_NOTIFY_WINDOW_HANDLE));
    EXPECT_EQ(platform->WatchProblem().empty(), registered) << platform->WatchProblem();
    const HWND window = OurWatcherWindow();
    ASSERT_NE(window, nullptr) << "a top-level window";
    EXPECT_FALSE(IsWindowVisible(window));

    const struct {
      WPARAM event;
      DWORD deviceType;
      GUID interfaceClass;
      int counted;
    } cases[] = {
        {DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, ComPortInterface, 1},
        {DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, ComPortInterface, 1},
        {DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, PortsClass, 0},
        {DBT_DEVICEQUERYREMOVE, DBT_DEVTYP_DEVICEINTERFACE, ComPortInterface, 0},
        {DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME, ComPortInterface, 0},
    };
    for (const auto& c : cases) {
      DEV_BROADCAST_DEVICEINTERFACE_A message{};
      message.dbcc_size = sizeof message;
      message.dbcc_devicetype = c.deviceType;
      message.dbcc_classguid = c.interfaceClass;
      const int before = changes;
      SendMessageA(window, WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(&message));  // returns when handled
      EXPECT_EQ(changes - before, c.counted) << c.event << " " << c.deviceType;
    }
    EXPECT_NE(thread.load(), GetCurrentThreadId());

    // A port as drivers without the interface announce it: to every
    // top-level window, through the system.
    for (const WPARAM event : {DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE}) {
      DEV_BROADCAST_PORT_A port{};
      port.dbcp_size = sizeof port;
      port.dbcp_devicetype = DBT_DEVTYP_PORT;
      std::strcpy(port.dbcp_name, "COM9");
      const int before = changes;
      SendMessageTimeoutA(HWND_BROADCAST, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&port),
                          SMTO_ABORTIFHUNG, 2000, nullptr);
      EXPECT_EQ(changes - before, 1) << event;
    }

    // Another program may close the window; the watcher stays.
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(OurWatcherWindow(), window);

    const auto start = std::chrono::steady_clock::now();
    auto destroyed = std::async(std::launch::async, [&] { platform.reset(); });
    ASSERT_EQ(destroyed.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(OurWatcherWindow(), nullptr);
    EXPECT_EQ(setup.registrations, 0);
  }
}

// A watcher whose thread has already ended (its window gone) lets the
// program end at once.
TEST(Win32PortPlatform, AWatcherThatHasEndedIsDestroyedAtOnce) {
  ScriptedSetupApi setup;
  auto platform = std::make_unique<Win32PortPlatform>(setup);
  platform->Watch([] {});
  const HWND window = OurWatcherWindow();
  ASSERT_NE(window, nullptr);
  SendMessageA(window, PortWatcherStop, 0, 0);
  for (int i = 0; i < 200 && IsWindow(window); ++i) Sleep(10);
  ASSERT_FALSE(IsWindow(window));
  auto destroyed = std::async(std::launch::async, [&] { platform.reset(); });
  EXPECT_EQ(destroyed.wait_for(std::chrono::seconds(2)), std::future_status::ready);
}

}  // namespace
