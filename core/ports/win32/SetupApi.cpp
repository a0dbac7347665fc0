#include "ports/win32/SetupApi.h"

namespace {

class SystemSetupApi : public SetupApi {
 public:
  HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) override {
    return ::SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
  }
  BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) override {
    return ::SetupDiEnumDeviceInfo(set, index, device);
  }
  BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO set, PSP_DEVINFO_DATA device, PSTR id, DWORD size,
                                   PDWORD required) override {
    return ::SetupDiGetDeviceInstanceIdA(set, device, id, size, required);
  }
  BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                         PBYTE buffer, DWORD size, PDWORD required) override {
    return ::SetupDiGetDeviceRegistryPropertyW(set, device, property, type, buffer, size, required);
  }
  HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD profile, DWORD keyType,
                            REGSAM access) override {
    return ::SetupDiOpenDevRegKey(set, device, scope, profile, keyType, access);
  }
  BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) override { return ::SetupDiDestroyDeviceInfoList(set); }
  LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                        LPDWORD size) override {
    return ::RegQueryValueExA(key, name, reserved, type, data, size);
  }
  LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) override {
    return ::RegOpenKeyExA(key, subKey, options, access, result);
  }
  LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type,
                     LPBYTE data, LPDWORD dataSize) override {
    return ::RegEnumValueA(key, index, name, nameSize, reserved, type, data, dataSize);
  }
  LONG RegCloseKey(HKEY key) override { return ::RegCloseKey(key); }

  HDEVNOTIFY RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags) override {
    return ::RegisterDeviceNotificationA(recipient, filter, flags);
  }
  BOOL UnregisterDeviceNotification(HDEVNOTIFY notification) override {
    return ::UnregisterDeviceNotification(notification);
  }

  DWORD GetLastError() override { return ::GetLastError(); }
};

}  // namespace

SetupApi& RealSetupApi() {
  static SystemSetupApi api;
  return api;
}
