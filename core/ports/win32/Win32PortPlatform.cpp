#include "ports/win32/Win32PortPlatform.h"

#include <algorithm>
#include <future>
#include <memory>
#include <string>

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
std::string RegistryText(SetupApi& api, HKEY key, const char* name) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD type = 0, size = 0;
    if (api.RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
      return "";
    std::string value(size + 1, '\0');
    const LONG result = api.RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
    if (result == ERROR_SUCCESS) return type == REG_SZ ? UpToNul(value.substr(0, size)) : "";
    if (result != ERROR_MORE_DATA) return "";  // else it grew meanwhile: again
  }
  return "";
}

// A text property of a device (SPDRP_...), in UTF-8, or "".
std::string DeviceText(SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  DWORD type = 0, size = 0;
  api.SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
  if (api.GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return "";
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (!api.SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(value.data()),
                                             size, nullptr) ||
      type != REG_SZ)
    return "";
  return Utf8FromWide(UpToNul(value));
}

// The device's instance identifier ("USB\VID_0403&PID_6001\A12345",
// "BTHENUM\{00001101-...}..."), or "".
std::string InstanceId(SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device) {
  DWORD size = 0;
  api.SetupDiGetDeviceInstanceIdA(set, &device, nullptr, 0, &size);
  if (size == 0) return "";
  std::string id(size, '\0');
  if (!api.SetupDiGetDeviceInstanceIdA(set, &device, id.data(), size, nullptr)) return "";
  return UpToNul(id);
}

// The values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, where serial drivers list
// their ports; none when there is no such key (no serial driver has started),
// nothing when the list was cut short.
std::optional<std::vector<SerialCommValue>> SerialCommValues(SetupApi& api) {
  HKEY key = nullptr;
  if (api.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::vector<SerialCommValue>{};
  std::vector<SerialCommValue> values;
  LONG result = ERROR_SUCCESS;
  for (DWORD index = 0;; ++index) {
    // A value name may have 16383 characters; a port name is a few bytes, and
    // a value too long for the buffer (ERROR_MORE_DATA) is none.
    char name[16384];
    BYTE data[256];
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
    result = api.RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    values.push_back({std::string(name, std::min<DWORD>(nameSize, sizeof name)), type,
                      std::string(reinterpret_cast<const char*>(data), std::min<DWORD>(dataSize, sizeof data))});
  }
  api.RegCloseKey(key);
  if (result != ERROR_NO_MORE_ITEMS) return std::nullopt;
  return values;
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

// An arrival or removal of a serial port: a COM port interface, of which the
// watcher asked to be told, or a port that a driver announces to every
// top-level window (drivers without the interface do only that).
bool IsPortEvent(WPARAM event, const DEV_BROADCAST_HDR* header) {
  if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || !header) return false;
  if (header->dbch_devicetype == DBT_DEVTYP_PORT) return true;
  return header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
         header->dbch_size >= sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) &&
         reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(header)->dbcc_classguid == ComPortInterface;
}

LRESULT CALLBACK WatcherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DEVICECHANGE: {
      if (IsPortEvent(wParam, reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam))) {
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
    case PortWatcherStop:  // the platform object is going
      PostQuitMessage(0);
      return 0;
    case WM_CLOSE:  // from another program: the watcher stays
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
  // The queue may be full for a moment while onChange runs long; any other
  // failure means the window, and with it the thread, has gone.
  while (!PostMessageA(window_, PortWatcherStop, 0, 0) && GetLastError() == ERROR_NOT_ENOUGH_QUOTA) Sleep(1);
  watcher_.join();
}

