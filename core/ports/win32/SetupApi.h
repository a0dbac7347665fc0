#pragma once
// The calls of the Windows port table: SetupAPI's device lists, a device's
// registry key, the registry's list of serial ports and device
// notifications, one virtual method per call with the Windows signatures, so
// that a test can stand in for the system's devices. RealSetupApi() forwards
// to the system.
// clang-format off
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
// clang-format on

class SetupApi {
 public:
  virtual ~SetupApi() = default;

  virtual HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) = 0;
  virtual BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device) = 0;
  virtual BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO set, PSP_DEVINFO_DATA device, PSTR id, DWORD size,
                                           PDWORD required) = 0;
  virtual BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                                 PDWORD type, PBYTE buffer, DWORD size, PDWORD required) = 0;
  virtual HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD profile,
                                    DWORD keyType, REGSAM access) = 0;
  virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) = 0;
  virtual LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size) = 0;
  virtual LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) = 0;
  virtual LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize) = 0;
  virtual LONG RegCloseKey(HKEY key) = 0;

  virtual HDEVNOTIFY RegisterDeviceNotificationA(HANDLE recipient, LPVOID filter, DWORD flags) = 0;
  virtual BOOL UnregisterDeviceNotification(HDEVNOTIFY notification) = 0;

  virtual DWORD GetLastError() = 0;
};

// The system's.
SetupApi& RealSetupApi();
