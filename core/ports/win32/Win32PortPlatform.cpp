#include "ports/win32/Win32PortPlatform.h"

// clang-format off
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
// clang-format on

#include <future>
#include <memory>

#include "common/win32/WideText.h"
#include "ports/win32/Win32PortIdentity.h"
#include "ports/win32/Win32PortNames.h"

namespace {

// The device setup class "Ports (COM & LPT)".
const GUID PortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
// The device interface class of COM ports, which their drivers announce.
const GUID ComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

// A text value: registry strings need not end in NUL, and may hold several.
template <typename Char>
std::basic_string<Char> UpToNul(std::basic_string<Char> s) {
  const std::size_t nul = s.find(Char(0));
  if (nul != s.npos) s.resize(nul);
  return s;
}

// The REG_SZ value name of key, or "" when there is none.
std::string RegistryText(HKEY key, const char* name) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
      return "";
    std::string value(size + 1, '\0');
    const LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    if (result == ERROR_SUCCESS) return type == REG_SZ ? UpToNul(value.substr(0, size)) : "";
    if (result != ERROR_MORE_DATA) return "";  // else it grew meanwhile: again
  }
  return "";
}

// A text property of a device (SPDRP_...), in UTF-8, or "".
std::string DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD type = 0, size = 0;
  SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return "";
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(value.data()),
                                         size, nullptr) ||
      type != REG_SZ)
    return "";
  return Utf8FromWide(UpToNul(value));
}

// The device's instance id ("USB\VID_0403&PID_6001\A50285BI"), or "".
std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
  char id[512] = {};  // ids are at most 200 characters
  return SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr) ? id : "";
}

// The system's sentence for an error, in UTF-8.
std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = n && text ? Utf8FromWide(std::wstring(text, n)) : "";
  if (text) LocalFree(text);
  return message;
}

LRESULT CALLBACK WatcherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DEVICECHANGE: {
      const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
      if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && header &&
          header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        auto* onChange = reinterpret_cast<std::function<void()>*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        try {
          if (onChange && *onChange) (*onChange)();
        } catch (...) {
          // Nothing may unwind through the system's frames; the next change
          // refreshes the lists all the same.
        }
      }
      return TRUE;
    }
    case WM_CLOSE:  // the platform object is going
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterWatcherClass() {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WatcherWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = PortWatcherWindowClass;
  return RegisterClassExA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

std::unique_ptr<PortPlatform> DefaultPortPlatform() { return std::make_unique<Win32PortPlatform>(); }

Win32PortPlatform::~Win32PortPlatform() {
  if (!watcher_.joinable()) return;
  // The queue may be full for a moment while onChange runs long.
  while (!PostMessageA(static_cast<HWND>(window_), WM_CLOSE, 0, 0)) Sleep(1);
  watcher_.join();
}

std::optional<std::vector<PortInfo>> Win32PortPlatform::ListPortDevices() {
  HDEVINFO set = SetupDiGetClassDevsA(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<PortDevice> devices;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  DWORD index = 0;
  for (; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;  // a device without its settings yet
    PortDevice d;
    d.PortName = RegistryText(key, "PortName");
    RegCloseKey(key);
    d.FriendlyName = DeviceText(set, device, SPDRP_FRIENDLYNAME);
    d.Description = DeviceText(set, device, SPDRP_DEVICEDESC);
    d.Identity = IdentityFromInstanceId(InstanceId(set, device), DeviceText(set, device, SPDRP_MFG), d.Description);
    devices.push_back(std::move(d));
  }
  const bool complete = GetLastError() == ERROR_NO_MORE_ITEMS;
  SetupDiDestroyDeviceInfoList(set);
  // A list cut short would make ports seem removed.
  if (!complete) return std::nullopt;
  return PortsFromDevices(devices);
}

PortProbe Win32PortPlatform::ProbePort(const PortInfo& port) {
  // The path is made from the number, never taken from elsewhere.
  const std::optional<std::string> path = ComDevicePath(port.Number);
  if (!path) return {false, "no such port"};
  HANDLE h = CreateFileA(path->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return ProbeFromError(error, SystemMessage(error));
  }
  DCB line{};
  line.DCBlength = sizeof line;
  const bool serial = GetCommState(h, &line);
  CloseHandle(h);
  return serial ? PortProbe{true, ""} : ProbeFromError(ERROR_NOT_SUPPORTED, "");
}

std::optional<std::string> Win32PortPlatform::DevicePath(int number) { return ComDevicePath(number); }

std::string Win32PortPlatform::NoPortHint() const {
  return "is the adapter's driver installed? Device Manager shows serial ports under Ports (COM & LPT)";
}

void Win32PortPlatform::Watch(std::function<void()> onChange) {
  if (watcher_.joinable()) return;
  // The window is made and registered before Watch returns, so no arrival
  // afterwards goes unseen.
  std::promise<HWND> started;
  std::future<HWND> window = started.get_future();
  watcher_ = std::thread([onChange = std::move(onChange), started = std::move(started)]() mutable {
    HWND hwnd = RegisterWatcherClass()
                    ? CreateWindowExA(0, PortWatcherWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleA(nullptr), nullptr)
                    : nullptr;
    if (!hwnd) {
      started.set_value(nullptr);
      return;
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&onChange));
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = ComPortInterface;
    HDEVNOTIFY notification = RegisterDeviceNotificationA(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    started.set_value(hwnd);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);

    if (notification) UnregisterDeviceNotification(notification);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
  });
  window_ = window.get();
  if (!window_) watcher_.join();  // no window: nothing to watch with
}