std::optional<std::vector<PortInfo>> Win32PortPlatform::ListPortDevices() {
  HDEVINFO set = setup_.SetupDiGetClassDevsA(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<PortDevice> devices, bluetooth;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  DWORD index = 0;
  for (; setup_.SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    HKEY key = setup_.SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;  // a device without its settings yet
    PortDevice d;
    d.PortName = RegistryText(setup_, key, "PortName");
    setup_.RegCloseKey(key);
    d.FriendlyName = DeviceText(setup_, set, device, SPDRP_FRIENDLYNAME);
    d.Description = DeviceText(setup_, set, device, SPDRP_DEVICEDESC);
    const std::string instance = InstanceId(setup_, set, device);
    d.Identity = IdentityFromInstanceId(instance, DeviceText(setup_, set, device, SPDRP_MFG), d.Description);
    if (IsBluetoothInstance(instance)) bluetooth.push_back(d);
    devices.push_back(std::move(d));
  }
  const bool complete = setup_.GetLastError() == ERROR_NO_MORE_ITEMS;
  setup_.SetupDiDestroyDeviceInfoList(set);
  // A list cut short would make ports seem removed.
  if (!complete) return std::nullopt;
  const auto serialComm = SerialCommValues(setup_);
  if (!serialComm) return std::nullopt;
  bluetooth_.clear();
  for (const PortInfo& port : PortsFromDevices(bluetooth)) bluetooth_.insert(port.Number);
  return WithSerialCommPorts(PortsFromDevices(devices), *serialComm);
}

PortProbe Win32PortPlatform::ProbePort(const PortInfo& port) {
  // The path is made from the number, never taken from elsewhere.
  const std::optional<std::string> path = ComDevicePath(port.Number);
  if (!path) return {false, "no such port"};
  if (bluetooth_.count(port.Number)) return {false, "Bluetooth: not tried, opening it calls the paired device"};
  HANDLE h = kernel_.CreateFileA(path->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = kernel_.GetLastError();
    // Wine's COM names lead to any Unix path; a folder refuses the open as
    // a busy port does.
    const DWORD attributes = error == ERROR_ACCESS_DENIED ? kernel_.GetFileAttributesA(path->c_str())
                                                          : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return ProbeFromError(ERROR_NOT_SUPPORTED, "");
    return ProbeFromError(error, SystemMessage(error));
  }
  DCB line{};
  line.DCBlength = sizeof line;
  const bool serial = kernel_.GetCommState(h, &line);
  kernel_.CloseHandle(h);
  return serial ? PortProbe{true, ""} : ProbeFromError(ERROR_NOT_SUPPORTED, "");
}

std::optional<std::string> Win32PortPlatform::DevicePath(int number) { return ComDevicePath(number); }

std::string Win32PortPlatform::NoPortHint() const {
  return "is the adapter's driver installed? Device Manager shows serial ports under Ports (COM & LPT)";
}

void Win32PortPlatform::Watch(std::function<void()> onChange) {
  if (watcher_.joinable()) return;
  // The window is made and registered before Watch returns, so no arrival
  // afterwards goes unseen. It is a top-level window, never shown: ports
  // that drivers announce to every window reach top-level windows only.
  struct Started {
    HWND window = nullptr;
    std::string problem;
  };
  std::promise<Started> started;
  std::future<Started> result = started.get_future();
  watcher_ = std::thread([this, onChange = std::move(onChange), started = std::move(started)]() mutable {
    HWND hwnd = RegisterWatcherClass()
                    ? CreateWindowExA(WS_EX_TOOLWINDOW, PortWatcherWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr)
                    : nullptr;
    if (!hwnd) {
      started.set_value({nullptr, "arrivals and removals of ports are not seen (no window for them: error " +
                                      std::to_string(GetLastError()) + ")"});
      return;
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&onChange));
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = ComPortInterface;
    HDEVNOTIFY notification = setup_.RegisterDeviceNotificationA(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    started.set_value({hwnd, notification ? ""
                                          : "only ports that their driver announces to all programs are seen "
                                            "as they come and go (error " +
                                                std::to_string(setup_.GetLastError()) + ")"});

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);

    if (notification) setup_.UnregisterDeviceNotification(notification);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
  });
  Started watching = result.get();
  window_ = watching.window;
  watchProblem_ = std::move(watching.problem);
  if (!window_) watcher_.join();  // no window: nothing to watch with
}
